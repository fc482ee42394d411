#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "cinemill/app/engine.h"
#include "cinemill/app/player.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dlgops_common.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSlider;
class QToolButton;

namespace cinemill {

// "Reduce Colors": the document beside a reduced deep copy, the colour
// count and dither choice, file sizes and savings. Each apply copies and
// reduces on the worker thread of job 8 and then counts the copy's size
// there, so the window never waits for it. OK hands the copy to the engine
// as one "Reduce Palette" step; Cancel leaves the document untouched.
class ReduceColorsDialog : public QDialog {
    Q_OBJECT
public:
    ReduceColorsDialog(Engine& engine, QWidget* parent = nullptr);
    ~ReduceColorsDialog() override;

    // What OK or Cancel did (Stopped for Cancel).
    CommandResult Outcome() const { return outcome_; }
    // True while a reduction or size count runs.
    bool Busy() const;
    // The values of the last finished reduction (0 colours before the first).
    int ShownColors() const { return shownColors_; }
    const Animation* Preview() const { return copy_.get(); }

    void accept() override;
    void reject() override;

signals:
    // A reduction and the size count of its copy have finished.
    void Settled();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void Apply();
    void OnReduced(int generation, std::shared_ptr<std::unique_ptr<Animation>> copy, Result r,
                   int64_t doc_size, int colors, bool dither);
    void OnSized(int generation, int64_t size);
    void ShowFrame();
    void StopWorker();
    void ShowHostMessages();
    int ChosenColors();

    Engine& engine_;
    const Animation& doc_;
    std::unique_ptr<Animation> copy_;
    Player before_, after_;
    Playback playback_{{&before_, &after_}};
    SharedProgress progress_;
    DeferredHost workerHost_;
    int generation_ = 0;
    int shownColors_ = 0;
    bool shownDither_ = false;
    int pendingColors_ = 0;
    bool pendingDither_ = false;
    int64_t docSize_ = -1;
    bool started_ = false;
    CommandResult outcome_{Result::Stopped, 0};

    PicturePane* beforePane_;
    PicturePane* afterPane_;
    QLabel* afterColors_;
    QLabel* beforeSize_;
    QLabel* afterSize_;
    QLabel* savings_;
    QComboBox* count_;
    QCheckBox* dither_;
    QSlider* trackbar_;
    QLabel* frameNumber_;
    QToolButton* play_;
    QProgressBar* bar_;
    QLabel* status_;
    QTimer typing_;
    QTimer playTimer_;
    QTimer progressTimer_;
};

// The command's handler: the frame and palette checks, then the dialog.
CommandResult RunReduceColors(CommandContext& ctx);

}  // namespace cinemill
