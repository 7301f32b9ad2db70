#include "directory/listing.h"

#include "directory/names.h"
#include "util/text.h"
#include "util/ui_host.h"

namespace era {

namespace {

NWCCODE ListBatch(DSListCursor& cursor) {
    TDirectoryClient& client = Client();
    NWCCODE code = cursor.ContainersOnly
                       ? client.NWDSListContainers(cursor.Context.Get(), cursor.Container, cursor.IterationHandle,
                                                   *cursor.Buffer)
                       : client.NWDSList(cursor.Context.Get(), cursor.Container, cursor.IterationHandle,
                                         *cursor.Buffer);
    cursor.EntryCount = 0;
    cursor.Index = 0;
    if (code == 0) client.NWDSGetObjectCount(cursor.Context.Get(), *cursor.Buffer, cursor.EntryCount);
    return code;
}

NWCCODE FetchEntry(DSListCursor& cursor) {
    cursor.Info = {};
    NWCCODE code = Client().NWDSGetObjectName(cursor.Context.Get(), *cursor.Buffer, cursor.CurrentName,
                                              cursor.AttrCount, cursor.Info.Info);
    if (code == 0) {
        cursor.Info.BaseClass = cursor.Info.Info.BaseClass;
        ++cursor.Index;
    }
    return code;
}

void Finish(DSListCursor& cursor) {
    cursor.Buffer.reset();
    cursor.Context.Reset();
    cursor.CurrentName.clear();
}

// Moves to the first entry of the next batch that holds one; -1 when the listing is over.
NWCCODE NextBatchEntry(DSListCursor& cursor) {
    while (cursor.Index >= cursor.EntryCount) {
        UiHost().ProcessMessages();
        if (cursor.IterationHandle == -1) {
            Finish(cursor);
            return -1;
        }
        NWCCODE code = ListBatch(cursor);
        if (code != 0) {
            Finish(cursor);
            return code;
        }
    }
    return FetchEntry(cursor);
}

bool IsContainerEntry(const DSListCursor& cursor) { return (cursor.Info.Info.ObjectFlags & DsContainerEntry) != 0; }

std::string Prefix(bool withClass, const DSListCursor& cursor) {
    return withClass ? cursor.Info.BaseClass + ": " : std::string();
}

// Restores the cursor shape however the listing ends.
class TWaitCursor {
public:
    TWaitCursor() : previous_(UiHost().BeginWait()) {}
    ~TWaitCursor() { UiHost().EndWait(previous_); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    TCursor previous_;
};

} // namespace

NWCCODE U_DSListOpen(NWDSContextHandle context, const std::string& container, bool containersOnly,
                     DSListCursor& cursor) {
    cursor = DSListCursor{};
    cursor.Container = U_FullName(container);
    cursor.ContainersOnly = containersOnly;
    NWCCODE code = TDSContext::Duplicate(context, cursor.Context);
    if (code != 0) return code;
    // Listed names come back relative to the container: its own name context.
    code = U_DSSetContextFlag(cursor.Context.Get(), "+", DcvCanonicalizeNames | DcvTypelessNames);
    if (code == 0) code = Client().NWDSSetContext(cursor.Context.Get(), DckConfidence, 0u);
    if (code == 0)
        code = Client().NWDSSetContext(cursor.Context.Get(), DckNameContext, U_StripLeadingDot(cursor.Container));
    if (code != 0) {
        Finish(cursor);
        return code;
    }
    cursor.Buffer = std::make_unique<TDSBuffer>(DefaultMessageLen);
    cursor.IterationHandle = -1;
    code = ListBatch(cursor);
    if (code != 0) {
        Finish(cursor);
        return code;
    }
    // An empty container or a leaf: the listing's own code with no current entry; the caller's
    // next U_DSListNext ends the listing.
    if (cursor.EntryCount == 0) return code;
    return FetchEntry(cursor);
}

NWCCODE U_DSListNext(DSListCursor& cursor) {
    if (!cursor.Buffer) return -1;
    if (cursor.Index < cursor.EntryCount) {
        UiHost().ProcessMessages();
        return FetchEntry(cursor);
    }
    return NextBatchEntry(cursor);
}

NWCCODE U_DSListContainer(NWDSContextHandle context, const std::string& container, TStringList* containers,
                          bool withClass, const std::string& classFilter, TStringList* objects) {
    TWaitCursor wait;
    DSListCursor cursor;
    NWCCODE code = U_DSListOpen(context, container, objects == nullptr, cursor);
    while (code == 0) {
        UiHost().ProcessMessages();
        if (containers && IsContainerEntry(cursor)) containers->Add(cursor.CurrentName);
        const std::string prefix = Prefix(withClass, cursor);
        if (objects && !cursor.CurrentName.empty() && (classFilter.empty() || classFilter == cursor.Info.BaseClass))
            objects->AddObject(prefix + cursor.CurrentName, static_cast<uint32_t>(prefix.size()));
        code = U_DSListNext(cursor);
    }
    return code == -1 ? 0 : code;
}

NWCCODE U_DSListTree(NWDSContextHandle context, const std::string& container, TStringList& list, bool recurse,
                     bool withClass, const std::string& classFilter, int kind) {
    TWaitCursor wait;
    const std::string base = U_DSCombineWithContext(context, container);
    DSListCursor cursor;
    NWCCODE code = U_DSListOpen(context, container, kind == 1, cursor);
    while (code == 0 && cursor.EntryCount > 0) {
        UiHost().ProcessMessages();
        const bool isContainer = IsContainerEntry(cursor);
        const bool skipped = (kind == 1 && !isContainer) || (kind == 2 && isContainer) ||
                             !U_ClassMatches(classFilter, cursor.Info.BaseClass);
        const std::string entry = U_CombineContext(base, cursor.CurrentName);
        if (!skipped) {
            const std::string prefix = Prefix(withClass, cursor);
            list.AddObject(prefix + entry, static_cast<uint32_t>(prefix.size()));
        }
        // Containers are descended into whether or not they were added themselves.
        if (recurse && isContainer) U_DSListTree(context, entry, list, recurse, withClass, classFilter, kind);
        code = U_DSListNext(cursor);
    }
    return code == -1 ? 0 : code;
}

bool U_ClassMatches(const std::string& classFilter, const std::string& className) {
    if (classFilter.empty() || classFilter == "*") return true;
    if (TextEquals(classFilter, "ou")) return TextEquals("Organizational Unit", className);
    return TextEquals(classFilter, className);
}

} // namespace era
