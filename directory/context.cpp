#include "directory/context.h"

#include "directory/names.h"
#include "util/text.h"

namespace era {

namespace {

// Removes the first "CN=" (upper case only), as tree names and name contexts may carry it.
std::string WithoutFirstCN(std::string text) {
    size_t at = text.find("CN=");
    if (at != std::string::npos) text.erase(at, 3);
    return text;
}

std::string ContextText(NWDSContextHandle context, uint32_t key) {
    std::string text;
    if (Client().NWDSGetContext(context, key, text) != 0) return {};
    return WithoutFirstCN(text);
}

// One information field, read on a private copy of the context with typeless, canonicalised
// names, so the caller's flags and field selection never change.
NWCCODE ReadTextField(NWDSContextHandle context, const std::string& name, uint32_t field, std::string& text) {
    text.clear();
    TDSContext copy;
    NWCCODE code = TDSContext::Duplicate(context, copy);
    if (code != 0) return code;
    code = U_DSSetContextFlag(copy.Get(), "+", DcvCanonicalizeNames | DcvTypelessNames);
    if (code != 0) return code;
    const std::string fullName = U_FullName(U_DSCanonicalizeName(copy.Get(), name));
    uint32_t fields = 0;
    code = Client().NWDSGetContext(copy.Get(), DckDsiFlags, fields);
    if (code != 0) return code;
    code = Client().NWDSSetContext(copy.Get(), DckDsiFlags, fields | field);
    if (code != 0) return code;
    TDSBuffer buffer(DefaultMessageLen);
    code = Client().NWDSReadObjectDSIInfo(copy.Get(), fullName, buffer);
    if (code != 0) return code;
    std::string value;
    code = Client().NWDSGetDSIInfo(copy.Get(), buffer, field, value);
    if (code == 0) text = value;
    return code;
}

// A time field: the copy selects exactly that field and reads the name as given.
double ReadTimeField(NWDSContextHandle context, const std::string& name, uint32_t field) {
    TDSContext copy;
    if (TDSContext::Duplicate(context, copy) != 0) return 0;
    if (Client().NWDSSetContext(copy.Get(), DckDsiFlags, field) != 0) return 0;
    TDSBuffer buffer(DefaultMessageLen);
    if (Client().NWDSReadObjectDSIInfo(copy.Get(), name, buffer) != 0) return 0;
    uint32_t seconds = 0;
    if (Client().NWDSGetDSIInfo(copy.Get(), buffer, field, seconds) != 0 || seconds == 0) return 0;
    // Directory times are UTC seconds since 1970; the desktop counts days since 1899-12-30.
    return seconds / 86400.0 + 25569.0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TDSContext

TDSContext& TDSContext::operator=(TDSContext&& other) noexcept {
    if (this != &other) {
        Reset();
        handle_ = other.Release();
    }
    return *this;
}

NWCCODE TDSContext::Create(TDSContext& context) {
    context.Reset();
    NWDSContextHandle handle = 0;
    NWCCODE code = Client().NWDSCreateContextHandle(handle);
    if (code == 0) context.handle_ = handle;
    return code;
}

NWCCODE TDSContext::Duplicate(NWDSContextHandle source, TDSContext& copy) {
    copy.Reset();
    NWDSContextHandle handle = 0;
    NWCCODE code = Client().NWDSDuplicateContextHandle(source, handle);
    if (code == 0) copy.handle_ = handle;
    return code;
}

NWDSContextHandle TDSContext::Release() {
    NWDSContextHandle handle = handle_;
    handle_ = 0;
    return handle;
}

void TDSContext::Reset() {
    if (handle_ != 0) Client().NWDSFreeContext(handle_);
    handle_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Context operations

NWCCODE U_DSSetContextFlag(NWDSContextHandle context, const std::string& sign, uint32_t bits) {
    uint32_t flags = 0;
    NWCCODE code = Client().NWDSGetContext(context, DckFlags, flags);
    if (code != 0) return code;
    if (sign == "+")
        flags |= bits;
    else if (sign == "-")
        flags &= ~bits;
    return Client().NWDSSetContext(context, DckFlags, flags);
}

std::string U_DSGetTreeName(NWDSContextHandle context) { return ContextText(context, DckTreeName); }

std::string U_DSGetNameContext(NWDSContextHandle context) { return ContextText(context, DckNameContext); }

NWCCODE U_DSChangeCurrentTreeAndContext(NWDSContextHandle context, const std::string& tree,
                                        const std::string& nameContext, bool setPreferred) {
    if (!tree.empty() && !TextEquals(tree, U_DSGetTreeName(context))) {
        NWCCODE code = Client().NWDSSetContext(context, DckTreeName, tree);
        if (code == 0 && setPreferred)
            code = Client().NWSetPreferredDSTree(static_cast<uint16_t>(tree.size()), tree);
        if (code != 0) return code;
    }
    std::string target = nameContext.empty() ? U_DSGetMyContext(context) : nameContext;
    return Client().NWDSSetContext(context, DckNameContext, U_StripLeadingDot(target));
}

NWCCODE U_DSSetContext(NWDSContextHandle context, const std::string& nameContext) {
    return U_DSChangeCurrentTreeAndContext(context, "", nameContext, false);
}

NWCCODE U_DSSetContextToRoot(NWDSContextHandle context) { return U_DSSetContext(context, RootName); }

NWCCODE U_DSChangeTree(NWDSContextHandle context, const std::string& tree, bool setPreferred) {
    return U_DSChangeCurrentTreeAndContext(context, tree, "", setPreferred);
}

std::string U_DSWhoAmI(NWDSContextHandle context) {
    // With canonicalised names the client answers relative to the name context ("admin" for
    // admin.acme in "acme"), which a leading dot would turn into another name. Asked on a copy that
    // stands at the root, it answers the whole name in the caller's name form.
    TDSContext copy;
    if (TDSContext::Duplicate(context, copy) != 0) return {};
    if (Client().NWDSSetContext(copy.Get(), DckNameContext, std::string(RootName)) != 0) return {};
    std::string name;
    if (Client().NWDSWhoAmI(copy.Get(), name) != 0) return {};
    return U_FullName(name);
}

std::string U_DSGetMyContext(NWDSContextHandle context) {
    std::string me = U_DSWhoAmI(context);
    std::string parent = me.empty() ? std::string() : U_DSGetParentName(context, me);
    return parent.empty() ? RootName : parent;
}

std::string U_DSCombineWithContext(NWDSContextHandle context, const std::string& item) {
    return U_CombineContext(U_DSGetNameContext(context), item);
}

std::string U_DSCanonicalizeName(NWDSContextHandle context, const std::string& name) {
    std::string canonical;
    if (Client().NWDSCanonicalizeName(context, name, canonical) != 0) return name;
    return canonical;
}

// ---------------------------------------------------------------------------------------------
// Information fields

NWCCODE U_DSGetBaseClass(NWDSContextHandle context, const std::string& name, std::string& baseClass) {
    return ReadTextField(context, name, DsiBaseClass, baseClass);
}

NWCCODE U_DSGetRDN(NWDSContextHandle context, const std::string& name, std::string& rdn) {
    return ReadTextField(context, name, DsiRdn, rdn);
}

NWCCODE U_DSGetFullName(NWDSContextHandle context, const std::string& name, std::string& fullName) {
    NWCCODE code = ReadTextField(context, name, DsiEntryDn, fullName);
    if (code == 0) fullName = U_FullName(fullName);
    return code;
}

NWCCODE U_DSGetParentName(NWDSContextHandle context, const std::string& name, std::string& parentName) {
    NWCCODE code = ReadTextField(context, name, DsiParentDn, parentName);
    if (code == 0) parentName = U_FullName(parentName);
    return code;
}

std::string U_DSGetBaseClass(NWDSContextHandle context, const std::string& name) {
    std::string text;
    U_DSGetBaseClass(context, name, text);
    return text;
}

std::string U_DSGetRDN(NWDSContextHandle context, const std::string& name) {
    std::string text;
    U_DSGetRDN(context, name, text);
    return text;
}

std::string U_DSGetFullName(NWDSContextHandle context, const std::string& name) {
    std::string text;
    U_DSGetFullName(context, name, text);
    return text;
}

std::string U_DSGetParentName(NWDSContextHandle context, const std::string& name) {
    std::string text;
    U_DSGetParentName(context, name, text);
    return text;
}

double U_DSGetCreateTime(NWDSContextHandle context, const std::string& name) {
    return ReadTimeField(context, name, DsiCreationTime);
}

double U_DSGetModifyTime(NWDSContextHandle context, const std::string& name) {
    return ReadTimeField(context, name, DsiModificationTime);
}

} // namespace era
