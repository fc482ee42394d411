#pragma once

#include <QDialog>

#include "cinemill/app/engine.h"
#include "cinemill/app/resize_dialog.h"
#include "cinemill/ui/command_handlers.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace cinemill {

// "Resize Animation": new width and height in pixels and in percent, linked
// by the rules of ResizeFields, the aspect lock and the method. OK runs
// Engine::Resize (one "Scale Animation" step) after the bicubic warning.
class ResizeAnimationDialog : public QDialog {
    Q_OBJECT
public:
    ResizeAnimationDialog(Engine& engine, QWidget* parent = nullptr);
    CommandResult Outcome() const { return outcome_; }
    const ResizeFields& Fields() const { return fields_; }
    void accept() override;

private:
    void Show(const ResizeFields& f);

    Engine& engine_;
    ResizeFields fields_;
    CommandResult outcome_{Result::Stopped, 0};
    QSpinBox* width_;
    QSpinBox* height_;
    QSpinBox* widthPercent_;
    QSpinBox* heightPercent_;
    QCheckBox* aspect_;
    QRadioButton* nearest_;
    QRadioButton* bicubic_;
};

CommandResult RunResize(CommandContext& ctx);

}  // namespace cinemill
