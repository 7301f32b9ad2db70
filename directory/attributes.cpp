#include "directory/attributes.h"

#include "directory/context.h"
#include "directory/names.h"
#include "directory/rights_bits.h"
#include "directory/stream_format.h"
#include "directory/value_format.h"
#include "util/text.h"

namespace era {

namespace {

// Appends one value's lines; a value the formatter cannot show becomes a line with the reason,
// and the values after it still follow.
void AppendValue(const std::string& attribute, TStringList& lines, const TAttrValue& value, uint32_t syntax,
                 uint32_t size, uint32_t position) {
    std::string failure;
    if (!U_FormatValue(attribute, lines, value, syntax, size, position, failure)) lines.Add(failure);
}

// One pseudo-attribute or attribute as lines; code of the read.
NWCCODE ReadHead(NWDSContextHandle context, const std::string& object, const std::string& head, TStringList& lines) {
    std::string text;
    NWCCODE code = 0;
    if (TextEquals(head, "CONTEXT")) {
        code = U_DSGetParentName(context, object, text);
    } else if (TextEquals(head, "RDN")) {
        code = U_DSGetRDN(context, object, text);
    } else if (TextEquals(head, "CLASS")) {
        code = U_DSGetBaseClass(context, object, text);
    } else if (TextEquals(head, "createTimeStamp")) {
        text = FormatDateTime("ddddd t", U_DSGetCreateTime(context, object));
    } else if (TextEquals(head, "modifyTimestamp")) {
        text = FormatDateTime("ddddd t", U_DSGetModifyTime(context, object));
    } else {
        return U_DSGetAttribute(context, object, head, lines);
    }
    if (code == 0) lines.Add(text);
    return code;
}

} // namespace

NWCCODE U_DSReadObjectInfo(NWDSContextHandle context, const std::string& name, DSObjectInfo& info) {
    info.Info = {};
    std::string fullName;
    TObjectInfo objectInfo;
    NWCCODE code = Client().NWDSReadObjectInfo(context, name, fullName, objectInfo);
    if (code == 0) {
        info.Info = objectInfo;
        if (info.BaseClass.empty()) info.BaseClass = objectInfo.BaseClass;
        info.FullName = fullName;
    }
    return code;
}

bool U_DSObjectExists(NWDSContextHandle context, const std::string& name, DSObjectInfo& info, NWCCODE* code) {
    info.FullName.clear();
    NWCCODE result = U_DSReadObjectInfo(context, name, info);
    if (code) *code = result;
    return result == 0 && !info.FullName.empty();
}

bool U_DSIsContainer(NWDSContextHandle context, const std::string& name) {
    DSObjectInfo info;
    return U_DSReadObjectInfo(context, name, info) == 0 && (info.Info.ObjectFlags & DsContainerEntry) != 0;
}

bool U_DSIsLeaf(NWDSContextHandle context, const std::string& name) { return !U_DSIsContainer(context, name); }

NWCCODE U_DSGetAttribute(NWDSContextHandle context, const std::string& object, const std::string& attribute,
                         TStringList& lines) {
    TDirectoryClient& client = Client();
    TDSContext copy;
    NWCCODE code = TDSContext::Duplicate(context, copy);
    if (code != 0) return code;
    // An alias's own target name is wanted, not the target's attribute of that name.
    if (TextEquals(attribute, "Aliased Object Name")) {
        code = U_DSSetContextFlag(copy.Get(), "-", DcvDerefAliases);
        if (code != 0) return code;
    }
    TDSBuffer request(DefaultMessageLen);
    code = client.NWDSInitBuf(copy.Get(), DsvRead, request);
    if (code == 0) code = client.NWDSPutAttrName(copy.Get(), request, attribute);
    if (code != 0) return code;
    TDSBuffer result(MaxMessageLen);
    code = client.NWDSInitBuf(copy.Get(), DsvRead, result);
    if (code != 0) return code;

    int32_t iteration = -1;
    uint32_t position = 0;
    do {
        code = client.NWDSRead(copy.Get(), object, DsAttributeValues, false, &request, iteration, result);
        if (code != 0) break;
        uint32_t attributes = 0;
        code = client.NWDSGetAttrCount(copy.Get(), result, attributes);
        for (uint32_t a = 0; code == 0 && a < attributes; ++a) {
            std::string name;
            uint32_t values = 0, syntax = 0;
            code = client.NWDSGetAttrName(copy.Get(), result, name, values, syntax);
            if (code != 0) break;
            if (syntax == SynStream) {
                std::string text;
                code = U_DSReadStream(copy.Get(), object, name, text);
                if (code == 0) lines.Add(text);
                continue;
            }
            for (uint32_t v = 0; code == 0 && v < values; ++v) {
                uint32_t size = 0;
                code = client.NWDSComputeAttrValSize(copy.Get(), result, syntax, size);
                if (code != 0) break;
                // The value is taken from the buffer even when empty, so the next one follows.
                TAttrValue value;
                code = client.NWDSGetAttrVal(copy.Get(), result, syntax, value);
                ++position;
                if (code == 0 && size > 0) AppendValue(name, lines, value, syntax, size, position);
            }
        }
    } while (code == 0 && iteration != -1);
    return code;
}

namespace {

// The most lines the steps of an attribute path may read together (enough for the telephone
// numbers of a group of 100,000 members). Each step multiplies: where groups are members of each
// other, "Member|Group Membership|Member|..." doubles at every pair of steps, and two dozen
// steps took minutes and gigabytes before anything was shown.
constexpr int MaxPathLines = 250000;

// Whether a failure of a later step means only that the object has nothing to give there.
bool GivesNothing(NWCCODE code) {
    return code == ErrNoSuchAttribute || code == ErrNoSuchValue || code == ErrNoSuchEntry;
}

NWCCODE ReadPath(NWDSContextHandle context, const std::string& object, const std::string& path, TStringList& lines,
                 int& budget) {
    std::string head, rest;
    SplitFirst(path, "|", head, rest);
    TStringList first;
    NWCCODE code = ReadHead(context, object, head, first);
    // The budget counts the lines every step reads, so it bounds the work as well as the answer.
    if (code == 0 && first.Count() > budget) code = ErrInsufficientBuffer;
    if (code == 0) budget -= first.Count();
    if (code == 0 && !rest.empty()) {
        const bool typedNames = TextEquals(head, "creatorsName") || TextEquals(head, "modifiersName");
        TStringList collected;
        NWCCODE failure = 0, nothing = 0;
        bool answered = false;
        for (const auto& item : first.Items()) {
            const std::string next = typedNames ? U_FullName(U_TypelessName(item.Text)) : item.Text;
            TStringList nested;
            const NWCCODE nestedCode = ReadPath(context, next, rest, nested, budget);
            if (nestedCode == ErrInsufficientBuffer) {
                failure = nestedCode;
                break;
            }
            if (nestedCode == 0) {
                answered = true;
                for (const auto& line : nested.Items()) collected.AddObject(line.Text, line.Object);
            } else if (GivesNothing(nestedCode)) {
                nothing = nestedCode;
            } else {
                failure = nestedCode;
            }
        }
        // An object without the attribute (or gone from the tree) contributes nothing, wherever it
        // stands in the list: the path fails for it only when no object answered at all. Other
        // failures are passed on.
        code = failure != 0 ? failure : answered ? 0 : nothing;
        first = std::move(collected);
    }
    lines = std::move(first);
    return code;
}

} // namespace

NWCCODE U_DSGetAttributeEx(NWDSContextHandle context, const std::string& object, const std::string& path,
                           TStringList& lines) {
    int budget = MaxPathLines;
    return ReadPath(context, object, path, lines, budget);
}

NWCCODE U_DSGetAttributeText(NWDSContextHandle context, const std::string& object, const std::string& path,
                             std::string& text) {
    TStringList lines;
    NWCCODE code = U_DSGetAttributeEx(context, object, path, lines);
    if (code == 0) text = TrimRightChars(lines.Text(), "\r\n");
    return code;
}

NWCCODE U_DSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE connection, std::string& serverDN) {
    NWCCODE code = Client().NWDSGetServerDN(context, connection, serverDN);
    if (code != 0) serverDN.clear();
    return code;
}

std::string U_DSGetEffectiveRights(NWDSContextHandle context, const std::string& subject, const std::string& object,
                                   const std::string& attribute, uint32_t& mask, NWCCODE* code) {
    static const std::string entryRights(EntryRightsAttr);
    const std::string& protectedAttribute = attribute.empty() ? entryRights : attribute;
    std::string me;
    if (subject.empty()) me = U_DSWhoAmI(context);
    const std::string& trustee = subject.empty() ? me : subject;
    mask = 0;
    uint32_t privileges = 0;
    const NWCCODE answered = Client().NWDSGetEffectiveRights(context, trustee, object, protectedAttribute, privileges);
    if (code) *code = answered;
    if (answered != 0) return "[n/a]";
    mask = privileges;
    return U_RightsToStr(privileges, U_RightsKindOf(protectedAttribute));
}

} // namespace era
