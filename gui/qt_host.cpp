#include "gui/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>

namespace era {

void TQtHost::ShowDialog(TDialogKind kind, const std::string& text) {
    const QMessageBox::Icon icon = kind == dkError     ? QMessageBox::Critical
                                   : kind == dkWarning ? QMessageBox::Warning
                                                       : QMessageBox::Information;
    QMessageBox box(icon, QStringLiteral("Effective Rights Analysis"), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

TCursor TQtHost::BeginWait() {
    const TCursor previous = QApplication::overrideCursor() ? crHourGlass : crDefault;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return previous;
}

void TQtHost::EndWait(TCursor) {
    // Waits nest (a listing inside a tree change): each end takes back its own begin.
    if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void TQtHost::ProcessMessages() {
    QCoreApplication::processEvents();
}

bool TQtHost::SetClipboardText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    clipboard->setText(QString::fromStdString(text));
    return true;
}

void TQtStatusBar::SetPanelText(int index, std::string text) {
    if (index >= 0 && index < 2 && panels_[index]) panels_[index]->setText(QString::fromStdString(text));
    TStatusBar::SetPanelText(index, std::move(text));
}

} // namespace era
