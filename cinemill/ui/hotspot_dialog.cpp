#include "cinemill/ui/hotspot_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/app/transfer_dialogs.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/palette_widgets.h"

namespace cinemill {

HotspotDialog::HotspotDialog(int x, int y, int width, int height, const Animation* doc, QWidget* parent)
    : QDialog(parent), width_(width), height_(height) {
    setWindowTitle(tr("Define Cursor HotSpot"));
    setObjectName("DefineCursorHotSpot");
    view_ = new FrameView;
    view_->setObjectName("MyShowImage");
    view_->SetTipsEnabled(false);
    if (doc && doc->FrameCount() > 0) {
        const Frame& f = *doc->FrameAt(0);
        left_ = f.left;
        top_ = f.top;
        if (f.bitmap) bitmap_ = *f.bitmap;
        view_->SetFrame(bitmap_ ? &*bitmap_ : nullptr, Colors256(PaletteInEffect(*doc, f)));
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(view_);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setMinimumSize(280, 160);
    scroll->setBackgroundRole(QPalette::Dark);

    x_ = new QSpinBox(this);
    x_->setObjectName("x");
    y_ = new QSpinBox(this);
    y_->setObjectName("y");
    for (QSpinBox* s : {x_, y_}) s->setMaximumWidth(90);
    x_->setRange(0, std::max(width, 0));
    y_->setRange(0, std::max(height, 0));
    x_->setValue(transfer::ClampHotspotField(x, width));
    y_->setValue(transfer::ClampHotspotField(y, height));
    connect(x_, &QSpinBox::valueChanged, this, &HotspotDialog::Moved);
    connect(y_, &QSpinBox::valueChanged, this, &HotspotDialog::Moved);
    connect(view_, &FrameView::pixelClicked, this, [this](int, int px, int py) {
        x_->setValue(transfer::ClampHotspotField(px + left_, width_));
        y_->setValue(transfer::ClampHotspotField(py + top_, height_));
    });

    auto* fields = new QFormLayout;
    fields->addRow(tr("x:"), x_);
    fields->addRow(tr("y:"), y_);
    auto* side = new QVBoxLayout;
    auto* hint = new QLabel(tr("Click in the picture to place the hot spot."), this);
    hint->setWordWrap(true);
    hint->setMaximumWidth(160);
    side->addWidget(hint);
    side->addLayout(fields);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(scroll, 1);
    left->addWidget(MakeZoomBar(view_, nullptr, this));
    top->addLayout(left, 1);
    top->addLayout(side);

    auto* buttons = OkCancelButtons(this);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top, 1);
    lay->addWidget(buttons);
    Moved();
}

void HotspotDialog::Moved() { view_->SetMarker(QPoint(x_->value() - left_, y_->value() - top_)); }

std::pair<int, int> HotspotDialog::Point() const { return {x_->value(), y_->value()}; }

std::pair<int, int> AskHotspotDialog(QWidget* parent, int x, int y, int width, int height, const Animation* doc) {
    HotspotDialog dlg(x, y, width, height, doc, parent);
    dlg.exec();
    return dlg.Point();
}

}  // namespace cinemill
