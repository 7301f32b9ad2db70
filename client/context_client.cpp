#include "client/context_client.h"

#include <algorithm>

namespace era {

std::string TContextClient::DefaultNameContext(const std::string&) const { return std::string(RootName); }

const TContextState* TContextClient::Context(NWDSContextHandle context) const {
    auto it = contexts_.find(context);
    return it == contexts_.end() ? nullptr : &it->second;
}

NWCCODE TContextClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    context = 0;
    TContextState state;
    state.TreeName = preferredTree_.empty() ? DefaultTreeName() : preferredTree_;
    state.NameContext = DefaultNameContext(state.TreeName);
    if (ParseNameContext(state.NameContext, state.NameContextParts) != 0) {
        state.NameContext = std::string(RootName);
        state.NameContextParts.clear();
    }
    // Handles are never reused, so a stale handle can never reach another caller's context.
    if (nextHandle_ == 0) return ErrBadContext;
    context = nextHandle_++;
    contexts_.emplace(context, std::move(state));
    return 0;
}

NWCCODE TContextClient::NWDSDuplicateContextHandle(NWDSContextHandle source, NWDSContextHandle& copy) {
    copy = 0;
    auto it = contexts_.find(source);
    if (it == contexts_.end()) return ErrBadContext;
    if (nextHandle_ == 0) return ErrBadContext;
    copy = nextHandle_++;
    TContextState state = it->second;
    contexts_.emplace(copy, std::move(state));
    return 0;
}

NWCCODE TContextClient::NWDSFreeContext(NWDSContextHandle context) {
    return contexts_.erase(context) ? 0 : ErrBadContext;
}

NWCCODE TContextClient::NWDSGetContext(NWDSContextHandle context, uint32_t key, uint32_t& value) {
    value = 0;
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    switch (key) {
    case DckFlags: value = state->Flags; return 0;
    case DckConfidence: value = state->Confidence; return 0;
    case DckDsiFlags: value = state->DsiFlags; return 0;
    default: return ErrBadKey;
    }
}

NWCCODE TContextClient::NWDSGetContext(NWDSContextHandle context, uint32_t key, std::string& value) {
    value.clear();
    const TContextState* state = Context(context);
    if (!state) return ErrBadContext;
    switch (key) {
    case DckNameContext: value = state->NameContext; return 0;
    case DckTreeName: value = state->TreeName; return 0;
    default: return ErrBadKey;
    }
}

NWCCODE TContextClient::NWDSSetContext(NWDSContextHandle context, uint32_t key, uint32_t value) {
    auto it = contexts_.find(context);
    if (it == contexts_.end()) return ErrBadContext;
    switch (key) {
    case DckFlags: it->second.Flags = value; return 0;
    case DckConfidence: it->second.Confidence = value; return 0;
    case DckDsiFlags: it->second.DsiFlags = value; return 0;
    default: return ErrBadKey;
    }
}

NWCCODE TContextClient::NWDSSetContext(NWDSContextHandle context, uint32_t key, const std::string& value) {
    auto it = contexts_.find(context);
    if (it == contexts_.end()) return ErrBadContext;
    switch (key) {
    case DckNameContext: {
        TNameParts parts;
        NWCCODE code = ParseNameContext(value, parts);
        if (code != 0) return code;
        it->second.NameContext = value.empty() ? std::string(RootName) : value;
        if (!it->second.NameContext.empty() && it->second.NameContext.front() == '.')
            it->second.NameContext.erase(0, 1);
        it->second.NameContextParts = std::move(parts);
        return 0;
    }
    case DckTreeName: {
        std::string canonical;
        if (!FindTree(value, canonical)) return ErrTreeNotFound;
        it->second.TreeName = canonical;
        return 0;
    }
    default: return ErrBadKey;
    }
}

NWCCODE TContextClient::NWSetPreferredDSTree(uint16_t length, const std::string& treeName) {
    // The length is the caller's count; it never reaches past the text it came with.
    std::string name = treeName.substr(0, std::min<size_t>(length, treeName.size()));
    std::string canonical;
    if (!FindTree(name, canonical)) return ErrTreeNotFound;
    preferredTree_ = canonical;
    return 0;
}

NWCCODE TContextClient::ResolveName(const TContextState& context, const std::string& name,
                                    TResolvedName& resolved) {
    return ResolveInputName(name, context.NameContextParts, resolved);
}

std::string TContextClient::OutputName(const TContextState& context, const TNameParts& full) {
    return WriteOutputName(full, context.Flags, context.NameContextParts);
}

NWCCODE TContextClient::CanonicalName(const TContextState& context, const std::string& name,
                                      const TKnownName& knownName, std::string& canonical) {
    canonical.clear();
    TResolvedName resolved;
    NWCCODE code = ResolveName(context, name, resolved);
    if (code != 0) return code;
    if (!resolved.Special.empty()) {
        canonical = resolved.Special;
        return 0;
    }
    TNameParts& parts = resolved.Parts;
    const bool typed = (context.Flags & DcvTypelessNames) == 0;
    if (typed) {
        for (size_t i = 0; i < parts.size(); ++i) {
            TNameParts known;
            if (!knownName(TNameParts(parts.begin() + static_cast<ptrdiff_t>(i), parts.end()), known) ||
                known.size() != parts.size() - i)
                continue;
            for (size_t k = 0; k < known.size(); ++k) parts[i + k].Type = known[k].Type;
            break;
        }
        ApplyDefaultTypes(parts);
    }
    canonical = WriteFullName(parts, typed);
    return 0;
}

} // namespace era
