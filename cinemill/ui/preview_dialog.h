#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

#include "cinemill/app/player.h"

class QCheckBox;
class QLabel;
class QSlider;
class QTimer;
class QToolBar;
class QToolButton;
class QAction;

namespace cinemill {

class Engine;
class PlayerWidget;
struct CommandResult;

// The modeless "Preview Animation" dialog: a player over the engine's
// document with two tool bars (Play, Stop; First, Previous, Next, Last,
// the background colour button, Zoom In, Zoom Out, Actual Size), the
// trackbar "1100", the frame number "1098" and the check box
// "browserDelays" ("Play short delays as browsers do", kept in the
// preferences). Playback follows cinemill/app/player.h: each frame stays
// for its delay, timed by a one-shot precise QTimer started anew when the
// frame is shown, so a delay counts from the moment the previous frame
// appeared.
//
// The engine closes the preview (AppState::previewOpen false) before every
// change of the document; the dialog checks that at every tick and closes
// itself without reading the document again. Closing it (Esc, the close
// button) runs Stop Preview on the engine.
//
// Tool buttons carry the object names "1060" Play, "1061" Stop, "1062"
// First, "1063" Previous, "1064" Next, "1065" Last, "1066" the colour
// button, "40038" Zoom In, "40039" Zoom Out, "40069" Actual Size.
class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on the engine's document; playback starts at once (posted).
    PreviewDialog(Engine& engine, QWidget* parent = nullptr);
    ~PreviewDialog() override;

    // The open preview, or none.
    static PreviewDialog* Current();

    PlayerWidget* Player() const { return view_; }
    const Playback& PlaybackState() const { return playback_; }
    int CurrentFrame() const { return playback_.Current(); }
    bool Playing() const { return playback_.Playing(); }

    // The frame timer: running while playing, with the interval in ms it
    // was last started with. TimerTick() does what the timer's expiry does
    // (tests step playback with it instead of waiting).
    bool TimerActive() const;
    int TimerInterval() const;
    void TimerTick();

    // Called with the frame number every time a frame is shown (benchmarks).
    void SetFrameShownListener(std::function<void(int)> f) { shown_ = std::move(f); }

    // The shell's notifications after a command with these refresh flags:
    // closed when the engine closed the preview; a changed frame list or
    // changed frames recompose.
    void Sync(uint32_t refresh_flags);

public slots:
    void Play();
    void Stop();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Show(int n, bool restart);
    void Shown();
    void StartTimer(int ms);
    void ChooseBackground();
    void ApplyBackground();
    void SetBrowserDelays(bool on);
    bool DocumentGone() const;
    void CloseFromEngine();
    QAction* AddTool(QToolBar* bar, const char* name, int string_id, const char* svg);

    Engine& engine_;
    const Animation* anim_;
    cinemill::Player player_;
    Playback playback_;
    PlayerWidget* view_ = nullptr;
    QTimer* timer_ = nullptr;
    int interval_ = 0;
    // When the frame now waiting should appear (ms on clock_), and how long
    // composing and showing the last frame took: the next timer is started
    // that much early, so that the frames keep their delays however long a
    // big frame takes to compose.
    QElapsedTimer clock_;
    qint64 due_ = 0;
    qint64 composeMs_ = 0;
    QToolBar* bar1_ = nullptr;
    QToolBar* bar2_ = nullptr;
    QAction* play_ = nullptr;
    QAction* stop_ = nullptr;
    QToolButton* colorButton_ = nullptr;
    QSlider* trackbar_ = nullptr;
    QLabel* number_ = nullptr;
    QCheckBox* browserDelays_ = nullptr;
    std::function<void(int)> shown_;
    bool closing_ = false;
};

// Runs after the preview closed itself (the user closed it); the main
// window sets it to refresh its Show/Stop buttons.
void SetPreviewClosedHandler(std::function<void()> f);

// The shell's call after every command: passes the refresh flags to the
// open preview (which closes when the engine closed it). Nothing when none is open.
void SyncPreview(uint32_t refresh_flags);

}  // namespace cinemill
