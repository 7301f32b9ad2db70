#include "gui/control_walk.h"

#include "gui/controls.h"
#include "util/selection_lists.h"
#include "util/settings.h"
#include "util/text.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QVariant>

namespace era {

namespace {

std::string ToStd(const QString& text) {
    return text.toStdString();
}

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

// The name a control's keys are made of. Qt names the parts it builds inside its own widgets
// "qt_..." (a tab widget's page stack, a scroll area's viewport); they are not controls of ours.
std::string ControlName(const QWidget* control) {
    const QString name = control->objectName();
    return name.startsWith(QLatin1String("qt_")) ? std::string() : ToStd(name);
}

// The section of a named control's items (check list, memo, value list, grid).
std::string ListSection(const std::string& section, const std::string& name) {
    return section + " " + name;
}

std::string HistorySection(const std::string& name) {
    return "History " + name;
}

std::string GridCellKey(int col, int row) {
    return Format("Cell.%d.%d", col, row);
}

// The key of a splitter neighbour's size along the splitter.
std::string SplitterSizeKey(const QSplitter* splitter, const std::string& name) {
    return name + (splitter->orientation() == Qt::Vertical ? ".Height" : ".Width");
}

// The children the walk descends into: widgets directly inside, in child order. Windows parented
// to the control (dialogs, menus) are windows of their own, not controls inside it.
QList<QWidget*> WalkedChildren(const QWidget* control) {
    QList<QWidget*> children;
    for (QWidget* child : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow()) children << child;
    return children;
}

// A form is placed as designed unless its "era.position" says otherwise.
bool PlacedAsDesigned(const QWidget* form) {
    const QString mode = form->property("era.position").toString();
    return mode.isEmpty() || mode.compare(QLatin1String("designed"), Qt::CaseInsensitive) == 0;
}

// A memo's lines as a list keeps them: an empty text has none, and a final line break ends the
// last line rather than starting another.
TStringList MemoLines(const QPlainTextEdit* memo) {
    TStringList lines;
    QString text = memo->toPlainText();
    if (text.isEmpty()) return lines;
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines.Add(ToStd(line));
    return lines;
}

QStringList ToQtList(const TStringList& list) {
    QStringList texts;
    for (const TStringItem& item : list.Items())
        texts << ToQt(item.Text);
    return texts;
}

TStringList ToStringList(const QStringList& texts) {
    TStringList list;
    for (const QString& text : texts)
        list.Add(ToStd(text));
    return list;
}

// The history model of an editable combo box, and back: the combo box's items follow what the
// history helpers did to the model (a new text goes to the front).
QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

TComboHistory HistoryOf(const QComboBox* combo) {
    return TComboHistory{ToStd(combo->currentText()), ToStringList(ComboItems(combo))};
}

// Refills the combo box only when its items changed: a refill clears the text the user sees.
void ApplyHistory(QComboBox* combo, const TComboHistory& history) {
    const QStringList items = ToQtList(history.Items);
    if (items != ComboItems(combo)) {
        combo->clear();
        combo->addItems(items);
    }
    combo->setEditText(ToQt(history.Text));
}

// Index of the first item equal to the text, ignoring letter case as the settings files do; -1.
int IndexOfText(const QComboBox* combo, const std::string& text) {
    for (int i = 0; i < combo->count(); ++i)
        if (TextEquals(ToStd(combo->itemText(i)), text)) return i;
    return -1;
}

void SaveState(TCustomIniFile& store, const std::string& section, const std::string& name, QWidget* control) {
    const std::string list = ListSection(section, name);
    switch (ControlKindOf(control)) {
    case TControlKind::None:
        break;
    case TControlKind::Edit:
        IniWriteString(store, section, name, ToStd(static_cast<QLineEdit*>(control)->text()));
        break;
    case TControlKind::HistoryCombo: {
        // The history's section is the combo box's own, without the panel's section in front.
        auto* combo = static_cast<QComboBox*>(control);
        TComboHistory history = HistoryOf(combo);
        SaveHistory(store, HistorySection(name), history);
        ApplyHistory(combo, history);
        break;
    }
    case TControlKind::ListCombo:
        IniWriteString(store, section, name, ToStd(static_cast<QComboBox*>(control)->currentText()));
        break;
    case TControlKind::SpinEdit:
        IniWriteInteger(store, section, name, static_cast<QSpinBox*>(control)->value());
        break;
    case TControlKind::RadioGroup:
        IniWriteInteger(store, section, name, static_cast<TRadioGroup*>(control)->ItemIndex());
        break;
    case TControlKind::TrackBar:
        IniWriteInteger(store, section, name, static_cast<QSlider*>(control)->value());
        break;
    case TControlKind::CheckBox:
        IniWriteBool(store, section, name, static_cast<QCheckBox*>(control)->isChecked());
        break;
    case TControlKind::CheckListBox: {
        // One key per item, named by its text: "1" checked, "0" not.
        auto* box = static_cast<TCheckListBox*>(control);
        IniEraseSection(store, list);
        for (int i = 0; i < box->Count(); ++i)
            IniWriteString(store, list, ToStd(box->item(i)->text()), box->Checked(i) ? "1" : "0");
        break;
    }
    case TControlKind::Memo: {
        // A read-only memo shows what the program made; only what the user typed is kept.
        auto* memo = static_cast<QPlainTextEdit*>(control);
        if (!memo->isReadOnly()) IniWriteList(store, list, MemoLines(memo), false);
        break;
    }
    case TControlKind::ValueListEditor: {
        auto* editor = static_cast<TValueListEditor*>(control);
        IniWriteInteger(store, section, name + ".Count", editor->rowCount());
        IniWriteList(store, list, ToStringList(editor->Rows()), false);
        break;
    }
    case TControlKind::StringGrid: {
        auto* grid = static_cast<TStringGrid*>(control);
        IniEraseSection(store, list);
        IniWriteInteger(store, list, "RowCount", grid->rowCount());
        IniWriteInteger(store, list, "ColCount", grid->columnCount());
        IniWriteInteger(store, list, "FixedRows", grid->FixedRows());
        IniWriteInteger(store, list, "FixedCols", grid->FixedCols());
        for (int c = 0; c < grid->columnCount(); ++c)
            for (int r = 0; r < grid->rowCount(); ++r)
                IniWriteString(store, list, GridCellKey(c, r), ToStd(grid->Cell(c, r)));
        break;
    }
    }
}

void RestoreState(TCustomIniFile& store, const std::string& section, const std::string& name,
                  QWidget* control) {
    const std::string list = ListSection(section, name);
    switch (ControlKindOf(control)) {
    case TControlKind::None:
        break;
    case TControlKind::Edit: {
        auto* edit = static_cast<QLineEdit*>(control);
        edit->setText(ToQt(IniReadStringCached(store, section, name, ToStd(edit->text()))));
        break;
    }
    case TControlKind::HistoryCombo:
    case TControlKind::ListCombo: {
        auto* combo = static_cast<QComboBox*>(control);
        // Read from the file, not the cache: a history combo box's own key is its default text.
        const std::string value = store.ReadString(section, CleanIniName(name), ToStd(combo->currentText()));
        if (combo->isEditable()) {
            TComboHistory history = HistoryOf(combo);
            RestoreHistory(store, HistorySection(name), value, history);
            ApplyHistory(combo, history);
        } else {
            combo->setCurrentIndex(IndexOfText(combo, value));
        }
        break;
    }
    case TControlKind::CheckBox: {
        auto* box = static_cast<QCheckBox*>(control);
        box->setChecked(IniReadBoolCached(store, section, name, box->isChecked()));
        break;
    }
    case TControlKind::SpinEdit: {
        auto* spin = static_cast<QSpinBox*>(control);
        spin->setValue(IniReadIntegerCached(store, section, name, spin->value()));
        break;
    }
    case TControlKind::TrackBar: {
        auto* slider = static_cast<QSlider*>(control);
        slider->setValue(IniReadIntegerCached(store, section, name, slider->value()));
        break;
    }
    case TControlKind::RadioGroup: {
        auto* group = static_cast<TRadioGroup*>(control);
        group->SetItemIndex(IniReadIntegerCached(store, section, name, group->ItemIndex()));
        break;
    }
    case TControlKind::Memo: {
        // Read-only memos too: a missing section empties the memo, as it does an editable one.
        TStringList lines;
        IniReadList(store, list, lines, false);
        static_cast<QPlainTextEdit*>(control)->setPlainText(ToQtList(lines).join(QLatin1Char('\n')));
        break;
    }
    case TControlKind::CheckListBox: {
        // The items are the section's keys; a missing section leaves the box empty.
        auto* box = static_cast<TCheckListBox*>(control);
        box->clear();
        for (const std::string& text : store.ReadSection(list))
            box->AddItem(ToQt(text));
        for (int i = 0; i < box->Count(); ++i)
            box->SetChecked(i, IniReadBoolCached(store, list, ToStd(box->item(i)->text()), box->Checked(i)));
        break;
    }
    case TControlKind::ValueListEditor: {
        // Blank rows leave no key; the stored count brings those at the end back.
        auto* editor = static_cast<TValueListEditor*>(control);
        TStringList rows;
        IniReadList(store, list, rows, false);
        editor->SetRows(ToQtList(rows));
        const int count = IniReadIntegerCached(store, section, name + ".Count", 0);
        while (editor->rowCount() < count)
            editor->AppendRow(QString(), QString());
        break;
    }
    case TControlKind::StringGrid: {
        auto* grid = static_cast<TStringGrid*>(control);
        grid->SetRowCount(IniReadIntegerCached(store, list, "RowCount", grid->rowCount()));
        grid->SetColCount(IniReadIntegerCached(store, list, "ColCount", grid->columnCount()));
        grid->SetFixedRows(IniReadIntegerCached(store, list, "FixedRows", grid->FixedRows()));
        grid->SetFixedCols(IniReadIntegerCached(store, list, "FixedCols", grid->FixedCols()));
        for (int c = 0; c < grid->columnCount(); ++c)
            for (int r = 0; r < grid->rowCount(); ++r)
                grid->SetCell(
                    c, r, ToQt(IniReadStringCached(store, list, GridCellKey(c, r), ToStd(grid->Cell(c, r)))));
        break;
    }
    }
}

// A splitter's neighbours get their sizes back all at once: Qt spreads a change of one
// neighbour's size over the others, so sizes set one by one would not end up as stored.
void RestoreSplitterSizes(TCustomIniFile& store, const std::string& section, QSplitter* splitter) {
    QList<int> sizes = splitter->sizes();
    bool changed = false;
    for (int i = 0; i < splitter->count() && i < sizes.size(); ++i) {
        const std::string name = ControlName(splitter->widget(i));
        if (name.empty()) continue;
        const int size = IniReadIntegerCached(store, section, SplitterSizeKey(splitter, name), sizes[i]);
        changed = changed || size != sizes[i];
        sizes[i] = size;
    }
    if (changed) splitter->setSizes(sizes);
}

} // namespace

TControlKind ControlKindOf(const QWidget* control) {
    if (qobject_cast<const QLineEdit*>(control)) return TControlKind::Edit;
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->isEditable() ? TControlKind::HistoryCombo : TControlKind::ListCombo;
    if (qobject_cast<const QSpinBox*>(control)) return TControlKind::SpinEdit;
    if (qobject_cast<const TRadioGroup*>(control)) return TControlKind::RadioGroup;
    if (qobject_cast<const QSlider*>(control)) return TControlKind::TrackBar;
    if (qobject_cast<const QCheckBox*>(control)) return TControlKind::CheckBox;
    if (qobject_cast<const TCheckListBox*>(control)) return TControlKind::CheckListBox;
    if (qobject_cast<const QPlainTextEdit*>(control)) return TControlKind::Memo;
    if (qobject_cast<const TValueListEditor*>(control)) return TControlKind::ValueListEditor;
    if (qobject_cast<const TStringGrid*>(control)) return TControlKind::StringGrid;
    return TControlKind::None;
}

void SaveControls(TCustomIniFile& store, const std::string& section, QWidget* control) {
    std::string own = section;
    if (control->isWindow()) {
        own = section + " " + ToStd(control->objectName());
        SaveBounds(store, own, control);
    }
    const std::string name = ControlName(control);
    if (!name.empty()) SaveState(store, own, name, control);
    // A control of a kind keeps its own parts as children (a combo box's line edit, a spin box's
    // buttons, a radio group's buttons): they are not controls of the window.
    if (ControlKindOf(control) != TControlKind::None) return;
    if (auto* splitter = qobject_cast<QSplitter*>(control)) SaveSplitterSizes(store, own, splitter);
    for (QWidget* child : WalkedChildren(control))
        SaveControls(store, own, child);
}

void RestoreControls(TCustomIniFile* store, const std::string& section, QWidget* control) {
    if (store == nullptr) return;
    std::string own = section;
    if (control->isWindow()) {
        own = section + " " + ToStd(control->objectName());
        RestoreBounds(*store, own, control);
    }
    const std::string name = ControlName(control);
    if (!name.empty()) {
        // The size comes back here for forms and for a splitter's neighbours; a neighbour's size
        // is the splitter's to set (below), so only other controls are resized.
        // A size of 0 or less is none a control can be given back.
        const int width = IniReadIntegerCached(*store, own, name + ".Width", control->width());
        const int height = IniReadIntegerCached(*store, own, name + ".Height", control->height());
        if (!qobject_cast<QSplitter*>(control->parentWidget()) && width > 0 && height > 0 &&
            (width != control->width() || height != control->height()))
            control->resize(width, height);
        RestoreState(*store, own, name, control);
    }
    if (ControlKindOf(control) != TControlKind::None) return;
    if (auto* splitter = qobject_cast<QSplitter*>(control)) RestoreSplitterSizes(*store, own, splitter);
    for (QWidget* child : WalkedChildren(control))
        RestoreControls(store, own, child);
}

void SaveBounds(TCustomIniFile& store, const std::string& section, QWidget* control) {
    // Geometry is a comfort: a failure here must not keep the rest of the settings from the file.
    try {
        const std::string name = ToStd(control->objectName());
        const std::string where = section.empty() ? name : section;
        IniWriteInteger(store, where, name + ".Top", control->y());
        IniWriteInteger(store, where, name + ".Left", control->x());
        IniWriteInteger(store, where, name + ".Width", control->width());
        IniWriteInteger(store, where, name + ".Height", control->height());
    } catch (...) {
    }
}

void RestoreBounds(TCustomIniFile& store, const std::string& section, QWidget* control) {
    if (control->isWindow() && !PlacedAsDesigned(control)) return;
    try {
        const std::string name = ToStd(control->objectName());
        const std::string where = section.empty() ? name : section;
        // A stored 0 is never applied: it is what a missing key reads as.
        if (const int width = IniReadInteger(store, where, name + ".Width", 0); width != 0)
            control->resize(width, control->height());
        if (const int height = IniReadInteger(store, where, name + ".Height", 0); height != 0)
            control->resize(control->width(), height);
        if (const int left = IniReadInteger(store, where, name + ".Left", 0); left != 0)
            control->move(left, control->y());
        if (const int top = IniReadInteger(store, where, name + ".Top", 0); top != 0)
            control->move(control->x(), top);
    } catch (...) {
    }
}

void SaveSplitterSizes(TCustomIniFile& store, const std::string& section, QSplitter* splitter) {
    const QList<int> sizes = splitter->sizes();
    for (int i = 0; i < splitter->count() && i < sizes.size(); ++i) {
        const std::string name = ControlName(splitter->widget(i));
        if (!name.empty()) IniWriteInteger(store, section, SplitterSizeKey(splitter, name), sizes[i]);
    }
}

void SaveCheckList(TCustomIniFile& store, const std::string& section, const TCheckListBox& box) {
    TCheckList list;
    for (int i = 0; i < box.Count(); ++i)
        list.Add(ToStd(box.item(i)->text()), box.Checked(i));
    SaveCheckList(store, section, list);
}

void RestoreCheckList(TCustomIniFile& store, const std::string& section, TCheckListBox& box) {
    TCheckList list;
    RestoreCheckList(store, section, list);
    box.clear();
    for (int i = 0; i < list.Items.Count(); ++i)
        box.AddItem(ToQt(list.Items.Strings(i)), list.Checked(i));
}

void RestoreActions(TCustomIniFile& store, const std::string& section, const QList<QAction*>& actions) {
    for (QAction* action : actions)
        if (action != nullptr)
            action->setChecked(IniReadBoolCached(store, section, ToStd(action->objectName()), false));
}

} // namespace era
