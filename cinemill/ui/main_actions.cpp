#include "cinemill/ui/main_actions.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "cinemill/app/strip_geometry.h"
#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

namespace {

struct ButtonInfo {
    CommandId id;
    StringId tip;
    const char* icon;
};

// Every button of both tool bars: its tip and its picture.
constexpr ButtonInfo kButtons[] = {
    {CommandId::New, StringId::TipNew, "new"},
    {CommandId::Open, StringId::TipOpen, "open"},
    {CommandId::Save, StringId::TipSave, "save"},
    {CommandId::Insert, StringId::TipInsert, "insert"},
    {CommandId::Cut, StringId::TipCut, "cut"},
    {CommandId::Copy, StringId::TipCopy, "copy"},
    {CommandId::Paste, StringId::TipPaste, "paste"},
    {CommandId::Delete, StringId::TipDelete, "delete"},
    {CommandId::Undo, StringId::TipUndo, "undo"},
    {CommandId::Redo, StringId::TipRedo, "redo"},
    {CommandId::Preview, StringId::TipPreview, "preview"},
    {CommandId::StopPreview, StringId::TipStopPreview, "stop"},
    {CommandId::Optimize, StringId::TipOptimize, "optimize"},
    {CommandId::ReduceColors, StringId::TipReduceColors, "reduce"},
    {CommandId::ZoomIn, StringId::TipZoomIn, "zoom-in"},
    {CommandId::ZoomOut, StringId::TipZoomOut, "zoom-out"},
    {CommandId::ActualSize, StringId::TipActualSize, "actual-size"},
    {CommandId::OrientDefault, StringId::TipOrientDefault, "orient-default"},
    {CommandId::OrientHorizontal, StringId::TipOrientHorizontal, "orient-horizontal"},
    {CommandId::OrientVertical, StringId::TipOrientVertical, "orient-vertical"},
    {CommandId::HelpContents, StringId::TipHelpContents, "help"},
    {CommandId::FrameProperties, StringId::TipFrameProperties, "frame-properties"},
    {CommandId::DisposalLeave, StringId::TipDisposalLeave, "disposal-leave"},
    {CommandId::DisposalBackground, StringId::TipDisposalBackground, "disposal-background"},
    {CommandId::DisposalPrevious, StringId::TipDisposalPrevious, "disposal-previous"},
    {CommandId::ToggleTransparency, StringId::TipToggleTransparency, "transparency"},
    {CommandId::PickTransparency, StringId::TipPickTransparency, "pick-transparency"},
    {CommandId::LocalPalette, StringId::TipLocalPalette, "local-palette"},
    {CommandId::EditLocalPalette, StringId::TipEditLocalPalette, "edit-local-palette"},
    {CommandId::Interlace, StringId::TipInterlace, "interlace"},
    {CommandId::AnimationProperties, StringId::TipAnimationProperties, "animation-properties"},
    {CommandId::EditGlobalPalette, StringId::TipEditGlobalPalette, "edit-global-palette"},
    {CommandId::FrameSelector, StringId::TipFrameSelector, ""},
    {CommandId::DelayEdit, StringId::TipDelay, "delay"},
    {CommandId::PlayCountEdit, StringId::TipPlayCount, "play-count"},
};

const ButtonInfo* InfoOf(CommandId id) {
    for (const auto& b : kButtons)
        if (b.id == id) return &b;
    return nullptr;
}

QString NameOf(int id) {
    const char* n = CommandName(id);
    return n ? QString(n) : QString::number(id);
}

}  // namespace

std::optional<StringId> ToolTipOf(CommandId id) {
    const ButtonInfo* b = InfoOf(id);
    if (!b) return std::nullopt;
    return b->tip;
}

QString IconPathOf(CommandId id) {
    const ButtonInfo* b = InfoOf(id);
    if (!b || !*b->icon) return {};
    return QString(":/cinemill/icons/%1.svg").arg(b->icon);
}

QAction* MainActions::Add(QMenu* menu, CommandId id, const QString& text, QList<QKeySequence> keys,
                          bool checkable) {
    auto* a = new QAction(text, menu);
    a->setData(Id(id));
    a->setObjectName(NameOf(Id(id)));
    // A standard key the platform has no binding for is left out, so the
    // menu shows the first real one.
    keys.removeIf([](const QKeySequence& k) { return k.isEmpty(); });
    if (!keys.isEmpty()) a->setShortcuts(keys);
    a->setCheckable(checkable);
    const QString icon = IconPathOf(id);
    if (!icon.isEmpty()) a->setIcon(QIcon(icon));
    if (const auto tip = ToolTipOf(id)) a->setToolTip(Tr(*tip));
    menu->addAction(a);
    byId_.insert(Id(id), a);
    return a;
}

MainActions::MainActions(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    using K = QKeySequence;
    auto menu = [&](const QString& title, const char* name) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(name);
        menus_ << m;
        return m;
    };
    auto sub = [&](QMenu* parent, const QString& title, const char* name) {
        QMenu* m = parent->addMenu(title);
        m->setObjectName(name);
        menus_ << m;
        return m;
    };

    // File
    fileMenu = menu("&File", "fileMenu");
    Add(fileMenu, CommandId::New, "&New", {K(K::New)});
    Add(fileMenu, CommandId::Open, "&Open...", {K(K::Open)});
    Add(fileMenu, CommandId::Insert, "&Insert Frame(s)...", {K("Ctrl+I")});
    QMenu* import = sub(fileMenu, "Import &From", "importMenu");
    Add(import, CommandId::ImportAvi, "&AVI...");
    Add(import, CommandId::ImportBmp, "&BMP/DIB...");
    Add(import, CommandId::ImportJpeg, "&JPEG...");
    Add(import, CommandId::ImportPsd, "&PSD...");
    Add(import, CommandId::ImportFilmstrip, "&GIF Filmstrip...");
    Add(import, CommandId::ImportCursor, "Animated &Cursor...");
    fileMenu->addSeparator();
    Add(fileMenu, CommandId::Revert, "&Revert to Saved");
    Add(fileMenu, CommandId::Save, "&Save", {K(K::Save)});
    Add(fileMenu, CommandId::SaveAs, "Save &As...", {K(K::SaveAs), K("Ctrl+A")});
    exportAsMenu = sub(fileMenu, "&Export As", "exportAsMenu");
    Add(exportAsMenu, CommandId::ExportAvi, "&AVI File...");
    Add(exportAsMenu, CommandId::ExportFilmstrip, "&GIF Filmstrip...");
    Add(exportAsMenu, CommandId::ExportCursor, "Animated &Cursor...");
    Add(fileMenu, CommandId::Html, "&HTML...");
    recentSeparator_ = fileMenu->addSeparator();
    exitAction_ = Add(fileMenu, CommandId::Exit, "E&xit", {K(K::Quit)});

    // Edit
    QMenu* edit = menu("&Edit", "editMenu");
    Add(edit, CommandId::Undo, "&Undo", {K(K::Undo)});
    Add(edit, CommandId::Redo, "&Redo", {K(K::Redo), K("Ctrl+Y")});
    edit->addSeparator();
    Add(edit, CommandId::Cut, "Cu&t", {K(K::Cut)});
    Add(edit, CommandId::Copy, "&Copy", {K(K::Copy)});
    Add(edit, CommandId::Paste, "&Paste", {K(K::Paste)});
    Add(edit, CommandId::Delete, "&Delete", {K(K::Delete)});
    edit->addSeparator();
    Add(edit, CommandId::Preferences, "Pr&eferences...");

    // Frame
    QMenu* frame = menu("F&rame", "frameMenu");
    Add(frame, CommandId::FrameProperties, "&Properties...", {K("Ctrl+F")});
    Add(frame, CommandId::GlobalProperties, "&Global Properties...", {K("Ctrl+G")});
    Add(frame, CommandId::EditLocalPalette, "Edit &Local Palette...");
    frame->addSeparator();
    Add(frame, CommandId::ReduceCount, "Reduce &Count...");
    Add(frame, CommandId::ReverseOrder, "Re&verse Order");
    frame->addSeparator();
    Add(frame, CommandId::MoveCrop, "&Move/Crop...");
    rotateMenu = sub(frame, "&Rotate", "rotateMenu");
    rotateAllMenu = sub(frame, "Rotate &All", "rotateAllMenu");
    const struct {
        CommandId one, all;
        const char* text;
    } rotations[] = {{CommandId::Rotate180, CommandId::RotateAll180, "&180\u00B0"},
                     {CommandId::Rotate90Cw, CommandId::RotateAll90Cw, "90\u00B0 C&W"},
                     {CommandId::Rotate90Ccw, CommandId::RotateAll90Ccw, "90\u00B0 CC&W"},
                     {CommandId::FlipH, CommandId::RotateAllFlipH, "Flip &Horizontally"},
                     {CommandId::FlipV, CommandId::RotateAllFlipV, "Flip &Vertically"}};
    for (const auto& r : rotations) {
        Add(rotateMenu, r.one, QString::fromUtf8(r.text));
        Add(rotateAllMenu, r.all, QString::fromUtf8(r.text));
    }

    // Animation
    QMenu* anim = menu("&Animation", "animationMenu");
    Add(anim, CommandId::AnimationProperties, "&Properties...");
    Add(anim, CommandId::EditGlobalPalette, "Edit &Global Palette...");
    anim->addSeparator();
    Add(anim, CommandId::ReduceColors, "Reduce &Colors...", {K("Ctrl+R")});
    Add(anim, CommandId::Optimize, "&Optimize...", {K("Ctrl+T")});
    Add(anim, CommandId::Unoptimize, "&Unoptimize");
    anim->addSeparator();
    Add(anim, CommandId::Resize, "Re&size...");
    Add(anim, CommandId::Crop, "C&rop...");
    anim->addSeparator();
    Add(anim, CommandId::GifComments, "GIF Co&mments...");

    // View
    QMenu* view = menu("&View", "viewMenu");
    Add(view, CommandId::Preview, "Animation &Preview", {K("Ctrl+P")}, true);
    view->addSeparator();
    Add(view, CommandId::ZoomIn, "Zoom &In", {K("Ctrl+Space"), K(K::ZoomIn)});
    Add(view, CommandId::ZoomOut, "Zoom &Out", {K("Alt+Space"), K(K::ZoomOut)});
    QMenu* setZoom = sub(view, "Set &Zoom", "setZoomMenu");
    zoom_ = new QActionGroup(setZoom);
    for (int level = strip::kMinZoomLevel; level <= strip::kMaxZoomLevel; ++level) {
        const int percent = strip::ZoomPercent(strip::ZoomForLevel(level));
        QAction* a = Add(setZoom, ZoomItemForLevel(level), QString("%1%").arg(percent), {}, true);
        zoom_->addAction(a);
    }
    // The tool bar's Actual Size button, also reachable from the menu.
    Add(setZoom, CommandId::ActualSize, "&Actual Size");
    QMenu* orient = sub(view, "O&rientation", "orientationMenu");
    orientation_ = new QActionGroup(orient);
    orientation_->addAction(Add(orient, CommandId::OrientDefault, "&Default", {}, true));
    orientation_->addAction(Add(orient, CommandId::OrientHorizontal, "&Horizontal Strips", {}, true));
    orientation_->addAction(Add(orient, CommandId::OrientVertical, "&Vertical Strips", {}, true));
    QMenu* transp = sub(view, "&Transparency As", "transparencyMenu");
    transparency_ = new QActionGroup(transp);
    transparency_->addAction(Add(transp, CommandId::TransparencyWindow, "&Window Background", {}, true));
    transparency_->addAction(Add(transp, CommandId::TransparencyFrameColor, "&Color in Frame", {}, true));
    transparency_->addAction(Add(transp, CommandId::TransparencyCustom, "C&ustom Color", {}, true));
    downloadMenu = sub(view, "&Download Time", "downloadMenu");

    // Help
    QMenu* help = menu("&Help", "helpMenu");
    Add(help, CommandId::HelpContents, "&Contents...", {K(K::HelpContents)});
    Add(help, CommandId::About, "&About...");

    // Stop Preview is a tool bar button only: an action outside the menus.
    auto* stopPreview = new QAction(window);
    stopPreview->setData(Id(CommandId::StopPreview));
    stopPreview->setObjectName(NameOf(Id(CommandId::StopPreview)));
    stopPreview->setIcon(QIcon(IconPathOf(CommandId::StopPreview)));
    stopPreview->setText(Tr(StringId::TipStopPreview));
    stopPreview->setToolTip(stopPreview->text());
    byId_.insert(Id(CommandId::StopPreview), stopPreview);
}

void MainActions::Apply(const MenuState& state, const std::string& undo_text, const std::string& redo_text) {
    for (auto it = byId_.begin(); it != byId_.end(); ++it) {
        const int id = it.key();
        QAction* a = it.value();
        if (id == Id(CommandId::StopPreview)) continue;  // a tool bar button: its own rule
        a->setEnabled(!state.Grayed(static_cast<CommandId>(id)));
        if (a->isCheckable()) a->setChecked(state.Checked(static_cast<CommandId>(id)));
    }
    // The texts end in a tab and the key's name; the action's own shortcut
    // shows the key in the desktop's form, so only the caption is taken.
    auto caption = [](const std::string& text) {
        return QString::fromStdString(text.substr(0, text.find('\t')));
    };
    if (!undo_text.empty()) Action(CommandId::Undo)->setText(caption(undo_text));
    if (!redo_text.empty()) Action(CommandId::Redo)->setText(caption(redo_text));
    exportAsMenu->setEnabled(!state.PopupGrayed(MenuPopup::ExportAs));
    rotateMenu->setEnabled(!state.PopupGrayed(MenuPopup::Rotate));
    rotateAllMenu->setEnabled(!state.PopupGrayed(MenuPopup::RotateAll));
}

void MainActions::SetRecentEntries(const std::vector<std::string>& texts) {
    for (QAction* a : recent_) {
        fileMenu->removeAction(a);
        delete a;
    }
    recent_.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        auto* a = new QAction(QString::fromStdString(texts[i]), fileMenu);
        a->setData(Id(CommandId::RecentFirst) + static_cast<int>(i));
        a->setObjectName(QString("recent%1").arg(i + 1));
        fileMenu->insertAction(exitAction_, a);
        recent_ << a;
    }
    // The separator under the entries: one only while there are entries.
    if (!recent_.isEmpty()) {
        auto* sep = new QAction(fileMenu);
        sep->setSeparator(true);
        fileMenu->insertAction(exitAction_, sep);
        recent_ << sep;
    }
}

void MainActions::SetDownloadItems(const std::vector<std::pair<int, std::string>>& items, int checked_id) {
    downloadMenu->clear();
    for (const auto& [id, text] : items) {
        // The menu shows "NAME :\t TIME"; a tab in a Qt menu text starts the shortcut column.
        auto* a = new QAction(QString::fromStdString(text), downloadMenu);
        a->setData(id);
        a->setCheckable(true);
        a->setChecked(id == checked_id);
        a->setObjectName(QString("download%1").arg(id - Id(CommandId::DownloadFirst)));
        downloadMenu->addAction(a);
    }
}

QToolBar* MainActions::BuildMainToolBar(QMainWindow* window) {
    auto* bar = new QToolBar("Main", window);
    bar->setObjectName("mainToolBar");
    bar->setIconSize(QSize(16, 16));
    const CommandId order[] = {
        CommandId::New, CommandId::Open, CommandId::Save, {}, CommandId::Insert, CommandId::Cut,
        CommandId::Copy, CommandId::Paste, CommandId::Delete, {}, CommandId::Undo, CommandId::Redo, {},
        CommandId::Preview, CommandId::StopPreview, {}, CommandId::Optimize, CommandId::ReduceColors, {},
        CommandId::ZoomIn, CommandId::ZoomOut, CommandId::ActualSize, {}, CommandId::OrientDefault,
        CommandId::OrientHorizontal, CommandId::OrientVertical, {}, CommandId::HelpContents};
    for (CommandId id : order) {
        if (Id(id) == 0) {
            bar->addSeparator();
            continue;
        }
        bar->addAction(Action(id));
    }
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

}  // namespace cinemill
