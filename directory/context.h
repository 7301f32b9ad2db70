#pragma once

// Directory contexts: the owning wrapper, the context operations and the object information
// fields read through a private copy of the caller's context.

#include "directory/client.h"

#include <string>

namespace era {

// Owns one directory context and frees it on every path.
class TDSContext {
public:
    TDSContext() = default;
    explicit TDSContext(NWDSContextHandle handle) : handle_(handle) {}
    TDSContext(const TDSContext&) = delete;
    TDSContext& operator=(const TDSContext&) = delete;
    TDSContext(TDSContext&& other) noexcept : handle_(other.Release()) {}
    TDSContext& operator=(TDSContext&& other) noexcept;
    ~TDSContext() { Reset(); }

    // A new context of the process-wide client.
    static NWCCODE Create(TDSContext& context);
    // A copy of an existing context (its tree, name context, flags and fields).
    static NWCCODE Duplicate(NWDSContextHandle source, TDSContext& copy);

    NWDSContextHandle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    NWDSContextHandle Release();
    void Reset();

private:
    NWDSContextHandle handle_ = 0;
};

// Sets ("+") or clears ("-") flag bits (key 1); any other sign writes the flags back unchanged.
NWCCODE U_DSSetContextFlag(NWDSContextHandle context, const std::string& sign, uint32_t bits);
// The context's tree (key 11) without its first "CN=", or empty.
std::string U_DSGetTreeName(NWDSContextHandle context);
// The context's name context (key 3) without its first "CN=", or empty.
std::string U_DSGetNameContext(NWDSContextHandle context);
// Switches tree (when given and different) and name context (the user's own when none is given).
NWCCODE U_DSChangeCurrentTreeAndContext(NWDSContextHandle context, const std::string& tree,
                                        const std::string& nameContext, bool setPreferred);
// Sets the name context only.
NWCCODE U_DSSetContext(NWDSContextHandle context, const std::string& nameContext);
// Puts the context at "[Root]".
NWCCODE U_DSSetContextToRoot(NWDSContextHandle context);
// Switches the tree; the name context becomes the user's own container there.
NWCCODE U_DSChangeTree(NWDSContextHandle context, const std::string& tree, bool setPreferred);
// The logged-in user's full name in the context's tree, or empty.
std::string U_DSWhoAmI(NWDSContextHandle context);
// The logged-in user's container, or "[Root]".
std::string U_DSGetMyContext(NWDSContextHandle context);
// U_CombineContext of the context's name context and a list item.
std::string U_DSCombineWithContext(NWDSContextHandle context, const std::string& item);
// The client's canonical form of a name; the name itself when the client refuses.
std::string U_DSCanonicalizeName(NWDSContextHandle context, const std::string& name);

// Object information fields; each text is emptied on failure.
NWCCODE U_DSGetBaseClass(NWDSContextHandle context, const std::string& name, std::string& baseClass);
NWCCODE U_DSGetRDN(NWDSContextHandle context, const std::string& name, std::string& rdn);
NWCCODE U_DSGetFullName(NWDSContextHandle context, const std::string& name, std::string& fullName);
NWCCODE U_DSGetParentName(NWDSContextHandle context, const std::string& name, std::string& parentName);
// The same fields with the code discarded.
std::string U_DSGetBaseClass(NWDSContextHandle context, const std::string& name);
std::string U_DSGetRDN(NWDSContextHandle context, const std::string& name);
std::string U_DSGetFullName(NWDSContextHandle context, const std::string& name);
std::string U_DSGetParentName(NWDSContextHandle context, const std::string& name);
// Creation and modification times as desktop date-time values (days since 1899-12-30); 0 when
// the directory gives none or the read fails.
double U_DSGetCreateTime(NWDSContextHandle context, const std::string& name);
double U_DSGetModifyTime(NWDSContextHandle context, const std::string& name);

} // namespace era
