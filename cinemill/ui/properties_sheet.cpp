#include "cinemill/ui/properties_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cinemill/base/ui_host.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/property_widgets.h"

namespace cinemill {

namespace property_controls {
// Both frame pages.
constexpr int kName = 1002, kWidth = 1014, kHeight = 1015, kOffsetX = 1008, kOffsetY = 1009,
              kTransparent = 1004, kEditTransparency = 1065, kInterlaced = 1005, kLocalPalette = 1006,
              kEditLocalPalette = 1064, kDelay = 1000, kDisposal = 1018;
// The Animation page.
constexpr int kFileName = 1020, kFrameCount = 1023, kIterations = 1025, kGlobalPalette = 1066,
              kEditGlobalPalette = 1065, kScreenWidth = 1021, kScreenHeight = 1022, kAutoSize = 1063,
              kBkColor = 1227;
}  // namespace property_controls

namespace {

namespace pc = property_controls;

TransparencyPickerFn& Picker() {
    static TransparencyPickerFn f;
    return f;
}
PaletteEditorFn& PaletteEditor() {
    static PaletteEditorFn f;
    return f;
}
BackgroundPickerFn& BackgroundPicker() {
    static BackgroundPickerFn f;
    return f;
}

template <class W>
W* Named(W* w, int id) {
    w->setObjectName(ControlName(id));
    return w;
}

QLineEdit* NumberEdit(int id, QWidget* parent, bool read_only = false) {
    auto* e = Named(new QLineEdit(parent), id);
    e->setReadOnly(read_only);
    const int w = e->fontMetrics().horizontalAdvance(QStringLiteral("-0000000")) + 16;
    e->setMinimumWidth(w);
    e->setMaximumWidth(w);
    return e;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }

Qt::CheckState StateOf(TriState t) {
    return t == TriState::On ? Qt::Checked : t == TriState::Off ? Qt::Unchecked : Qt::PartiallyChecked;
}
TriState TriOf(const QCheckBox* b) {
    switch (b->checkState()) {
        case Qt::Checked: return TriState::On;
        case Qt::Unchecked: return TriState::Off;
        default: return TriState::Mixed;
    }
}
// A shared value shows as a plain box, a differing one as a grayed box.
void SetTri(QCheckBox* b, TriState t) {
    b->setTristate(t == TriState::Mixed);
    b->setCheckState(StateOf(t));
}

QColor PaletteColor(const Animation& a, int index) {
    if (!a.globalPalette || index < 0 || index >= a.globalPalette->size()) return {};
    const Rgb c = (*a.globalPalette)[index];
    return QColor(c.r, c.g, c.b);
}

}  // namespace

bool RegisterTransparencyPicker(TransparencyPickerFn f) {
    Picker() = std::move(f);
    return true;
}
bool RegisterPaletteEditor(PaletteEditorFn f) {
    PaletteEditor() = std::move(f);
    return true;
}
bool RegisterBackgroundPicker(BackgroundPickerFn f) {
    BackgroundPicker() = std::move(f);
    return true;
}

// ---- the frame pages ---------------------------------------------------------------------------

FramePageWidget::FramePageWidget(Engine& engine, int index, QWidget* parent)
    : QWidget(parent), engine_(engine), index_(index) {
    setObjectName(Global() ? "165" : "103");
    const Animation& doc = *engine_.Doc();
    auto* grid = new QGridLayout(this);
    int row = 0;
    if (Global()) {
        grid->addWidget(WrappedLabel(Tr(StringId::GlobalFrameExplanation), this), row++, 0, 1, 4);
    } else {
        name = Named(new QLineEdit(this), pc::kName);
        name->setMaxLength(260);
        grid->addWidget(new QLabel(Tr(StringId::LabelName), this), row, 0);
        grid->addWidget(name, row++, 1, 1, 3);
    }
    width = NumberEdit(pc::kWidth, this, true);
    height = NumberEdit(pc::kHeight, this, true);
    grid->addWidget(new QLabel(Tr(StringId::LabelWidth), this), row, 0);
    grid->addWidget(width, row, 1);
    grid->addWidget(new QLabel(Tr(StringId::LabelHeight), this), row, 2);
    grid->addWidget(height, row++, 3);
    offsetX = NumberEdit(pc::kOffsetX, this);
    offsetY = NumberEdit(pc::kOffsetY, this);
    grid->addWidget(new QLabel(Tr(StringId::LabelOffsetX), this), row, 0);
    grid->addWidget(offsetX, row, 1);
    grid->addWidget(new QLabel(Tr(StringId::LabelOffsetY), this), row, 2);
    grid->addWidget(offsetY, row++, 3);

    transparent = Named(new QCheckBox(Tr(StringId::LabelTransparent), this), pc::kTransparent);
    editTransparency = Named(new QPushButton(Tr(StringId::LabelEditButton), this), pc::kEditTransparency);
    interlaced = Named(new QCheckBox(Tr(StringId::LabelInterlaced), this), pc::kInterlaced);
    grid->addWidget(transparent, row, 0);
    grid->addWidget(editTransparency, row, 1, Qt::AlignLeft);
    grid->addWidget(interlaced, row++, 2, 1, 2);
    localPalette = Named(new QCheckBox(Tr(StringId::LabelLocalPalette), this), pc::kLocalPalette);
    editLocalPalette = Named(new QPushButton(Tr(StringId::LabelEditButton), this), pc::kEditLocalPalette);
    grid->addWidget(localPalette, row, 0);
    grid->addWidget(editLocalPalette, row++, 1, Qt::AlignLeft);

    delay = NumberEdit(pc::kDelay, this);
    grid->addWidget(delay, row, 0);
    grid->addWidget(new QLabel(Tr(StringId::LabelDelayAfterFrame), this), row++, 1, 1, 3);
    disposal = Named(new QComboBox(this), pc::kDisposal);
    for (const std::string& e : DisposalListEntries()) disposal->addItem(Q(e));
    grid->addWidget(disposal, row, 0, 1, 2);
    grid->addWidget(new QLabel(Tr(StringId::LabelBeforeNextFrame), this), row++, 2, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(3, 1);

    // Loading.
    bool hasLocal = false;
    if (Global()) {
        const GlobalFramePageFields p = LoadGlobalFramePage(doc);
        globalLoaded_ = p;
        width->setText(Q(p.width));
        height->setText(Q(p.height));
        offsetX->setText(Q(p.offsetX));
        offsetY->setText(Q(p.offsetY));
        delay->setText(Q(p.delay));
        SetTri(interlaced, p.interlaced);
        SetTri(localPalette, p.localPalette);
        disposal->setCurrentIndex(p.disposal);
        transparency_ = p.transparent;
        hasLocal = p.localPaletteEnabled;
    } else {
        const FramePageFields p = LoadFramePage(*doc.FrameAt(index_));
        name->setText(FromBytes(p.name));
        width->setText(QString::number(p.width));
        height->setText(QString::number(p.height));
        offsetX->setText(Q(p.offsetX));
        offsetY->setText(Q(p.offsetY));
        delay->setText(Q(p.delay));
        interlaced->setChecked(p.interlaced);
        localPalette->setChecked(p.localPaletteChecked);
        disposal->setCurrentIndex(p.disposal);
        transparency_ = p.transparent;
        hasLocal = p.localPaletteEnabled;
    }
    localPaletteEnabled_ = hasLocal;
    localPalette->setEnabled(hasLocal);
    // The Global Frame page edits no palette: there is no one local palette
    // of all frames.
    editLocalPalette->setEnabled(hasLocal && !Global() && PaletteEditor() != nullptr);
    editTransparency->setEnabled(Picker() != nullptr);
    ShowTransparency();

    connect(transparent, &QCheckBox::clicked, this, [this] { TransparentClicked(); });
    connect(editTransparency, &QPushButton::clicked, this, [this] { OpenPicker(false); });
    connect(editLocalPalette, &QPushButton::clicked, this, [this] { EditLocalPalette(); });
}

void FramePageWidget::ShowTransparency() {
    transparent->setTristate(transparency_.box == TriState::Mixed);
    transparent->setCheckState(StateOf(transparency_.box));
}

void FramePageWidget::TransparentClicked() {
    transparency_.box = TriOf(transparent);
    // Checking the box opens the picker; unchecking only changes the box.
    if (transparency_.box == TriState::On) OpenPicker(true);
    else ShowTransparency();
}

void FramePageWidget::OpenPicker(bool by_checking) {
    const Animation& doc = *engine_.Doc();
    const Frame* f = Global() ? GlobalPickerFrame(doc) : doc.FrameAt(index_);
    if (!f) return;
    bool accepted = false;
    if (Picker()) {
        accepted = Picker()(this, doc, *f, engine_.Prefs(), transparency_.choice);
    } else {
        // No picker: the frame's own transparent index is taken.
        transparency_.choice = ChoiceOf({f->transparentIndex});
        accepted = true;
    }
    transparency_.PickerClosed(accepted, by_checking);
    ShowTransparency();
}

void FramePageWidget::EditLocalPalette() {
    if (!PaletteEditor()) return;
    const CommandResult r = PaletteEditor()(this, engine_, index_);
    if (r.Ok() && r.refresh) paletteRefresh_ |= r.refresh | Engine::RefreshForSheetFlags(sheet_flags::kSelectedFrame, index_);
}

FramePageFields FramePageWidget::FrameFields() const {
    FramePageFields p;
    if (name) p.name = ToBytes(name->text());
    p.width = width->text().toInt();
    p.height = height->text().toInt();
    p.offsetX = S(offsetX);
    p.offsetY = S(offsetY);
    p.delay = S(delay);
    p.interlaced = interlaced->isChecked();
    p.transparent = transparency_;
    p.localPaletteEnabled = localPaletteEnabled_;
    p.localPaletteChecked = localPalette->isChecked();
    p.disposal = disposal->currentIndex();
    return p;
}

GlobalFramePageFields FramePageWidget::GlobalFields() const {
    GlobalFramePageFields p;
    p.width = S(width);
    p.height = S(height);
    p.offsetX = S(offsetX);
    p.offsetY = S(offsetY);
    p.delay = S(delay);
    p.interlaced = TriOf(interlaced);
    p.transparent = transparency_;
    p.localPaletteEnabled = localPaletteEnabled_;
    p.localPalette = TriOf(localPalette);
    p.disposal = disposal->currentIndex();
    return p;
}

PageCheck FramePageWidget::Check() const {
    const Animation& doc = *engine_.Doc();
    if (Global()) return CheckGlobalFramePage(GlobalFields(), doc.width, doc.height, engine_.Host());
    return CheckFramePage(FrameFields(), doc.width, doc.height, engine_.Host());
}

// ---- the Animation page -------------------------------------------------------------------------

AnimationPageWidget::AnimationPageWidget(Engine& engine, QWidget* parent) : QWidget(parent), engine_(engine) {
    setObjectName("105");
    const Animation& doc = *engine_.Doc();
    loaded_ = LoadAnimationPage(doc, engine_.State().path);
    backgroundIndex_ = loaded_.backgroundIndex;

    auto* grid = new QGridLayout(this);
    int row = 0;
    fileName = Named(new QLineEdit(this), pc::kFileName);
    fileName->setReadOnly(true);
    grid->addWidget(new QLabel(Tr(StringId::LabelFileName), this), row, 0);
    grid->addWidget(fileName, row++, 1, 1, 4);
    frameCount = NumberEdit(pc::kFrameCount, this, true);
    grid->addWidget(new QLabel(Tr(StringId::LabelFrameCount), this), row, 0);
    grid->addWidget(frameCount, row++, 1);
    iterations = NumberEdit(pc::kIterations, this);
    grid->addWidget(new QLabel(Tr(StringId::LabelIterations), this), row, 0);
    grid->addWidget(iterations, row, 1);
    grid->addWidget(new QLabel(Tr(StringId::LabelIterationsNote), this), row++, 2, 1, 3);

    globalPalette = Named(new QCheckBox(Tr(StringId::LabelGlobalPalette), this), pc::kGlobalPalette);
    globalPalette->setEnabled(false);
    editPalette = Named(new QPushButton(Tr(StringId::LabelEditButton), this), pc::kEditGlobalPalette);
    grid->addWidget(globalPalette, row, 0);
    grid->addWidget(editPalette, row++, 1, Qt::AlignLeft);

    width = NumberEdit(pc::kScreenWidth, this);
    height = NumberEdit(pc::kScreenHeight, this);
    autoSize = Named(new QPushButton(Tr(StringId::LabelAutoSize), this), pc::kAutoSize);
    grid->addWidget(new QLabel(Tr(StringId::LabelWidth), this), row, 0);
    grid->addWidget(width, row, 1);
    grid->addWidget(new QLabel(Tr(StringId::LabelHeight), this), row, 2);
    grid->addWidget(height, row, 3);
    grid->addWidget(autoSize, row++, 4);

    bkColor = Named(new SwatchButton(Tr(StringId::LabelGifBkColor), this), pc::kBkColor);
    grid->addWidget(bkColor, row, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(new QLabel(Tr(StringId::LabelNotUsedByBrowsers), this), row++, 2, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(4, 1);

    fileName->setText(FromBytes(loaded_.fileName));
    frameCount->setText(QString::number(loaded_.frameCount));
    iterations->setText(Q(loaded_.iterations));
    width->setText(Q(loaded_.width));
    height->setText(Q(loaded_.height));
    globalPalette->setChecked(loaded_.hasGlobalPalette);
    editPalette->setEnabled(loaded_.hasGlobalPalette && PaletteEditor() != nullptr);
    bkColor->setEnabled(loaded_.hasGlobalPalette && BackgroundPicker() != nullptr);
    ShowBackground();

    connect(width, &QLineEdit::textEdited, this, [this] { sizeEdited_ = true; });
    connect(height, &QLineEdit::textEdited, this, [this] { sizeEdited_ = true; });
    connect(autoSize, &QPushButton::clicked, this, [this] {
        AnimationPageFields p = Fields();
        cinemill::AutoSize(p, *engine_.Doc());
        width->setText(Q(p.width));
        height->setText(Q(p.height));
        sizeEdited_ = true;
    });
    connect(bkColor, &QPushButton::clicked, this, [this] { PickBackground(); });
    connect(editPalette, &QPushButton::clicked, this, [this] { EditPalette(); });
}

void AnimationPageWidget::ShowBackground() {
    bkColor->SetColor(PaletteColor(*engine_.Doc(), backgroundIndex_));
}

void AnimationPageWidget::PickBackground() {
    if (!BackgroundPicker()) return;
    const int chosen = BackgroundPicker()(this, *engine_.Doc(), backgroundIndex_);
    if (chosen < 0) return;
    backgroundIndex_ = chosen;
    ShowBackground();
}

void AnimationPageWidget::EditPalette() {
    if (!PaletteEditor()) return;
    const CommandResult r = PaletteEditor()(this, engine_, -1);
    if (r.Ok() && r.refresh) {
        paletteRefresh_ |= r.refresh | Engine::RefreshForSheetFlags(sheet_flags::kGlobalPalette, -1);
        ShowBackground();
    }
}

AnimationPageFields AnimationPageWidget::Fields() const {
    AnimationPageFields p = loaded_;
    p.iterations = S(iterations);
    p.width = S(width);
    p.height = S(height);
    p.sizeEdited = sizeEdited_;
    p.backgroundIndex = backgroundIndex_;
    return p;
}

PageCheck AnimationPageWidget::Check() const {
    return CheckAnimationPage(Fields(), *engine_.Doc(), engine_.Host());
}

// ---- the sheet ---------------------------------------------------------------------------------

PropertiesSheet::PropertiesSheet(Engine& engine, CommandId command, QWidget* parent)
    : QDialog(parent), engine_(engine), frameIndex_(engine.State().selected) {
    setWindowTitle(Tr(StringId::PropertiesCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");
    const SheetPlan plan = *SheetFor(command);
    int start = 0;
    for (PropertyPage page : plan.pages) {
        QWidget* w = nullptr;
        StringId title = StringId::PageFrame;
        switch (page) {
            case PropertyPage::Frame:
                w = framePage = new FramePageWidget(engine_, frameIndex_, tabs);
                break;
            case PropertyPage::GlobalFrame:
                w = globalPage = new FramePageWidget(engine_, -1, tabs);
                title = StringId::PageGlobalFrame;
                break;
            case PropertyPage::Animation:
                w = animationPage = new AnimationPageWidget(engine_, tabs);
                title = StringId::PageAnimation;
                break;
        }
        const int i = tabs->addTab(w, Tr(title));
        if (page == plan.start) start = i;
    }
    tabs->setCurrentIndex(start);
    current_ = start;
    shown_.insert(tabs->widget(start));
    connect(tabs, &QTabWidget::currentChanged, this, [this](int i) { TabChanged(i); });

    auto* buttons = SheetButtons(this, okButton, cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

PageCheck PropertiesSheet::CheckPage(QWidget* page) const {
    if (page == framePage || page == globalPage) return static_cast<FramePageWidget*>(page)->Check();
    if (page == animationPage) return animationPage->Check();
    return {};
}

void PropertiesSheet::FocusField(QWidget* page, PageField field) {
    if (QWidget* w = page->findChild<QWidget*>(ControlName(static_cast<int>(field)))) {
        w->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    }
}

void PropertiesSheet::TabChanged(int index) {
    if (switching_) return;
    QWidget* left = tabs->widget(current_);
    if (const PageCheck c = CheckPage(left); !c.ok) {
        // The page stays, with the focus on the field.
        switching_ = true;
        tabs->setCurrentIndex(current_);
        switching_ = false;
        FocusField(left, c.focus);
        return;
    }
    current_ = index;
    shown_.insert(tabs->widget(index));
}

void PropertiesSheet::accept() {
    if (const PageCheck c = CheckPage(tabs->widget(current_)); !c.ok) {
        FocusField(tabs->widget(current_), c.focus);
        return;
    }
    CommandResult total{Result::Done, 0};
    auto add = [&](const CommandResult& r) {
        total.refresh |= r.refresh;
        if (r.result == Result::Failed) total.result = Result::Failed;
    };
    // Every page that was shown writes its values, in page order; the Global
    // Frame page writes only what was changed on it.
    if (framePage && shown_.count(framePage)) {
        FramePageFields p = framePage->FrameFields();
        add(engine_.ApplyFramePage(frameIndex_, p));
    }
    if (globalPage && shown_.count(globalPage)) {
        GlobalFramePageFields p = OnlyEditedFields(globalPage->GlobalLoaded(), globalPage->GlobalFields());
        add(engine_.ApplyGlobalFramePage(p));
    }
    if (animationPage && shown_.count(animationPage)) add(engine_.ApplyAnimationPage(animationPage->Fields()));
    for (FramePageWidget* w : {framePage, globalPage})
        if (w) total.refresh |= w->PaletteRefresh();
    if (animationPage) total.refresh |= animationPage->PaletteRefresh();
    outcome_ = total;
    QDialog::accept();
}

void PropertiesSheet::reject() {
    uint32_t refresh = 0;
    for (FramePageWidget* w : {framePage, globalPage})
        if (w) refresh |= w->PaletteRefresh();
    if (animationPage) refresh |= animationPage->PaletteRefresh();
    outcome_ = {Result::Stopped, refresh};
    QDialog::reject();
}

CommandResult RunPropertiesSheet(QWidget* parent, Engine& engine, CommandId command) {
    if (!engine.Doc() || !SheetFor(command)) return {Result::Failed, 0};
    if (command == CommandId::FrameProperties && !engine.State().SelectedFrame()) return Refuse(engine);
    PropertiesSheet sheet(engine, command, parent);
    return ShowModal(sheet);
}

namespace {

CommandHandler SheetHandler(CommandId id) {
    return [id](CommandContext& c) { return RunPropertiesSheet(c.parent, c.engine, id); };
}

const bool registered = RegisterCommandHandler(CommandId::FrameProperties, SheetHandler(CommandId::FrameProperties)) &&
                        RegisterCommandHandler(CommandId::GlobalProperties, SheetHandler(CommandId::GlobalProperties)) &&
                        RegisterCommandHandler(CommandId::AnimationProperties,
                                               SheetHandler(CommandId::AnimationProperties));

}  // namespace

}  // namespace cinemill
