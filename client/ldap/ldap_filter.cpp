#include "client/ldap/ldap_filter.h"

#include "client/filter_expression.h"
#include "client/ldap/ldap_values.h"
#include "client/schema_map.h"
#include "util/text.h"

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

// Writes an expression tree as prefix LDAP filter text.
class TFilterWriter {
public:
    TFilterWriter(const TNameToDn& nameToDn, std::vector<std::string>& baseClasses)
        : nameToDn_(nameToDn), baseClasses_(baseClasses) {}

    // required: the node must hold for the whole filter to hold (reached through ANDs only).
    NWCCODE Write(const TFilterNode& node, bool required, std::string& out) {
        switch (node.Kind) {
        case TFilterNodeKind::And:
        case TFilterNodeKind::Or: {
            bool isAnd = node.Kind == TFilterNodeKind::And;
            out = isAnd ? "(&" : "(|";
            for (const auto& operand : node.Operands) {
                std::string part;
                NWCCODE code = Write(operand, required && isAnd, part);
                if (code != 0) return code;
                out += part;
            }
            out += ")";
            return 0;
        }
        case TFilterNodeKind::Not: {
            if (node.Operands.size() != 1) return ErrInvalidFilterSyntax;
            std::string inner;
            NWCCODE code = Write(node.Operands.front(), false, inner);
            if (code != 0) return code;
            out = "(!" + inner + ")";
            return 0;
        }
        case TFilterNodeKind::BaseClass:
            // LDAP matches every class of an object; where the base class must be this one, the
            // results are checked for it as well.
            if (required) baseClasses_.push_back(node.Name);
            out = "(objectClass=" + EscapeFilterValue(LdapClassName(node.Name)) + ")";
            return 0;
        case TFilterNodeKind::RelativeName:
            out = "(|";
            for (const char* type : NamingTypes) out += std::string("(") + type + "=" + EscapeFilterValue(node.Name) + ")";
            out += ")";
            return 0;
        case TFilterNodeKind::Present:
        case TFilterNodeKind::Compare: break;
        }
        std::string attribute = LdapAttributeName(node.Name);
        if (attribute.empty() || attribute.find_first_of("()=*\\<>~ ") != std::string::npos) return ErrInvalidFilterSyntax;
        if (node.Kind == TFilterNodeKind::Present) {
            out = "(" + attribute + "=*)";
            return 0;
        }
        const char* op = "=";
        switch (node.Relation) {
        case TFilterRelation::Equal: op = "="; break;
        case TFilterRelation::GreaterOrEqual: op = ">="; break;
        case TFilterRelation::LessOrEqual: op = "<="; break;
        case TFilterRelation::Approximate: op = "~="; break;
        }
        std::string text;
        if (WildcardValue(node, text)) {
            out = "(" + attribute + "=" + text + ")";
            return 0;
        }
        NWCCODE code = Value(node.Value, node.Syntax, text);
        if (code != 0) return code;
        out = "(" + attribute + op + text + ")";
        return 0;
    }

private:
    // An equality on a string syntax whose value holds wildcards, as an LDAP substring filter: the
    // pieces escaped, "*" between them (runs of wildcards as one, which RFC 4515 requires); a value
    // of wildcards only asks for any value.
    static bool WildcardValue(const TFilterNode& node, std::string& out) {
        const auto* text = std::get_if<TTextValue>(&node.Value);
        if (!text || node.Relation != TFilterRelation::Equal || !IsWildcardSyntax(node.Syntax)) return false;
        const std::vector<std::string> pieces = SplitWildcards(text->Text);
        out.clear();
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0 && (out.empty() || out.back() != '*')) out += '*';
            out += EscapeFilterValue(pieces[i]);
        }
        // One piece: no wildcard, but "\*" written for an asterisk stands for one.
        return true;
    }

    NWCCODE Dn(const std::string& name, std::string& dn) {
        if (!nameToDn_) return ErrIllegalAttributeSyntax;
        return nameToDn_(name, dn);
    }

    // The value as LDAP writes it, escaped; an ACL value matches by subject and protected
    // attribute whatever the privileges and scope.
    NWCCODE Value(const TAttrValue& value, uint32_t syntax, std::string& out) {
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
            // The path ends at its first zero character, as the filter language sends it.
            out = EscapeFilterValue(dn + "#" + std::to_string(path->NameSpaceType) + "#" +
                                    CStrToStr(path->Path.data(), path->Path.size()));
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

    const TNameToDn& nameToDn_;
    std::vector<std::string>& baseClasses_;
};

} // namespace

NWCCODE BuildLdapFilter(const std::vector<TFilterItem>& items, const TNameToDn& nameToDn, std::string& filter,
                        std::vector<std::string>* baseClasses) {
    filter.clear();
    if (baseClasses) baseClasses->clear();
    TFilterNode root;
    NWCCODE code = ParseFilterExpression(items, root);
    if (code != 0) return code;
    std::vector<std::string> classes;
    std::string built;
    code = TFilterWriter(nameToDn, classes).Write(root, true, built);
    if (code != 0) return code;
    filter = std::move(built);
    if (baseClasses) *baseClasses = std::move(classes);
    return 0;
}

} // namespace era
