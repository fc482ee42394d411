#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "cinemill/app/engine.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dlgops_common.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QSpinBox;

namespace cinemill {

// "Optimize Animation": the techniques as check boxes and radio buttons
// with their dependent controls (lossy compression with its level last),
// and the experiment: every change of the
// choice copies and optimizes the document on the worker thread of job 4
// and shows the size it gives. OK hands that copy to the engine as one
// "Optimize Animation" step.
class OptimizeAnimationDialog : public QDialog {
    Q_OBJECT
public:
    OptimizeAnimationDialog(Engine& engine, QWidget* parent = nullptr);
    ~OptimizeAnimationDialog() override;

    CommandResult Outcome() const { return outcome_; }
    // All flags as the controls show them (disabled ones included).
    uint32_t ControlFlags() const;
    // The flags a run uses (no palette removal while that box is disabled).
    uint32_t EffectiveFlags() const;
    // True while an experiment runs or its result has not arrived.
    bool Busy() const { return running_; }
    const Animation* Experiment() const { return copy_.get(); }
    uint32_t ExperimentFlags() const { return runFlags_; }

    void accept() override;
    void reject() override;

signals:
    void Settled();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void Changed(QAbstractButton* source);
    void UpdateEnabled();
    void Run(uint32_t flags);
    void StartRun();
    void OnRun(int generation, std::shared_ptr<std::unique_ptr<Animation>> copy, Result r, int64_t doc_size,
               int64_t copy_size, uint32_t flags);
    void ShowSizes(int64_t doc_size, int64_t copy_size);
    void StopWorker();

    Engine& engine_;
    const Animation& doc_;
    bool hasLocal_ = false;
    std::unique_ptr<Animation> copy_;
    uint32_t runFlags_ = 0xFFFFFFFF;  // the flags of the copy; none yet
    SharedProgress progress_;
    DeferredHost workerHost_;
    int generation_ = 0;
    bool running_ = false;
    bool started_ = false;
    int64_t docSize_ = -1;
    CommandResult outcome_{Result::Stopped, 0};

    QCheckBox* shrinkFrames_;
    QCheckBox* transparency_;
    QCheckBox* removeLocal_;
    QRadioButton* mapGlobal_;
    QRadioButton* meta_;
    QRadioButton* cleanOnly_;
    QCheckBox* shrinkPalettes_;
    QCheckBox* removeFrames_;
    QCheckBox* lossy_;
    QSpinBox* lossyLevel_;
    QLabel* lossyLevelLabel_;
    QLabel* currentSize_;
    QLabel* optimizedSize_;
    QLabel* savings_;
    QLabel* percent_;
    QProgressBar* bar_;
    QLabel* status_;
    QTimer progressTimer_;
    // A new run waits here (without blocking the window) for the stopped one to end.
    QTimer startWhenIdle_;
    uint32_t startFlags_ = 0;
    std::shared_ptr<Animation> retired_;
};

CommandResult RunOptimize(CommandContext& ctx);

}  // namespace cinemill
