#include "client/snapshot/snapshot_client.h"

#include "client/client_text.h"
#include "client/snapshot/ldif_loader.h"
#include "client/snapshot/snapshot_search.h"

#include "client/ascii_fold.h"
#include "client/schema_map.h"

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace era {

// One read or listing that goes on over several calls.
struct TSnapshotSource::TIteration : TIterationBase {
    const TSnapshotTree* Tree = nullptr;
    uint32_t Object = NoObject;
    uint32_t InfoType = DsAttributeValues;
    std::vector<uint32_t> Slots;           // read: the object's attributes to send, in order
    TReadCursor Read;                      // read: where the next batch starts
    size_t NextChild = 0;                  // listing: the next child
};

namespace {

constexpr size_t MaxBaseClassBytes = 32;
constexpr size_t MaxKnownNames = 1 << 20;   // full names kept per tree before the store starts again

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

} // namespace

TSnapshotSource::TSnapshotSource(std::unique_ptr<TSnapshotTree> tree) : tree_(std::move(tree)) {}

TSnapshotSource::~TSnapshotSource() = default;

const TSnapshotTree* TSnapshotSource::ContextTree(NWDSContextHandle context) const {
    return Context(context) ? tree_.get() : nullptr;
}

uint32_t TSnapshotSource::FileObject(const TNameParts& full) {
    const uint32_t object = tree_->FindObject(full);
    return object == NoObject ? NoIndex : object;
}

uint16_t TSnapshotSource::FileRights(uint32_t user, const TWorkstationServer& server, const TWorkstationVolume& volume,
                                     uint32_t directory) {
    return rights_.Of(*tree_).FileRights(user, server, volume, directory);
}

const TSnapshotTree* SnapshotTreeOf(const TDirectorySource& source) {
    const auto* snapshot = dynamic_cast<const TSnapshotSource*>(&source);
    return snapshot ? &snapshot->Tree() : nullptr;
}

std::unique_ptr<TDirectorySource> SnapshotTreeSource(const nlohmann::ordered_json& entry, const std::string& baseFolder,
                                                     const std::string& treeName, std::string& error) {
    const auto& file = entry.at("ldif");
    if (!file.is_string() || file.get<std::string>().empty()) {
        error = "expected the name of an LDIF file";
        return nullptr;
    }
    std::filesystem::path path(file.get<std::string>());
    if (path.is_relative()) path = std::filesystem::path(baseFolder) / path;
    auto tree = LoadLdifTree(path.lexically_normal().string(), treeName, error);
    if (!tree) return nullptr;
    return std::make_unique<TSnapshotSource>(std::move(tree));
}

NWCCODE TSnapshotSource::FindObject(NWDSContextHandle context, const std::string& name, bool deref,
                                    const TSnapshotTree*& tree, uint32_t& object) const {
    tree = nullptr;
    object = NoObject;
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    tree = ContextTree(context);
    if (!tree) return ErrTreeNotFound;
    // A full name (".name.org") reads the same in every context: what it names is kept, since the
    // analysis asks about the same few names over and over.
    const bool full = name.size() > 1 && name[0] == '.';
    auto& known = knownNames_[tree];
    auto found = full ? known.find(name) : known.end();
    if (found != known.end()) {
        object = found->second;
    } else {
        TResolvedName resolved;
        NWCCODE code = ResolveName(*state, name, resolved);
        if (code != 0) return code;
        if (!resolved.Special.empty()) return ErrNoSuchEntry;
        object = tree->FindObject(resolved.Parts);
        if (full) {
            if (known.size() >= MaxKnownNames) known.clear();
            known.emplace(name, object);
        }
    }
    if (object != NoObject && deref) object = tree->Dereference(object);
    return object == NoObject ? ErrNoSuchEntry : 0;
}

std::string TSnapshotSource::OutputObjectName(const TContextState& context, const TSnapshotTree& tree,
                                              uint32_t object) const {
    // The name context belongs to the context's tree; names of another tree are written in full.
    static const TNameParts NoContext;
    const TNameParts& nameContext = EqualsFolded(context.TreeName, tree.Name()) ? context.NameContextParts : NoContext;
    return WriteOutputName(tree.FullName(object), context.Flags, nameContext);
}

TAttrValue TSnapshotSource::OutputValue(const TContextState& context, const TSnapshotTree& tree, uint32_t syntax,
                                        const TStoredValue& value) const {
    auto name = [&]() -> std::string {
        switch (value.Name) {
        case TNameRef::Object: return OutputObjectName(context, tree, value.Object);
        case TNameRef::Dangling: {
            TResolvedName resolved;
            if (ResolveInputName("." + value.Text, {}, resolved) != 0) return value.Text;
            static const TNameParts NoContext;
            bool sameTree = EqualsFolded(context.TreeName, tree.Name());
            return WriteOutputName(resolved.Parts, context.Flags, sameTree ? context.NameContextParts : NoContext);
        }
        default: return value.Text;
        }
    };
    switch (syntax) {
    case SynDistName: return TTextValue{name()};
    case SynCiList: return TCaseIgnoreList{SplitDollar(value.Text)};
    case SynBoolean: return TBooleanValue{static_cast<uint8_t>(value.Number ? 1 : 0)};
    case SynInteger:
    case SynCounter:
    case SynInterval: return TIntegerValue{static_cast<int32_t>(value.Number)};
    case SynOctetString: return TOctetString{Bytes(value.Text)};
    case SynStream: return TOctetString{};   // the bytes come through the stream calls
    case SynFaxNumber: return TFaxNumber{value.Text.substr(0, value.Text.find('$')), 0, {}};
    case SynNetAddress: return TNetAddress{value.Number, Bytes(value.Text)};
    case SynOctetList: return TOctetList{{Bytes(value.Text)}};
    case SynEMailAddress: return TEMailAddress{value.Number, value.Text};
    case SynPath: return TPathValue{value.Number, name(), value.Extra};
    case SynReplicaPointer: return TReplicaPointer{value.Text, value.Number, value.Number2, {}};
    case SynObjectACL: return TObjectACL{value.Extra, name(), value.Number};
    case SynPoAddress: {
        TPostalAddress address;
        auto lines = SplitDollar(value.Text);
        for (size_t i = 0; i < lines.size() && i < address.Lines.size(); ++i) address.Lines[i] = lines[i];
        return address;
    }
    case SynTimeStamp:
        return TTimeStamp{value.Number, static_cast<uint16_t>(value.Number2 >> 16),
                          static_cast<uint16_t>(value.Number2 & 0xFFFF)};
    case SynTime: return TTimeStamp{value.Number, 0, 0};
    case SynBackLink: return TBackLink{value.Number, name()};
    case SynTypedName: return TTypedName{name(), value.Number, value.Number2};
    case SynHold: return THold{name(), value.Number};
    default:
        if (syntax > SynInterval) return TRawValue{Bytes(value.Text)};
        return TTextValue{value.Text};
    }
}

TObjectInfo TSnapshotSource::ObjectInfo(const TSnapshotTree& tree, uint32_t object) const {
    const TSnapshotObject& entry = tree.Object(object);
    TObjectInfo info;
    if (entry.Container) info.ObjectFlags |= DsContainerEntry;
    if (entry.BaseClass == "Alias") info.ObjectFlags |= DsAliasEntry;
    info.SubordinateCount = static_cast<uint32_t>(entry.Children.size());
    info.ModificationTime = entry.ModificationTime;
    info.BaseClass = CutUtf8(entry.BaseClass, MaxBaseClassBytes);
    return info;
}

// ---------------------------------------------------------------------------------------------
// Reading

NWCCODE TSnapshotSource::StartRead(NWDSContextHandle context, const TContextState& state, const std::string& object,
                                   uint32_t infoType, bool allAttrs, const TDSBuffer* attrNames,
                                   std::unique_ptr<TIteration>& fresh) {
    if (infoType != DsAttributeNames && infoType != DsAttributeValues) return ErrInvalidRequest;
    if (!allAttrs && !attrNames) return ErrInvalidRequest;
    const TSnapshotTree* tree = nullptr;
    uint32_t found = NoObject;
    NWCCODE code = FindObject(context, object, (state.Flags & DcvDerefAliases) != 0, tree, found);
    if (code != 0) return code;
    fresh = NewIteration<TIteration>(context, DsvRead);
    fresh->Tree = tree;
    fresh->Object = found;
    fresh->InfoType = infoType;
    const auto& attributes = tree->Object(found).Attributes;
    if (allAttrs) {
        for (uint32_t slot = 0; slot < attributes.size(); ++slot) fresh->Slots.push_back(slot);
    } else {
        for (const auto& requested : attrNames->AttributeNames()) {
            uint32_t attribute = tree->FindAttribute(requested);
            for (uint32_t slot = 0; slot < attributes.size(); ++slot)
                if (attributes[slot].Attribute == attribute &&
                    std::find(fresh->Slots.begin(), fresh->Slots.end(), slot) == fresh->Slots.end())
                    fresh->Slots.push_back(slot);
        }
    }
    return fresh->Slots.empty() ? ErrNoSuchAttribute : 0;
}

NWCCODE TSnapshotSource::NWDSRead(NWDSContextHandle context, const std::string& object, uint32_t infoType,
                                  bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                                  TDSBuffer& result) {
    result.ClearResult();
    const TContextState* state = Context(context);
    if (!state) {
        iterationHandle = NoIteration;
        return ErrBadContext;
    }
    std::unique_ptr<TIteration> fresh;
    TIteration* iteration = nullptr;
    if (iterationHandle != NoIteration) {
        iteration = Iterations().Resume<TIteration>(iterationHandle, context, DsvRead);
        if (!iteration) return ErrInvalidHandle;
    } else {
        NWCCODE code = StartRead(context, *state, object, infoType, allAttrs, attrNames, fresh);
        if (code != 0) return code;
        iteration = fresh.get();
    }
    const TSnapshotTree& tree = *iteration->Tree;
    const auto& attributes = tree.Object(iteration->Object).Attributes;
    auto stored = [&](size_t i) -> const TStoredAttribute& { return attributes[iteration->Slots[i]]; };
    auto definition = [&](size_t i) -> const TAttributeDef& { return tree.Attributes()[stored(i).Attribute]; };
    NWCCODE code = 0;
    const bool more = FillReadBatch(
        result, iteration->InfoType, iteration->Slots.size(), iteration->Read,
        [&](size_t i) { return TReadAttribute{definition(i).Name, definition(i).Syntax, stored(i).Values.size()}; },
        [&](size_t i, size_t j) { return OutputValue(*state, tree, definition(i).Syntax, stored(i).Values[j]); }, code);
    return Iterations().EndBatch(iterationHandle, std::move(fresh), !more, code, result);
}

NWCCODE TSnapshotSource::NWDSReadObjectInfo(NWDSContextHandle context, const std::string& object,
                                            std::string& distinguishedName, TObjectInfo& info) {
    distinguishedName.clear();
    info = {};
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    const TSnapshotTree* tree = nullptr;
    uint32_t found = NoObject;
    NWCCODE code = FindObject(context, object, (state->Flags & DcvDerefAliases) != 0, tree, found);
    if (code != 0) return code;
    distinguishedName = WriteFullName(tree->FullName(found), (state->Flags & DcvTypelessNames) == 0);
    info = ObjectInfo(*tree, found);
    return 0;
}

NWCCODE TSnapshotSource::NWDSReadObjectDSIInfo(NWDSContextHandle context, const std::string& object,
                                               TDSBuffer& buffer) {
    buffer.ClearResult();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    const TSnapshotTree* tree = nullptr;
    uint32_t found = NoObject;
    NWCCODE code = FindObject(context, object, (state->Flags & DcvDerefAliases) != 0, tree, found);
    if (code != 0) return code;
    const TSnapshotObject& entry = tree->Object(found);
    bool typed = (state->Flags & DcvTypelessNames) == 0;
    uint32_t fields = state->DsiFlags & SupportedDsiFlags;
    if (fields & DsiModificationTime) buffer.SetDsiNumber(DsiModificationTime, entry.ModificationTime);
    if (fields & DsiCreationTime) buffer.SetDsiNumber(DsiCreationTime, entry.CreationTime);
    if (fields & DsiBaseClass) buffer.SetDsiText(DsiBaseClass, CutUtf8(entry.BaseClass, MaxBaseClassBytes));
    if (fields & DsiRdn)
        buffer.SetDsiText(DsiRdn, found == RootObject ? std::string(RootName) : WriteFullName({entry.Rdn}, typed));
    // The full names are never abbreviated: callers turn them into ".name" themselves.
    if (fields & DsiEntryDn) buffer.SetDsiText(DsiEntryDn, WriteFullName(tree->FullName(found), typed));
    if (fields & DsiParentDn)
        buffer.SetDsiText(DsiParentDn, entry.Parent == NoObject ? std::string()
                                                                : WriteFullName(tree->FullName(entry.Parent), typed));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Listing

NWCCODE TSnapshotSource::ListBatch(NWDSContextHandle context, const std::string& object, bool containersOnly,
                                   int32_t& iterationHandle, TDSBuffer& result) {
    result.ClearResult();
    const TContextState* state = Context(context);
    if (!state) {
        iterationHandle = NoIteration;
        return ErrBadContext;
    }
    const uint32_t kind = containersOnly ? DsvListContainers : DsvList;
    std::unique_ptr<TIteration> fresh;
    TIteration* iteration = nullptr;
    if (iterationHandle != NoIteration) {
        iteration = Iterations().Resume<TIteration>(iterationHandle, context, kind);
        if (!iteration) return ErrInvalidHandle;
    } else {
        const TSnapshotTree* tree = nullptr;
        uint32_t found = NoObject;
        NWCCODE code = FindObject(context, object, (state->Flags & DcvDerefAliases) != 0, tree, found);
        if (code != 0) return code;
        fresh = NewIteration<TIteration>(context, kind);
        fresh->Tree = tree;
        fresh->Object = found;
        iteration = fresh.get();
    }
    const TSnapshotTree& tree = *iteration->Tree;
    const auto& children = tree.Object(iteration->Object).Children;
    TObjectBatch batch(result);
    for (; iteration->NextChild < children.size(); ++iteration->NextChild) {
        uint32_t child = children[iteration->NextChild];
        if (containersOnly && !tree.Object(child).Container) continue;
        if (!batch.Add(OutputObjectName(*state, tree, child), ObjectInfo(tree, child))) break;
    }
    const bool finished = iteration->NextChild >= children.size();
    return Iterations().EndBatch(iterationHandle, std::move(fresh), finished, batch.Code(), result);
}

NWCCODE TSnapshotSource::NWDSList(NWDSContextHandle context, const std::string& object, int32_t& iterationHandle,
                                  TDSBuffer& result) {
    return ListBatch(context, object, false, iterationHandle, result);
}

NWCCODE TSnapshotSource::NWDSListContainers(NWDSContextHandle context, const std::string& object,
                                            int32_t& iterationHandle, TDSBuffer& result) {
    return ListBatch(context, object, true, iterationHandle, result);
}

// ---------------------------------------------------------------------------------------------
// Names

NWCCODE TSnapshotSource::NWDSCanonicalizeName(NWDSContextHandle context, const std::string& name,
                                              std::string& canonical) {
    canonical.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    // Types come from the objects that exist.
    const TSnapshotTree* tree = ContextTree(context);
    return CanonicalName(
        *state, name,
        [tree](const TNameParts& tail, TNameParts& known) {
            const uint32_t object = tree ? tree->FindObject(tail) : NoObject;
            if (object == NoObject) return false;
            known = tree->FullName(object);
            return true;
        },
        canonical);
}

NWCCODE TSnapshotSource::NWDSWhoAmI(NWDSContextHandle context, uint32_t fileUser, std::string& name) {
    name.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    if (fileUser == NoIndex) return ErrNotLoggedIn;
    name = OutputObjectName(*state, *tree_, fileUser);
    return 0;
}

NWCCODE TSnapshotSource::NWDSMapIDToName(NWDSContextHandle context, NWObjectID id, std::string& name) {
    name.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    if (id == PublicTrusteeID) {
        name = std::string(PublicName);
        return 0;
    }
    const TSnapshotTree& tree = *tree_;
    uint32_t object = tree.FindObjectByID(id);
    if (object == NoObject) return ErrNoSuchEntry;
    name = OutputObjectName(*state, tree, object);
    return 0;
}

NWCCODE TSnapshotSource::NWDSMapNameToID(NWDSContextHandle context, const std::string& name, NWObjectID& id) {
    id = 0;
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    TResolvedName resolved;
    NWCCODE code = ResolveName(*state, name, resolved);
    if (code != 0) return code;
    if (resolved.Special == PublicName) {
        id = PublicTrusteeID;
        return 0;
    }
    if (!resolved.Special.empty()) return ErrNoSuchEntry;
    const TSnapshotTree& tree = *tree_;
    uint32_t object = tree.FindObject(resolved.Parts);
    if (object != NoObject && (state->Flags & DcvDerefAliases)) object = tree.Dereference(object);
    if (object == NoObject) return ErrNoSuchEntry;
    id = tree.Object(object).ID;
    return 0;
}

NWCCODE TSnapshotSource::NWDSGetSyntaxID(NWDSContextHandle context, const std::string& attrName, uint32_t& syntaxID) {
    syntaxID = 0;
    if (!Context(context)) return ErrBadContext;
    if (const TSnapshotTree* tree = ContextTree(context)) {
        uint32_t attribute = tree->FindAttribute(attrName);
        if (attribute != NoAttribute) {
            syntaxID = tree->Attributes()[attribute].Syntax;
            return 0;
        }
    }
    if (const TSchemaAttribute* known = FindAttributeByDirectoryName(attrName)) {
        syntaxID = known->Syntax;
        return 0;
    }
    return ErrNoSuchAttribute;
}

// ---------------------------------------------------------------------------------------------
// Streams

NWCCODE TSnapshotSource::NWDSOpenStream(NWDSContextHandle context, const std::string& object,
                                        const std::string& attrName, uint32_t flags, TSourceStream& stream) {
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    if (flags != 1) return ErrNoAccess;   // the embedded directory is read-only
    const TSnapshotTree* tree = nullptr;
    uint32_t found = NoObject;
    NWCCODE code = FindObject(context, object, (state->Flags & DcvDerefAliases) != 0, tree, found);
    if (code != 0) return code;
    uint32_t attribute = tree->FindAttribute(attrName);
    const TStoredAttribute* stored = tree->AttributeOf(found, attribute);
    if (!stored || stored->Values.empty()) return ErrNoSuchAttribute;
    if (tree->Attributes()[attribute].Syntax != SynStream) return ErrIllegalAttributeSyntax;
    stream.Bytes = &stored->Values.front().Text;
    return 0;
}

} // namespace era
