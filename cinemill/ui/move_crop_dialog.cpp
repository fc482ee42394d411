#include "cinemill/ui/move_crop_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

#include "cinemill/base/preferences.h"
#include "cinemill/doc/render.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/ui/dlgops_common.h"

namespace cinemill {

namespace {
constexpr int kMargin = 10;
}

// ---- the editor view -----------------------------------------------------------------------

MoveCropView::MoveCropView(bool can_move, QWidget* parent) : QWidget(parent), canMove_(can_move) {
    setObjectName("MyMoveCrop");
    setMinimumSize(240, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMouseTracking(true);
}

void MoveCropView::SetPicture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

void MoveCropView::SetUnder(std::vector<std::pair<QPoint, QImage>> under) {
    under_ = std::move(under);
    update();
}

void MoveCropView::SetState(const MoveCropState& s) {
    state_ = s;
    update();
}

void MoveCropView::SetShowCropped(bool on) {
    showCropped_ = on;
    update();
}

double MoveCropView::Scale() const {
    const int W = std::max(1, state_.screenW), H = std::max(1, state_.screenH);
    const double s = std::min(double(width() - 2 * kMargin) / W, double(height() - 2 * kMargin) / H);
    return std::clamp(s, 0.01, 8.0);
}

QPointF MoveCropView::ToView(double sx, double sy) const {
    const double s = Scale();
    const double ox = (width() - state_.screenW * s) / 2, oy = (height() - state_.screenH * s) / 2;
    return {ox + sx * s, oy + sy * s};
}

Rect MoveCropView::ViewRect(int x, int y, int w, int h) const {
    const QPointF a = ToView(x, y), b = ToView(x + w, y + h);
    return Rect{int(std::lround(a.x())), int(std::lround(a.y())), int(std::lround(b.x())), int(std::lround(b.y()))};
}

Rect MoveCropView::CropInView() const {
    const Rect& c = state_.crop;
    return ViewRect(state_.x + c.left, state_.y + c.top, c.right - c.left, c.bottom - c.top);
}

Rect MoveCropView::FrameInView() const { return ViewRect(state_.x, state_.y, state_.frameW, state_.frameH); }

void MoveCropView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    const Rect sv = ViewRect(0, 0, state_.screenW, state_.screenH);
    const QRect screen(sv.left, sv.top, sv.right - sv.left, sv.bottom - sv.top);
    // The screen as a light checker board, so that transparency shows.
    const int cell = 8;
    p.save();
    p.setClipRect(screen);
    for (int y = screen.top(); y <= screen.bottom(); y += cell)
        for (int x = screen.left(); x <= screen.right(); x += cell)
            p.fillRect(x, y, cell, cell, ((x - screen.left()) / cell + (y - screen.top()) / cell) % 2 ? QColor(204, 204, 204) : QColor(240, 240, 240));
    p.restore();
    const double s = Scale();
    p.setRenderHint(QPainter::SmoothPixmapTransform, s < 1.0);
    auto place = [&](int x, int y, const QImage& img) {
        const QPointF a = ToView(x, y);
        return QRectF(a, QSizeF(img.width() * s, img.height() * s));
    };
    p.setOpacity(0.45);
    for (const auto& [at, img] : under_) p.drawImage(place(at.x(), at.y(), img), img);
    p.setOpacity(1.0);
    const Rect c = CropInView();
    const QRect crop(c.left, c.top, c.right - c.left, c.bottom - c.top);
    if (!picture_.isNull()) {
        const QRectF target = place(state_.x, state_.y, picture_);
        if (showCropped_) {
            p.save();
            p.setClipRect(crop);
            p.drawImage(target, picture_);
            p.restore();
        } else {
            p.drawImage(target, picture_);
            // What the crop leaves out is dimmed.
            QRegion outside(target.toAlignedRect());
            outside -= QRegion(crop);
            p.save();
            p.setClipRegion(outside);
            p.fillRect(target, QColor(0, 0, 0, 110));
            p.restore();
        }
    }
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(crop.adjusted(0, 0, -1, -1));
    // Handles at the corners and the middles of the edges.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    const int mx = (c.left + c.right) / 2, my = (c.top + c.bottom) / 2;
    for (QPoint h : {QPoint(c.left, c.top), QPoint(mx, c.top), QPoint(c.right, c.top), QPoint(c.right, my),
                     QPoint(c.right, c.bottom), QPoint(mx, c.bottom), QPoint(c.left, c.bottom), QPoint(c.left, my)})
        p.drawRect(h.x() - 3, h.y() - 3, 6, 6);
}

namespace {
Qt::CursorShape CursorOf(CropGrip g) {
    switch (g) {
        case CropGrip::Left:
        case CropGrip::Right: return Qt::SizeHorCursor;
        case CropGrip::Top:
        case CropGrip::Bottom: return Qt::SizeVerCursor;
        case CropGrip::TopLeft:
        case CropGrip::BottomRight: return Qt::SizeFDiagCursor;
        case CropGrip::TopRight:
        case CropGrip::BottomLeft: return Qt::SizeBDiagCursor;
        case CropGrip::Move: return Qt::SizeAllCursor;
        case CropGrip::None: break;
    }
    return Qt::ArrowCursor;
}
}  // namespace

void MoveCropView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint pt = e->position().toPoint();
    grip_ = HitCropGrip(CropInView(), FrameInView(), pt.x(), pt.y(), canMove_);
    pressAt_ = pt;
    pressState_ = state_;
}

void MoveCropView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pt = e->position().toPoint();
    if (grip_ == CropGrip::None || !(e->buttons() & Qt::LeftButton)) {
        setCursor(CursorOf(HitCropGrip(CropInView(), FrameInView(), pt.x(), pt.y(), canMove_)));
        return;
    }
    const double s = Scale();
    const int dx = int(std::lround((pt.x() - pressAt_.x()) / s));
    const int dy = int(std::lround((pt.y() - pressAt_.y()) / s));
    const MoveCropState next = DragCropGrip(pressState_, grip_, dx, dy);
    if (next == state_) return;
    state_ = next;
    update();
    emit StateChanged(state_);
}

void MoveCropView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) grip_ = CropGrip::None;
}

// ---- the dialog -----------------------------------------------------------------------------

QSpinBox* MoveCropDialog::Field(const char* name, StringId label, QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(-100000, 100000);
    // Typed values apply 700 ms after the last key (or on leaving the
    // field), spin clicks at once.
    s->setKeyboardTracking(false);
    s->setAccessibleName(Tr(label));
    connect(s->findChild<QLineEdit*>(), &QLineEdit::textEdited, this, [this, s] {
        // Another field's pending text applies before this one is edited.
        if (typed_ && typed_ != s) typed_->interpretText();
        typed_ = s;
        typing_.start();
    });
    connect(s, &QSpinBox::valueChanged, this, [this] { ReadFields(); });
    fields_.push_back(s);
    return s;
}

MoveCropDialog::MoveCropDialog(Engine& engine, Mode mode, QWidget* parent)
    : QDialog(parent), engine_(engine), mode_(mode) {
    const bool frameMode = mode == Mode::Frame;
    setObjectName(frameMode ? "MoveCropDialog" : "CropAnimationDialog");
    setWindowTitle(Tr(frameMode ? StringId::DlgMoveCropCaption : StringId::DlgCropAnimationCaption));
    const Animation& doc = *engine.Doc();
    const Frame* frame = frameMode ? engine.State().SelectedFrame() : nullptr;
    start_ = frameMode ? MoveCropStart(doc, *frame) : CropAnimationStart(doc);
    state_ = start_;

    view_ = new MoveCropView(frameMode, this);
    connect(view_, &MoveCropView::StateChanged, this, [this](const MoveCropState& s) { SetState(s); });
    if (frameMode) {
        view_->SetPicture(ToQImage(FramePixelsRgba(doc, *frame)));
    } else {
        // The screen as it looks at the selected frame (the first when none).
        Compositor comp(doc, 0);
        const int upto = std::max(0, engine.State().selected);
        const auto frames = doc.Frames();
        for (int i = 0; i <= upto && i < static_cast<int>(frames.size()); ++i) comp.Draw(*frames[static_cast<size_t>(i)]);
        view_->SetPicture(ToQImage(comp.Picture()));
    }

    typing_.setSingleShot(true);
    typing_.setInterval(700);
    connect(&typing_, &QTimer::timeout, this, [this] {
        if (typed_) typed_->interpretText();
        typed_ = nullptr;
    });

    auto* cropBox = new QGroupBox(Tr(StringId::DlgCropGroup), this);
    auto* cl = new QGridLayout(cropBox);
    left_ = Field("1017", StringId::DlgLeft, cropBox);
    top_ = Field("1020", StringId::DlgTop, cropBox);
    right_ = Field("1016", StringId::DlgRight, cropBox);
    bottom_ = Field("1021", StringId::DlgBottom, cropBox);
    int row = 0;
    for (auto [label, field] : {std::pair{StringId::DlgLeft, left_}, {StringId::DlgTop, top_},
                                {StringId::DlgRight, right_}, {StringId::DlgBottom, bottom_}}) {
        auto* l = new QLabel(Tr(label), cropBox);
        l->setBuddy(field);
        cl->addWidget(l, row, 0);
        cl->addWidget(field, row++, 1);
    }
    cropSize_ = new QLabel(cropBox);
    cropSize_->setObjectName("cropSize");
    cl->addWidget(new QLabel(Tr(StringId::DlgCropSize), cropBox), row, 0);
    cl->addWidget(cropSize_, row, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(cropBox);
    frameSize_ = new QLabel(this);
    frameSize_->setObjectName("frameSize");
    if (frameMode) {
        auto* posBox = new QGroupBox(Tr(StringId::DlgPositionGroup), this);
        auto* pl = new QGridLayout(posBox);
        x_ = Field("1018", StringId::DlgX, posBox);
        y_ = Field("1019", StringId::DlgY, posBox);
        pl->addWidget(new QLabel(Tr(StringId::DlgX), posBox), 0, 0);
        pl->addWidget(x_, 0, 1);
        pl->addWidget(new QLabel(Tr(StringId::DlgY), posBox), 1, 0);
        pl->addWidget(y_, 1, 1);
        pl->addWidget(new QLabel(Tr(StringId::DlgFrameSize), posBox), 2, 0);
        pl->addWidget(frameSize_, 2, 1);
        side->addWidget(posBox);
        frameSize_->setText(QString::fromStdString(
            FormatString(StringId::DlgSizeFormat, std::to_string(state_.frameH), state_.frameW)));
    } else {
        frameSize_->hide();
    }

    // Display choices.
    const uint32_t croppedBit =
        frameMode ? PreferenceBlock::kFlagShowFrameCropped : PreferenceBlock::kFlagShowAsCropped;
    showCropped_ = new QCheckBox(Tr(frameMode ? StringId::DlgShowFrameCropped : StringId::DlgShowAsCropped), this);
    showCropped_->setObjectName("showCropped");
    showCropped_->setChecked(engine.Prefs().Flag(croppedBit));
    view_->SetShowCropped(showCropped_->isChecked());
    connect(showCropped_, &QCheckBox::toggled, view_, &MoveCropView::SetShowCropped);
    auto* shows = new QVBoxLayout;
    if (frameMode) {
        auto check = [this](const char* name, StringId text) {
            auto* c = new QCheckBox(Tr(text), this);
            c->setObjectName(name);
            connect(c, &QCheckBox::toggled, this, [this] { UpdateUnder(); });
            return c;
        };
        showPrevious_ = check("showPrevious", StringId::DlgShowPrevious);
        showNext_ = check("showNext", StringId::DlgShowNext);
        showFirst_ = check("showFirst", StringId::DlgShowFirst);
        const int sel = engine.State().selected;
        showPrevious_->setEnabled(sel > 0);
        showNext_->setEnabled(sel + 1 < doc.FrameCount());
        showFirst_->setEnabled(sel > 0);
        for (QCheckBox* c : {showPrevious_, showNext_, showFirst_}) shows->addWidget(c);
    }
    shows->addWidget(showCropped_);
    side->addLayout(shows);

    auto* buttonsRow = new QHBoxLayout;
    reset_ = new QPushButton(Tr(StringId::DlgReset), this);
    reset_->setObjectName("reset");
    reset_->setAutoDefault(false);
    connect(reset_, &QPushButton::clicked, this, [this] { SetState(start_); });
    buttonsRow->addWidget(reset_);
    if (!frameMode) {
        auto* autoButton = new QPushButton(Tr(StringId::DlgAuto), this);
        autoButton->setObjectName("auto");
        autoButton->setAutoDefault(false);
        connect(autoButton, &QPushButton::clicked, this, [this] {
            MoveCropState s = state_;
            s.crop = AutoCropRect(*engine_.Doc());
            SetState(s);
        });
        buttonsRow->addWidget(autoButton);
    }
    buttonsRow->addStretch(1);
    side->addLayout(buttonsRow);
    side->addStretch(1);

    auto* buttons = OkCancelButtons(this, "ok", "cancel");
    side->addWidget(buttons);

    auto* viewColumn = new QVBoxLayout;
    if (frameMode) {
        // The alignment tool bars.
        auto* bars = new QHBoxLayout;
        auto bar = [this, bars](const char* name, std::initializer_list<std::tuple<const char*, const char*, StringId, AlignCommand>> items) {
            auto* tb = new QToolBar(this);
            tb->setObjectName(name);
            tb->setIconSize(QSize(16, 16));
            for (const auto& [objName, icon, tip, cmd] : items) {
                QAction* a = tb->addAction(DlgIcon(icon), Tr(tip));
                a->setObjectName(objName);
                const AlignCommand c = cmd;
                connect(a, &QAction::triggered, this, [this, c] { SetState(Align(state_, c)); });
            }
            bars->addWidget(tb);
        };
        bar("horizontalAlignment", {{"alignLeft", "align_left", StringId::DlgAlignLeft, AlignCommand::Left},
                                    {"centerHorizontally", "center_h", StringId::DlgCenterH, AlignCommand::CenterH},
                                    {"alignRight", "align_right", StringId::DlgAlignRight, AlignCommand::Right}});
        bar("verticalAlignment", {{"alignTop", "align_top", StringId::DlgAlignTop, AlignCommand::Top},
                                  {"centerVertically", "center_v", StringId::DlgCenterV, AlignCommand::CenterV},
                                  {"alignBottom", "align_bottom", StringId::DlgAlignBottom, AlignCommand::Bottom}});
        bar("centerAlignment", {{"center", "center", StringId::DlgCenter, AlignCommand::Center}});
        bars->addStretch(1);
        viewColumn->addLayout(bars);
    }
    viewColumn->addWidget(view_, 1);

    auto* top = new QHBoxLayout(this);
    top->addLayout(viewColumn, 1);
    top->addLayout(side);
    resize(frameMode ? 720 : 680, 440);

    SetState(state_);
}

void MoveCropDialog::ReadFields() {
    MoveCropState s = state_;
    s.crop = Rect{left_->value(), top_->value(), right_->value(), bottom_->value()};
    if (x_) {
        s.x = x_->value();
        s.y = y_->value();
    }
    SetState(s);
}

void MoveCropDialog::SetState(MoveCropState s) {
    state_ = ApplyMoveCropLimits(s);
    for (QSpinBox* f : fields_) f->blockSignals(true);
    left_->setValue(state_.crop.left);
    top_->setValue(state_.crop.top);
    right_->setValue(state_.crop.right);
    bottom_->setValue(state_.crop.bottom);
    if (x_) {
        x_->setValue(state_.x);
        y_->setValue(state_.y);
    }
    for (QSpinBox* f : fields_) f->blockSignals(false);
    cropSize_->setText(QString::fromStdString(FormatString(StringId::DlgSizeFormat,
                                                           std::to_string(state_.crop.bottom - state_.crop.top),
                                                           state_.crop.right - state_.crop.left)));
    view_->SetState(state_);
    reset_->setEnabled(ResetEnabled(state_, start_));
}

void MoveCropDialog::UpdateUnder() {
    const Animation& doc = *engine_.Doc();
    const int sel = engine_.State().selected;
    std::vector<std::pair<QPoint, QImage>> under;
    auto add = [&](int i) {
        const Frame* f = doc.FrameAt(i);
        if (f) under.emplace_back(QPoint(f->left, f->top), ToQImage(FramePixelsRgba(doc, *f)));
    };
    if (showFirst_ && showFirst_->isChecked() && sel > 0) add(0);
    if (showPrevious_ && showPrevious_->isChecked() && sel > 0) add(sel - 1);
    if (showNext_ && showNext_->isChecked()) add(sel + 1);
    view_->SetUnder(std::move(under));
}

void MoveCropDialog::accept() {
    // A value still being typed counts.
    for (QSpinBox* s : fields_) s->interpretText();
    if (mode_ == Mode::Frame) {
        outcome_ = engine_.MoveCropFrame(state_);
    } else {
        const Animation& doc = *engine_.Doc();
        const Rect whole{0, 0, static_cast<int32_t>(doc.width), static_cast<int32_t>(doc.height)};
        outcome_ = state_.crop == whole ? CommandResult{Result::Stopped, 0} : engine_.Crop(state_.crop);
    }
    QDialog::accept();
}

void MoveCropDialog::done(int r) {
    typing_.stop();
    const uint32_t bit =
        mode_ == Mode::Frame ? PreferenceBlock::kFlagShowFrameCropped : PreferenceBlock::kFlagShowAsCropped;
    engine_.Prefs().SetBits(PreferenceBlock::kProgramFlags, bit, showCropped_->isChecked());
    QDialog::done(r);
}

CommandResult RunMoveCrop(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.State().SelectedFrame()) return Refuse(e);
    MoveCropDialog d(e, MoveCropDialog::Mode::Frame, ctx.parent);
    return ShowModal(d);
}

CommandResult RunCropAnimation(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.Doc() || e.Doc()->FrameCount() < 1) return Refuse(e);
    MoveCropDialog d(e, MoveCropDialog::Mode::Animation, ctx.parent);
    return ShowModal(d);
}

namespace {
[[maybe_unused]] const bool registeredMove = RegisterCommandHandler(CommandId::MoveCrop, RunMoveCrop);
[[maybe_unused]] const bool registeredCrop = RegisterCommandHandler(CommandId::Crop, RunCropAnimation);
}  // namespace

}  // namespace cinemill
