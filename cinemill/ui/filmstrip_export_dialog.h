#pragma once

#include <QDialog>

#include <optional>

#include "cinemill/base/ui_host.h"

class QLabel;
class QRadioButton;
class QSpinBox;

namespace cinemill {

// "Exporting GIF Filmstrip": the orientation, the frames per strip (at most
// the frame count: more beeps and takes the count) and the result line with
// the strips and the image size.
class FilmstripExportDialog : public QDialog {
    Q_OBJECT
public:
    // `width` x `height`: one cell (the logical screen).
    FilmstripExportDialog(const FilmstripExportOptions& preset, int frame_count, int width, int height,
                          UiHost* host = nullptr, QWidget* parent = nullptr);
    FilmstripExportOptions Options() const;
    QString ResultLine() const;
    int Beeps() const { return beeps_; }
    void accept() override;

private:
    void Update();
    int frames_, width_, height_;
    UiHost* host_;
    int beeps_ = 0;
    bool guard_ = false;
    QRadioButton* horizontal_ = nullptr;
    QRadioButton* vertical_ = nullptr;
    QSpinBox* perStrip_ = nullptr;
    QLabel* result_ = nullptr;
};

// UiHost::AskFilmstripExport with a parent and the cell size.
std::optional<FilmstripExportOptions> AskFilmstripExportDialog(QWidget* parent, const FilmstripExportOptions& preset,
                                                               int frame_count, int width, int height);

}  // namespace cinemill
