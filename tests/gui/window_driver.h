#pragma once

// Driving the main window as a user does — clicks, double clicks, typing into the file dialog —
// for the tests and for the screenshot program. Components are found by their objectName.

#include "gui/controls.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <string>
#include <vector>

namespace era::drive {

// The component of that name (nullptr when there is none).
template <typename T>
T* Named(QObject* form, const char* name) {
    return form->findChild<T*>(QString::fromLatin1(name));
}

// Brings a page to the front, as a click on its tab does.
inline void ShowPage(QObject* form, const char* page) {
    Named<QTabWidget>(form, "PageControl1")->setCurrentWidget(Named<QWidget>(form, page));
}

// A double click as the system delivers it: press, release, double-click, release.
inline void DoubleClickAt(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// Double-clicks the entry of that text; false unless exactly one entry has it.
inline bool DoubleClickItem(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1) return false;
    QCoreApplication::processEvents(); // the list lays its items out late
    list->scrollToItem(found.first());
    DoubleClickAt(list->viewport(), list->visualItemRect(found.first()).center());
    return true;
}

// Clicks (or double-clicks) a folder of the folder tree.
inline void ClickFolder(QTreeWidget* tree, QTreeWidgetItem* item, bool twice = false) {
    QCoreApplication::processEvents();
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    if (twice)
        DoubleClickAt(tree->viewport(), at);
    else
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
}

// The child folder of that caption (nullptr when none), its parent opened first.
inline QTreeWidgetItem* OpenFolder(QTreeWidgetItem* parent, const QString& caption) {
    parent->setExpanded(true);
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == caption) return parent->child(i);
    return nullptr;
}

// A click on a radio button's caption.
inline void ClickRadio(TRadioGroup* group, int index) {
    QRadioButton* button = group->findChildren<QRadioButton*>().at(index);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

// Types a file name into the file dialog and confirms it; false without a name field.
inline bool TypeFileName(QFileDialog* dialog, const std::string& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) return false;
    name->setText(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
    return true;
}

// Steps from the current container into the named ones; false when one is not listed.
inline bool Browse(QObject* form, const std::vector<QString>& containers) {
    ShowPage(form, "TabSheetSelectEdir");
    for (const auto& c : containers)
        if (!DoubleClickItem(Named<QListWidget>(form, "ListBoxEdirContainers"), c)) return false;
    return true;
}

// Browses to a container and double-clicks an object entry of it ("User: jdoe").
inline bool AddObject(QObject* form, const std::vector<QString>& containers, const QString& entry) {
    return Browse(form, containers) && DoubleClickItem(Named<QListWidget>(form, "ListBoxEdirObjects"), entry);
}

// Presses the scan button on its page; returns when the scan has ended.
inline void Scan(QObject* form) {
    ShowPage(form, "TabSheetAction");
    QTest::mouseClick(Named<QPushButton>(form, "BitBtnScan"), Qt::LeftButton);
}

} // namespace era::drive
