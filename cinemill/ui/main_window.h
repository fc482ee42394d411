#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/ui/qt_clipboard.h"
#include "cinemill/ui/qt_ui_host.h"

namespace cinemill {

class AboutBox;
class FrameStripView;
class FrameToolbarWidget;
class MainActions;
class SettingsStore;
class StatusBarWidget;

// The editor's main window: the menu bar, the main and frame tool bars, the
// frame strip view and the status bar around one Engine. Every menu item,
// button and field turns into an engine call (or a registered command
// handler); afterwards the window refreshes what the answered flags name.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `settings` holds the preferences, the placement, the recent files and
    // the open dialog's folder; `progress` makes the reporters of long
    // operations (none: they run without a dialog).
    explicit MainWindow(SettingsStore& settings, ProgressFactory* progress = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    Engine& engine() { return *engine_; }
    QtUiHost& host() { return host_; }
    PreferenceBlock& prefs() { return prefs_; }
    MainActions& actions() { return *actions_; }
    FrameToolbarWidget* frameToolBar() const { return frameBar_; }
    QToolBar* mainToolBar() const { return mainBar_; }
    StatusBarWidget* statusPanes() const { return status_; }
    FrameStripView* stripView() const { return strip_; }

    // The files of the command line: opened together as by Open.
    void OpenFiles(const QStringList& paths);

    // How Help > Contents reaches the browser and how the About box is
    // shown (tests replace both).
    std::function<bool(const QUrl&)> openUrl;
    std::function<void(AboutBox&)> runAbout;

    // The installed help's first page, or empty when it is not there.
    static QString HelpIndexPath();

public slots:
    // A command id from a menu, button or accelerator (`checked`: the
    // button's new check state).
    void RunCommand(int id, bool checked = false);
    // Refreshes the title, tool bars, status panes, selector and view.
    void Refresh(uint32_t flags);

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    CommandResult Dispatch(int id, bool checked);
    void UpdateActions();
    void UpdateStatus();
    void UpdateRecent(bool persist);
    void UpdateDownloadMenu();
    void ApplyFlatLook();
    void ShowHelp();
    void ShowAbout();

    SettingsStore& settings_;
    PreferenceBlock prefs_;
    QtUiHost host_;
    QtClipboard clipboard_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<MainActions> actions_;
    QToolBar* mainBar_ = nullptr;
    FrameToolbarWidget* frameBar_ = nullptr;
    StatusBarWidget* status_ = nullptr;
    FrameStripView* strip_ = nullptr;
};

// The frame strip view in the middle of the window, its signals connected to
// the window: a click or drag refreshes the rest of the window, a double
// click or context-menu item runs as a menu command, dropped files go to
// Engine::Drop at the frame under the point.
FrameStripView* MakeStripView(Engine& engine, MainWindow& window);

}  // namespace cinemill
