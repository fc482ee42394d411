#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstring>

#include "cinemill/ui/main_window.h"
#include "cinemill/ui/progress_dialog.h"
#include "cinemill/ui/qt_settings_store.h"

// cinemill [--screenshot FILE] [FILE...]: the editor with the files opened
// together. With --screenshot it draws the window offscreen with the files
// open, writes the picture to FILE and ends, keeping no settings.
int main(int argc, char** argv) {
    QString shot;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) shot = QString::fromLocal8Bit(argv[i + 1]);
    if (!shot.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName("Cinemill");
    QApplication::setOrganizationName("Pellworth");
    QApplication::setWindowIcon(QIcon(":/cinemill/icons/cinemill.svg"));

    QStringList files;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--screenshot") {
            ++i;
            continue;
        }
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs("usage: cinemill [--screenshot FILE] [FILE...]\n", stdout);
            return 0;
        }
        if (args[i].startsWith("--")) {
            std::fprintf(stderr, "cinemill: unknown option %s\n", args[i].toLocal8Bit().constData());
            return 2;
        }
        files << args[i];
    }

    if (!shot.isEmpty()) {
        QTemporaryDir dir;
        cinemill::QtSettingsStore settings(dir.filePath("settings.ini"));
        cinemill::MainWindow w(settings);
        w.resize(960, 640);
        w.show();
        w.OpenFiles(files);
        w.engine().WaitTasks();
        QApplication::processEvents();
        QApplication::processEvents();
        if (!w.grab().save(shot)) {
            std::fprintf(stderr, "cinemill: cannot write %s\n", shot.toLocal8Bit().constData());
            return 1;
        }
        return 0;
    }

    cinemill::QtSettingsStore settings;
    // Long operations show their progress dialog over the window.
    cinemill::QtProgressFactory progress;
    cinemill::MainWindow w(settings, &progress);
    progress.SetOwner(&w);
    w.show();
    w.OpenFiles(files);
    return QApplication::exec();
}
