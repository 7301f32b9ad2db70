#include "gui/controls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHeaderView>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace era {

namespace {

// The check state last reported for a row, so that checkChanged fires for marks only and not for
// every other change of an item (its text, its colour).
constexpr int ReportedCheckRole = Qt::UserRole + 1;

} // namespace

// ---------------------------------------------------------------------------------------------
// TRadioGroup

TRadioGroup::TRadioGroup(QWidget* parent) : TRadioGroup(QString(), parent) {}

TRadioGroup::TRadioGroup(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
    new QVBoxLayout(this);
    buttons_->setExclusive(true);
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) Select(id);
    });
}

void TRadioGroup::SetItems(const QStringList& items) {
    // The old buttons go first, so that no toggle of theirs reports an index of the new items.
    for (QAbstractButton* button : buttons_->buttons()) {
        buttons_->removeButton(button);
        delete button;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        layout()->addWidget(button);
    }
    Select(-1);
}

QStringList TRadioGroup::Items() const {
    QStringList items;
    for (int i = 0; QAbstractButton* button = buttons_->button(i); ++i)
        items << button->text();
    return items;
}

void TRadioGroup::SetItemIndex(int index) {
    QAbstractButton* button = buttons_->button(index);
    if (button == nullptr) {
        // An exclusive group never lets its last checked button go; it has to be told to.
        if (QAbstractButton* checked = buttons_->checkedButton()) {
            buttons_->setExclusive(false);
            checked->setChecked(false);
            buttons_->setExclusive(true);
        }
        Select(-1);
        return;
    }
    button->setChecked(true); // reports through idToggled
}

void TRadioGroup::SetItemEnabled(int index, bool enabled) {
    if (QAbstractButton* button = buttons_->button(index)) button->setEnabled(enabled);
}

void TRadioGroup::Select(int index) {
    if (index == itemIndex_) return;
    itemIndex_ = index;
    emit itemIndexChanged(index);
}

// ---------------------------------------------------------------------------------------------
// TCheckListBox

TCheckListBox::TCheckListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int state = item->checkState();
        if (item->data(ReportedCheckRole).toInt() == state) return;
        item->setData(ReportedCheckRole, state); // changes the item again; that call returns above
        emit checkChanged(row(item));
    });
}

void TCheckListBox::AddItem(const QString& text, bool checked) {
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
    item->setCheckState(state);
    item->setData(ReportedCheckRole, static_cast<int>(state));
    addItem(item);
}

bool TCheckListBox::Checked(int row) const {
    const QListWidgetItem* it = item(row);
    return it != nullptr && it->checkState() == Qt::Checked;
}

void TCheckListBox::SetChecked(int row, bool checked) {
    if (QListWidgetItem* it = item(row)) it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

// ---------------------------------------------------------------------------------------------
// TValueListEditor

TValueListEditor::TValueListEditor(QWidget* parent) : QTableWidget(0, 2, parent) {
    setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
}

QStringList TValueListEditor::Rows() const {
    QStringList rows;
    for (int r = 0; r < rowCount(); ++r) {
        const QString key = Key(r);
        const QString value = Value(r);
        // A blank row is an empty text, as a blank line of a list is.
        rows << (key.isEmpty() && value.isEmpty() ? QString() : key + QLatin1Char('=') + value);
    }
    return rows;
}

void TValueListEditor::SetRows(const QStringList& rows) {
    setRowCount(0);
    for (const QString& row : rows) {
        const qsizetype eq = row.indexOf(QLatin1Char('='));
        if (eq < 0)
            AppendRow(row, QString());
        else
            AppendRow(row.left(eq), row.mid(eq + 1));
    }
}

void TValueListEditor::AppendRow(const QString& key, const QString& value) {
    const int r = rowCount();
    insertRow(r);
    setItem(r, 0, new QTableWidgetItem(key));
    setItem(r, 1, new QTableWidgetItem(value));
}

QString TValueListEditor::Key(int row) const {
    const QTableWidgetItem* it = item(row, 0);
    return it != nullptr ? it->text() : QString();
}

QString TValueListEditor::Value(int row) const {
    const QTableWidgetItem* it = item(row, 1);
    return it != nullptr ? it->text() : QString();
}

// ---------------------------------------------------------------------------------------------
// TStringGrid

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent) {
    // The fixed rows and columns are the headings; Qt's own headers would be a second set.
    horizontalHeader()->hide();
    verticalHeader()->hide();
}

void TStringGrid::SetFixedRows(int n) {
    fixedRows_ = std::clamp(n, 0, rowCount());
    StyleAll();
}

void TStringGrid::SetFixedCols(int n) {
    fixedCols_ = std::clamp(n, 0, columnCount());
    StyleAll();
}

void TStringGrid::SetRowCount(int n) {
    setRowCount(std::max(n, 0));
    fixedRows_ = std::min(fixedRows_, rowCount());
    StyleAll();
}

void TStringGrid::SetColCount(int n) {
    setColumnCount(std::max(n, 0));
    fixedCols_ = std::min(fixedCols_, columnCount());
    StyleAll();
}

QString TStringGrid::Cell(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it != nullptr ? it->text() : QString();
}

void TStringGrid::SetCell(int col, int row, const QString& text) {
    if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount()) return;
    if (QTableWidgetItem* it = item(row, col)) {
        it->setText(text);
        return;
    }
    setItem(row, col, new QTableWidgetItem(text));
    StyleCell(col, row);
}

void TStringGrid::StyleCell(int col, int row) {
    QTableWidgetItem* it = item(row, col);
    if (it == nullptr) return;
    const bool fixed = row < fixedRows_ || col < fixedCols_;
    it->setFlags(fixed ? it->flags() & ~Qt::ItemIsEditable : it->flags() | Qt::ItemIsEditable);
    it->setBackground(fixed ? palette().button() : QBrush());
}

void TStringGrid::StyleAll() {
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            StyleCell(c, r);
}

} // namespace era
