// era-gui and era-gui-fs: the desktop programs. One source; the build gives each its edition
// (ERA_EDITION_CODE: 4 the eDirectory edition, 2 the file-system edition).

#include "client/workstation_client.h"
#include "gui/form_about.h"
#include "gui/main_form.h"
#include "gui/qt_host.h"
#include "util/paths.h"

#include <QApplication>
#include <cstdlib>
#include <string>

namespace {

// The workstation file as the command line finds it: "--workstation FILE" (or
// "--workstation=FILE"), else the environment variable ERA_WORKSTATION.
std::string WorkstationFile(int argc, char** argv) {
    const std::string option = "--workstation";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == option && i + 1 < argc) return argv[i + 1];
        if (arg.starts_with(option + "=")) return arg.substr(option.size() + 1);
    }
    const char* env = std::getenv("ERA_WORKSTATION");
    return env ? env : "";
}

} // namespace

int main(int argc, char** argv) {
    using namespace era;
    QApplication application(argc, argv);
    SetProgramArguments(argc, argv);
    InstallUiHost(std::make_unique<TQtHost>());
    const std::string workstation = WorkstationFile(argc, argv);
    if (!workstation.empty()) {
        std::string message;
        // Without a workstation the client does not start: the window says so and opens empty.
        if (InstallWorkstation(workstation, message) != 0) UiHost().ShowDialog(dkError, message);
    }
    TMainForm form(ERA_EDITION_CODE);
    TFormAbout about(&form);
    form.SetFormAbout(&about);
    form.show();
    const int status = application.exec();
    InstallUiHost(nullptr);
    return status;
}
