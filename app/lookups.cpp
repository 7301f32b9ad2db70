#include "app/lookups.h"

#include "app/main_state.h"
#include "directory/attribute_names.h"
#include "directory/attributes.h"
#include "directory/connections.h"
#include "directory/listing.h"
#include "directory/names.h"
#include "directory/netware_paths.h"
#include "rights/search_filter.h"
#include "util/text.h"

#include <algorithm>
#include <vector>

namespace era {

namespace {

// The names a protected attribute may have that are no attributes of the schema.
const char* const SpecialAttributes[] = {EntryRightsAttr, AllAttributesRightsAttr};

// How many objects a hint names at most: more would read as a listing, not a suggestion.
constexpr size_t MaxHints = 3;

// Tells the log of a call, when there is one; gives the code back.
NWCCODE Logged(const TCallLog& log, const std::string& call, NWCCODE code) {
    if (log) log(call, code);
    return code;
}

// A lookup that gives no answer: why, about which name, and for a failed call which one, its
// code and a hint.
TLookup Ended(TLookupOutcome outcome, std::string item, std::string call = {}, NWCCODE code = 0,
              std::string hint = {}) {
    TLookup result;
    result.Outcome = outcome;
    result.Item = std::move(item);
    result.Call = std::move(call);
    result.Code = code;
    result.Hint = std::move(hint);
    return result;
}

// A name the directory does not know gets a hint when it looks typed relative where a full name
// was meant.
TLookup NameCallFailed(NWDSContextHandle context, std::string call, NWCCODE code, const std::string& name) {
    return Ended(TLookupOutcome::CallFailed, name, std::move(call), code,
                 code == ErrNoSuchEntry ? RelativeNameHint(context, name) : std::string());
}

} // namespace

std::string DirectoryName(const std::string& given) {
    if (given.find('=') != std::string::npos && given.find(',') != std::string::npos)
        return U_FullName(U_TypelessName(given));
    return given;
}

std::string FullObjectName(NWDSContextHandle context, const std::string& given) {
    const std::string name = DirectoryName(given);
    const std::string full = U_DSGetFullName(context, name);
    return full.empty() ? U_FullName(name) : full;
}

bool SelectServerOfPath(TMainState& state, const std::string& path) {
    NWCONN_HANDLE connection = 0;
    std::string server, volume, dirPath;
    if (U_PathToNWPath(path, connection, server, volume, dirPath) != 0) return false;
    for (int i = 0; i < state.Servers.Count(); ++i)
        if (TextEquals(state.Servers.Strings(i), server)) {
            if (i != state.SelectedServer) state.SelectServer(i);
            return true;
        }
    return false;
}

std::string KnownTree(const TStringList& trees, const std::string& name) {
    for (const auto& item : trees.Items())
        if (TextEquals(item.Text, name)) return item.Text;
    return {};
}

std::string Joined(const TStringList& list) {
    std::string text;
    for (const auto& item : list.Items())
        text += (text.empty() ? "" : ", ") + item.Text;
    return text;
}

TLookup WorkstationTrees(const TCallLog& log) {
    TLookup result;
    U_ListTrees(result.Lines);
    Logged(log, "U_ListTrees (" + Joined(result.Lines) + ")", 0);
    return result;
}

TServerTrees WorkstationServers(const TCallLog& log) {
    TServerTrees result;
    U_ListServers(result.Servers);
    Logged(log, "U_ListServers (" + Joined(result.Servers) + ")", 0);
    for (const auto& item : result.Servers.Items()) {
        std::string tree;
        Logged(log, "U_GetTreeNameByRef (" + item.Text + ")", U_GetTreeNameByRef(item.Object, tree));
        result.Trees.push_back(tree);
    }
    return result;
}

TLookup ListContainer(NWDSContextHandle context, const std::string& given, const TCallLog& log) {
    const std::string container = given.empty() ? RootName : DirectoryName(given);
    TLookup result;
    const std::string call = "U_DSListContainer (" + container + ")";
    NWCCODE code = Logged(log, call, U_DSListContainer(context, container, nullptr, true, "", &result.Lines));
    // A leaf lists nothing, as an empty container does: only its existence tells them apart.
    if (code == 0 && result.Lines.Count() == 0 && !U_DSIsContainer(context, container) &&
        container != RootName) {
        DSObjectInfo info;
        U_DSObjectExists(context, container, info, &code);
        Logged(log, "U_DSReadObjectInfo (" + container + ")", code);
        if (code == 0) return Ended(TLookupOutcome::NoContainer, container);
    }
    if (code != 0) return NameCallFailed(context, call, code, container);
    return result;
}

TLookup AttributeLines(NWDSContextHandle context, const std::string& given, const std::string& path,
                       const TCallLog& log) {
    const std::string object = DirectoryName(given);
    const std::string call = "U_DSGetAttributeEx (" + object + ":" + path + ")";
    TLookup result;
    const NWCCODE code = Logged(log, call, U_DSGetAttributeEx(context, object, path, result.Lines));
    if (code != 0) return NameCallFailed(context, call, code, object);
    return result;
}

TLookup SearchObjects(NWDSContextHandle context, const std::string& base, const std::string& filter,
                      int scope, const std::string& templateText, const TCallLog& log) {
    const std::string call = "U_DSSearch (" + filter + ")";
    TLookup result;
    int found = 0;
    const NWCCODE code = Logged(log, call,
                                U_DSSearch(context, DirectoryName(base), filter, 0, nullptr, nullptr, found,
                                           0, templateText, &result.Lines, scope));
    if (code != 0) return Ended(TLookupOutcome::CallFailed, filter, call, code, FilterProblem(filter, code));
    return result;
}

TLookup EffectiveRights(NWDSContextHandle context, const std::string& subjectGiven,
                        const std::string& objectGiven, const std::string& attributeGiven,
                        const TCallLog& log) {
    const std::string subject = DirectoryName(subjectGiven);
    const std::string object = DirectoryName(objectGiven);
    std::string attribute = EntryRightsAttr;
    TLookup result;
    if (!attributeGiven.empty()) {
        // An attribute the schema does not know would be answered all the same, as if it were
        // one: the user would read rights to something that does not exist.
        const std::string call = "NWDSGetSyntaxID (" + attributeGiven + ")";
        NWCCODE code = ProtectedAttributeName(context, attributeGiven, attribute);
        if (!IsSpecialAttribute(attributeGiven)) Logged(log, call, code);
        if (code == ErrNoSuchAttribute) return Ended(TLookupOutcome::UnknownAttribute, attributeGiven);
        if (code != 0) return Ended(TLookupOutcome::CallFailed, attributeGiven, call, code);
    }
    NWCCODE code = 0;
    const std::string rights =
        U_DSGetEffectiveRights(context, subject, object, attribute, result.Mask, &code);
    Logged(log, "NWDSGetEffectiveRights (" + subject + " on " + object + ":" + attribute + ")", code);
    if (code != 0) {
        // Either name may be the one the directory does not know: the hint is for the missing one.
        DSObjectInfo info;
        const bool subjectMissing = code == ErrNoSuchEntry && !U_DSObjectExists(context, subject, info);
        return NameCallFailed(context, "NWDSGetEffectiveRights (" + subject + " on " + object + ")", code,
                              subjectMissing ? subject : object);
    }
    Logged(log,
           Format("U_DSGetEffectiveRights (%s on %s:%s) (rights=%04X)", subject.c_str(), object.c_str(),
                  attribute.c_str(), result.Mask),
           0);
    result.Lines.Add(rights);
    return result;
}

bool IsSpecialAttribute(const std::string& name) {
    return std::any_of(std::begin(SpecialAttributes), std::end(SpecialAttributes),
                       [&name](const char* special) { return TextEquals(name, special); });
}

NWCCODE ProtectedAttributeName(NWDSContextHandle context, const std::string& given, std::string& attribute) {
    attribute.clear();
    for (const char* special : SpecialAttributes)
        if (TextEquals(given, special)) {
            attribute = special;
            return 0;
        }
    uint32_t syntax = 0;
    NWCCODE code = Client().NWDSGetSyntaxID(context, given, syntax);
    if (code == 0) attribute = given;
    return code;
}

std::string RelativeNameHint(NWDSContextHandle context, const std::string& name) {
    // A full name made of a relative one (".vdavis") is read as the relative name it came from.
    const std::string given = name.starts_with(".") ? name.substr(1) : name;
    if (given.empty() || given.front() == '[') return {};
    // The filter notation cuts a value at these characters: such a name cannot be searched for.
    if (given.find_first_of("()&|!=,") != std::string::npos) return {};
    const std::string first = given.substr(0, given.find('.'));
    TStringList found;
    if (U_DSFilteredSearch(context, RootName, "(Name=" + first + ")", &found, 2) != 0) return {};
    const std::string prefix = LowerCase(given) + ".";
    std::vector<std::string> names;
    for (const auto& item : found.Items()) {
        const std::string full = U_FullName(item.Text);
        if (LowerCase(full.substr(1)).starts_with(prefix) && names.size() < MaxHints) names.push_back(full);
    }
    if (names.empty()) return {};
    std::string text = names.front();
    for (size_t i = 1; i < names.size(); ++i)
        text += (i + 1 == names.size() ? " or " : ", ") + names[i];
    return "did you mean " + text + "?";
}

} // namespace era
