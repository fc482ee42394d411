#include "cinemill/ui/shots.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace cinemill {

QString SaveShot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("CM_SHOTS_DIR");
    if (dir.isEmpty() || widget == nullptr) return {};
    QDir().mkpath(dir);
    // Lays out and paints whatever is pending, so the picture shows the
    // state the test just reached.
    QApplication::processEvents();
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR") == "2" ? "200" : "100";
    const QString path = QDir(dir).filePath(QString("cinemill-%1-%2.png").arg(name, scale));
    if (!widget->grab().save(path)) return {};
    return path;
}

}  // namespace cinemill
