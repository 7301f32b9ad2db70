#pragma once

// Directory answers kept across analyses. A client whose answers cannot change while it lives
// (TDirectoryClient::AnswersAreStable: the embedded directory) answers the same question the same
// way every time, so what one analysis asked the next one need not ask again: object information,
// parents and base classes, attribute values (the ACLs of the containers above), Security Equals
// searches, container listings and the directory's effective-rights answers. They are kept for
// the client's lifetime, in the client's answer keeper, per tree and name form of the context
// (tree, name context, flags and information fields, which shape every name handed back), and
// each table is emptied when it grows past a bound, so a scan of a whole tree holds no more than
// a bounded number of answers. A failure is kept as it came: the same code, and whatever the call
// had given before it failed. For a client whose answers may change (a live directory) nothing is
// kept: every call goes to the client.
//
// These answers sit below the analysis's own cache of Security Equals results, which keeps its
// content and its life of one call.

#include "directory/client.h"
#include "util/string_list.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

namespace era {

class TKeptAnswers {
public:
    // The directory's effective-rights answers on one object: a text and a mask per question, keyed
    // as the caller chooses.
    using TRightsAnswers = std::unordered_map<std::string, std::pair<std::string, uint32_t>>;
    struct TForm; // the answers kept for one tree and name form

    // The answers kept for the context's tree and name form; when the installed client's answers
    // may change (or the context cannot be read), an object that keeps nothing.
    explicit TKeptAnswers(NWDSContextHandle context);

    // Whether answers are kept.
    bool Keeping() const { return form_ != nullptr; }

    // U_DSIsContainer of a name.
    bool IsContainer(const std::string& name);
    // U_DSGetParentName of a name.
    NWCCODE ParentName(const std::string& name, std::string& parent);
    // U_DSGetBaseClass of a name, the text only; asked once for as long as this object lives
    // where nothing is kept.
    const std::string& BaseClass(const std::string& name);
    // U_DSGetAttribute: appends the attribute's lines.
    NWCCODE Attribute(const std::string& object, const std::string& attribute, TStringList& lines);
    // U_DSFilteredSearch: appends the names found.
    NWCCODE FilteredSearch(const std::string& base, const std::string& filter, TStringList& results,
                           int scope);
    // U_DSListTree without class prefixes or filter: appends the entries.
    NWCCODE ListTree(const std::string& container, TStringList& list, bool recurse, int kind);
    // The effective-rights answers on an object kept so far, to look up and add to; a table of its
    // own for the caller alone when nothing is kept.
    std::shared_ptr<TRightsAnswers> RightsAnswersOn(const std::string& object);

private:
    NWDSContextHandle context_;
    TForm* form_ = nullptr;
    std::unordered_map<std::string, std::string> baseClasses_; // where nothing is kept
};

} // namespace era
