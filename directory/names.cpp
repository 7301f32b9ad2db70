#include "directory/names.h"

#include "directory/attribute_names.h"
#include "util/text.h"

namespace era {

bool U_IsSpecialName(std::string_view text) {
    return text == RootName || text == ThisName || text == PublicName || text == SupervisorName;
}

std::string U_FullName(std::string_view name) {
    if (name.empty() || name.front() == '.' || U_IsSpecialName(name)) return std::string(name);
    return "." + std::string(name);
}

std::string U_StripLeadingDot(std::string_view text) {
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    return std::string(text);
}

std::string U_TypelessName(std::string_view name) {
    // The order matters: ",o" and ",c" become dots before every other comma does, and a country
    // part keeps its "c=" because only "ou=", "cn=" and "o=" are removed.
    std::string result = StrReplace(name, ",o", ".o", false, true);
    ReplaceIn(result, ",c", ".c", false, true);
    ReplaceIn(result, ",", ".", false, true);
    ReplaceIn(result, "ou=", "", false, true);
    ReplaceIn(result, "cn=", "", false, true);
    ReplaceIn(result, "o=", "", false, true);
    return result;
}

std::string U_CombineContext(std::string_view container, std::string_view item) {
    if (item.empty() || item == ".") return std::string(container);
    if (item == "[ .. ]" || item == "..") {
        const std::string parent = TrimLeftChars(container, ".");
        const auto dot = parent.find('.');
        return dot == std::string::npos ? RootName : parent.substr(dot + 1);
    }
    if (container.empty() || container == RootName || item.front() == '.') return U_FullName(item);
    if (container.front() == '.') return "." + std::string(item) + std::string(container);
    return std::string(item) + "." + std::string(container);
}

} // namespace era
