#include "cinemill/ui/filmstrip_export_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/app/transfer_dialogs.h"
#include "cinemill/base/strings.h"

#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

FilmstripExportDialog::FilmstripExportDialog(const FilmstripExportOptions& preset, int frame_count, int width,
                                             int height, UiHost* host, QWidget* parent)
    : QDialog(parent), frames_(frame_count), width_(width), height_(height), host_(host) {
    setWindowTitle(tr("Exporting GIF Filmstrip"));
    setObjectName("ExportingGifFilmstrip");
    auto* text = new QLabel(tr("The animation can be exported as a collection of one of more filmstrips."), this);
    text->setWordWrap(true);
    horizontal_ = new QRadioButton(tr("Horizontal"), this);
    horizontal_->setObjectName("Horizontal");
    vertical_ = new QRadioButton(tr("Vertical"), this);
    vertical_->setObjectName("Vertical");
    auto* group = new QButtonGroup(this);
    group->addButton(horizontal_);
    group->addButton(vertical_);
    (preset.vertical ? vertical_ : horizontal_)->setChecked(true);
    perStrip_ = new QSpinBox(this);
    perStrip_->setObjectName("FramesPerStrip");
    // What is typed beyond the frame count is taken back to it with a beep.
    perStrip_->setRange(0, 99999);
    perStrip_->setValue(preset.framesPerStrip);
    auto* ofTotal = new QLabel(QString::fromStdString(transfer::FilmstripOfTotalText(frame_count)), this);
    ofTotal->setObjectName("OfTotal");
    result_ = new QLabel(this);
    result_->setObjectName("Result");

    connect(perStrip_, &QSpinBox::valueChanged, this, [this](int v) {
        if (guard_) return;
        bool beep = false;
        const int n = transfer::ClampFramesPerStrip(v, frames_, beep);
        if (beep) {
            ++beeps_;
            if (host_) host_->Beep();
            else QApplication::beep();
            guard_ = true;
            perStrip_->setValue(n);
            guard_ = false;
        }
        Update();
    });
    connect(horizontal_, &QRadioButton::toggled, this, &FilmstripExportDialog::Update);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Filmstrip orientation:"), this), 0, 0);
    auto* orient = new QHBoxLayout;
    orient->addWidget(horizontal_);
    orient->addWidget(vertical_);
    orient->addStretch(1);
    grid->addLayout(orient, 0, 1, 1, 2);
    auto* label = new QLabel(tr("Number of frames per strip:"), this);
    label->setBuddy(perStrip_);
    grid->addWidget(label, 1, 0);
    grid->addWidget(perStrip_, 1, 1);
    grid->addWidget(ofTotal, 1, 2);

    auto* buttons = OkCancelButtons(this);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text);
    lay->addLayout(grid);
    lay->addWidget(result_);
    lay->addWidget(buttons);
    setMinimumWidth(400);
    Update();
}

FilmstripExportOptions FilmstripExportDialog::Options() const {
    return FilmstripExportOptions{vertical_->isChecked(), perStrip_->value()};
}

QString FilmstripExportDialog::ResultLine() const { return result_->text(); }

void FilmstripExportDialog::Update() {
    result_->setText(QString::fromStdString(transfer::FilmstripResultText(frames_, width_, height_, Options())));
}

void FilmstripExportDialog::accept() {
    // Fewer than one frame per strip leaves nothing to lay out.
    if (perStrip_->value() < 1) {
        const std::string text(LoadString(StringId::FilmstripZero));
        if (host_) host_->Error(text);
        else QMessageBox::warning(this, tr("Error"), QString::fromStdString(text));
        perStrip_->setFocus();
        perStrip_->selectAll();
        return;
    }
    QDialog::accept();
}

std::optional<FilmstripExportOptions> AskFilmstripExportDialog(QWidget* parent, const FilmstripExportOptions& preset,
                                                               int frame_count, int width, int height) {
    FilmstripExportDialog dlg(preset, frame_count, width, height, nullptr, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Options();
}

}  // namespace cinemill
