#include "client/ldap/ldap_values.h"

#include "client/ascii_fold.h"
#include "client/client_text.h"
#include "client/schema_map.h"
#include "client/time_text.h"

#include <lber.h>

#include <charconv>
#include <cstdint>
#include <vector>

namespace era {

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

struct TBerFree {
    void operator()(BerElement* ber) const { ber_free(ber, 1); }
};

} // namespace

bool ParseLdapAcl(std::string_view text, uint32_t& privileges, std::string& subject, std::string& attribute) {
    privileges = 0;
    subject.clear();
    attribute.clear();
    size_t first = text.find('#');
    size_t second = first == std::string_view::npos ? first : text.find('#', first + 1);
    size_t last = text.rfind('#');
    if (second == std::string_view::npos || last <= second) return false;
    std::string_view rights = text.substr(0, first);
    std::string_view scope = text.substr(first + 1, second - first - 1);
    std::string_view who = text.substr(second + 1, last - second - 1);
    std::string_view what = text.substr(last + 1);
    uint32_t mask = 0;
    if (!ParseUnsigned(rights, mask) || who.empty() || what.empty()) return false;
    bool inheritable;
    if (EqualsFolded(scope, "subtree")) inheritable = true;
    else if (EqualsFolded(scope, "entry")) inheritable = false;
    else return false;
    bool entryKind = what == EntryRightsAttr;
    // Bit 0x40 reads in opposite senses: set on an entry-rights assignment that is not
    // inherited, set on an attribute-rights assignment that is.
    mask &= ~0x40u;
    if (entryKind ? !inheritable : inheritable) mask |= 0x40u;
    privileges = mask;
    subject = std::string(who);
    attribute = what.front() == '[' ? std::string(what) : DirectoryAttributeName(what);
    return true;
}

TAttrValue LdapValueToAttrValue(uint32_t syntax, std::string_view text, const TNameWriter& name) {
    const TAttrValue asText = TTextValue{std::string(text)};
    switch (syntax) {
    case SynDistName: return TTextValue{name(text)};
    case SynObjectACL: {
        uint32_t privileges = 0;
        std::string subject, attribute;
        if (!ParseLdapAcl(text, privileges, subject, attribute)) return asText;
        return TObjectACL{attribute, name(subject), privileges};
    }
    case SynCiList: return TCaseIgnoreList{SplitDollar(text)};
    case SynBoolean:
        if (EqualsFolded(text, "TRUE")) return TBooleanValue{1};
        if (EqualsFolded(text, "FALSE")) return TBooleanValue{0};
        return asText;
    case SynInteger:
    case SynCounter:
    case SynInterval: {
        uint32_t number = 0;
        if (!ParseInteger(text, number)) return asText;
        return TIntegerValue{static_cast<int32_t>(number)};
    }
    case SynOctetString: return TOctetString{Bytes(text)};
    case SynStream: return TOctetString{};   // the bytes come through the stream calls
    case SynFaxNumber: return TFaxNumber{std::string(text.substr(0, text.find('$'))), 0, {}};
    case SynNetAddress: {
        size_t hash = text.find('#');
        uint32_t type = 0;
        if (hash == std::string_view::npos || !ParseUnsigned(text.substr(0, hash), type)) return asText;
        return TNetAddress{type, Bytes(text.substr(hash + 1))};
    }
    case SynOctetList: return TOctetList{{Bytes(text)}};
    case SynEMailAddress: {
        size_t hash = text.find('#');
        uint32_t type = 0;
        if (hash != std::string_view::npos && ParseUnsigned(text.substr(0, hash), type))
            return TEMailAddress{type, std::string(text.substr(hash + 1))};
        return TEMailAddress{0, std::string(text)};
    }
    case SynPath: {
        size_t first = text.find('#');
        size_t second = first == std::string_view::npos ? first : text.find('#', first + 1);
        uint32_t nameSpace = 0;
        if (second == std::string_view::npos || !ParseUnsigned(text.substr(first + 1, second - first - 1), nameSpace))
            return asText;
        return TPathValue{nameSpace, name(text.substr(0, first)), std::string(text.substr(second + 1))};
    }
    case SynReplicaPointer: {
        TReplicaPointer pointer;
        ParseReplicaPointer(text, pointer.ServerName, pointer.ReplicaType, pointer.ReplicaNumber);
        return pointer;
    }
    case SynPoAddress: {
        TPostalAddress address;
        auto lines = SplitDollar(text);
        for (size_t i = 0; i < lines.size() && i < address.Lines.size(); ++i) address.Lines[i] = lines[i];
        return address;
    }
    case SynTimeStamp: {
        size_t hash = text.find('#');
        uint32_t seconds = 0, replica = 0, event = 0;
        if (!ParseGeneralizedTime(text.substr(0, hash), seconds)) return asText;
        if (hash != std::string_view::npos) {
            std::string_view rest = text.substr(hash + 1);
            size_t second = rest.find('#');
            if (second == std::string_view::npos || !ParseUnsigned(rest.substr(0, second), replica) ||
                !ParseUnsigned(rest.substr(second + 1), event) || replica > 0xFFFF || event > 0xFFFF)
                return asText;
        }
        return TTimeStamp{seconds, static_cast<uint16_t>(replica), static_cast<uint16_t>(event)};
    }
    case SynTime: {
        uint32_t seconds = 0;
        if (!ParseGeneralizedTime(text, seconds)) return asText;
        return TTimeStamp{seconds, 0, 0};
    }
    case SynBackLink: {
        size_t hash = text.find('#');
        uint32_t id = 0;
        if (hash != std::string_view::npos && ParseUnsigned(text.substr(0, hash), id))
            return TBackLink{id, name(text.substr(hash + 1))};
        return TBackLink{0, name(text)};
    }
    case SynTypedName: {
        size_t last = text.rfind('#');
        size_t middle = last == std::string_view::npos || last == 0 ? std::string_view::npos : text.rfind('#', last - 1);
        uint32_t level = 0, interval = 0;
        if (middle == std::string_view::npos || !ParseUnsigned(text.substr(middle + 1, last - middle - 1), level) ||
            !ParseUnsigned(text.substr(last + 1), interval))
            return asText;
        return TTypedName{name(text.substr(0, middle)), level, interval};
    }
    case SynHold: {
        size_t last = text.rfind('#');
        uint32_t amount = 0;
        if (last == std::string_view::npos || !ParseUnsigned(text.substr(last + 1), amount)) return asText;
        return THold{name(text.substr(0, last)), amount};
    }
    default:
        if (syntax > SynInterval) return TRawValue{Bytes(text)};
        return asText;
    }
}

std::string EscapeFilterValue(std::string_view value) {
    static const char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '*' || c == '(' || c == ')' || c == '\\' || byte < 0x20 || byte >= 0x7F) {
            out += '\\';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string EncodeEffectivePrivilegesRequest(const std::string& objectDn, const std::string& subjectDn,
                                             const std::string& attribute) {
    std::unique_ptr<BerElement, TBerFree> ber(ber_alloc_t(LBER_USE_DER));
    if (!ber) return {};
    berval object{static_cast<ber_len_t>(objectDn.size()), const_cast<char*>(objectDn.data())};
    berval subject{static_cast<ber_len_t>(subjectDn.size()), const_cast<char*>(subjectDn.data())};
    berval name{static_cast<ber_len_t>(attribute.size()), const_cast<char*>(attribute.data())};
    // Three octet strings one after the other, as eDirectory reads them: a SEQUENCE around them
    // is not what the server expects.
    if (ber_printf(ber.get(), "OOO", &object, &subject, &name) < 0) return {};
    berval flat{0, nullptr};
    if (ber_flatten2(ber.get(), &flat, 0) < 0) return {};
    return std::string(flat.bv_val, flat.bv_len);
}

namespace {

using TBer = std::unique_ptr<BerElement, TBerFree>;

// A reader over a reply value whose first element has the given tag; nullptr for an empty value
// or another tag.
TBer ReaderAt(std::string_view bytes, ber_tag_t tag) {
    if (bytes.empty()) return nullptr;
    berval value{static_cast<ber_len_t>(bytes.size()), const_cast<char*>(bytes.data())};
    TBer ber(ber_init(&value));
    ber_len_t length = 0;
    if (!ber || ber_peek_tag(ber.get(), &length) != tag) return nullptr;
    return ber;
}

// Whether the whole value has been read: a reply with more after its one element is no answer.
bool AtEnd(BerElement* ber) {
    ber_len_t length = 0;
    return ber_peek_tag(ber, &length) == LBER_DEFAULT;
}

} // namespace

bool DecodeEffectivePrivilegesReply(std::string_view reply, uint32_t& privileges) {
    privileges = 0;
    // The privileges alone, as one INTEGER filling the whole value; anything else is no answer.
    TBer ber = ReaderAt(reply, LBER_INTEGER);
    ber_int_t number = 0;
    if (!ber || ber_get_int(ber.get(), &number) == LBER_ERROR || !AtEnd(ber.get())) return false;
    privileges = static_cast<uint32_t>(number);
    return true;
}

bool DecodeGetBindDnReply(std::string_view reply, std::string& authzId) {
    authzId.clear();
    TBer ber = ReaderAt(reply, LBER_OCTETSTRING);
    berval identity{0, nullptr};
    if (!ber || ber_get_stringbv(ber.get(), &identity, LBER_BV_NOTERM) == LBER_ERROR || !AtEnd(ber.get()))
        return false;
    std::string text(identity.bv_val ? identity.bv_val : "", identity.bv_len);
    // The server names the entry by its DN; written as Who-am-I writes it, so both answers read
    // alike. An empty identity is an anonymous connection.
    if (text.empty()) return true;
    authzId = EqualsFolded(std::string_view(text).substr(0, 3), "dn:") ? text : "dn:" + text;
    return true;
}

} // namespace era
