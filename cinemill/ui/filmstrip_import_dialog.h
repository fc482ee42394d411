#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

#include "cinemill/base/ui_host.h"

class QRadioButton;
class QSpinBox;

namespace cinemill {

// "Import Filmstrip": frames per row and per column, and the direction in
// which the frames run. With the image size known, OK refuses a grid that
// does not divide it (the message, then the focus back in that field).
class FilmstripImportDialog : public QDialog {
    Q_OBJECT
public:
    // `width` and `height` 0: the size is not known here and not checked.
    // Messages go to `host` when given, else to a message box.
    FilmstripImportDialog(const FilmstripImportOptions& preset, uint32_t width, uint32_t height,
                          UiHost* host = nullptr, QWidget* parent = nullptr);
    FilmstripImportOptions Options() const;
    void accept() override;

private:
    uint32_t width_, height_;
    UiHost* host_;
    QSpinBox* perRow_ = nullptr;
    QSpinBox* perColumn_ = nullptr;
    QRadioButton* horizontal_ = nullptr;
    QRadioButton* vertical_ = nullptr;
};

// UiHost::AskFilmstripImport with a parent (and the image size when known).
std::optional<FilmstripImportOptions> AskFilmstripImportDialog(QWidget* parent, const FilmstripImportOptions& preset,
                                                               uint32_t width = 0, uint32_t height = 0);

}  // namespace cinemill
