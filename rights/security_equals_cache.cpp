#include "rights/security_equals_cache.h"

#include "util/settings.h"
#include "util/text.h"

namespace era {

namespace {

constexpr const char* CountSection = "Security Equals";

constexpr std::string_view CountSectionKey = "SECURITY EQUALS";

// A name the store gives back as written: not empty, no blank, tab or quote at either end, no line
// break or NUL, not the store's escape marker.
bool ReadsBackAsWritten(const std::string& name) {
    if (name.empty()) return false;
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    if (edge(name.front()) || edge(name.back())) return false;
    if (name.starts_with('%')) return false;
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

} // namespace

TSecurityEqualsCache::TSecurityEqualsCache() = default;

TSecurityEqualsCache::~TSecurityEqualsCache() = default;

const TSecurityEqualsCache::TKeys& TSecurityEqualsCache::KeysOf(const std::string& trustee) {
    if (keys_.Known && keys_.Trustee == trustee) return keys_;
    keys_.Trustee = trustee;
    // The section the names go to and the key of the count, as the store compares them (an empty
    // key: the store writes no count).
    keys_.Section = UpperCase(CleanIniName(trustee));
    keys_.Count = TrimRightChars(TrimLeftChars(keys_.Section, " \t"), " \t");
    keys_.Known = true;
    return keys_;
}

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
    const TKeys& keys = KeysOf(trustee);
    if (!store_ && keys.Section == CountSectionKey) UseStore();
    if (store_) {
        const int count = IniReadInteger(*store_, CountSection, trustee, -1);
        if (count < 0) return false;
        // The count is read under the trustee's key, the names under its cleaned name.
        if (count > 0) IniReadList(*store_, CleanIniName(trustee), names, false);
        return true;
    }
    const auto count = counts_.find(keys.Count);
    if (count == counts_.end()) return false;
    if (count->second > 0) {
        const auto found = names_.find(keys.Section);
        if (found != names_.end())
            for (const std::string& name : found->second)
                names.Add(name);
    }
    return true;
}

void TSecurityEqualsCache::Keep(const std::string& trustee, const TStringList& found) {
    const TKeys& keys = KeysOf(trustee);
    if (!store_ && keys.Section == CountSectionKey) UseStore();
    if (store_) {
        IniWriteList(*store_, trustee, found, false);
        IniWriteInteger(*store_, CountSection, trustee, found.Count());
        return;
    }
    kept_.push_back({trustee, found});
    std::vector<std::string>& names = names_[keys.Section];
    names.clear();
    for (const auto& item : found.Items()) {
        // The store writes no key for a value equal to the empty one it finds, quoted or not.
        if (item.Text.empty() || item.Text == "\"\"") continue;
        names.push_back(ReadsBackAsWritten(item.Text) ? item.Text
                                                      : DecodeIniValue(EncodeIniValue(item.Text)));
    }
    if (!keys.Count.empty()) counts_[keys.Count] = found.Count();
}

} // namespace era
