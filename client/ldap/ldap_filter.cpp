#include "client/ldap/ldap_filter.h"

#include "client/ldap/ldap_values.h"
#include "client/schema_map.h"

#include <ctime>

namespace era {

namespace {

// The naming attributes a relative name ("Name" or "RDN" in a filter) is compared with.
constexpr const char* NamingTypes[] = {"cn", "ou", "o", "l", "c", "dc", "st"};

std::string GeneralizedTime(uint32_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &parts);
    return text;
}

// Reads the infix token stream into prefix LDAP filter text: OR binds weakest, then AND, then NOT.
class TFilterWriter {
public:
    TFilterWriter(const std::vector<TFilterItem>& items, const TNameToDn& nameToDn) : items_(items), nameToDn_(nameToDn) {
        while (!items_.empty() && items_.back().Token == FtokEnd) items_.pop_back();
    }

    NWCCODE Run(std::string& filter) {
        if (items_.empty()) return ErrInvalidFilterSyntax;
        NWCCODE code = Or(filter);
        if (code == 0 && at_ != items_.size()) code = ErrInvalidFilterSyntax;
        return code;
    }

private:
    const TFilterItem* Peek() const { return at_ < items_.size() ? &items_[at_] : nullptr; }
    bool Take(uint32_t token) {
        if (!Peek() || Peek()->Token != token) return false;
        ++at_;
        return true;
    }

    NWCCODE Or(std::string& out) { return Chain(FtokOr, '|', out); }
    NWCCODE And(std::string& out) { return Chain(FtokAnd, '&', out); }

    NWCCODE Chain(uint32_t token, char op, std::string& out) {
        std::vector<std::string> parts(1);
        NWCCODE code = token == FtokOr ? And(parts.back()) : Not(parts.back());
        while (code == 0 && Take(token)) {
            parts.emplace_back();
            code = token == FtokOr ? And(parts.back()) : Not(parts.back());
        }
        if (code != 0) return code;
        if (parts.size() == 1) {
            out = std::move(parts.front());
            return 0;
        }
        out = std::string("(") + op;
        for (const auto& part : parts) out += part;
        out += ")";
        return 0;
    }

    NWCCODE Not(std::string& out) {
        if (Take(FtokNot)) {
            std::string inner;
            NWCCODE code = Not(inner);
            if (code != 0) return code;
            out = "(!" + inner + ")";
            return 0;
        }
        if (Take(FtokLParen)) {
            NWCCODE code = Or(out);
            if (code != 0) return code;
            return Take(FtokRParen) ? 0 : ErrInvalidFilterSyntax;
        }
        return Item(out);
    }

    NWCCODE Item(std::string& out) {
        const TFilterItem* item = Peek();
        if (!item) return ErrInvalidFilterSyntax;
        if (Take(FtokBaseClass)) {
            const TFilterItem* name = Peek();
            if (!name || name->Token != FtokAName) return ErrInvalidFilterSyntax;
            ++at_;
            out = "(objectClass=" + EscapeFilterValue(LdapClassName(name->Name)) + ")";
            return 0;
        }
        if (Take(FtokRdn)) {
            const TFilterItem* name = Peek();
            if (!name || name->Token != FtokAName) return ErrInvalidFilterSyntax;
            ++at_;
            out = "(|";
            for (const char* type : NamingTypes) out += std::string("(") + type + "=" + EscapeFilterValue(name->Name) + ")";
            out += ")";
            return 0;
        }
        bool present = Take(FtokPresent);
        const TFilterItem* name = Peek();
        if (!name || name->Token != FtokAName || name->Name.empty()) return ErrInvalidFilterSyntax;
        ++at_;
        std::string attribute = LdapAttributeName(name->Name);
        if (attribute.find_first_of("()=*\\<>~ ") != std::string::npos) return ErrInvalidFilterSyntax;
        if (present) {
            out = "(" + attribute + "=*)";
            return 0;
        }
        const TFilterItem* relation = Peek();
        if (!relation) return ErrInvalidFilterSyntax;
        const char* op = nullptr;
        switch (relation->Token) {
        case FtokEq: op = "="; break;
        case FtokGe: op = ">="; break;
        case FtokLe: op = "<="; break;
        case FtokApprox: op = "~="; break;
        default: return ErrInvalidFilterSyntax;
        }
        ++at_;
        const TFilterItem* value = Peek();
        if (!value || value->Token != FtokAVal) return ErrInvalidFilterSyntax;
        ++at_;
        std::string text;
        NWCCODE code = Value(*value, name->Syntax, text);
        if (code != 0) return code;
        out = "(" + attribute + op + text + ")";
        return 0;
    }

    NWCCODE Dn(const std::string& name, std::string& dn) {
        if (!nameToDn_) return ErrIllegalAttributeSyntax;
        return nameToDn_(name, dn);
    }

    // The value as LDAP writes it, escaped; an ACL value matches by subject and protected
    // attribute whatever the privileges and scope.
    NWCCODE Value(const TFilterItem& item, uint32_t syntax, std::string& out) {
        const TAttrValue& value = item.Value;
        if (const auto* text = std::get_if<TTextValue>(&value)) {
            if (syntax == SynDistName) {
                std::string dn;
                NWCCODE code = Dn(text->Text, dn);
                if (code != 0) return code;
                out = EscapeFilterValue(dn);
                return 0;
            }
            if (syntax == SynClassName) {
                out = EscapeFilterValue(LdapClassName(text->Text));
                return 0;
            }
            out = EscapeFilterValue(text->Text);
            return 0;
        }
        if (const auto* list = std::get_if<TCaseIgnoreList>(&value)) {
            std::string joined;
            for (size_t i = 0; i < list->Elements.size(); ++i) joined += (i ? "$" : "") + list->Elements[i];
            out = EscapeFilterValue(joined);
            return 0;
        }
        if (const auto* flag = std::get_if<TBooleanValue>(&value)) {
            out = flag->Value ? "TRUE" : "FALSE";
            return 0;
        }
        if (const auto* number = std::get_if<TIntegerValue>(&value)) {
            out = std::to_string(number->Value);
            return 0;
        }
        if (const auto* octets = std::get_if<TOctetString>(&value)) {
            out = EscapeFilterValue(std::string(octets->Data.begin(), octets->Data.end()));
            return 0;
        }
        if (const auto* fax = std::get_if<TFaxNumber>(&value)) {
            out = EscapeFilterValue(fax->TelephoneNumber);
            return 0;
        }
        if (const auto* mail = std::get_if<TEMailAddress>(&value)) {
            out = EscapeFilterValue(mail->Address);
            return 0;
        }
        if (const auto* time = std::get_if<TTimeStamp>(&value)) {
            out = GeneralizedTime(time->WholeSeconds);
            return 0;
        }
        if (const auto* path = std::get_if<TPathValue>(&value)) {
            std::string dn;
            NWCCODE code = Dn(path->VolumeName, dn);
            if (code != 0) return code;
            out = EscapeFilterValue(dn + "#" + std::to_string(path->NameSpaceType) + "#" + path->Path);
            return 0;
        }
        if (const auto* typed = std::get_if<TTypedName>(&value)) {
            std::string dn;
            NWCCODE code = Dn(typed->ObjectName, dn);
            if (code != 0) return code;
            out = EscapeFilterValue(dn + "#" + std::to_string(typed->Level) + "#" + std::to_string(typed->Interval));
            return 0;
        }
        if (const auto* acl = std::get_if<TObjectACL>(&value)) {
            std::string dn = acl->SubjectName;
            if (dn.empty() || dn.front() != '[') {
                NWCCODE code = Dn(acl->SubjectName, dn);
                if (code != 0) return code;
            }
            std::string attribute = acl->ProtectedAttrName.empty() || acl->ProtectedAttrName.front() == '['
                                        ? acl->ProtectedAttrName
                                        : LdapAttributeName(acl->ProtectedAttrName);
            out = "*#" + EscapeFilterValue(dn) + "#" + EscapeFilterValue(attribute);
            return 0;
        }
        return ErrIllegalAttributeSyntax;
    }

    std::vector<TFilterItem> items_;
    const TNameToDn& nameToDn_;
    size_t at_ = 0;
};

} // namespace

NWCCODE BuildLdapFilter(const std::vector<TFilterItem>& items, const TNameToDn& nameToDn, std::string& filter) {
    filter.clear();
    std::string built;
    NWCCODE code = TFilterWriter(items, nameToDn).Run(built);
    if (code == 0) filter = std::move(built);
    return code;
}

} // namespace era
