#include "client/name_forms.h"

#include "client/ascii_fold.h"
#include "client/schema_map.h"

#include <ldap.h>

#include <algorithm>

namespace era {

namespace {

// One dot-separated piece of an input name, unescaped, with its type split off.
struct TPiece {
    TNamePart Part;
    bool Empty = true;
};

bool IsTypeChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Splits text at unescaped dots. The first unescaped "=" of a piece ends its type when what stands
// before it looks like an attribute name.
std::vector<TPiece> SplitPieces(std::string_view text) {
    std::vector<TPiece> pieces(1);
    std::string raw;            // the piece's characters, unescaped
    size_t typeEnd = std::string::npos;
    bool typeable = true;       // no escaped character before the "=" so far
    auto finish = [&] {
        TPiece& piece = pieces.back();
        piece.Empty = raw.empty();
        if (typeEnd != std::string::npos && typeEnd > 0) {
            piece.Part.Type = raw.substr(0, typeEnd);
            piece.Part.Value = raw.substr(typeEnd + 1);
            if (piece.Part.Value.empty()) piece.Empty = true;
        } else {
            piece.Part.Value = raw;
        }
        raw.clear();
        typeEnd = std::string::npos;
        typeable = true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            raw += text[++i];
            if (typeEnd == std::string::npos) typeable = false;
        } else if (c == '.') {
            finish();
            pieces.emplace_back();
        } else if (c == '=' && typeEnd == std::string::npos && typeable && !raw.empty() &&
                   std::all_of(raw.begin(), raw.end(), IsTypeChar)) {
            typeEnd = raw.size();
            raw += c;
        } else {
            raw += c;
        }
    }
    finish();
    return pieces;
}

void AppendEscaped(std::string& out, std::string_view value) {
    for (char c : value) {
        if (c == '.' || c == '=' || c == '\\') out += '\\';
        out += c;
    }
}

void AppendPart(std::string& out, const TNamePart& part, bool typed) {
    if (typed && !part.Type.empty()) {
        out += part.Type;
        out += '=';
    }
    AppendEscaped(out, part.Value);
}

std::string JoinParts(const TNameParts& parts, size_t count, bool typed) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        if (i) out += '.';
        AppendPart(out, parts[i], typed);
    }
    return out;
}

// True when full lies strictly below container (types ignored, values without regard to case).
bool IsBelow(const TNameParts& full, const TNameParts& container) {
    if (full.size() <= container.size()) return false;
    size_t offset = full.size() - container.size();
    for (size_t i = 0; i < container.size(); ++i)
        if (!EqualsFolded(full[offset + i].Value, container[i].Value)) return false;
    return true;
}

} // namespace

bool IsSpecialDirectoryName(std::string_view name) {
    return name == RootName || name == PublicName || name == ThisName || name == SupervisorName;
}

NWCCODE ParseNameContext(std::string_view nameContext, TNameParts& parts) {
    parts.clear();
    if (nameContext.empty() || nameContext == RootName) return 0;
    if (nameContext.front() == '.') nameContext.remove_prefix(1);
    TResolvedName resolved;
    std::string full(1, '.');
    full.append(nameContext);
    NWCCODE code = ResolveInputName(full, {}, resolved);
    if (code != 0) return code;
    if (!resolved.Special.empty()) return ErrIllegalDsName;
    parts = std::move(resolved.Parts);
    return 0;
}

NWCCODE ResolveInputName(std::string_view input, const TNameParts& nameContext, TResolvedName& resolved) {
    resolved = {};
    if (input == RootName) return 0;
    if (IsSpecialDirectoryName(input)) {
        resolved.Special = std::string(input);
        return 0;
    }
    if (input.empty()) {
        resolved.Parts = nameContext;
        return 0;
    }
    auto pieces = SplitPieces(input);
    bool full = pieces.front().Empty;
    size_t first = full ? 1 : 0;
    size_t trailing = 0;
    while (pieces.size() > first + trailing && pieces[pieces.size() - 1 - trailing].Empty) ++trailing;
    size_t last = pieces.size() - trailing;   // one past the last named piece
    if (last <= first) return ErrIllegalDsName;
    for (size_t i = first; i < last; ++i)
        if (pieces[i].Empty) return ErrIllegalDsName;
    // A written-out "[Root]" at the top end names the root itself.
    if (pieces[last - 1].Part.Type.empty() && pieces[last - 1].Part.Value == RootName) {
        if (!full && trailing == 0) full = true;
        --last;
    }
    for (size_t i = first; i < last; ++i) resolved.Parts.push_back(std::move(pieces[i].Part));
    if (full) {
        if (trailing != 0) return ErrIllegalDsName;
        return 0;
    }
    if (trailing > nameContext.size()) return ErrIllegalDsName;
    resolved.Parts.insert(resolved.Parts.end(), nameContext.begin() + static_cast<ptrdiff_t>(trailing),
                          nameContext.end());
    return 0;
}

std::string WriteOutputName(const TNameParts& full, uint32_t flags, const TNameParts& nameContext) {
    if (full.empty()) return std::string(RootName);
    bool typed = (flags & DcvTypelessNames) == 0;
    if ((flags & DcvCanonicalizeNames) == 0 || nameContext.empty()) return JoinParts(full, full.size(), typed);
    if (IsBelow(full, nameContext)) return JoinParts(full, full.size() - nameContext.size(), typed);
    std::string written(1, '.');
    written += JoinParts(full, full.size(), typed);
    return written;
}

std::string WriteFullName(const TNameParts& full, bool typed) {
    if (full.empty()) return std::string(RootName);
    return JoinParts(full, full.size(), typed);
}

void ApplyDefaultTypes(TNameParts& parts) {
    static const std::string Leaf = "CN", Middle = "OU", Top = "O";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].Type.empty()) continue;
        if (i + 1 == parts.size()) parts[i].Type = Top;
        else if (i == 0) parts[i].Type = Leaf;
        else parts[i].Type = Middle;
    }
}

std::string NameKey(const TNameParts& full) {
    std::string key;
    for (size_t i = 0; i < full.size(); ++i) {
        if (i) key += '.';
        for (char c : full[i].Value) {
            if (c == '.' || c == '\\') key += '\\';
            key += FoldAsciiChar(c);
        }
    }
    return key;
}

bool SameName(const TNameParts& a, const TNameParts& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!EqualsFolded(a[i].Value, b[i].Value)) return false;
    return true;
}

namespace {

bool IsPlainValueChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == '@';
}

// DirectoryAttributeName of the few naming types an export uses, each worked out once (the
// spelling as written is the key: an unknown type keeps the letter case it was written in).
const std::string& CachedDirectoryName(std::string_view type) {
    thread_local std::vector<std::pair<std::string, std::string>> known;
    for (const auto& [ldap, directory] : known)
        if (ldap == type) return directory;
    if (known.size() >= 32) known.erase(known.begin());
    known.emplace_back(std::string(type), DirectoryAttributeName(type));
    return known.back().second;
}

// The DNs of an export are nearly all plain: "type=value" parts of letters, digits, "-", "_",
// ".", "@" and single blanks between them, joined by ",". Those are split here, as the library
// would split them; anything else (escapes, quotes, "+", "#", other characters, blanks at a
// part's ends, OIDs as types) goes to the library. False: not plain, parts untouched.
bool SplitPlainDn(std::string_view dn, TNameParts& parts) {
    TNameParts split;
    split.reserve(static_cast<size_t>(std::count(dn.begin(), dn.end(), ',')) + 1);
    size_t at = 0;
    for (;;) {
        const size_t typeStart = at;
        while (at < dn.size() && IsTypeChar(dn[at])) ++at;
        if (at == typeStart || at >= dn.size() || dn[at] != '=') return false;
        const char first = dn[typeStart];
        if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) return false;
        const std::string_view type = dn.substr(typeStart, at - typeStart);
        const size_t valueStart = ++at;
        while (at < dn.size() && dn[at] != ',') {
            const char c = dn[at];
            if (c == ' ') {
                // A blank stands only between two characters of the value.
                if (at == valueStart || at + 1 >= dn.size() || !IsPlainValueChar(dn[at + 1])) return false;
            } else if (!IsPlainValueChar(c)) {
                return false;
            }
            ++at;
        }
        if (at == valueStart) return false;
        TNamePart part;
        part.Type = CachedDirectoryName(type);
        part.Value.assign(dn.substr(valueStart, at - valueStart));
        split.push_back(std::move(part));
        if (at >= dn.size()) break;
        ++at;   // the ","
    }
    parts = std::move(split);
    return true;
}

} // namespace

bool LdapDnToParts(std::string_view dn, TNameParts& parts, std::string& error) {
    parts.clear();
    if (dn.empty()) return true;
    if (SplitPlainDn(dn, parts)) return true;
    LDAPDN parsed = nullptr;
    struct berval text{static_cast<ber_len_t>(dn.size()), const_cast<char*>(dn.data())};
    int rc = ldap_bv2dn(&text, &parsed, LDAP_DN_FORMAT_LDAPV3);
    if (rc != LDAP_SUCCESS) {
        error = "not a valid DN (" + std::string(ldap_err2string(rc)) + ")";
        return false;
    }
    bool ok = true;
    for (int i = 0; parsed && parsed[i]; ++i) {
        LDAPRDN rdn = parsed[i];
        if (rdn[0] == nullptr) continue;
        if (rdn[1] != nullptr) {
            error = "a multi-valued naming part is not supported";
            ok = false;
            break;
        }
        LDAPAVA* ava = rdn[0];
        if (ava->la_flags & LDAP_AVA_BINARY) {
            error = "a naming value in binary (#hex) form is not supported";
            ok = false;
            break;
        }
        TNamePart part;
        part.Type = DirectoryAttributeName(std::string_view(ava->la_attr.bv_val, ava->la_attr.bv_len));
        part.Value.assign(ava->la_value.bv_val, ava->la_value.bv_len);
        if (part.Value.empty()) {
            error = "a naming part has an empty value";
            ok = false;
            break;
        }
        parts.push_back(std::move(part));
    }
    ldap_dnfree(parsed);
    if (!ok) parts.clear();
    return ok;
}

std::string PartsToLdapDn(const TNameParts& parts) {
    std::string dn;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) dn += ',';
        dn += parts[i].Type.empty() ? std::string("cn") : LdapAttributeName(parts[i].Type);
        dn += '=';
        const std::string& value = parts[i].Value;
        for (size_t k = 0; k < value.size(); ++k) {
            char c = value[k];
            bool special = c == ',' || c == '+' || c == '"' || c == '\\' || c == '<' || c == '>' || c == ';' ||
                           c == '=' || (k == 0 && (c == '#' || c == ' ')) || (k + 1 == value.size() && c == ' ');
            if (special) dn += '\\';
            dn += c;
        }
    }
    return dn;
}

} // namespace era
