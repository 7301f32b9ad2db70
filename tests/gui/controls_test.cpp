#include "gui/controls.h"

#include <QAbstractButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace era {
namespace {

QList<QRadioButton*> Buttons(TRadioGroup& group) {
    return group.findChildren<QRadioButton*>();
}

TEST(RadioGroupTest, ItemsMakeOneButtonEachAndNoneSelected) {
    TRadioGroup group("Servers");
    group.SetItems({"ALPHA", "BETA", "GAMMA"});
    EXPECT_EQ(group.Items(), QStringList({"ALPHA", "BETA", "GAMMA"}));
    EXPECT_EQ(Buttons(group).size(), 3);
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItems({"ONE"});
    EXPECT_EQ(group.Items(), QStringList({"ONE"}));
    EXPECT_EQ(Buttons(group).size(), 1);
}

TEST(RadioGroupTest, SetItemIndexSelectsAndReportsOnce) {
    TRadioGroup group;
    group.SetItems({"A", "B", "C"});
    QSignalSpy spy(&group, &TRadioGroup::itemIndexChanged);
    group.SetItemIndex(1);
    group.SetItemIndex(1);
    group.SetItemIndex(2);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].toInt(), 1);
    EXPECT_EQ(spy[1][0].toInt(), 2);
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_FALSE(Buttons(group)[1]->isChecked());
    EXPECT_TRUE(Buttons(group)[2]->isChecked());
}

TEST(RadioGroupTest, MinusOneAndOutOfRangeSelectNone) {
    TRadioGroup group;
    group.SetItems({"A", "B"});
    group.SetItemIndex(0);
    QSignalSpy spy(&group, &TRadioGroup::itemIndexChanged);
    group.SetItemIndex(-1);
    EXPECT_EQ(group.ItemIndex(), -1);
    for (QRadioButton* button : Buttons(group))
        EXPECT_FALSE(button->isChecked());
    group.SetItemIndex(1);
    group.SetItemIndex(7);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(spy.count(), 3);
}

TEST(RadioGroupTest, UserClickChangesIndex) {
    TRadioGroup group;
    group.SetItems({"A", "B"});
    QSignalSpy spy(&group, &TRadioGroup::itemIndexChanged);
    Buttons(group)[1]->click();
    EXPECT_EQ(group.ItemIndex(), 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 1);
}

TEST(RadioGroupTest, ItemEnabledReachesTheButton) {
    TRadioGroup group;
    group.SetItems({"A", "B"});
    group.SetItemEnabled(1, false);
    group.SetItemEnabled(5, false); // ignored
    EXPECT_TRUE(Buttons(group)[0]->isEnabled());
    EXPECT_FALSE(Buttons(group)[1]->isEnabled());
}

TEST(CheckListBoxTest, MarksAreKeptPerRow) {
    TCheckListBox list;
    list.AddItem("one");
    list.AddItem("two", true);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.Checked(0));
    EXPECT_TRUE(list.Checked(1));
    EXPECT_FALSE(list.Checked(2));
    list.SetChecked(0, true);
    list.SetChecked(9, true); // ignored
    EXPECT_TRUE(list.Checked(0));
}

TEST(CheckListBoxTest, CheckChangedOnlyForMarks) {
    TCheckListBox list;
    list.AddItem("one");
    list.AddItem("two");
    QSignalSpy spy(&list, &TCheckListBox::checkChanged);
    list.SetChecked(1, true);
    list.SetChecked(1, true);         // no change
    list.item(0)->setText("renamed"); // not a mark
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 1);
}

TEST(ValueListEditorTest, RowsSplitAtTheFirstEqualsSign) {
    TValueListEditor editor;
    editor.SetRows({"Server=ALPHA", "Path=a=b", "JustKey", ""});
    ASSERT_EQ(editor.rowCount(), 4);
    EXPECT_EQ(editor.Key(1), "Path");
    EXPECT_EQ(editor.Value(1), "a=b");
    EXPECT_EQ(editor.Key(2), "JustKey");
    EXPECT_EQ(editor.Value(2), "");
    EXPECT_EQ(editor.Rows(), QStringList({"Server=ALPHA", "Path=a=b", "JustKey=", ""}));
    EXPECT_EQ(editor.columnCount(), 2);
    EXPECT_EQ(editor.horizontalHeaderItem(0)->text(), "Key");
    EXPECT_EQ(editor.horizontalHeaderItem(1)->text(), "Value");
}

TEST(StringGridTest, CellsAndFixedCounts) {
    TStringGrid grid;
    grid.SetRowCount(3);
    grid.SetColCount(2);
    grid.SetFixedRows(1);
    grid.SetFixedCols(5); // more than the grid holds
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.FixedCols(), 2);
    grid.SetCell(1, 2, "x");
    grid.SetCell(2, 0, "outside"); // ignored
    EXPECT_EQ(grid.Cell(1, 2), "x");
    EXPECT_EQ(grid.Cell(0, 0), "");
    EXPECT_EQ(grid.item(2, 1)->text(), "x"); // QTableWidget counts row first
    EXPECT_EQ(grid.property("fixedRows").toInt(), 1);
    grid.SetRowCount(0);
    EXPECT_EQ(grid.FixedRows(), 0);
}

TEST(StringGridTest, FixedCellsAreNotEditable) {
    TStringGrid grid;
    grid.SetRowCount(2);
    grid.SetColCount(2);
    grid.SetCell(0, 0, "head");
    grid.SetCell(1, 1, "body");
    grid.SetFixedRows(1);
    EXPECT_FALSE(grid.item(0, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(grid.item(1, 1)->flags() & Qt::ItemIsEditable);
}

} // namespace
} // namespace era
