#pragma once

// The settings walk: a window or panel and every control inside it keep their state in an INI
// store, under keys named after the controls (their objectName), in the form each kind of control
// calls for. A control's state is written only when it differs from what the store holds.
//
// How Qt's widgets stand in for the control kinds the settings files know:
//   QLineEdit        an edit (its text under the control's name)
//   QComboBox        editable: a combo box with a history, kept in the section "History " + name;
//                    not editable: a drop-down list (its text under the control's name)
//   QSpinBox, QSlider, TRadioGroup, QCheckBox   their value, position, item index or check mark
//   TCheckListBox, QPlainTextEdit (the memo), TValueListEditor, TStringGrid
//                    their items, in the section section + " " + name
//   QSplitter        holds its neighbours as children: a vertical splitter's neighbours are
//                    stacked, so each keeps name + ".Height"; a horizontal one's keep ".Width"
// A top-level window is a form: its controls live in the section section + " " + its name, and
// its position and size come with it. Its dynamic property "era.position" says how it is placed:
// "designed" (the default when the property is absent) restores the stored position, any other
// value ("center", "system") leaves the placement to the window and the system.

#include "util/ini_file.h"

#include <QList>
#include <cstdint>
#include <string>

class QAction;
class QSplitter;
class QWidget;

namespace era {

class TCheckListBox;

// The kinds of control the walk keeps a state for; everything else is a container at most.
enum class TControlKind : std::uint8_t {
    None,
    Edit,
    HistoryCombo, // editable combo box
    ListCombo,    // combo box without an editable text
    SpinEdit,
    RadioGroup,
    TrackBar,
    CheckBox,
    CheckListBox,
    Memo,
    ValueListEditor,
    StringGrid,
};

// The kind whose form a widget's state takes (a subclass belongs to its base's kind).
TControlKind ControlKindOf(const QWidget* control);

// Saves the control (a form: also its bounds) and, in child order, every control inside it.
void SaveControls(TCustomIniFile& store, const std::string& section, QWidget* control);
// Restores what SaveControls saved; without a store (nullptr) nothing happens.
void RestoreControls(TCustomIniFile* store, const std::string& section, QWidget* control);
// Writes name.Top, .Left, .Width, .Height (section empty: the control's name); never throws.
void SaveBounds(TCustomIniFile& store, const std::string& section, QWidget* control);
// Applies each stored bound that is not 0; a form not placed as designed is left alone. Never throws.
void RestoreBounds(TCustomIniFile& store, const std::string& section, QWidget* control);
// Writes the size of each named neighbour along the splitter (".Height" or ".Width").
void SaveSplitterSizes(TCustomIniFile& store, const std::string& section, QSplitter* splitter);
// The selection lists' form for a check list box: items under "0", "1", ... in the section, a key
// per checked item in section + " Checked" (see util/selection_lists.h).
void SaveCheckList(TCustomIniFile& store, const std::string& section, const TCheckListBox& box);
// Replaces the box's items and marks by what SaveCheckList wrote.
void RestoreCheckList(TCustomIniFile& store, const std::string& section, TCheckListBox& box);
// Checks each action whose name is stored as true, unchecks every other one.
void RestoreActions(TCustomIniFile& store, const std::string& section, const QList<QAction*>& actions);

} // namespace era
