#pragma once

// The control kinds the windows use that Qt has no widget for: a titled group of exclusive radio
// buttons, a list of texts with check boxes, a key=value table and a grid of cells with fixed
// header rows and columns. They are separate classes, not configured stock widgets, so that the
// settings walk (gui/control_walk.h) can tell each kind apart by its type.
//
// The memo kind needs no class of its own: a memo is a QPlainTextEdit (read-only for the
// report views, editable where the user types lines).

#include <QGroupBox>
#include <QListWidget>
#include <QStringList>
#include <QTableWidget>

class QButtonGroup;

namespace era {

// A titled group of exclusive radio buttons, one per item, stacked vertically.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    explicit TRadioGroup(const QString& title, QWidget* parent = nullptr);

    // Replaces the buttons by one per item; afterwards no item is selected.
    void SetItems(const QStringList& items);
    // The items' captions in order.
    QStringList Items() const;
    // The selected item, -1 when none.
    int ItemIndex() const { return itemIndex_; }
    // Selects an item; an index outside the items (-1 among them) selects none.
    void SetItemIndex(int index);
    // Enables or disables one item's button (an index outside the items is ignored).
    void SetItemEnabled(int index, bool enabled);

signals:
    // The selected item changed, by the user or by SetItemIndex / SetItems.
    void itemIndexChanged(int index);

private:
    void Select(int index);

    QButtonGroup* buttons_;
    int itemIndex_ = -1;
};

// A list of texts, each with a check box.
class TCheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TCheckListBox(QWidget* parent = nullptr);

    // Appends a text with its check mark.
    void AddItem(const QString& text, bool checked = false);
    // Whether row i is checked (false for a row outside the list).
    bool Checked(int row) const;
    // Sets the mark of row i (a row outside the list is ignored).
    void SetChecked(int row, bool checked);
    // Number of rows.
    int Count() const { return count(); }

signals:
    // The check mark of a row changed, by the user or by SetChecked.
    void checkChanged(int row);
};

// A table of key=value rows in two columns headed "Key" and "Value".
class TValueListEditor : public QTableWidget {
    Q_OBJECT
public:
    explicit TValueListEditor(QWidget* parent = nullptr);

    // The rows as "key=value" texts; a row whose key and value are both empty is "".
    QStringList Rows() const;
    // Replaces the rows; each text is split at its first "=" (a text without one is a key).
    void SetRows(const QStringList& rows);
    // Appends one row.
    void AppendRow(const QString& key, const QString& value);
    // The key and value of a row (empty outside the table).
    QString Key(int row) const;
    QString Value(int row) const;
};

// A grid of text cells whose first rows and columns are fixed (headings).
class TStringGrid : public QTableWidget {
    Q_OBJECT
    Q_PROPERTY(int fixedRows READ FixedRows WRITE SetFixedRows)
    Q_PROPERTY(int fixedCols READ FixedCols WRITE SetFixedCols)
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    // Number of fixed (heading) rows and columns, never more than the grid holds.
    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    void SetFixedRows(int n);
    void SetFixedCols(int n);
    // Grid dimensions; shrinking below the fixed rows or columns reduces those too.
    void SetRowCount(int n);
    void SetColCount(int n);
    // The text of the cell at column col, row row (empty outside the grid or for an unset cell).
    QString Cell(int col, int row) const;
    // Sets a cell's text (outside the grid: ignored).
    void SetCell(int col, int row, const QString& text);

private:
    // Fixed cells are headings: shaded and not editable.
    void StyleCell(int col, int row);
    void StyleAll();

    int fixedRows_ = 0;
    int fixedCols_ = 0;
};

} // namespace era
