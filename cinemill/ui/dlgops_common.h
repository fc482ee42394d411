#pragma once

// What the image-operation dialogs share besides dialog_parts.h: the
// reporter their worker threads fill in and the dialog reads, a host for
// worker threads that keeps messages for the window, and a small pane that
// shows one picture.

#include <QIcon>
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "cinemill/app/job_control.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/ui/dialog_parts.h"

class QLabel;
class QProgressBar;

namespace cinemill {

class Engine;

// A number with the thousands separator of the byte counts.
QString Grouped(int64_t n);
// One of the dialogs' SVG icons by its file name without extension.
QIcon DlgIcon(const char* name);
// The picture as a QImage (a deep copy).
QImage ToQImage(const RgbaImage& img);

// A worker's progress as plain atomics: the worker writes, the window's
// timer reads. Stops when the worker's job has an abort request.
class SharedProgress : public ProgressReporter {
public:
    SharedProgress(const JobControl& jobs, uint32_t job_bit) : jobs_(jobs), bit_(job_bit) {}
    void SetText(StringId id) override { text_.store(static_cast<int>(id)); }
    void SetRange(int64_t r) override { range_.store(r); pos_.store(0); }
    bool SetPosition(int64_t p) override {
        pos_.store(p);
        return !StopRequested();
    }
    bool Step() override {
        pos_.fetch_add(1);
        return !StopRequested();
    }
    bool StopRequested() const override { return jobs_.AbortRequested(bit_) != 0; }
    // Clears what the bar shows before a run.
    void Reset(StringId text) {
        text_.store(static_cast<int>(text));
        range_.store(0);
        pos_.store(0);
    }
    // Copies the state into the bar and the status label.
    void ShowIn(QProgressBar* bar, QLabel* status) const;

private:
    const JobControl& jobs_;
    uint32_t bit_;
    std::atomic<int> text_{0};
    std::atomic<int64_t> range_{0}, pos_{0};
};

// The host of a worker thread: messages are kept (the window shows them
// when the run's result arrives); questions keep the current preference.
class DeferredHost : public UiHost {
public:
    void Error(const std::string& text) override;
    void Message(const std::string& text, const std::string&) override { Error(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    // The kept messages, emptied.
    std::vector<std::string> Take();

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

// Waits on a worker thread until the engine's own size and usage counts
// have ended (they read the document the worker is about to copy); false
// when the worker's job was asked to stop meanwhile.
bool WaitForEngineTasks(const JobControl& jobs, uint32_t own_bit);

// Shows one picture centred, fitted to the pane (zoom 0) or at a zoom
// factor, over a neutral background. Before/after frames of Reduce Colors.
class PicturePane : public QWidget {
    Q_OBJECT
public:
    explicit PicturePane(QWidget* parent = nullptr);
    void SetPicture(QImage img);
    const QImage& Picture() const { return image_; }
    // 0 fits the picture; otherwise the factor (0.25 .. 8).
    void SetZoom(double z);
    double Zoom() const { return zoom_; }
    QSize sizeHint() const override { return {320, 220}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage image_;
    double zoom_ = 0;
};

}  // namespace cinemill
