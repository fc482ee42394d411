// Writes pictures of the builder's main window (three kinds) and its
// dialogs into the directory given as the argument:
//   bw_screenshots DIR          (run once plain and once with QT_SCALE_FACTOR=2)
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>

#include "branchwork/qtwidgets/color_picker.h"
#include "branchwork/ui/dialogs.h"
#include "branchwork/ui/main_window.h"

using namespace branchwork;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    const QString dir = argc > 1 ? argv[1] : ".";
    const QString suffix = qgetenv("QT_SCALE_FACTOR") == "2" ? "-200" : "-100";
    QDir().mkpath(dir);
    auto save = [&](QWidget& w, const QString& name) {
        w.show();
        QApplication::processEvents();
        w.grab().save(dir + "/branchwork-" + name + suffix + ".png");
        w.hide();
    };
    const char* names[3] = {"main-tab", "main-tree", "main-tabtree"};
    for (int k = 0; k < 3; ++k) {
        BwScriptedUiHost ui;
        ScriptedPrompts prompts;
        prompts.kinds.push_back(static_cast<AppletKind>(k));
        TfrmMain w(ui, prompts, "", "/tmp/");
        w.Startup();
        NavigationProject& p = w.Project();
        p.AddTab("Products");
        p.AddChildNode();
        p.AddChildNode();
        p.AddTab("Contact");
        p.ShowTab(0);
        w.RefreshAll();
        save(w, names[k]);
        if (k == 2) {
            auto* pages = w.findChild<QTabWidget*>("pgeEditor");
            pages->setCurrentIndex(1);
            save(w, "main-tabtree-treepage");
            pages->setCurrentIndex(2);
            save(w, "main-tabtree-style");
        }
    }
    BwScriptedUiHost host;
    TfrmSplash splash;
    save(splash, "splash");
    TfrmNewApplet n;
    save(n, "new-applet");
    TfrmOutputOptions o;
    save(o, "output-options");
    SendChoice html;
    html.options.htmlMenu = true;
    html.options.externalFiles = true;
    TfrmOutputOptions oh;
    oh.SetChoice(AppletKind::TabAndTree, html);
    save(oh, "output-options-html-menu");
    TfrmGraphicsDir g("/home/user/web/");
    save(g, "graphics-dir");
    TfrmGetFilename f(host);
    save(f, "get-filename");
    TfrmColorPicker c(host);
    c.SetColor(MakeColor(51, 102, 204));
    save(c, "color-picker");
    c.findChild<QAbstractButton*>("btnMoreColor")->setChecked(true);
    save(c, "color-picker-full");
    return 0;
}
