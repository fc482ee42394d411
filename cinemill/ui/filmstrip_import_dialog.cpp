#include "cinemill/ui/filmstrip_import_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/base/strings.h"
#include "cinemill/formats/filmstrip.h"

#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

FilmstripImportDialog::FilmstripImportDialog(const FilmstripImportOptions& preset, uint32_t width, uint32_t height,
                                             UiHost* host, QWidget* parent)
    : QDialog(parent), width_(width), height_(height), host_(host) {
    setWindowTitle(tr("Import Filmstrip"));
    setObjectName("ImportFilmstrip");
    auto* text = new QLabel(
        tr("Please describe the size and orientation of the filmstrip so that it can be interpreted correctly."),
        this);
    text->setWordWrap(true);
    perRow_ = new QSpinBox(this);
    perRow_->setObjectName("FramesPerRow");
    perColumn_ = new QSpinBox(this);
    perColumn_->setObjectName("FramesPerColumn");
    for (QSpinBox* s : {perRow_, perColumn_}) s->setRange(0, 9999);
    perRow_->setValue(preset.framesPerRow);
    perColumn_->setValue(preset.framesPerColumn);
    horizontal_ = new QRadioButton(tr("Horizontal direction"), this);
    horizontal_->setObjectName("HorizontalDirection");
    vertical_ = new QRadioButton(tr("Vertical direction"), this);
    vertical_->setObjectName("VerticalDirection");
    auto* group = new QButtonGroup(this);
    group->addButton(horizontal_);
    group->addButton(vertical_);
    (preset.vertical ? vertical_ : horizontal_)->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Frames per row (horizontal):"), perRow_);
    form->addRow(tr("Frames per column (vertical):"), perColumn_);
    auto* dir = new QVBoxLayout;
    dir->addWidget(horizontal_);
    dir->addWidget(vertical_);
    form->addRow(tr("Direction of frames in filmstrip:"), dir);

    auto* buttons = OkCancelButtons(this);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text);
    lay->addLayout(form);
    lay->addWidget(buttons);
    setMinimumWidth(380);
}

FilmstripImportOptions FilmstripImportDialog::Options() const {
    return FilmstripImportOptions{perRow_->value(), perColumn_->value(), vertical_->isChecked()};
}

void FilmstripImportDialog::accept() {
    const FilmstripImportOptions o = Options();
    // Zero never divides anything; the size checks need the image size.
    std::optional<StringId> problem;
    if (o.framesPerRow < 1 || o.framesPerColumn < 1) problem = StringId::FilmstripZero;
    else if (width_ > 0 && height_ > 0) problem = FilmstripImportProblem(width_, height_, o);
    if (problem) {
        const std::string text(LoadString(*problem));
        if (host_) host_->Error(text);
        else QMessageBox::warning(this, tr("Error"), QString::fromStdString(text));
        QSpinBox* field = (*problem == StringId::FilmstripVertical ||
                           (*problem == StringId::FilmstripZero && o.framesPerRow >= 1))
                              ? perColumn_
                              : perRow_;
        field->setFocus();
        field->selectAll();
        return;
    }
    QDialog::accept();
}

std::optional<FilmstripImportOptions> AskFilmstripImportDialog(QWidget* parent, const FilmstripImportOptions& preset,
                                                               uint32_t width, uint32_t height) {
    FilmstripImportDialog dlg(preset, width, height, nullptr, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Options();
}

}  // namespace cinemill
