#pragma once

#include <QString>

class QWidget;

namespace cinemill {

// Pictures of the windows and dialogs for the documentation. Tests call
// SaveShot at the moments worth showing; it writes only when CM_SHOTS_DIR
// names a folder, as "cinemill-NAME-100.png" (or -200 when the program runs
// with QT_SCALE_FACTOR=2). scripts/screenshots runs the GUI tests both ways.
// Answers the file written, or an empty string when none was.
QString SaveShot(QWidget* widget, const QString& name);

}  // namespace cinemill
