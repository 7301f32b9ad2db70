#include "rights/security_equals_cache.h"

#include "util/settings.h"
#include "util/text.h"

namespace era {

namespace {

constexpr const char* CountSection = "Security Equals";

// The section a trustee's names go to, as the store compares it.
std::string SectionKey(const std::string& trustee) {
    return UpperCase(CleanIniName(trustee));
}

// The key of a trustee's count, as the store compares it (empty: the store writes none).
std::string CountKey(const std::string& trustee) {
    return UpperCase(TrimRightChars(TrimLeftChars(CleanIniName(trustee), " \t"), " \t"));
}

} // namespace

TSecurityEqualsCache::TSecurityEqualsCache() = default;

TSecurityEqualsCache::~TSecurityEqualsCache() = default;

void TSecurityEqualsCache::UseStore() {
    store_ = std::make_unique<TMemIniFile>();
    // Held for the store's life: the writes of one call are one update, none of them copies the store.
    update_ = std::make_unique<TIniUpdate>(*store_);
    for (const TKept& kept : kept_) {
        IniWriteList(*store_, kept.Trustee, kept.Found, false);
        IniWriteInteger(*store_, CountSection, kept.Trustee, kept.Found.Count());
    }
    kept_.clear();
    counts_.clear();
    names_.clear();
}

bool TSecurityEqualsCache::Find(const std::string& trustee, TStringList& names) {
    names.Clear();
    if (!store_ && TextEquals(CleanIniName(trustee), CountSection)) UseStore();
    if (store_) {
        const int count = IniReadInteger(*store_, CountSection, trustee, -1);
        if (count < 0) return false;
        // The count is read under the trustee's key, the names under its cleaned name.
        if (count > 0) IniReadList(*store_, CleanIniName(trustee), names, false);
        return true;
    }
    const auto count = counts_.find(CountKey(trustee));
    if (count == counts_.end()) return false;
    if (count->second > 0) {
        const auto found = names_.find(SectionKey(trustee));
        if (found != names_.end())
            for (const std::string& name : found->second)
                names.Add(name);
    }
    return true;
}

void TSecurityEqualsCache::Keep(const std::string& trustee, const TStringList& found) {
    if (!store_ && TextEquals(CleanIniName(trustee), CountSection)) UseStore();
    if (store_) {
        IniWriteList(*store_, trustee, found, false);
        IniWriteInteger(*store_, CountSection, trustee, found.Count());
        return;
    }
    kept_.push_back({trustee, found});
    std::vector<std::string>& names = names_[SectionKey(trustee)];
    names.clear();
    for (const auto& item : found.Items()) {
        // The store writes no key for a value equal to the empty one it finds, quoted or not.
        if (item.Text.empty() || item.Text == "\"\"") continue;
        names.push_back(DecodeIniValue(EncodeIniValue(item.Text)));
    }
    const std::string key = CountKey(trustee);
    if (!key.empty()) counts_.emplace(key, found.Count());
}

} // namespace era
