#pragma once

// The selection lists that survive a restart: check lists (texts with check marks) and the
// histories of combo boxes (an editable text with its earlier entries). They are plain models
// here; a window binds its widgets to them.

#include "util/ini_file.h"
#include "util/string_list.h"

#include <string>
#include <vector>

namespace era {

// A list of texts, each with a check mark.
class TCheckList {
public:
    // The texts in list order (their attached values are free for the caller).
    TStringList Items;

    // Whether item i is checked (false for an index without a mark).
    bool Checked(int i) const;
    // Sets the mark of item i (an index outside Items throws std::out_of_range).
    void SetChecked(int i, bool checked);
    // Appends a text with its mark; returns its index.
    int Add(std::string text, bool checked = false);
    // Removes every item and mark.
    void Clear();

private:
    std::vector<bool> checked_;
};

// A combo box with an editable text and a drop-down list of earlier entries, newest first.
struct TComboHistory {
    std::string Text;
    TStringList Items;
};

// The longest history: AddToHistory drops the entry at this index before adding a new one.
constexpr int HistoryLimit = 30;

// Writes the items (keys "0", "1", ...) and, in section + " Checked", a key per checked item.
void SaveCheckList(TCustomIniFile& ini, const std::string& section, const TCheckList& list);
// Replaces the items and marks by what SaveCheckList wrote.
void RestoreCheckList(TCustomIniFile& ini, const std::string& section, TCheckList& list);
// Puts a non-empty text that the items lack (ignoring case) in front, dropping entry 30 first.
void AddToHistory(TComboHistory& combo);
// AddToHistory, then replaces the section by "Current", "Count" and the items "0", "1", ...
void SaveHistory(TCustomIniFile& ini, const std::string& section, TComboHistory& combo);
// Appends the stored items, sets the text to "Current" (else def), then AddToHistory.
void RestoreHistory(TCustomIniFile& ini, const std::string& section, const std::string& def,
                    TComboHistory& combo);

} // namespace era
