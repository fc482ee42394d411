// branchwork [PAGE.html]: the navigation-menu builder. With a page, the
// applet already in that page is opened for editing and Send writes into it.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include "branchwork/base/texts.h"
#include "branchwork/ui/dialogs.h"
#include "branchwork/ui/main_window.h"
#include "branchwork/ui/qt_host.h"
#include "branchwork/ui/startup_files.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("branchwork");
    QApplication::setApplicationDisplayName(branchwork::texts::kAppTitle);
    std::string page;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) page = QDir::current().absoluteFilePath(args.at(1)).toStdString();

    branchwork::QtUiHost ui;
    branchwork::QtPrompts prompts;
    const std::string data_dir = branchwork::PrepareDataFolder(ui);
    if (branchwork::SplashWanted()) {
        branchwork::TfrmSplash splash;
        splash.exec();
    }
    branchwork::TfrmMain w(ui, prompts, page, data_dir);
    ui.window = &w;
    prompts.window = &w;
    w.show();
    return QApplication::exec();
}
