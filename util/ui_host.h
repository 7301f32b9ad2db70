#pragma once

// The one door through which the core reaches user-interface services: message boxes, the wait
// cursor, letting pending events run, and the clipboard. The command line and the tests run with
// the headless host; the desktop program installs its own.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace era {

// The kind of a message box.
enum TDialogKind : std::uint8_t { dkError, dkWarning, dkInformation };

// A screen cursor shape.
enum TCursor : int { crDefault = 0, crHourGlass = -11 };

class TUserInterfaceHost {
public:
    virtual ~TUserInterfaceHost() = default;
    // Shows a modal message box with one OK button; returns when it is closed.
    virtual void ShowDialog(TDialogKind kind, const std::string& text) = 0;
    // Sets the hourglass cursor; returns the cursor it replaces.
    virtual TCursor BeginWait() = 0;
    // Sets the cursor back to the given one.
    virtual void EndWait(TCursor previous) = 0;
    // Lets pending window events run.
    virtual void ProcessMessages() = 0;
    // Puts plain text on the clipboard; false when there is no clipboard or it refused.
    virtual bool SetClipboardText(const std::string& text) = 0;
};

// The status bar's panels: an optional sink for progress texts.
class TStatusBar {
public:
    virtual ~TStatusBar() = default;
    // Sets the text of a panel (a negative index is ignored).
    virtual void SetPanelText(int index, std::string text);
    // The text of a panel, empty when it has none.
    std::string PanelText(int index) const;

private:
    std::vector<std::string> panels_;
};

// The host for runs without a window: dialogs go to standard error as one line, there is no clipboard.
class THeadlessHost : public TUserInterfaceHost {
public:
    void ShowDialog(TDialogKind kind, const std::string& text) override;
    TCursor BeginWait() override;
    void EndWait(TCursor previous) override { cursor_ = previous; }
    void ProcessMessages() override {}
    bool SetClipboardText(const std::string&) override { return false; }

private:
    TCursor cursor_ = crDefault;
};

// The one-line form of a dialog that the headless host writes ("Error: text", line breaks as blanks).
std::string DialogLine(TDialogKind kind, std::string_view text);
// The process-wide host (the headless one unless another is installed).
TUserInterfaceHost& UiHost();
// Installs the process-wide host (nullptr: the headless one); returns the one it replaces.
std::unique_ptr<TUserInterfaceHost> InstallUiHost(std::unique_ptr<TUserInterfaceHost> host);

} // namespace era
