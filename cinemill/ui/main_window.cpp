#include "cinemill/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QToolBar>
#include <QToolButton>

#include "cinemill/app/engine_views.h"
#include "cinemill/app/file_flows.h"
#include "cinemill/app/menu_state.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/app/status_bar.h"
#include "cinemill/app/frame_toolbar.h"
#include "cinemill/base/tell.h"
#include "cinemill/ui/about_box.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/frame_strip_view.h"
#include "cinemill/ui/frame_toolbar_widget.h"
#include "cinemill/ui/main_actions.h"
#include "cinemill/ui/preview_dialog.h"
#include "cinemill/ui/status_bar_widget.h"

namespace cinemill {

using namespace refresh;

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool IsRange(int id, CommandId first, CommandId last) { return id >= Id(first) && id <= Id(last); }

}  // namespace

FrameStripView* MakeStripView(Engine& engine, MainWindow& window) {
    auto* view = new FrameStripView(engine, &window);
    view->setObjectName("frameStripView");
    // The view has already refreshed itself after a click or a drag; the
    // window refreshes the rest.
    QObject::connect(view, &FrameStripView::selectionChanged, &window,
                     [&window](int) { window.Refresh(kSelection); });
    QObject::connect(view, &FrameStripView::documentChanged, &window,
                     [&window](const CommandResult& r) { window.Refresh(r.refresh); });
    QObject::connect(view, &FrameStripView::commandRequested, &window,
                     [&window](CommandId id) { window.RunCommand(Id(id)); });
    QObject::connect(view, &FrameStripView::filesDropped, &window,
                     [&window, &engine](const QStringList& paths, int frame) {
                         std::vector<std::string> p;
                         for (const QString& s : paths) p.push_back(s.toStdString());
                         window.Refresh(engine.Drop(p, frame).refresh);
                     });
    return view;
}

QString MainWindow::HelpIndexPath() {
    const QStringList candidates = {
        QDir(QCoreApplication::applicationDirPath()).filePath("../share/cinemill/help/index.html"),
#ifdef CM_SOURCE_DATA_DIR
        QString(CM_SOURCE_DATA_DIR) + "/help/index.html",
#endif
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();
    return {};
}

MainWindow::MainWindow(SettingsStore& settings, ProgressFactory* progress, QWidget* parent)
    : QMainWindow(parent), settings_(settings), host_(this) {
    setObjectName("mainWindow");
    setWindowIcon(QIcon(":/cinemill/icons/cinemill.svg"));
    prefs_.Load(&settings_);
    engine_ = std::make_unique<Engine>(prefs_, host_, clipboard_, progress);
    engine_->LoadStripSettings();
    host_.document = [this] { return engine_->Doc(); };
    openUrl = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    runAbout = [](AboutBox& b) { b.exec(); };

    if (auto dir = settings_.ReadString(settings_names::kInitDir)) host_.initDir = QString::fromStdString(*dir);
    host_.initDirChanged = [this](const QString& dir) {
        settings_.WriteString(settings_names::kInitDir, dir.toStdString());
    };

    actions_ = std::make_unique<MainActions>(this);
    for (QAction* a : actions_->All()) {
        connect(a, &QAction::triggered, this, [this, a](bool checked) { RunCommand(a->data().toInt(), checked); });
        addAction(a);  // accelerators work while a menu is closed
    }
    for (QMenu* m : actions_->Menus()) {
        connect(m, &QMenu::aboutToShow, this, [this, m] {
            if (m == actions_->downloadMenu) UpdateDownloadMenu();
            UpdateActions();
        });
    }
    // Recent entries and download items are made anew: their menus dispatch.
    connect(actions_->fileMenu, &QMenu::triggered, this, [this](QAction* a) {
        if (actions_->RecentActions().contains(a)) RunCommand(a->data().toInt());
    });
    connect(actions_->downloadMenu, &QMenu::triggered, this, [this](QAction* a) { RunCommand(a->data().toInt()); });

    mainBar_ = actions_->BuildMainToolBar(this);
    addToolBarBreak();
    frameBar_ = new FrameToolbarWidget(*engine_, *actions_, this);
    addToolBar(Qt::TopToolBarArea, frameBar_);
    connect(frameBar_, &FrameToolbarWidget::commandRequested, this, &MainWindow::RunCommand);
    connect(frameBar_, &FrameToolbarWidget::changed, this, &MainWindow::Refresh);

    status_ = new StatusBarWidget(this);
    setStatusBar(status_);
    strip_ = MakeStripView(*engine_, *this);
    setCentralWidget(strip_);
    setAcceptDrops(true);

    // A preview the user closed leaves the Show and Stop buttons to refresh.
    SetPreviewClosedHandler([this] { UpdateActions(); });

    // The size task reports from its own thread: the pane is written here.
    engine_->SetSizeListener([this](int64_t) {
        QMetaObject::invokeMethod(this, [this] { UpdateStatus(); }, Qt::QueuedConnection);
    });

    resize(900, 600);
    if (auto placement = settings_.ReadBinary(settings_names::kPlacement))
        restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement->data()),
                                   static_cast<qsizetype>(placement->size())));
    engine_->SetRecentFiles(ReadRecentFiles(settings_));
    UpdateRecent(false);
    ApplyFlatLook();
    Refresh(kNewDocument);
}

MainWindow::~MainWindow() {
    SetPreviewClosedHandler({});
    // No size task may report to a window being taken down.
    engine_->SetSizeListener({});
    engine_->StopTasks();
}

void MainWindow::OpenFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    std::vector<std::string> p;
    for (const QString& s : paths) p.push_back(QFileInfo(s).absoluteFilePath().toStdString());
    Refresh(engine_->Open(std::move(p)).refresh);
}

void MainWindow::RunCommand(int id, bool checked) {
    const CommandResult r = Dispatch(id, checked);
    Refresh(r.refresh);
}

CommandResult MainWindow::Dispatch(int id, bool checked) {
    const auto cmd = static_cast<CommandId>(id);
    switch (cmd) {
        case CommandId::Exit: close(); return {};
        case CommandId::HelpContents: ShowHelp(); return {};
        case CommandId::About: ShowAbout(); return {};
        case CommandId::DisposalLeave:
        case CommandId::DisposalBackground:
        case CommandId::DisposalPrevious: return engine_->SetDisposal(DisposalForButton(cmd));
        case CommandId::Interlace: return engine_->SetInterlace(checked);
        case CommandId::LocalPalette:
            // A local palette cannot be added from here: checking only
            // shows the state again.
            if (checked) return {Result::Done, kFrameToolbar};
            return engine_->RemoveSelectedLocalPalette();
        case CommandId::ToggleTransparency:
            // Unchecked switches transparency off; checked picks the colour.
            if (!checked) return engine_->SetTransparency(std::nullopt);
            return Dispatch(Id(CommandId::PickTransparency), false);
        default: break;
    }
    if (IsRange(id, CommandId::RecentFirst, CommandId::RecentLast)) return engine_->OpenRecent(id - Id(CommandId::RecentFirst) + 1);
    if (IsRange(id, CommandId::DownloadFirst, CommandId::DownloadLast)) return engine_->SetDownloadSpeed(id);
    CommandResult r;
    if (const CommandHandler* h = FindCommandHandler(cmd)) {
        CommandContext ctx{this, *engine_};
        r = (*h)(ctx);
    } else {
        r = engine_->Execute(cmd);
    }
    if (cmd == CommandId::Preferences) ApplyFlatLook();
    return r;
}

void MainWindow::Refresh(uint32_t flags) {
    setWindowTitle(Q(engine_->Title()));
    if (flags & (kNewDocument | kDocument | kFrameList | kSelector)) frameBar_->RebuildSelector();
    else frameBar_->ShowSelection();
    frameBar_->Load();
    UpdateActions();
    UpdateStatus();
    if (flags & kTitle) UpdateRecent(true);
    strip_->Refresh(flags);
    // The open preview follows this window's document.
    if (PreviewDialog* preview = PreviewDialog::Current(); preview && preview->parentWidget() == this)
        SyncPreview(flags);
}

void MainWindow::UpdateActions() {
    const AppState& s = engine_->State();
    actions_->Apply(ComputeMenuState(MenuInputOf(*engine_)), s.history.UndoText(), s.history.RedoText());
    // The main tool bar's own rules (Stop Preview has no menu item).
    for (const ButtonState& b : MainToolbarState(MainToolbarInputOf(*engine_))) {
        if (QAction* a = actions_->Action(b.id)) {
            a->setEnabled(b.enabled);
            if (a->isCheckable()) a->setChecked(b.checked);
        }
    }
}

void MainWindow::UpdateStatus() { status_->Show(StatusTexts(*engine_)); }

void MainWindow::UpdateRecent(bool persist) {
    const std::vector<std::string>& recent = engine_->State().recent;
    if (persist && !recent.empty()) {
        // The settings' list shifts as the engine's did; another running
        // editor's entries below stay.
        PushRecentFile(settings_, recent.front());
        std::vector<std::string> stored = ReadRecentFiles(settings_);
        if (!stored.empty() && stored.front() == recent.front()) engine_->SetRecentFiles(std::move(stored));
    }
    actions_->SetRecentEntries(files::RecentMenuTexts(engine_->State().recent));
}

void MainWindow::UpdateDownloadMenu() {
    std::optional<int64_t> size;
    if (engine_->Doc() && engine_->FileSize() >= 0) size = engine_->FileSize();
    const int speed = static_cast<int>(prefs_.Get(PreferenceBlock::kDownloadSpeed));
    std::vector<std::pair<int, std::string>> items;
    int checked = 0;
    for (const DownloadMenuItem& i : DownloadMenuItems(size, speed)) {
        items.emplace_back(i.commandId, i.text);
        if (i.checked) checked = i.commandId;
    }
    actions_->SetDownloadItems(items, checked);
}

void MainWindow::ApplyFlatLook() {
    const bool flat = prefs_.Flag(PreferenceBlock::kFlagFlatToolbars);
    for (QToolButton* b : mainBar_->findChildren<QToolButton*>()) b->setAutoRaise(flat);
    frameBar_->SetFlat(flat);
}

void MainWindow::ShowHelp() {
    const QString index = HelpIndexPath();
    if (index.isEmpty()) {
        Tell(host_, StringId::HelpMissing);
        return;
    }
    if (!openUrl(QUrl::fromLocalFile(index)))
        host_.Error(FormatString(StringId::HelpOpenFailed, index.toStdString()));
}

void MainWindow::ShowAbout() {
    AboutBox box(this);
    runAbout(box);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!engine_->CloseDocument(false)) {
        e->ignore();
        Refresh(kModified);
        return;
    }
    const QByteArray g = saveGeometry();
    settings_.WriteBinary(settings_names::kPlacement,
                          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(g.constData()),
                                                   static_cast<size_t>(g.size())));
    Refresh(kNewDocument);
    e->accept();
}

void MainWindow::changeEvent(QEvent* e) {
    // Back in front: another program may have changed the clipboard.
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
        const CommandResult r = engine_->RefreshPasteAvailable();
        if (r.refresh) Refresh(r.refresh);
    }
    QMainWindow::changeEvent(e);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    const QMimeData* m = e->mimeData();
    if (m && m->hasUrls()) {
        for (const QUrl& u : m->urls())
            if (u.isLocalFile()) {
                e->acceptProposedAction();
                return;
            }
    }
    e->ignore();
}

void MainWindow::dropEvent(QDropEvent* e) {
    std::vector<std::string> paths;
    if (const QMimeData* m = e->mimeData())
        for (const QUrl& u : m->urls())
            if (u.isLocalFile()) paths.push_back(u.toLocalFile().toStdString());
    if (paths.empty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    // Dropped outside the frames: the files are inserted at the selection.
    Refresh(engine_->Drop(paths, -1).refresh);
}

}  // namespace cinemill

#include "main_window.moc"
