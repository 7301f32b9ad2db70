#include "util/ui_host.h"

#include <cstdio>

namespace era {

void TStatusBar::SetPanelText(int index, std::string text) {
    if (index < 0) return;
    const auto i = static_cast<std::size_t>(index);
    if (i >= panels_.size()) panels_.resize(i + 1);
    panels_[i] = std::move(text);
}

std::string TStatusBar::PanelText(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= panels_.size()) return {};
    return panels_[static_cast<std::size_t>(index)];
}

std::string DialogLine(TDialogKind kind, std::string_view text) {
    std::string line = kind == dkError ? "Error: " : kind == dkWarning ? "Warning: " : "Information: ";
    // One line per dialog, so that a log of them stays one message per line.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += (text[i] == '\r' || text[i] == '\n') ? ' ' : text[i];
    }
    return line;
}

void THeadlessHost::ShowDialog(TDialogKind kind, const std::string& text) {
    const std::string line = DialogLine(kind, text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

TCursor THeadlessHost::BeginWait() {
    const TCursor previous = cursor_;
    cursor_ = crHourGlass;
    return previous;
}

namespace {
std::unique_ptr<TUserInterfaceHost>& Slot() {
    static std::unique_ptr<TUserInterfaceHost> slot = std::make_unique<THeadlessHost>();
    return slot;
}
} // namespace

TUserInterfaceHost& UiHost() {
    return *Slot();
}

std::unique_ptr<TUserInterfaceHost> InstallUiHost(std::unique_ptr<TUserInterfaceHost> host) {
    if (!host) host = std::make_unique<THeadlessHost>();
    std::swap(Slot(), host);
    return host;
}

} // namespace era
