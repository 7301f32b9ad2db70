#pragma once

// The core's user-interface services on Qt: message boxes, the wait cursor, pending events, the
// clipboard; and the status bar's panels as labels of a QStatusBar.

#include "util/ui_host.h"

#include <QLabel>
#include <QPointer>

namespace era {

class TQtHost : public TUserInterfaceHost {
public:
    // A modal QMessageBox over the active window.
    void ShowDialog(TDialogKind kind, const std::string& text) override;
    // Pushes the wait cursor as the application's override cursor.
    TCursor BeginWait() override;
    // Pops the override cursor BeginWait pushed.
    void EndWait(TCursor previous) override;
    // QCoreApplication::processEvents.
    void ProcessMessages() override;
    // The text on the system clipboard.
    bool SetClipboardText(const std::string& text) override;
};

// The status bar's panels shown in labels (a label that went away is skipped).
class TQtStatusBar final : public TStatusBar {
public:
    TQtStatusBar(QLabel* panel0, QLabel* panel1) : panels_{panel0, panel1} {}
    void SetPanelText(int index, std::string text) override;

private:
    QPointer<QLabel> panels_[2];
};

} // namespace era
