#pragma once

// A user-interface host for tests: it records what the core asks of it, and is installed for the
// lifetime of a TRecordingHostScope.

#include "util/ui_host.h"

#include <memory>
#include <string>
#include <vector>

namespace era::testing {

struct TRecordedDialog {
    TDialogKind Kind;
    std::string Text;
};

class TRecordingHost final : public TUserInterfaceHost {
public:
    void ShowDialog(TDialogKind kind, const std::string& text) override { Dialogs.push_back({kind, text}); }
    TCursor BeginWait() override {
        const TCursor previous = Cursor;
        Cursor = crHourGlass;
        return previous;
    }
    void EndWait(TCursor previous) override { Cursor = previous; }
    void ProcessMessages() override { ++MessageRuns; }
    bool SetClipboardText(const std::string& text) override {
        Clipboard = text;
        return true;
    }

    std::vector<TRecordedDialog> Dialogs;
    TCursor Cursor = crDefault;
    int MessageRuns = 0;
    std::string Clipboard;
};

// Installs a recording host and puts the previous host back when it goes.
class TRecordingHostScope {
public:
    TRecordingHostScope() {
        auto host = std::make_unique<TRecordingHost>();
        host_ = host.get();
        previous_ = InstallUiHost(std::move(host));
    }
    ~TRecordingHostScope() { InstallUiHost(std::move(previous_)); }
    TRecordingHostScope(const TRecordingHostScope&) = delete;
    TRecordingHostScope& operator=(const TRecordingHostScope&) = delete;
    TRecordingHost& operator*() const { return *host_; }
    TRecordingHost* operator->() const { return host_; }

private:
    TRecordingHost* host_ = nullptr;
    std::unique_ptr<TUserInterfaceHost> previous_;
};

} // namespace era::testing
