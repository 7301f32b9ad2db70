// era_gui_screenshots: drives both desktop editions on a workstation as a user would and writes a
// picture of each step into a folder (tools/screenshots runs it for docs/images/).
//
//   era_gui_screenshots WORKSTATION PROGRAM_FOLDER OUTPUT_FOLDER

#include "client/workstation_client.h"
#include "gui/form_about.h"
#include "gui/main_form.h"
#include "gui/qt_host.h"
#include "util/paths.h"
#include "window_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace era {
namespace {

// Message boxes would wait for a click nobody gives: they are printed instead.
class TScriptHost final : public TQtHost {
public:
    void ShowDialog(TDialogKind kind, const std::string& text) override {
        std::fprintf(stderr, "%s\n", DialogLine(kind, text).c_str());
    }
};

class TShooter {
public:
    TShooter(std::string programFolder, QString output)
        : programs_(std::move(programFolder)), output_(std::move(output)) {}

    std::unique_ptr<TMainForm> Start(uint8_t edition, const char* program,
                                     std::vector<const char*> args = {}) {
        SetProgramFile(programs_ + "/" + program);
        args.insert(args.begin(), program);
        SetProgramArguments(static_cast<int>(args.size()), args.data());
        auto form = std::make_unique<TMainForm>(edition);
        form->resize(980, 660);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            std::fprintf(stderr, "era_gui_screenshots: the window did not show\n");
        return form;
    }
    // Writes the window as it is now; false (with a message) when it could not.
    bool Shoot(QWidget* form, const char* name) {
        QCoreApplication::processEvents();
        const QString file = QDir(output_).filePath(QString::fromLatin1(name) + ".png");
        if (form->grab().save(file)) return true;
        std::fprintf(stderr, "era_gui_screenshots: cannot write %s\n", file.toStdString().c_str());
        return false;
    }
    bool Require(bool ok, const char* step) {
        if (!ok) std::fprintf(stderr, "era_gui_screenshots: %s failed\n", step);
        return ok;
    }

private:
    std::string programs_;
    QString output_;
};

int Run(const std::string& workstation, const std::string& programs, const QString& output) {
    std::string message;
    if (InstallWorkstation(workstation, message) != 0) {
        std::fprintf(stderr, "era_gui_screenshots: %s\n", message.c_str());
        return 1;
    }
    QDir().mkpath(output);
    TShooter shooter(programs, output);
    bool ok = true;
    using namespace drive;
    {
        auto form = shooter.Start(4, "era-gui");
        ok &= shooter.Shoot(form.get(), "era-gui-info");
        ok &= shooter.Require(AddObject(form.get(), {"acme", "sales", "east"}, "User: jdoe"), "adding jdoe");
        ok &= shooter.Require(AddObject(form.get(), {}, "User: mbrown"), "adding mbrown");
        ok &= shooter.Shoot(form.get(), "era-gui-select");
        Scan(form.get());
        ok &= shooter.Shoot(form.get(), "era-gui-scan");
        Named<QCheckBox>(form.get(), "CheckBoxDebug")->setChecked(true);
        ok &= shooter.Shoot(form.get(), "era-gui-details");
        ShowPage(form.get(), "TabSheetSettings");
        ok &= shooter.Shoot(form.get(), "era-gui-settings");
        form->close();
    }
    {
        // The selection of the run before comes back from the settings file.
        auto form = shooter.Start(4, "era-gui", {"debug"});
        Scan(form.get());
        ShowPage(form.get(), "TabSheetDebug");
        ok &= shooter.Shoot(form.get(), "era-gui-troubleshooting");
        form->close();
    }
    {
        auto form = shooter.Start(2, "era-gui-fs");
        ShowPage(form.get(), "TabSheetSelectPath");
        auto* folders = Named<QTreeWidget>(form.get(), "ShellTreeViewFiles");
        QTreeWidgetItem* root = folders->topLevelItem(0);
        QTreeWidgetItem* sys = root ? OpenFolder(root, "SYS") : nullptr;
        QTreeWidgetItem* publicFolder = sys ? OpenFolder(sys, "PUBLIC") : nullptr;
        QTreeWidgetItem* data = root ? OpenFolder(root, "DATA") : nullptr;
        QTreeWidgetItem* shared = data ? OpenFolder(data, "SHARED") : nullptr;
        QTreeWidgetItem* sales = shared ? OpenFolder(shared, "SALES") : nullptr;
        ok &= shooter.Require(publicFolder && sales, "opening the folders");
        if (publicFolder && sales) {
            ClickFolder(folders, publicFolder, true);
            ClickFolder(folders, sales, true);
            ClickFolder(folders, sales);
        }
        ok &= shooter.Shoot(form.get(), "era-gui-fs-path");
        Scan(form.get());
        ok &= shooter.Shoot(form.get(), "era-gui-fs-scan");
        form->close();
    }
    return ok ? 0 : 1;
}

} // namespace
} // namespace era

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: era_gui_screenshots WORKSTATION PROGRAM_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    // A settings folder of its own: the pictures never show (or change) the user's settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    era::InstallUiHost(std::make_unique<era::TScriptHost>());
    const int status = era::Run(argv[1], argv[2], QString::fromLocal8Bit(argv[3]));
    era::InstallUiHost(nullptr);
    return status;
}
