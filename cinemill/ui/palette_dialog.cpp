#include "cinemill/ui/palette_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "cinemill/base/preferences.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/palette_widgets.h"
#include "cinemill/ui/properties_sheet.h"

namespace cinemill {

namespace {
// The flash that makes the pixels of a selected entry stand out.
constexpr int kFlashMs = 100;
}  // namespace

EditPaletteDialog::EditPaletteDialog(const Animation& doc, int frame, int selected_frame, PreferenceBlock& prefs,
                                     QWidget* parent)
    : QDialog(parent), prefs_(prefs) {
    setWindowTitle(tr("Edit Palette"));
    setObjectName("EditPalette");
    const Frame* previewFrame = nullptr;
    if (frame >= 0) {
        if (const Frame* f = doc.FrameAt(frame)) {
            state_ = OpenLocalPaletteEditor(*f);
            previewFrame = f;
        }
    } else {
        state_ = OpenGlobalPaletteEditor(doc, selected_frame);
        const int p = PreviewFrameForGlobal(doc, selected_frame);
        if (p >= 0) previewFrame = doc.FrameAt(p);
    }
    if (!state_) return;
    if (previewFrame && previewFrame->bitmap) previewBitmap_ = *previewFrame->bitmap;
    transparencyColor_ = PreviewBackground(prefs_.Get(PreferenceBlock::kPreviewBackground), this);

    grid_ = new ColorGrid(this);
    grid_->setObjectName("MyShowColors");
    grid_->SetColors(state_->working, state_->entryCount);
    grid_->SetUsage(state_->usage);
    connect(grid_, &ColorGrid::entryClicked, this, &EditPaletteDialog::Select);

    preview_ = new FrameView;
    preview_->setObjectName("MyShowImage");
    std::vector<Rgb> draw(256);
    for (int i = 0; i < 256; ++i) draw[size_t(i)] = DrawColor(i);
    preview_->SetFrame(previewBitmap_ ? &*previewBitmap_ : nullptr, draw);
    preview_->SetTipColors(state_->working);
    connect(preview_, &FrameView::pixelClicked, this, [this](int index, int, int) { Select(index); });
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("PreviewArea");
    scroll->setWidget(preview_);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setMinimumSize(200, 200);
    scroll->setBackgroundRole(QPalette::Dark);

    background_ = new ColorButton(this);
    background_->SetColor(transparencyColor_);
    connect(background_, &ColorButton::colorChosen, this, &EditPaletteDialog::SetTransparencyColor);

    auto* fieldsRow = new QHBoxLayout;
    const char* names[3] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
        auto* label = new QLabel(QString("%1:").arg(names[c]), this);
        auto* spin = new QSpinBox(this);
        spin->setObjectName(names[c]);
        // Three digits; what is typed beyond 0..255 is clamped and written back.
        spin->setRange(-99, 999);
        spin->setEnabled(false);
        spin->setReadOnly(true);
        label->setBuddy(spin);
        connect(spin, &QSpinBox::valueChanged, this, [this, c](int v) { ChannelTyped(c, v); });
        fields_[c] = spin;
        fieldsRow->addWidget(label);
        fieldsRow->addWidget(spin);
    }
    swatch_ = new QToolButton(this);
    swatch_->setObjectName("Swatch");
    swatch_->setToolTip(tr("Choose a color"));
    swatch_->setEnabled(false);
    swatch_->setMinimumSize(32, 24);
    connect(swatch_, &QToolButton::clicked, this, &EditPaletteDialog::SwatchClicked);
    fieldsRow->addWidget(swatch_);
    fieldsRow->addStretch(1);

    showUsed_ = new QCheckBox(tr("Show colors in use"), this);
    showUsed_->setObjectName("ShowColorsInUse");
    showUsed_->setChecked(prefs_.Get(PreferenceBlock::kProgramFlags) & PreferenceBlock::kFlagShowColorsInUse);
    grid_->SetShowUsed(showUsed_->isChecked());
    connect(showUsed_, &QCheckBox::toggled, grid_, &ColorGrid::SetShowUsed);
    inUse_ = new QLabel(QString::fromStdString(ColorsInUseText(state_->usage, state_->entryCount)), this);
    inUse_->setObjectName("ColorsInUse");

    auto* buttons = OkCancelButtons(this);

    auto* right = new QVBoxLayout;
    right->addWidget(scroll, 1);
    right->addWidget(MakeZoomBar(preview_, background_, this));
    auto* top = new QHBoxLayout;
    top->addWidget(grid_, 0, Qt::AlignTop);
    top->addLayout(right, 1);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top, 1);
    lay->addLayout(fieldsRow);
    auto* checks = new QHBoxLayout;
    checks->addWidget(showUsed_);
    checks->addStretch(1);
    checks->addWidget(inUse_);
    lay->addLayout(checks);
    lay->addWidget(buttons);
}

EditPaletteDialog::~EditPaletteDialog() = default;

// The colour an entry is drawn with in the preview: the transparent index
// shows the transparency colour.
Rgb EditPaletteDialog::DrawColor(int index) const {
    if (index == state_->previewTransparentIndex) return ToRgb(transparencyColor_);
    return state_->working[size_t(index)];
}

void EditPaletteDialog::SetTransparencyColor(QColor c) {
    transparencyColor_ = c;
    background_->SetColor(c);
    if (state_->previewTransparentIndex >= 0)
        preview_->SetColor(state_->previewTransparentIndex, DrawColor(state_->previewTransparentIndex));
}

void EditPaletteDialog::Select(int index) {
    SelectEntry(*state_, index);
    const int s = state_->selected;
    grid_->SetSelected(s);
    if (s < 0) return;
    FillFields();
    for (QSpinBox* f : fields_) {
        f->setEnabled(true);
        f->setReadOnly(false);
    }
    swatch_->setEnabled(true);
    // The flash: the entry in its contrasting colour for a moment, so that
    // the pixels using it stand out in the preview.
    const Rgb flash = FlashColor(state_->working[size_t(s)]);
    grid_->SetColor(s, flash);
    preview_->SetColor(s, flash);
    QTimer::singleShot(kFlashMs, this, [this, s] {
        grid_->SetColor(s, state_->working[size_t(s)]);
        preview_->SetColor(s, DrawColor(s));
    });
}

void EditPaletteDialog::FillFields() {
    const Rgb c = state_->working[size_t(state_->selected)];
    guard_ = true;
    fields_[0]->setValue(c.r);
    fields_[1]->setValue(c.g);
    fields_[2]->setValue(c.b);
    guard_ = false;
    swatch_->setStyleSheet(QString("background-color: %1").arg(ToQColor(c).name()));
}

void EditPaletteDialog::ChannelTyped(int channel, int value) {
    if (guard_ || state_->selected < 0) return;
    const int clamped = TypeChannel(*state_, channel, value);
    if (clamped != value) {
        guard_ = true;
        fields_[channel]->setValue(clamped);
        guard_ = false;
    }
    Applied();
}

void EditPaletteDialog::SwatchClicked() {
    const int s = state_->selected;
    if (s < 0) return;
    const QColor c = QColorDialog::getColor(ToQColor(state_->working[size_t(s)]), this);
    if (!c.isValid()) return;
    ChooseColor(*state_, ToRgb(c));
    FillFields();
    Applied();
}

// The selected entry's colour reaches the grid, the preview and the swatch.
void EditPaletteDialog::Applied() {
    const int s = state_->selected;
    grid_->SetColor(s, state_->working[size_t(s)]);
    preview_->SetColor(s, DrawColor(s));
    preview_->SetTipColors(state_->working);
    grid_->SetColors(state_->working, state_->entryCount);
    grid_->SetSelected(s);
    swatch_->setStyleSheet(QString("background-color: %1").arg(ToQColor(state_->working[size_t(s)]).name()));
}

void EditPaletteDialog::StoreCheckBox() {
    uint32_t flags = prefs_.Get(PreferenceBlock::kProgramFlags) & ~PreferenceBlock::kFlagShowColorsInUse;
    if (showUsed_->isChecked()) flags |= PreferenceBlock::kFlagShowColorsInUse;
    prefs_.Set(PreferenceBlock::kProgramFlags, flags);
}

void EditPaletteDialog::accept() {
    StoreCheckBox();
    result_ = PaletteEditorResult(*state_);
    // Nothing changed: closed as cancelled.
    if (!result_) {
        QDialog::reject();
        return;
    }
    QDialog::accept();
}

void EditPaletteDialog::reject() {
    StoreCheckBox();
    result_.reset();
    QDialog::reject();
}

namespace {

CommandResult RunEditPalette(QWidget* parent, Engine& engine, int frame) {
    if (!engine.Doc()) return {Result::Failed, 0};
    EditPaletteDialog dlg(*engine.Doc(), frame, engine.State().selected, engine.Prefs(), parent);
    if (!dlg.HasPalette()) return {Result::Done, 0};
    if (dlg.exec() != QDialog::Accepted || !dlg.Entries()) return {Result::Stopped, 0};
    return engine.EditPalette(frame, *dlg.Entries());
}

const bool registered =
    RegisterCommandHandler(CommandId::EditLocalPalette,
                           [](CommandContext& c) { return RunEditLocalPalette(c.parent, c.engine); }) &&
    RegisterCommandHandler(CommandId::EditGlobalPalette,
                           [](CommandContext& c) { return RunEditGlobalPalette(c.parent, c.engine); }) &&
    // The property pages' Edit... buttons: the palette changes at once.
    RegisterPaletteEditor(RunEditPalette);

}  // namespace

CommandResult RunEditLocalPalette(QWidget* parent, Engine& engine) {
    const Frame* f = engine.State().SelectedFrame();
    if (!f || !f->localPalette) return {Result::Done, 0};
    return RunEditPalette(parent, engine, engine.State().selected);
}

CommandResult RunEditGlobalPalette(QWidget* parent, Engine& engine) {
    if (!engine.Doc() || !engine.Doc()->globalPalette) return {Result::Done, 0};
    return RunEditPalette(parent, engine, -1);
}

}  // namespace cinemill
