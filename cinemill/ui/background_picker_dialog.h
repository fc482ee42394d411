#pragma once

#include <QDialog>

#include "cinemill/imaging/palette_edit.h"

namespace cinemill {

class ColorGrid;

// "Pick GIF Background Color": the colour grid of the global palette with
// the current background index selected; a click selects an entry.
class BackgroundPickerDialog : public QDialog {
    Q_OBJECT
public:
    BackgroundPickerDialog(const Animation& doc, int current, QWidget* parent = nullptr);
    // OK: the selected index; Cancel: -1.
    int Result() const { return BackgroundPickerResult(picker_, result() == QDialog::Accepted); }
    ColorGrid* Grid() const { return grid_; }

private:
    BackgroundPicker picker_;
    ColorGrid* grid_ = nullptr;
};

// The picker as the Global Properties page's colour button uses it: the
// chosen index, or -1 on Cancel (and without a global palette).
int PickBackgroundColorDialog(QWidget* parent, const Animation& doc, int current);

}  // namespace cinemill
