#include "rights/search_filter.h"

#include "directory/attributes.h"
#include "directory/context.h"
#include "rights/notation.h"
#include "util/text.h"
#include "util/ui_host.h"
#include "directory/error_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <ctime>

namespace era {

namespace {

const std::string CRLF = "\r\n";

std::string Trim(std::string_view text) { return TrimRightChars(TrimLeftChars(text, " \t"), " \t"); }

// The comparison operators in the order they are looked for. "#NOTPRESENT#" must be found before
// "#PRESENT#", which it contains: otherwise "X#NOTPRESENT#" would read as a presence test on an
// attribute named "X#NOT" and the negated form could never be written.
const char* const Operators[] = {"<=", "#LE#", ">=", "#GE#", "=", "#EQ#", "#APPROX#", "#NOTPRESENT#",
                                 "#PRESENT#", "#NE#", "<>"};

bool ParseUnsigned(std::string_view text, uint64_t& value) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Seconds since 1970 of a date and time written the way the workstation writes them: the
// locale's date (and time), or the ISO form. The text is local time.
bool ParseLocalDateTime(const std::string& text, uint32_t& seconds) {
    static const char* const Patterns[] = {"%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%Y-%m-%dT%H:%M:%S",
                                           "%Y-%m-%d", "%x %X", "%x %H:%M", "%x"};
    const std::string t = Trim(text);
    for (const char* pattern : Patterns) {
        std::tm tm{};
        tm.tm_isdst = -1;
        const char* end = ::strptime(t.c_str(), pattern, &tm);
        if (!end || *end != '\0') continue;
        const std::time_t when = std::mktime(&tm);
        if (when < 0 || static_cast<uint64_t>(when) > UINT32_MAX) return false;
        seconds = static_cast<uint32_t>(when);
        return true;
    }
    return false;
}

// The widest field a template may ask for: a wider one ("%999999999s") would make a line of a
// gigabyte of blanks, so its format is copied as text like any conversion that is not honoured.
constexpr size_t MaxFieldWidth = 1024;

// The value formatted with a template field's format. Only "%s" conversions (with flags, width
// and precision) and "%%" are honoured: the format comes from the user, and any other conversion
// is copied as text rather than handed to printf.
std::string FormatField(const std::string& format, const std::string& value) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < format.size() && std::strchr("-+ #0", format[j])) ++j;
        size_t width = 0;
        for (; j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])); ++j)
            width = std::min<size_t>(width * 10 + static_cast<size_t>(format[j] - '0'), MaxFieldWidth + 1);
        if (j < format.size() && format[j] == '.') {
            ++j;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
        }
        if (j < format.size() && format[j] == 's' && j - i < 12 && width <= MaxFieldWidth) {
            out += Format(format.substr(i, j - i + 1).c_str(), value.c_str());
            i = j;
        } else {
            out += format[i];
        }
    }
    return out;
}

// The value of one template key for a found object; false when the field stays as it is.
bool LookupKey(NWDSContextHandle context, const std::string& key, const std::string& name,
               const std::string& baseClass, std::string& value) {
    value.clear();
    if (key == "dn") {
        U_DSGetFullName(context, name, value);
    } else if (key == "rdn") {
        U_DSGetRDN(context, name, value);
    } else if (key == "DN" || key == "NAME") {
        value = name;
    } else if (key == "CN") {
        if (!name.starts_with(".")) {
            value = StrBefore(name, ".", true);
            const size_t at = value.find("CN=");
            if (at != std::string::npos) value = value.substr(at + 3);
        }
    } else if (key == "CTX") {
        U_DSGetParentName(context, name, value);
    } else if (key == "CREATIONTIME") {
        value = FormatDateTime("ddddd t", U_DSGetCreateTime(context, name));
    } else if (key == "MODIFICATIONTIME") {
        value = FormatDateTime("ddddd t", U_DSGetModifyTime(context, name));
    } else if (key == "CLASS") {
        value = baseClass;
    } else {
        NWCCODE code = U_DSGetAttributeText(context, name, key, value);
        if (code == ErrNoSuchAttribute) {
            value.clear();
        } else if (code != 0) {
            return false;
        }
    }
    return true;
}

NWCCODE EmitComparison(NWDSContextHandle context, TFilterCursor& cursor, std::string attribute,
                       std::string op, const std::string& value) {
    TDirectoryClient& client = Client();
    if (TextEquals(attribute, "Base Class")) {
        if (value == "*") return ErrInvalidFilterSyntax;
        std::string className = value;
        if (TextEquals(className, "o")) className = "Organization";
        if (TextEquals(className, "ou")) className = "Organizational Unit";
        NWCCODE code = client.NWDSAddFilterToken(cursor, FtokBaseClass);
        if (code == 0) code = client.NWDSAddFilterToken(cursor, FtokAName, className, SynClassName);
        return code;
    }
    if ((TextEquals(attribute, "Name") || TextEquals(attribute, "RDN")) && op == "=") {
        if (value == "*") return ErrInvalidFilterSyntax;
        NWCCODE code = client.NWDSAddFilterToken(cursor, FtokRdn);
        if (code == 0) code = client.NWDSAddFilterToken(cursor, FtokAName, value, SynDistName);
        return code;
    }
    if (TextEquals(attribute, "Aux Class")) attribute = "Object Class";
    uint32_t syntax = 0;
    NWCCODE code = client.NWDSGetSyntaxID(context, attribute, syntax);
    if (code != 0) return code;
    if (op == "=" && value == "*") op = "#PRESENT#";
    if (op == "#PRESENT#") {
        code = client.NWDSAddFilterToken(cursor, FtokPresent);
        if (code != 0) return code;
    }
    code = client.NWDSAddFilterToken(cursor, FtokAName, attribute, syntax);
    if (code != 0) return code;
    uint32_t relation = 0;
    if (op == "=" || op == "#EQ#") relation = FtokEq;
    else if (op == ">=" || op == "#GE#") relation = FtokGe;
    else if (op == "<=" || op == "#LE#") relation = FtokLe;
    else if (op == "#APPROX#") relation = FtokApprox;
    if (relation != 0) {
        code = client.NWDSAddFilterToken(cursor, relation);
        if (code != 0) return code;
    }
    if (op == "#PRESENT#") return 0;
    TAttrValue converted;
    code = ConvertFilterValue(value, syntax, converted);
    if (code != 0) return code;
    return client.NWDSAddFilterToken(cursor, FtokAVal, converted, syntax);
}

NWCCODE EmitNegated(NWDSContextHandle context, TFilterCursor& cursor, const std::string& attribute,
                    const std::string& value) {
    TDirectoryClient& client = Client();
    NWCCODE code = client.NWDSAddFilterToken(cursor, FtokLParen);
    if (code == 0) code = client.NWDSAddFilterToken(cursor, FtokNot);
    if (code == 0) code = EmitComparison(context, cursor, attribute, "=", value);
    if (code == 0) code = client.NWDSAddFilterToken(cursor, FtokRParen);
    return code;
}

} // namespace

bool FilterIsBalanced(const std::string& filter) {
    return std::count(filter.begin(), filter.end(), '(') == std::count(filter.begin(), filter.end(), ')');
}

std::vector<std::string> TokenizeFilter(const std::string& filter) {
    // Filters typed on one system and pasted on another may end their lines with LF alone.
    std::string text = StrReplace(StrReplace(filter, CRLF, "\n", true, true), "\n", CRLF, true, true);
    auto apart = [&text](const char* old, const std::string& replacement) {
        // Most filters hold few of the forms: a form that is not there changes nothing.
        if (text.find(old) != std::string::npos) text = StrReplace(text, old, replacement, true, true);
    };
    apart("(", CRLF + "(" + CRLF);
    apart(")", CRLF + ")" + CRLF);
    for (const char* andForm : {"#AND#", "&&", "&"}) apart(andForm, CRLF + "#AND#" + CRLF);
    for (const char* orForm : {"#OR#", "||", "|"}) apart(orForm, CRLF + "#OR#" + CRLF);
    apart("#NOT#", CRLF + "#NOT#" + CRLF);
    apart("!=", "#NE#");
    apart("!", CRLF + "#NOT#" + CRLF);
    apart((CRLF + " ").c_str(), CRLF);
    apart((" " + CRLF).c_str(), CRLF);
    apart((CRLF + CRLF).c_str(), CRLF);
    apart((CRLF + "AND" + CRLF).c_str(), CRLF + "#AND#" + CRLF);
    apart((CRLF + "OR" + CRLF).c_str(), CRLF + "#OR#" + CRLF);
    apart((CRLF + "NOT" + CRLF).c_str(), CRLF + "#NOT#" + CRLF);

    std::vector<std::string> tokens;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(CRLF, start);
        tokens.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + CRLF.size();
    }
    return tokens;
}

namespace {

// The filter value of an integer, counter or interval: a decimal number from 0 to 2147483647.
NWCCODE IntegerFilterValue(const std::string& text, TAttrValue& value) {
    std::string digits = Trim(text);
    bool negative = !digits.empty() && digits[0] == '-';
    uint64_t number = 0;
    if (!ParseUnsigned(negative || (!digits.empty() && digits[0] == '+') ? std::string_view(digits).substr(1)
                                                                         : std::string_view(digits),
                       number))
        return ErrSyntaxViolation;
    // A number outside 0 to 2147483647 cannot be searched for; it is refused with the same code
    // as an unreadable one rather than ending the search as if nothing were found.
    if (negative ? number != 0 : number > INT32_MAX) return ErrSyntaxViolation;
    value = TIntegerValue{static_cast<int32_t>(number)};
    return 0;
}

// An octet string: "0x" and hexadecimal digits, else the text's own bytes.
NWCCODE OctetFilterValue(const std::string& text, TAttrValue& value) {
    TOctetString octets;
    if (text.starts_with("0x")) {
        std::vector<uint8_t> bytes(text.size() / 2 + 1);
        size_t count = bytes.size();
        if (HexToBytes(text, count, bytes)) {
            bytes.resize(count);
            octets.Data = bytes;
            value = octets;
            return 0;
        }
    }
    octets.Data.assign(text.begin(), text.end());
    value = octets;
    return 0;
}

// A path: "(name space) volume:path", the name space optional.
NWCCODE PathFilterValue(const std::string& text, TAttrValue& value) {
    TPathValue path;
    std::string rest = text;
    if (rest.starts_with("(")) {
        const size_t close = rest.find(") ");
        uint64_t number = 0;
        if (close != std::string::npos && ParseUnsigned(std::string_view(rest).substr(1, close - 1), number) &&
            number <= UINT32_MAX) {
            path.NameSpaceType = static_cast<uint32_t>(number);
            rest = rest.substr(close + 2);
        }
    }
    path.VolumeName = StrBefore(rest, ":", true);
    path.Path = rest.find(':') == std::string::npos ? std::string() : StrAfter(rest, ":", true);
    path.Path += '\0';   // the path goes to the client with one zero character after it
    value = path;
    return 0;
}

// An ACL: "attribute#trustee#rights".
NWCCODE AclFilterValue(const std::string& text, TAttrValue& value) {
    const TArrayOfString parts = SplitToArray(text, "#");
    if (parts.size() != 3) return ErrSyntaxViolation;
    bool ok = true;
    const uint32_t mask = U_StrToRights(parts[2], U_RightsKindOf(parts[1]), &ok);
    if (!ok) return ErrSyntaxViolation;
    value = TObjectACL{parts[1], parts[0], mask};
    return 0;
}

// A typed name: "name#level#interval".
NWCCODE TypedNameFilterValue(const std::string& text, TAttrValue& value) {
    const TArrayOfString parts = SplitToArray(text, "#");
    uint64_t level = 0, interval = 0;
    if (parts.size() != 3 || !ParseUnsigned(Trim(parts[1]), level) || !ParseUnsigned(Trim(parts[2]), interval) ||
        level > UINT32_MAX || interval > UINT32_MAX)
        return ErrSyntaxViolation;
    value = TTypedName{parts[0], static_cast<uint32_t>(level), static_cast<uint32_t>(interval)};
    return 0;
}

} // namespace

NWCCODE ConvertFilterValue(const std::string& text, uint32_t syntax, TAttrValue& value) {
    switch (syntax) {
    case SynDistName: case SynCeString: case SynCiString: case SynPrString: case SynNuString:
    case SynTelNumber: case SynClassName:
        value = TTextValue{text};
        return 0;
    case SynCiList: {
        // A case-ignore list is written with "$" between its elements, as LDAP writes it.
        TCaseIgnoreList list;
        for (const auto& element : SplitToArray(text, "$")) list.Elements.push_back(element);
        value = list;
        return 0;
    }
    case SynBoolean: {
        const bool yes = TextEquals(text, "T") || TextEquals(text, "Y") || TextEquals(text, "TRUE") ||
                         TextEquals(text, "YES");
        value = TBooleanValue{static_cast<uint8_t>(yes ? 1 : 0)};
        return 0;
    }
    case SynInteger: case SynCounter: case SynInterval:
        return IntegerFilterValue(text, value);
    case SynOctetString:
        return OctetFilterValue(text, value);
    case SynFaxNumber:
        value = TFaxNumber{text, 0, {}};
        return 0;
    case SynEMailAddress:
        value = TEMailAddress{0, text};
        return 0;
    case SynPath:
        return PathFilterValue(text, value);
    case SynObjectACL:
        return AclFilterValue(text, value);
    case SynTimeStamp: case SynTime: {
        uint32_t seconds = 0;
        if (!ParseLocalDateTime(text, seconds)) return ErrSyntaxViolation;
        value = TTimeStamp{seconds, 0, 0};
        return 0;
    }
    case SynTypedName:
        return TypedNameFilterValue(text, value);
    default:
        return ErrIllegalAttributeSyntax;
    }
}

std::string FilterProblem(const std::string& filter, NWCCODE code) {
    const auto opening = std::count(filter.begin(), filter.end(), '(');
    const auto closing = std::count(filter.begin(), filter.end(), ')');
    if (opening != closing)
        return Format("the filter holds %d \"(\" but %d \")\"", static_cast<int>(opening), static_cast<int>(closing));
    int depth = 0, deepest = 0, items = 0;
    for (const auto& raw : TokenizeFilter(filter)) {
        const std::string token = Trim(raw);
        if (token.empty() || token == "#AND#" || token == "#OR#" || token == "#NOT#") continue;
        if (token == "(") {
            deepest = std::max(deepest, ++depth);
            continue;
        }
        if (token == ")") {
            --depth;
            continue;
        }
        ++items;
        // "~=" holds "=", so the item reads as a comparison of an attribute whose name ends in "~".
        if (token.find("~=") != std::string::npos)
            return "the operator \"~=\" is not supported; write \"#APPROX#\" for \"approximately equal\"";
        if (std::none_of(std::begin(Operators), std::end(Operators),
                         [&token](const char* op) { return token.find(op) != std::string::npos; }))
            return "\"" + token + "\" has no comparison operator; expected =, <=, >=, !=, <>, #APPROX#, #PRESENT# or "
                   "#NOTPRESENT#";
    }
    if (deepest > MaxFilterDepth)
        return Format("the filter nests groups %d deep; the directory takes at most %d", deepest, MaxFilterDepth);
    if (code == ErrBufferFull)
        return Format("the filter's %d terms do not fit the directory's request buffer of %u bytes", items,
                      DefaultMessageLen);
    return {};
}

NWCCODE EmitFilterTokens(NWDSContextHandle context, const std::vector<std::string>& tokens,
                         std::unique_ptr<TFilterCursor>& cursor) {
    TDirectoryClient& client = Client();
    for (const auto& raw : tokens) {
        const std::string token = Trim(raw);
        if (token.empty()) continue;
        if (!cursor) {
            NWCCODE code = client.NWDSAllocFilter(cursor);
            if (code != 0) return code;
        }
        NWCCODE code = 0;
        if (token == "(") code = client.NWDSAddFilterToken(*cursor, FtokLParen);
        else if (token == ")") code = client.NWDSAddFilterToken(*cursor, FtokRParen);
        else if (token == "#AND#") code = client.NWDSAddFilterToken(*cursor, FtokAnd);
        else if (token == "#OR#") code = client.NWDSAddFilterToken(*cursor, FtokOr);
        else if (token == "#NOT#") code = client.NWDSAddFilterToken(*cursor, FtokNot);
        else {
            const char* found = nullptr;
            size_t at = std::string::npos;
            for (const char* op : Operators) {
                at = token.find(op);
                if (at != std::string::npos) {
                    found = op;
                    break;
                }
            }
            if (!found) return ErrInvalidFilterSyntax;
            const std::string op = found;
            const std::string attribute = Trim(token.substr(0, at));
            const std::string value = Trim(token.substr(at + op.size()));
            if (op == "#NE#" || op == "<>")
                code = EmitNegated(context, *cursor, attribute, value);
            else if (op == "#NOTPRESENT#")
                code = EmitNegated(context, *cursor, attribute, "*");
            else
                code = EmitComparison(context, *cursor, attribute, op, value);
        }
        if (code != 0) return code;
    }
    return 0;
}

std::string FormatSearchTemplate(NWDSContextHandle context, const std::string& outputTemplate,
                                 const std::string& name, const std::string& baseClass, uint32_t& namePosition) {
    std::string text = outputTemplate;
    size_t from = 0;
    for (;;) {
        const size_t open = text.find("#[", from);
        if (open == std::string::npos) break;
        const size_t close = text.find("]#", open + 2);
        if (close == std::string::npos) break;
        const std::string field = text.substr(open + 2, close - open - 2);
        std::string format = "%s", key = field;
        const size_t split = field.find("][");
        if (split != std::string::npos) {
            format = field.substr(0, split);
            key = field.substr(split + 2);
        }
        std::string value;
        if (key.empty() || !LookupKey(context, key, name, baseClass, value)) {
            from = close + 2;   // the field stays; go on behind it
            continue;
        }
        const std::string formatted = FormatField(format, value);
        text.replace(open, close + 2 - open, formatted);
        from = open + formatted.size();   // a value is never read as a field itself
    }
    text = StrReplace(text, "#CLASS#", baseClass, true, true);
    namePosition = static_cast<uint32_t>(PosCase("#NAME#", text, true));
    return StrReplace(text, "#NAME#", name, true, true);
}

NWCCODE U_DSSearch(NWDSContextHandle context, const std::string& base, const std::string& filterText,
                   intptr_t userValue, const bool* stopFlag, const TSearchCallback& callback, int& found,
                   int maxCount, const std::string& outputTemplate, TStringList* results, int scope) {
    if (!FilterIsBalanced(filterText)) return ErrInvalidFilterSyntax;
    const std::string filter = filterText.empty() ? "(Object Class#PRESENT#)" : filterText;
    const std::string lineTemplate = outputTemplate.empty() ? "#NAME#" : outputTemplate;
    TDirectoryClient& client = Client();
    NWCCODE code = 0;
    int32_t iteration = -1;
    try {
        TDSBuffer request(DefaultMessageLen);
        TDSBuffer reply(MaxMessageLen);
        code = client.NWDSInitBuf(context, DsvSearchFilter, request);
        if (code != 0) return code;
        std::unique_ptr<TFilterCursor> cursor;
        code = EmitFilterTokens(context, TokenizeFilter(filter), cursor);
        if (code == 0 && !cursor) code = ErrInvalidFilterSyntax;
        if (code == 0) code = client.NWDSAddFilterToken(*cursor, FtokEnd);
        if (code == 0) code = client.NWDSPutFilter(context, request, *cursor);
        client.NWDSFreeFilter(cursor);
        if (code != 0) return code;

        do {
            UiHost().ProcessMessages();
            int32_t searched = 0;
            code = client.NWDSExtSyncSearch(context, base, scope, false, request, 0, DsAttributeNames, false,
                                            nullptr, iteration, 50, searched, reply);
            if (code != 0) break;
            uint32_t count = 0;
            client.NWDSGetObjectCount(context, reply, count);
            for (uint32_t i = 0; i < count; ++i) {
                UiHost().ProcessMessages();
                std::string name;
                uint32_t attrCount = 0;
                TObjectInfo info;
                NWCCODE readCode = client.NWDSGetObjectName(context, reply, name, attrCount, info);
                if (readCode != 0) {
                    U_ReportError(readCode, "");
                    continue;
                }
                ++found;
                if (callback || results) {
                    uint32_t namePosition = 0;
                    const std::string line = FormatSearchTemplate(context, lineTemplate, name, info.BaseClass,
                                                                  namePosition);
                    if (callback) {
                        try {
                            callback(iteration, userValue);
                        } catch (...) {
                        }
                    }
                    if (results) results->AddObject(line, namePosition);
                }
                if ((stopFlag && *stopFlag) || (maxCount > 0 && found >= maxCount)) {
                    client.NWDSCloseIteration(context, iteration, DsvSearch);
                    return code;
                }
            }
        } while (iteration != -1);
    } catch (...) {
        // A search never throws past its caller; what it reached stands. A search broken off
        // between batches is closed, or the client would hold its iteration for good.
        if (iteration != -1) client.NWDSCloseIteration(context, iteration, DsvSearch);
    }
    return code;
}

NWCCODE U_DSFilteredSearch(NWDSContextHandle context, const std::string& base, const std::string& filter,
                           TStringList* results, int scope) {
    int found = 0;
    return U_DSSearch(context, base, filter, 0, nullptr, nullptr, found, 0, "#NAME#", results, scope);
}

} // namespace era
