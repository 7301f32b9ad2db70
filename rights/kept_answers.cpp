#include "rights/kept_answers.h"

#include "directory/attributes.h"
#include "directory/context.h"
#include "directory/listing.h"
#include "rights/search_filter.h"

#include <vector>

namespace era {

namespace {

// How many answers one table keeps before it starts again: enough for every container of a large
// tree and the trustees named on them, little against the tree itself.
constexpr size_t MaxKeptAnswers = size_t{1} << 16;
// Of how many objects the effective-rights answers are kept (an analysis asks some 50 to 650
// questions about its own object, and another analysis of the same object asks them again). Few:
// a scan asks about each object once, and tables emptied while they are still in the processor's
// caches cost less to free than those of hundreds of objects before.
constexpr size_t MaxKeptObjects = 16;

// A call that fills a list: its code and what it had added when it returned.
struct TListAnswer {
    NWCCODE Code = 0;
    std::vector<TStringItem> Items;
};

struct TTextAnswer {
    NWCCODE Code = 0;
    std::string Text;
};

// The answers to one kind of question, by the question's text.
template <typename TAnswer>
class TTable {
public:
    template <typename TAsk>
    const TAnswer& Get(const std::string& question, TAsk ask) {
        auto found = answers_.find(question);
        if (found != answers_.end()) return found->second;
        if (answers_.size() >= MaxKeptAnswers) answers_.clear();
        return answers_.emplace(question, ask()).first->second;
    }

private:
    std::unordered_map<std::string, TAnswer> answers_;
};

// A call that appends to a list, answered from the table when it holds the question (nullptr:
// nothing is kept). The call runs on a list of its own, and what it added is kept with its code.
template <typename TCall>
NWCCODE KeptList(TTable<TListAnswer>* table, const std::string& question, TStringList& list, TCall call) {
    if (!table) return call(list);
    const TListAnswer& answer = table->Get(question, [&] {
        TStringList fresh;
        TListAnswer kept;
        kept.Code = call(fresh);
        kept.Items = fresh.Items();
        return kept;
    });
    for (const auto& item : answer.Items)
        list.AddObject(item.Text, item.Object);
    return answer.Code;
}

// The part of a context that shapes the answers: the tree, the name context, the flags (name
// forms, aliases), the confidence and the information fields.
bool FormOf(NWDSContextHandle context, std::string& form) {
    TDirectoryClient& client = Client();
    uint32_t flags = 0, confidence = 0, fields = 0;
    std::string tree, nameContext;
    if (client.NWDSGetContext(context, DckFlags, flags) != 0 ||
        client.NWDSGetContext(context, DckConfidence, confidence) != 0 ||
        client.NWDSGetContext(context, DckDsiFlags, fields) != 0 ||
        client.NWDSGetContext(context, DckTreeName, tree) != 0 ||
        client.NWDSGetContext(context, DckNameContext, nameContext) != 0)
        return false;
    form = tree + '\x1f' + nameContext + '\x1f' + std::to_string(flags) + '\x1f' +
           std::to_string(confidence) + '\x1f' + std::to_string(fields);
    return true;
}

} // namespace

struct TKeptAnswers::TForm {
    TTable<bool> Containers;
    TTable<TTextAnswer> Parents;
    TTable<std::string> BaseClasses;
    TTable<TListAnswer> Attributes;
    TTable<TListAnswer> Searches;
    TTable<TListAnswer> Listings;
    std::unordered_map<std::string, std::shared_ptr<TRightsAnswers>> Rights;
};

namespace {

// What the client holds for the analyses: the answers per tree and name form.
class TKeeper final : public TDirectoryClient::TAnswerKeeper {
public:
    std::unordered_map<std::string, std::unique_ptr<TKeptAnswers::TForm>> Forms;
};

} // namespace

TKeptAnswers::TKeptAnswers(NWDSContextHandle context) : context_(context) {
    TDirectoryClient& client = Client();
    if (!client.AnswersAreStable()) return;
    std::string form;
    if (!FormOf(context, form)) return;
    auto* keeper = dynamic_cast<TKeeper*>(client.AnswerKeeper());
    if (!keeper) {
        auto fresh = std::make_unique<TKeeper>();
        keeper = fresh.get();
        client.SetAnswerKeeper(std::move(fresh));
    }
    auto& kept = keeper->Forms[form];
    if (!kept) kept = std::make_unique<TForm>();
    form_ = kept.get();
}

bool TKeptAnswers::IsContainer(const std::string& name) {
    if (!form_) return U_DSIsContainer(context_, name);
    return form_->Containers.Get(name, [&] { return U_DSIsContainer(context_, name); });
}

NWCCODE TKeptAnswers::ParentName(const std::string& name, std::string& parent) {
    if (!form_) return U_DSGetParentName(context_, name, parent);
    const TTextAnswer& answer = form_->Parents.Get(name, [&] {
        TTextAnswer fresh;
        fresh.Code = U_DSGetParentName(context_, name, fresh.Text);
        return fresh;
    });
    parent = answer.Text;
    return answer.Code;
}

const std::string& TKeptAnswers::BaseClass(const std::string& name) {
    if (form_) return form_->BaseClasses.Get(name, [&] { return U_DSGetBaseClass(context_, name); });
    auto found = baseClasses_.find(name);
    if (found == baseClasses_.end())
        found = baseClasses_.emplace(name, U_DSGetBaseClass(context_, name)).first;
    return found->second;
}

NWCCODE TKeptAnswers::Attribute(const std::string& object, const std::string& attribute, TStringList& lines) {
    return KeptList(form_ ? &form_->Attributes : nullptr, object + '\x1f' + attribute, lines,
                    [&](TStringList& list) { return U_DSGetAttribute(context_, object, attribute, list); });
}

NWCCODE TKeptAnswers::FilteredSearch(const std::string& base, const std::string& filter, TStringList& results,
                                     int scope) {
    return KeptList(
        form_ ? &form_->Searches : nullptr, base + '\x1f' + filter + '\x1f' + std::to_string(scope), results,
        [&](TStringList& list) { return U_DSFilteredSearch(context_, base, filter, &list, scope); });
}

NWCCODE TKeptAnswers::ListTree(const std::string& container, TStringList& list, bool recurse, int kind) {
    return KeptList(form_ ? &form_->Listings : nullptr,
                    container + '\x1f' + (recurse ? "1" : "0") + std::to_string(kind), list,
                    [&](TStringList& fresh) {
                        return U_DSListTree(context_, container, fresh, recurse, false, "", kind);
                    });
}

std::shared_ptr<TKeptAnswers::TRightsAnswers> TKeptAnswers::RightsAnswersOn(const std::string& object) {
    if (!form_) return std::make_shared<TRightsAnswers>();
    auto found = form_->Rights.find(object);
    if (found != form_->Rights.end()) return found->second;
    if (form_->Rights.size() >= MaxKeptObjects) form_->Rights.clear();
    return form_->Rights.emplace(object, std::make_shared<TRightsAnswers>()).first->second;
}

} // namespace era
