#pragma once

#include <QDialog>

#include "cinemill/app/engine.h"
#include "cinemill/ui/command_handlers.h"

class QLabel;
class QSpinBox;

namespace cinemill {

// "Reduce Frame Count": delete 1 of every n frames. OK runs
// Engine::ReduceFrameCount (one "Reduce Frame Count" step); an interval
// outside 2..frame count gets the engine's message and the field the focus.
class ReduceCountDialog : public QDialog {
    Q_OBJECT
public:
    ReduceCountDialog(Engine& engine, QWidget* parent = nullptr);
    CommandResult Outcome() const { return outcome_; }
    void accept() override;

private:
    void UpdateAfter();
    int Typed(bool* ok) const;

    Engine& engine_;
    CommandResult outcome_{Result::Stopped, 0};
    QSpinBox* interval_;
    QLabel* after_;
};

CommandResult RunReduceCount(CommandContext& ctx);

}  // namespace cinemill
