// The embedded directory's search: the filter of a request is read into an expression, bound to
// the context's tree and tested against every object in scope, or only against the holders of a
// name when the filter asks for an equality on a name attribute (the Security Equals search the
// analysis makes for every trustee, "[Public]" included, would otherwise walk the whole tree each
// time).
//
// How values compare, by the syntax of the attribute as the tree holds it:
// - names (distinguished name, back link, hold): the filter's value is a name read in the context;
//   equal when the stored value names the same object. A name that no object of the tree has
//   equals stored names of the same (missing) object; bracketed names ("[Public]") compare as
//   texts without regard to case. Names have no order.
// - ACL: subject (as a name), protected attribute (without regard to case) and privileges (the
//   whole mask) all equal; a plain text value compares the subject alone.
// - typed name: name, level and interval; path: volume (as a name), name space and path.
// - case-exact strings (2) byte for byte; every other text syntax without regard to ASCII case;
//   ordering of texts is byte order (after folding A-Z for the case-ignoring ones).
// - integers, counters, intervals (signed), booleans and times numerically.
// - octet strings byte for byte, ordered by unsigned bytes; case-ignore lists element by element.
// - "*" in an equality value of a string syntax (case exact, case ignore, printable, numeric,
//   telephone) is a wildcard for any run of characters, "\*" an asterisk itself: "(CN=j*)".
// - "approximately": for texts and names, the filter's text occurs somewhere in the stored text
//   (the name written in full, typeless) without regard to case; for every other syntax it is
//   equality.
// - "Object Class" holds, besides its stored values, the object's base class; class names may be
//   written in LDAP form ("inetOrgPerson" finds "User").
// An attribute that the tree does not know is held by no object.
//
// Per call a search returns at most countObjectsToSearch matches (none or less: no limit but the
// reply buffer) and reports in countObjectsSearched how many objects it tested in that call.
// Results carry names and object information whatever the information type: the reply buffer
// holds no attribute values per object. The time stamp (changes since) is not used: a snapshot
// has no change history.

#include "client/snapshot/snapshot_search.h"

#include "client/ascii_fold.h"
#include "client/client_text.h"
#include "client/schema_map.h"
#include "util/text.h"

#include <algorithm>
#include <numeric>

namespace era {

namespace {


using TValueTest = std::function<bool(const TStoredValue&)>;

bool Never(uint32_t) { return false; }

// --- Texts

bool ContainsFolded(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (size_t at = 0; at + part.size() <= text.size(); ++at)
        if (EqualsFolded(text.substr(at, part.size()), part)) return true;
    return false;
}

int CompareBytes(std::string_view a, std::string_view b, bool fold) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(fold ? FoldAsciiChar(a[i]) : a[i]);
        const auto y = static_cast<unsigned char>(fold ? FoldAsciiChar(b[i]) : b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Whether the stored value stands in the relation to the filter's value, given their order.
bool Holds(TFilterRelation relation, int order) {
    switch (relation) {
    case TFilterRelation::GreaterOrEqual: return order >= 0;
    case TFilterRelation::LessOrEqual: return order <= 0;
    default: return order == 0;
    }
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// --- Names

// A name of the filter, read once for the whole search.
struct TNameTarget {
    uint32_t Object = NoObject;   // the object of the tree it names
    std::string Special;          // a bracketed name, compared as text
    std::string Key;              // NameKey of a name that no object of the tree has
};

bool IsBracketed(std::string_view text) { return text.size() >= 2 && text.front() == '[' && text.back() == ']'; }

NWCCODE BindName(const TContextState& context, const TSnapshotTree& tree, const std::string& text,
                 TNameTarget& target) {
    target = {};
    // "[Public]", "[Inheritance Mask]" and the like are texts in stored values; only "[Root]" is an object.
    if (IsBracketed(text) && text != RootName) {
        target.Special = text;
        return 0;
    }
    TResolvedName resolved;
    NWCCODE code = ResolveInputName(text, context.NameContextParts, resolved);
    if (code != 0) return code;
    if (!resolved.Special.empty()) {
        target.Special = resolved.Special;
        return 0;
    }
    target.Object = tree.FindObject(resolved.Parts);
    if (target.Object == NoObject) target.Key = NameKey(resolved.Parts);
    return 0;
}

// The full parts of a stored name that names no object (kept as its typed full name).
bool DanglingParts(const std::string& text, TNameParts& parts) {
    TResolvedName resolved;
    if (ResolveInputName("." + text, {}, resolved) != 0 || !resolved.Special.empty()) return false;
    parts = std::move(resolved.Parts);
    return true;
}

bool NameMatches(const TStoredValue& value, const TNameTarget& target) {
    switch (value.Name) {
    case TNameRef::Object: return target.Object != NoObject && value.Object == target.Object;
    case TNameRef::Special: return !target.Special.empty() && EqualsFolded(value.Text, target.Special);
    case TNameRef::Dangling: {
        if (target.Key.empty()) return false;
        TNameParts parts;
        return DanglingParts(value.Text, parts) && NameKey(parts) == target.Key;
    }
    default: return false;
    }
}

// A stored name as text: the typeless full name of its object, or the text it was kept as.
std::string StoredNameText(const TSnapshotTree& tree, const TStoredValue& value) {
    switch (value.Name) {
    case TNameRef::Object:
        return value.Object == RootObject ? std::string(RootName) : WriteFullName(tree.FullName(value.Object), false);
    case TNameRef::Dangling: {
        TNameParts parts;
        return DanglingParts(value.Text, parts) ? WriteFullName(parts, false) : value.Text;
    }
    default: return value.Text;
    }
}

// --- The values of a filter

const std::string* FilterText(const TAttrValue& value) {
    if (const auto* text = std::get_if<TTextValue>(&value)) return &text->Text;
    if (const auto* mail = std::get_if<TEMailAddress>(&value)) return &mail->Address;
    if (const auto* fax = std::get_if<TFaxNumber>(&value)) return &fax->TelephoneNumber;
    return nullptr;
}

bool FilterNumber(const TAttrValue& value, int64_t& number) {
    if (const auto* integer = std::get_if<TIntegerValue>(&value)) number = integer->Value;
    else if (const auto* boolean = std::get_if<TBooleanValue>(&value)) number = boolean->Value ? 1 : 0;
    else if (const auto* time = std::get_if<TTimeStamp>(&value)) number = time->WholeSeconds;
    else return false;
    return true;
}

// How the stored values of a syntax compare.
enum class TValueKind { Name, Acl, TypedName, Path, Signed, Boolean, Time, Bytes, List, ExactText, FoldedText, Fax, None };

TValueKind KindOf(uint32_t syntax) {
    switch (syntax) {
    case SynDistName: case SynBackLink: case SynHold: return TValueKind::Name;
    case SynObjectACL: return TValueKind::Acl;
    case SynTypedName: return TValueKind::TypedName;
    case SynPath: return TValueKind::Path;
    case SynInteger: case SynCounter: case SynInterval: return TValueKind::Signed;
    case SynBoolean: return TValueKind::Boolean;
    case SynTimeStamp: case SynTime: return TValueKind::Time;
    case SynOctetString: return TValueKind::Bytes;
    case SynCiList: return TValueKind::List;
    case SynCeString: return TValueKind::ExactText;
    case SynFaxNumber: return TValueKind::Fax;
    case SynNetAddress: case SynOctetList: case SynReplicaPointer: case SynStream: return TValueKind::None;
    default: return TValueKind::FoldedText;   // case-ignore, printable, numeric, telephone, class name, e-mail ...
    }
}

// Whether the text matches the pieces of a wildcard value: the first begins it, the last ends it
// and the ones between follow each other in order, each at its first place (which leaves the most
// room for the rest).
bool MatchesWildcards(std::string_view text, const std::vector<std::string>& pieces, bool fold) {
    auto same = [fold](std::string_view a, std::string_view b) { return fold ? EqualsFolded(a, b) : a == b; };
    const std::string& first = pieces.front();
    const std::string& last = pieces.back();
    if (text.size() < first.size() + last.size() || !same(text.substr(0, first.size()), first) ||
        !same(text.substr(text.size() - last.size()), last))
        return false;
    size_t at = first.size();
    const size_t end = text.size() - last.size();
    for (size_t i = 1; i + 1 < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        bool found = false;
        for (; at + piece.size() <= end; ++at)
            if (same(text.substr(at, piece.size()), piece)) {
                found = true;
                break;
            }
        if (!found) return false;
        at += piece.size();
    }
    return true;
}

// A test of one stored value against a text, folded or exact, in the relation. In an equality of
// a string syntax the text is a wildcard value.
TValueTest TextTest(TFilterRelation relation, std::string text, bool fold, std::string alias = {},
                    bool wildcards = false) {
    if (wildcards && relation == TFilterRelation::Equal) {
        std::vector<std::string> pieces = SplitWildcards(text);
        if (pieces.size() > 1)
            return [pieces = std::move(pieces), fold](const TStoredValue& value) {
                return MatchesWildcards(value.Text, pieces, fold);
            };
        text = std::move(pieces.front());
    }
    if (relation == TFilterRelation::Approximate)
        return [text = std::move(text)](const TStoredValue& value) { return ContainsFolded(value.Text, text); };
    return [relation, fold, text = std::move(text), alias = std::move(alias)](const TStoredValue& value) {
        if (!alias.empty() && relation == TFilterRelation::Equal && EqualsFolded(value.Text, alias)) return true;
        return Holds(relation, CompareBytes(value.Text, text, fold));
    };
}

// The test of one stored value for a comparison; an empty function when no value can match.
NWCCODE ValueTest(const TContextState& context, const TSnapshotTree& tree, uint32_t syntax, const TFilterNode& node,
                  TValueTest& test) {
    test = nullptr;
    const TFilterRelation relation = node.Relation;
    const bool ordering = relation == TFilterRelation::GreaterOrEqual || relation == TFilterRelation::LessOrEqual;
    const std::string* text = FilterText(node.Value);
    int64_t number = 0;
    const TSnapshotTree* in = &tree;
    switch (KindOf(syntax)) {
    case TValueKind::Name: {
        if (!text || ordering) return 0;
        if (relation == TFilterRelation::Approximate) {
            std::string part = text->starts_with(".") ? text->substr(1) : *text;
            test = [in, part](const TStoredValue& value) { return ContainsFolded(StoredNameText(*in, value), part); };
            return 0;
        }
        TNameTarget target;
        NWCCODE code = BindName(context, tree, *text, target);
        if (code != 0) return code;
        test = [target](const TStoredValue& value) { return NameMatches(value, target); };
        return 0;
    }
    case TValueKind::Acl: {
        if (ordering) return 0;
        const auto* acl = std::get_if<TObjectACL>(&node.Value);
        const std::string* subject = acl ? &acl->SubjectName : text;
        if (!subject) return 0;
        TNameTarget target;
        NWCCODE code = BindName(context, tree, *subject, target);
        if (code != 0) return code;
        if (!acl) {
            test = [target](const TStoredValue& value) { return NameMatches(value, target); };
            return 0;
        }
        test = [target, attribute = acl->ProtectedAttrName, privileges = acl->Privileges](const TStoredValue& value) {
            return value.Number == privileges && EqualsFolded(value.Extra, attribute) && NameMatches(value, target);
        };
        return 0;
    }
    case TValueKind::TypedName: {
        if (ordering) return 0;
        const auto* typed = std::get_if<TTypedName>(&node.Value);
        const std::string* name = typed ? &typed->ObjectName : text;
        if (!name) return 0;
        TNameTarget target;
        NWCCODE code = BindName(context, tree, *name, target);
        if (code != 0) return code;
        if (!typed) {
            test = [target](const TStoredValue& value) { return NameMatches(value, target); };
            return 0;
        }
        test = [target, level = typed->Level, interval = typed->Interval](const TStoredValue& value) {
            return value.Number == level && value.Number2 == interval && NameMatches(value, target);
        };
        return 0;
    }
    case TValueKind::Path: {
        const auto* path = std::get_if<TPathValue>(&node.Value);
        if (!path || ordering) return 0;
        TNameTarget target;
        NWCCODE code = BindName(context, tree, path->VolumeName, target);
        if (code != 0) return code;
        // The path ends at its first zero character, as the filter language sends it.
        test = [target, nameSpace = path->NameSpaceType,
                within = CStrToStr(path->Path.data(), path->Path.size())](const TStoredValue& value) {
            return value.Number == nameSpace && EqualsFolded(value.Extra, within) && NameMatches(value, target);
        };
        return 0;
    }
    case TValueKind::Signed:
        if (!FilterNumber(node.Value, number)) return 0;
        test = [relation, number](const TStoredValue& value) {
            return Holds(relation, Order<int64_t>(static_cast<int32_t>(value.Number), number));
        };
        return 0;
    case TValueKind::Boolean:
    case TValueKind::Time:
        if (!FilterNumber(node.Value, number)) return 0;
        if (KindOf(syntax) == TValueKind::Boolean) number = number != 0;
        test = [relation, number, boolean = KindOf(syntax) == TValueKind::Boolean](const TStoredValue& value) {
            const int64_t stored = boolean ? (value.Number != 0) : int64_t{value.Number};
            return Holds(relation, Order<int64_t>(stored, number));
        };
        return 0;
    case TValueKind::Bytes: {
        std::string bytes;
        if (const auto* octets = std::get_if<TOctetString>(&node.Value)) bytes.assign(octets->Data.begin(), octets->Data.end());
        else if (text) bytes = *text;
        else return 0;
        test = [relation, bytes](const TStoredValue& value) {
            if (relation == TFilterRelation::Approximate) return value.Text.find(bytes) != std::string::npos;
            return Holds(relation, CompareBytes(value.Text, bytes, false));
        };
        return 0;
    }
    case TValueKind::List: {
        std::vector<std::string> elements;
        if (const auto* list = std::get_if<TCaseIgnoreList>(&node.Value)) elements = list->Elements;
        else if (text) elements = SplitDollar(*text);
        else return 0;
        if (ordering) return 0;
        if (relation == TFilterRelation::Approximate) {
            std::string joined;
            for (size_t i = 0; i < elements.size(); ++i) joined += (i ? "$" : "") + elements[i];
            test = [joined](const TStoredValue& value) { return ContainsFolded(value.Text, joined); };
            return 0;
        }
        test = [elements](const TStoredValue& value) {
            const auto stored = SplitDollar(value.Text);
            if (stored.size() != elements.size()) return false;
            for (size_t i = 0; i < stored.size(); ++i)
                if (!EqualsFolded(stored[i], elements[i])) return false;
            return true;
        };
        return 0;
    }
    case TValueKind::ExactText:
        if (text) test = TextTest(relation, *text, false, {}, IsWildcardSyntax(syntax));
        return 0;
    case TValueKind::FoldedText:
        if (!text) return 0;
        // Class names may be written as LDAP writes them; the tree holds directory names.
        test = TextTest(relation, *text, true, syntax == SynClassName ? DirectoryClassName(*text) : std::string(),
                        IsWildcardSyntax(syntax));
        return 0;
    case TValueKind::Fax:
        if (!text) return 0;
        // The stored number is followed by "$" and its parameters.
        test = [inner = TextTest(relation, *text, true)](const TStoredValue& value) {
            TStoredValue number;
            number.Text = value.Text.substr(0, value.Text.find('$'));
            return inner(number);
        };
        return 0;
    case TValueKind::None: return 0;
    }
    return 0;
}

bool IsObjectClass(std::string_view name) { return EqualsFolded(name, "Object Class"); }

NWCCODE BindNode(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& node, TObjectTest& test);

// An AND, OR or NOT: its operands bound first.
NWCCODE BindGroup(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& node, TObjectTest& test) {
    if (node.Kind == TFilterNodeKind::Not && node.Operands.size() != 1) return ErrInvalidFilterSyntax;
    std::vector<TObjectTest> operands(node.Operands.size());
    for (size_t i = 0; i < operands.size(); ++i) {
        NWCCODE code = BindNode(context, tree, node.Operands[i], operands[i]);
        if (code != 0) return code;
    }
    if (node.Kind == TFilterNodeKind::Not)
        test = [operand = operands.front()](uint32_t object) { return !operand(object); };
    else if (node.Kind == TFilterNodeKind::And)
        test = [operands](uint32_t object) {
            return std::all_of(operands.begin(), operands.end(), [object](const auto& t) { return t(object); });
        };
    else
        test = [operands](uint32_t object) {
            return std::any_of(operands.begin(), operands.end(), [object](const auto& t) { return t(object); });
        };
    return 0;
}

// Whether an object holds any value of the attribute (every object has its base class).
TObjectTest BindPresent(const TSnapshotTree& tree, const std::string& name) {
    if (IsObjectClass(name)) return [](uint32_t) { return true; };
    const uint32_t attribute = tree.FindAttribute(name);
    if (attribute == NoAttribute) return Never;
    return [in = &tree, attribute](uint32_t object) {
        const TStoredAttribute* stored = in->AttributeOf(object, attribute);
        return stored && !stored->Values.empty();
    };
}

// A comparison of an attribute's values (the base class counts as an object class value).
NWCCODE BindCompare(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& node,
                    TObjectTest& test) {
    const uint32_t attribute = tree.FindAttribute(node.Name);
    const bool objectClass = IsObjectClass(node.Name);
    test = Never;
    if (attribute == NoAttribute && !objectClass) return 0;
    const uint32_t syntax = attribute == NoAttribute ? SynClassName : tree.Attributes()[attribute].Syntax;
    TValueTest valueTest;
    NWCCODE code = ValueTest(context, tree, syntax, node, valueTest);
    if (code != 0 || !valueTest) return code;
    test = [in = &tree, attribute, objectClass, valueTest](uint32_t object) {
        if (objectClass) {
            TStoredValue baseClass;
            baseClass.Text = in->Object(object).BaseClass;
            if (valueTest(baseClass)) return true;
        }
        const TStoredAttribute* stored = in->AttributeOf(object, attribute);
        return stored && std::any_of(stored->Values.begin(), stored->Values.end(), valueTest);
    };
    return 0;
}

NWCCODE BindNode(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& node, TObjectTest& test) {
    const TSnapshotTree* in = &tree;
    switch (node.Kind) {
    case TFilterNodeKind::And:
    case TFilterNodeKind::Or:
    case TFilterNodeKind::Not: return BindGroup(context, tree, node, test);
    case TFilterNodeKind::Present:
        test = BindPresent(tree, node.Name);
        return 0;
    case TFilterNodeKind::RelativeName:
        test = [in, name = node.Name](uint32_t object) {
            if (object == RootObject) return name == RootName;
            const TNamePart& rdn = in->Object(object).Rdn;
            // "admin" or, typed, "CN=admin".
            return EqualsFolded(rdn.Value, name) ||
                   (name.size() == rdn.Type.size() + 1 + rdn.Value.size() && EqualsFolded(name, rdn.Type + "=" + rdn.Value));
        };
        return 0;
    case TFilterNodeKind::BaseClass:
        test = [in, name = node.Name, mapped = DirectoryClassName(node.Name)](uint32_t object) {
            const std::string& baseClass = in->Object(object).BaseClass;
            return EqualsFolded(baseClass, name) || EqualsFolded(baseClass, mapped);
        };
        return 0;
    case TFilterNodeKind::Compare: return BindCompare(context, tree, node, test);
    }
    return ErrInvalidFilterSyntax;
}

bool InScope(const TSnapshotTree& tree, uint32_t object, uint32_t base, int32_t scope) {
    switch (scope) {
    case DsSearchEntry: return object == base;
    case DsSearchSubordinates: return tree.Object(object).Parent == base;
    default: return object == base || tree.IsBelow(object, base);
    }
}

// Every object in scope, in file order.
void CollectScope(const TSnapshotTree& tree, uint32_t base, int32_t scope, std::vector<uint32_t>& objects) {
    objects.clear();
    if (scope == DsSearchEntry) {
        objects.push_back(base);
        return;
    }
    if (scope == DsSearchSubordinates) {
        objects = tree.Object(base).Children;   // the loader adds children in file order
        return;
    }
    if (base == RootObject) {
        objects.resize(tree.Objects().size());
        std::iota(objects.begin(), objects.end(), 0u);
        return;
    }
    // A stack, not recursion: an export may nest containers deeper than the call stack would bear.
    std::vector<uint32_t> pending{base};
    while (!pending.empty()) {
        const uint32_t object = pending.back();
        pending.pop_back();
        objects.push_back(object);
        const auto& children = tree.Object(object).Children;
        pending.insert(pending.end(), children.begin(), children.end());
    }
    std::sort(objects.begin(), objects.end());
}

} // namespace

NWCCODE BindSnapshotFilter(const TContextState& context, const TSnapshotTree& tree, const TFilterNode& filter,
                           TObjectTest& test) {
    test = nullptr;
    TObjectTest bound;
    NWCCODE code = BindNode(context, tree, filter, bound);
    if (code == 0) test = std::move(bound);
    return code;
}

const std::vector<uint32_t>* IndexedSnapshotCandidates(const TContextState& context, const TSnapshotTree& tree,
                                                       const TFilterNode& filter) {
    if (filter.Kind == TFilterNodeKind::And) {
        const std::vector<uint32_t>* best = nullptr;
        for (const auto& operand : filter.Operands)
            if (const auto* candidates = IndexedSnapshotCandidates(context, tree, operand))
                if (!best || candidates->size() < best->size()) best = candidates;
        return best;
    }
    if (filter.Kind != TFilterNodeKind::Compare || filter.Relation != TFilterRelation::Equal) return nullptr;
    const uint32_t attribute = tree.FindAttribute(filter.Name);
    if (attribute == NoAttribute) return nullptr;
    const TAttributeDef& def = tree.Attributes()[attribute];
    const std::string* name = nullptr;
    if (def.Syntax == SynDistName) {
        name = FilterText(filter.Value);
    } else if (def.Syntax == SynObjectACL && EqualsFolded(def.Name, "ACL")) {
        // The loader files the subjects of every ACL-syntax value under "ACL": for that attribute
        // the holders are a superset of the matches; for another ACL attribute they are not.
        const auto* acl = std::get_if<TObjectACL>(&filter.Value);
        name = acl ? &acl->SubjectName : FilterText(filter.Value);
    }
    if (!name) return nullptr;
    TNameTarget target;
    if (BindName(context, tree, *name, target) != 0) return nullptr;
    if (target.Object != NoObject) return &tree.Holders(attribute, target.Object);
    if (!target.Special.empty()) return &tree.SpecialHolders(attribute, target.Special);
    return &tree.DanglingHolders(attribute, target.Key);
}

NWCCODE TSnapshotSource::StartSearch(NWDSContextHandle context, const TContextState& state,
                                     const std::string& baseObjectName, int32_t scope, bool searchAliases,
                                     const TDSBuffer& filterBuffer, uint32_t infoType, std::unique_ptr<TSearch>& fresh) {
    if (scope < DsSearchEntry || scope > DsSearchSubtree) return ErrInvalidRequest;
    if (infoType != DsAttributeNames && infoType != DsAttributeValues) return ErrInvalidRequest;
    if (!filterBuffer.HasFilter()) return ErrInvalidFilterSyntax;
    TFilterNode filter;
    NWCCODE code = ParseFilterExpression(filterBuffer.Filter(), filter);
    if (code != 0) return code;
    const TSnapshotTree* tree = nullptr;
    uint32_t base = NoObject;
    code = FindObject(context, baseObjectName, (state.Flags & DcvDerefAliases) != 0, tree, base);
    if (code != 0) return code;
    fresh = NewIteration<TSearch>(context, DsvSearch);
    fresh->Tree = tree;
    fresh->SearchAliases = searchAliases;
    code = BindSnapshotFilter(state, *tree, filter, fresh->Test);
    if (code != 0) return code;
    // With aliases followed, an alias in scope can stand for any object: only the walk sees it.
    const std::vector<uint32_t>* indexed = searchAliases ? nullptr : IndexedSnapshotCandidates(state, *tree, filter);
    if (indexed) {
        for (uint32_t object : *indexed)
            if (InScope(*tree, object, base, scope)) fresh->Candidates.push_back(object);
    } else {
        CollectScope(*tree, base, scope, fresh->Candidates);
    }
    return 0;
}

NWCCODE TSnapshotSource::NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName,
                                           int32_t scope, bool searchAliases, const TDSBuffer& filterBuffer,
                                           uint32_t, uint32_t infoType, bool, const TDSBuffer*,
                                           int32_t& iterationHandle, int32_t countObjectsToSearch,
                                           int32_t& countObjectsSearched, TDSBuffer& result) {
    result.ClearResult();
    countObjectsSearched = 0;
    const TContextState* state = Context(context);
    if (!state) {
        iterationHandle = NoIteration;
        return ErrBadContext;
    }
    std::unique_ptr<TSearch> fresh;
    TSearch* search = nullptr;
    if (iterationHandle != NoIteration) {
        // A search goes on with what its first call set; base, scope and filter are not read again.
        search = Iterations().Resume<TSearch>(iterationHandle, context, DsvSearch);
        if (!search) return ErrInvalidHandle;
    } else {
        NWCCODE code = StartSearch(context, *state, baseObjectName, scope, searchAliases, filterBuffer, infoType, fresh);
        if (code != 0) return code;
        search = fresh.get();
    }

    const TSnapshotTree& tree = *search->Tree;
    TObjectBatch batch(result, countObjectsToSearch);
    for (; search->Next < search->Candidates.size(); ++search->Next) {
        uint32_t object = search->Candidates[search->Next];
        if (search->SearchAliases && tree.Object(object).BaseClass == "Alias") object = tree.Dereference(object);
        if (object == NoObject || (search->SearchAliases && search->Reported.count(object))) continue;
        if (!search->NextMatches) {
            if (countObjectsSearched < INT32_MAX) ++countObjectsSearched;
            if (!search->Test(object)) continue;
        }
        // A match that does not go into this batch stays next, known to match. Looking on to it
        // lets the last batch end the iteration itself instead of leaving an empty one behind.
        search->NextMatches = true;
        if (batch.Limited() || !batch.Add(OutputObjectName(*state, tree, object), ObjectInfo(tree, object))) break;
        search->NextMatches = false;
        if (search->SearchAliases) search->Reported.insert(object);
    }
    const bool finished = search->Next >= search->Candidates.size();
    return Iterations().EndBatch(iterationHandle, std::move(fresh), finished, batch.Code(), result);
}

} // namespace era
