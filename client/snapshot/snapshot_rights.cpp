// The embedded directory's answer to "what rights does this subject have here" on a directory
// object for a protected attribute (the logged-in user's on a NetWare directory is FileRights).
// The calculation itself is in effective_rights.cpp.

#include "client/snapshot/snapshot_client.h"

namespace era {

NWCCODE TSnapshotSource::NWDSGetEffectiveRights(NWDSContextHandle context, const std::string& subject,
                                                const std::string& object, const std::string& attrName,
                                                uint32_t& privileges) {
    privileges = 0;
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    // Subject and object are read like every other name of the context, aliases followed when
    // the context says so.
    const bool deref = (state->Flags & DcvDerefAliases) != 0;
    const TSnapshotTree* tree = nullptr;
    uint32_t target = NoObject;
    NWCCODE code = FindObject(context, object, deref, tree, target);
    if (code != 0) return code;
    if (attrName.empty()) return ErrNoSuchAttribute;
    TTreeRights& rights = rights_.Of(*tree);
    TTrusteeKey key = 0;
    if (subject.size() > 1 && subject[0] == '.') {
        // A full name names no special trustee; the object lookup keeps what it has read.
        const TSnapshotTree* subjectTree = nullptr;
        uint32_t found = NoObject;
        code = FindObject(context, subject, deref, subjectTree, found);
        if (code != 0) return code;
        privileges = rights.DirectoryRights(TTreeRights::ObjectKey(found), target, attrName);
        return 0;
    }
    TResolvedName who;
    code = ResolveName(*state, subject, who);
    if (code != 0) return code;
    if (!who.Special.empty()) {
        key = rights.SpecialKey(who.Special);
    } else {
        uint32_t found = tree->FindObject(who.Parts);
        if (found != NoObject && deref) found = tree->Dereference(found);
        if (found == NoObject) return ErrNoSuchEntry;
        key = TTreeRights::ObjectKey(found);
    }
    privileges = rights.DirectoryRights(key, target, attrName);
    return 0;
}

} // namespace era
