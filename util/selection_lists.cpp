#include "util/selection_lists.h"

#include "util/settings.h"
#include "util/text.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <unordered_set>
#include <utility>

namespace era {

namespace {

// The number a key names when it is written the way "%d" writes one (no sign, no leading zero);
// -1 for every other key.
long long HistoryKeyNumber(const std::string& key) {
    if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return -1;
    long long n = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Check lists

bool TCheckList::Checked(int i) const {
    return i >= 0 && static_cast<std::size_t>(i) < checked_.size() && checked_[static_cast<std::size_t>(i)];
}

void TCheckList::SetChecked(int i, bool checked) {
    if (i < 0 || i >= Items.Count())
        throw std::out_of_range("check list index " + std::to_string(i) + " out of range");
    if (checked_.size() < static_cast<std::size_t>(Items.Count())) checked_.resize(Items.Count());
    checked_[static_cast<std::size_t>(i)] = checked;
}

int TCheckList::Add(std::string text, bool checked) {
    const int index = Items.Add(std::move(text));
    if (checked_.size() < static_cast<std::size_t>(index)) checked_.resize(index);
    checked_.insert(checked_.begin() + std::min<std::ptrdiff_t>(index, checked_.size()), checked);
    return index;
}

void TCheckList::Clear() {
    Items.Clear();
    checked_.clear();
}

void SaveCheckList(TCustomIniFile& ini, const std::string& section, const TCheckList& list) {
    // The list and its marks reach the file in one write; a failure passes to the caller.
    TIniUpdate update(ini);
    IniWriteList(ini, section, list.Items, false);
    const std::string checkedSection = section + " Checked";
    IniEraseSection(ini, checkedSection);
    // Unchecked items leave no key.
    for (int i = 0; i < list.Items.Count(); ++i)
        if (list.Checked(i)) IniWriteBool(ini, checkedSection, list.Items.Strings(i), true);
    try {
        update.Finish();
    } catch (...) {
        IniSectionCache().Forget(ini);
        throw;
    }
}

void RestoreCheckList(TCustomIniFile& ini, const std::string& section, TCheckList& list) {
    list.Clear();
    IniReadList(ini, section, list.Items, true);
    const std::string checkedSection = section + " Checked";
    for (int i = 0; i < list.Items.Count(); ++i)
        list.SetChecked(i, IniReadBoolCached(ini, checkedSection, list.Items.Strings(i), false));
}

// ---------------------------------------------------------------------------------------------
// Combo box histories

void AddToHistory(TComboHistory& combo) {
    if (combo.Text.empty()) return;
    for (const TStringItem& item : combo.Items.Items())
        if (TextEquals(item.Text, combo.Text)) return; // not even moved to the front
    // The entry at index 30 goes, so a full history holds 31 entries.
    if (combo.Items.Count() > HistoryLimit) combo.Items.Delete(HistoryLimit);
    combo.Items.Insert(0, combo.Text);
}

void SaveHistory(TCustomIniFile& ini, const std::string& section, TComboHistory& combo) {
    AddToHistory(combo);
    TIniUpdate update(ini);
    IniEraseSection(ini, section);
    // The quotes keep blanks at either end of a text; the store reads them away again.
    IniWriteString(ini, section, "Current", "\"" + combo.Text + "\"");
    IniWriteInteger(ini, section, "Count", combo.Items.Count());
    for (int i = 0; i < combo.Items.Count(); ++i)
        IniWriteString(ini, section, Format("%d", i), "\"" + combo.Items.Strings(i) + "\"");
    try {
        update.Finish();
    } catch (...) {
        IniSectionCache().Forget(ini);
        throw;
    }
}

// The items are the keys "0" to Count (30 when there is no "Count"), in the order of their numbers.
// Rather than asking the store for every number up to Count, which a damaged Count of two billion
// would turn into a loop without end, the section's keys that are such numbers are picked out;
// the result is the same.
void RestoreHistory(TCustomIniFile& ini, const std::string& section, const std::string& def,
                    TComboHistory& combo) {
    std::exception_ptr failure;
    try {
        const long long count = IniReadInteger(ini, section, "Count", HistoryLimit);
        std::vector<std::pair<long long, std::string>> stored;
        std::unordered_set<long long> numbers;
        for (const std::string& line : ini.ReadSectionValues(section)) {
            const std::size_t eq = line.find('=');
            const long long n = HistoryKeyNumber(line.substr(0, eq));
            // The first line of a key is the one the store answers with.
            if (n < 0 || n > count || !numbers.insert(n).second) continue;
            stored.emplace_back(n, line.substr(eq + 1));
        }
        std::sort(stored.begin(), stored.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        std::unordered_set<std::string> known; // upper-cased texts already in the list
        for (const TStringItem& item : combo.Items.Items())
            known.insert(UpperCase(item.Text));
        for (auto& [n, value] : stored)
            if (!value.empty() && known.insert(UpperCase(value)).second) combo.Items.Add(std::move(value));
    } catch (...) {
        failure = std::current_exception();
    }
    // The text comes back even when the items did not.
    combo.Text = ini.ReadString(section, "Current", "");
    if (failure) std::rethrow_exception(failure);
    if (combo.Text.empty()) combo.Text = def;
    AddToHistory(combo);
}

} // namespace era
