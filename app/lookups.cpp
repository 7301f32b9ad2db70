#include "app/lookups.h"

#include "directory/names.h"
#include "rights/search_filter.h"
#include "util/text.h"

#include <algorithm>
#include <vector>

namespace era {

namespace {

// The names a protected attribute may have that are no attributes of the schema.
const char* const SpecialAttributes[] = {"[Entry Rights]", "[All Attributes Rights]"};

// How many objects a hint names at most: more would read as a listing, not a suggestion.
constexpr size_t MaxHints = 3;

} // namespace

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
    if (U_DSFilteredSearch(context, "[Root]", "(Name=" + first + ")", &found, 2) != 0) return {};
    const std::string prefix = LowerCase(given) + ".";
    std::vector<std::string> names;
    for (const auto& item : found.Items()) {
        const std::string full = U_FullName(item.Text);
        if (LowerCase(full.substr(1)).starts_with(prefix) && names.size() < MaxHints) names.push_back(full);
    }
    if (names.empty()) return {};
    std::string text = names.front();
    for (size_t i = 1; i < names.size(); ++i) text += (i + 1 == names.size() ? " or " : ", ") + names[i];
    return "did you mean " + text + "?";
}

} // namespace era
