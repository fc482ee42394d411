#include "cinemill/ui/resize_animation_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/base/preferences.h"
#include "cinemill/ui/dlgops_common.h"

namespace cinemill {

ResizeAnimationDialog::ResizeAnimationDialog(Engine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName("ResizeDialog");
    setWindowTitle(Tr(StringId::DlgResizeCaption));
    const Animation& doc = *engine.Doc();
    const PreferenceBlock& prefs = engine.Prefs();
    fields_ = ResizeFieldsStart(static_cast<int>(doc.width), static_cast<int>(doc.height),
                                prefs.Flag(PreferenceBlock::kFlagKeepAspect));

    auto* current = new QGroupBox(Tr(StringId::DlgCurrentSizeGroup), this);
    auto* cl = new QGridLayout(current);
    auto* cw = new QLabel(QString::number(doc.width), current);
    cw->setObjectName("currentWidth");
    auto* ch = new QLabel(QString::number(doc.height), current);
    ch->setObjectName("currentHeight");
    cl->addWidget(new QLabel(Tr(StringId::DlgWidth), current), 0, 0);
    cl->addWidget(cw, 0, 1);
    cl->addWidget(new QLabel(Tr(StringId::DlgHeight), current), 1, 0);
    cl->addWidget(ch, 1, 1);
    cl->setColumnStretch(2, 1);

    auto spin = [this](const char* name, int max) {
        auto* s = new QSpinBox(this);
        s->setObjectName(name);
        s->setRange(1, max);
        s->setAccelerated(true);
        return s;
    };
    width_ = spin("width", 10000);
    height_ = spin("height", 10000);
    widthPercent_ = spin("widthPercent", 1000000);
    heightPercent_ = spin("heightPercent", 1000000);
    for (QSpinBox* p : {widthPercent_, heightPercent_}) p->setSuffix(Tr(StringId::DlgPercent));
    aspect_ = new QCheckBox(Tr(StringId::DlgMaintainAspect), this);
    aspect_->setObjectName("maintainAspectRatio");
    aspect_->setChecked(fields_.keepAspect);
    auto* size = new QGroupBox(Tr(StringId::DlgNewSizeGroup), this);
    auto* nl = new QGridLayout(size);
    auto* wl = new QLabel(Tr(StringId::DlgWidth), size);
    wl->setBuddy(width_);
    auto* hl = new QLabel(Tr(StringId::DlgHeight), size);
    hl->setBuddy(height_);
    nl->addWidget(wl, 0, 0);
    nl->addWidget(width_, 0, 1);
    nl->addWidget(widthPercent_, 0, 2);
    nl->addWidget(hl, 1, 0);
    nl->addWidget(height_, 1, 1);
    nl->addWidget(heightPercent_, 1, 2);
    nl->addWidget(aspect_, 2, 0, 1, 3);

    auto* method = new QGroupBox(Tr(StringId::DlgResizingMethod), this);
    auto* ml = new QVBoxLayout(method);
    nearest_ = new QRadioButton(Tr(StringId::DlgNearestNeighbor), method);
    nearest_->setObjectName("nearestNeighbor");
    bicubic_ = new QRadioButton(Tr(StringId::DlgBicubic), method);
    bicubic_->setObjectName("bicubic");
    ml->addWidget(nearest_);
    ml->addWidget(bicubic_);
    (prefs.Flag(PreferenceBlock::kFlagBicubic) ? bicubic_ : nearest_)->setChecked(true);

    auto* buttons = OkCancelButtons(this, "ok", "cancel");

    auto* top = new QVBoxLayout(this);
    top->addWidget(current);
    top->addWidget(size);
    top->addWidget(method);
    top->addWidget(buttons);

    Show(fields_);
    // Each field recomputes its partners; the others are written with their
    // signals blocked so that they do not feed back.
    connect(width_, &QSpinBox::valueChanged, this, [this](int v) { Show(TypeWidth(fields_, v)); });
    connect(height_, &QSpinBox::valueChanged, this, [this](int v) { Show(TypeHeight(fields_, v)); });
    connect(widthPercent_, &QSpinBox::valueChanged, this, [this](int v) { Show(TypeWidthPercent(fields_, v)); });
    connect(heightPercent_, &QSpinBox::valueChanged, this, [this](int v) { Show(TypeHeightPercent(fields_, v)); });
    connect(aspect_, &QCheckBox::toggled, this, [this](bool on) { Show(SetKeepAspect(fields_, on)); });
}

void ResizeAnimationDialog::Show(const ResizeFields& f) {
    fields_ = f;
    const QSignalBlocker b1(width_), b2(height_), b3(widthPercent_), b4(heightPercent_);
    width_->setValue(f.width);
    height_->setValue(f.height);
    widthPercent_->setValue(f.widthPercent);
    heightPercent_->setValue(f.heightPercent);
}

void ResizeAnimationDialog::accept() {
    const Animation& doc = *engine_.Doc();
    const bool bicubic = bicubic_->isChecked();
    if (bicubic && BicubicNeedsWarning(doc)) {
        const std::string text = std::string(LoadString(StringId::BicubicWarningText)) + "\n\n" +
                                 std::string(LoadString(StringId::BicubicWarningAdvice)) + "\n\n" +
                                 std::string(LoadString(StringId::BicubicWarningQuestion));
        // "No" returns to the dialog.
        if (!engine_.Host().AskYesNo(text, std::string(LoadString(StringId::BicubicWarningCaption)))) return;
    }
    PreferenceBlock& prefs = engine_.Prefs();
    prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagKeepAspect, aspect_->isChecked());
    prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagBicubic, bicubic);
    if (fields_.width == static_cast<int>(doc.width) && fields_.height == static_cast<int>(doc.height)) {
        outcome_ = {Result::Stopped, 0};
    } else {
        outcome_ = engine_.Resize(fields_.width, fields_.height, bicubic ? ResizeMethod::Bicubic : ResizeMethod::Nearest);
    }
    QDialog::accept();
}

CommandResult RunResize(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.Doc()) return Refuse(e);
    ResizeAnimationDialog d(e, ctx.parent);
    return ShowModal(d);
}

namespace {
[[maybe_unused]] const bool registered = RegisterCommandHandler(CommandId::Resize, RunResize);
}  // namespace

}  // namespace cinemill
