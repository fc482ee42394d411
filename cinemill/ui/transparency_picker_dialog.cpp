#include "cinemill/ui/transparency_picker_dialog.h"

#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/properties_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/properties_sheet.h"
#include "cinemill/ui/palette_widgets.h"

namespace cinemill {

namespace {
constexpr int kFlashMs = 100;
}  // namespace

TransparencyPickerDialog::TransparencyPickerDialog(const Animation& doc, const Frame& frame,
                                                   const TransparencyChoice& choice, PreferenceBlock& prefs,
                                                   QWidget* parent)
    : QDialog(parent), prefs_(prefs), choice_(choice), picker_(choice) {
    setWindowTitle(tr("Pick Transparency Index"));
    setObjectName("PickTransparencyIndex");
    const Palette* p = PaletteInEffect(doc, frame);
    colors_ = Colors256(p);
    paletteSize_ = p ? p->size() : 0;
    if (frame.bitmap) bitmap_ = *frame.bitmap;
    display_ = PreviewBackground(prefs_.Get(PreferenceBlock::kPreviewBackground), this);

    auto* text = new QLabel(
        tr("Select the desired transparecy index by clicking on either the color table or the image."), this);
    text->setWordWrap(true);

    grid_ = new ColorGrid(this);
    grid_->setObjectName("1115");
    grid_->SetSelectable(false);
    grid_->SetColors(colors_, paletteSize_);
    connect(grid_, &ColorGrid::entryClicked, this, &TransparencyPickerDialog::Clicked);

    image_ = new FrameView;
    image_->setObjectName("1116");
    image_->SetFrame(&bitmap_, colors_);
    image_->SetTipColors(colors_);
    connect(image_, &FrameView::pixelClicked, this, [this](int index, int, int) { Clicked(index); });
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(image_);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setMinimumSize(200, 160);
    scroll->setBackgroundRole(QPalette::Dark);

    background_ = new ColorButton(this);
    background_->setObjectName("1066");
    background_->SetColor(display_);
    connect(background_, &ColorButton::colorChosen, this, [this](QColor c) {
        prefs_.Set(PreferenceBlock::kPreviewBackground, PreviewBackgroundValue(c));
        SetDisplayColor(c);
    });

    // The mode tool bar: three check buttons, one of them down.
    auto* modeBar = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    const std::pair<const char*, StringId> modes[3] = {{"127", StringId::PickTransparentTip},
                                                       {"128", StringId::AddTransparentTip},
                                                       {"129", StringId::RemoveTransparentTip}};
    const char* labels[3] = {"Pick", "Add", "Remove"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(modes[i].first);
        b->setText(tr(labels[i]));
        b->setToolTip(Tr(modes[i].second));
        b->setCheckable(true);
        group->addButton(b, i);
        modeBar->addWidget(b);
        modes_[i] = b;
    }
    modeBar->addStretch(1);
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { SetMode(static_cast<TransparencyPicker::Mode>(id)); });

    info_ = new QCheckBox(tr("Show information about color under cursor"), this);
    info_->setObjectName("1083");
    info_->setChecked(prefs_.Get(PreferenceBlock::kProgramFlags) & PreferenceBlock::kFlagPickerInfo);
    auto tips = [this](bool on) {
        grid_->SetTipsEnabled(on);
        image_->SetTipsEnabled(on);
    };
    tips(info_->isChecked());
    connect(info_, &QCheckBox::toggled, this, tips);

    auto* buttons = OkCancelButtons(this);

    // The image, its zoom bar and the mode bar stand beside the grid, so
    // that the dialog stays low enough for small screens.
    auto* right = new QVBoxLayout;
    right->addWidget(scroll, 1);
    right->addWidget(MakeZoomBar(image_, background_, this));
    right->addLayout(modeBar);
    right->addWidget(info_);
    auto* top = new QHBoxLayout;
    top->addWidget(grid_, 0, Qt::AlignTop);
    top->addLayout(right, 1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text);
    lay->addLayout(top, 1);
    lay->addWidget(buttons);

    // Opening marks every index of the choice, without a flash or a change.
    for (uint8_t i : picker_.chosen()) Show(i, true, false);
    SetMode(TransparencyPicker::Mode::Pick);
}

void TransparencyPickerDialog::SetMode(TransparencyPicker::Mode m) {
    picker_.SetMode(m);
    const int i = static_cast<int>(m);
    modes_[i]->setChecked(true);
    const Qt::CursorShape shapes[3] = {Qt::PointingHandCursor, Qt::CrossCursor, Qt::ForbiddenCursor};
    grid_->setCursor(shapes[i]);
    image_->setCursor(shapes[i]);
}

// Shows entry `index` marked (the display colour) or as itself; a flash of
// the inverted colour comes first when asked.
void TransparencyPickerDialog::Show(int index, bool marked, bool flash) {
    if (index < 0 || index >= 256) return;
    const Rgb final = marked ? ToRgb(display_) : colors_[size_t(index)];
    if (!flash) {
        grid_->SetColor(index, final);
        image_->SetColor(index, final);
        return;
    }
    const Rgb inverted = FlashColor(colors_[size_t(index)]);
    grid_->SetColor(index, inverted);
    image_->SetColor(index, inverted);
    QTimer::singleShot(kFlashMs, this, [this, index] {
        // The state may have moved on during the flash: show what it is now.
        const Rgb now = picker_.Marked(index) ? ToRgb(display_) : colors_[size_t(index)];
        grid_->SetColor(index, now);
        image_->SetColor(index, now);
    });
}

void TransparencyPickerDialog::Clicked(int index) {
    std::vector<bool> before(256);
    for (int i = 0; i < 256; ++i) before[size_t(i)] = picker_.Marked(i);
    picker_.Click(index, paletteSize_);
    for (int i = 0; i < 256; ++i)
        if (picker_.Marked(i) != before[size_t(i)]) Show(i, picker_.Marked(i), true);
}

void TransparencyPickerDialog::SetDisplayColor(QColor c) {
    display_ = c;
    background_->SetColor(c);
    for (uint8_t i : picker_.chosen()) Show(i, true, false);
}

void TransparencyPickerDialog::StoreInfoFlag() {
    uint32_t flags = prefs_.Get(PreferenceBlock::kProgramFlags) & ~PreferenceBlock::kFlagPickerInfo;
    if (info_->isChecked()) flags |= PreferenceBlock::kFlagPickerInfo;
    prefs_.Set(PreferenceBlock::kProgramFlags, flags);
}

void TransparencyPickerDialog::accept() {
    StoreInfoFlag();
    changed_ = picker_.Accept(choice_);
    QDialog::accept();
}

void TransparencyPickerDialog::reject() {
    StoreInfoFlag();
    changed_ = false;
    QDialog::reject();
}

CommandResult RunPickTransparency(QWidget* parent, Engine& engine) {
    const Frame* f = engine.State().SelectedFrame();
    if (!f || !engine.Doc()) return {Result::Failed, 0};
    TransparencyPickerDialog dlg(*engine.Doc(), *f, ChoiceFromFrame(*f), engine.Prefs(), parent);
    if (dlg.exec() != QDialog::Accepted || !dlg.Changed()) return {Result::Stopped, 0};
    return engine.ApplyTransparencyChoice(dlg.Choice());
}

namespace {

// The Frame and Global Frame pages' Edit... button: the dialog on the
// page's choice record, which keeps the choice until the sheet's OK.
bool PickForPage(QWidget* parent, const Animation& doc, const Frame& frame, PreferenceBlock& prefs,
                 TransparencyChoice& choice) {
    TransparencyPickerDialog dlg(doc, frame, choice, prefs, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    if (dlg.Changed()) choice = dlg.Choice();
    return true;
}

const bool registered =
    RegisterCommandHandler(CommandId::PickTransparency,
                           [](CommandContext& c) { return RunPickTransparency(c.parent, c.engine); }) &&
    RegisterTransparencyPicker(PickForPage);

}  // namespace

}  // namespace cinemill
