#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/app/operation_dialogs.h"
#include "cinemill/ui/command_handlers.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QToolBar;

namespace cinemill {

// The editor view of Move/Crop Frame and Crop Animation ("MyMoveCrop"):
// the screen, the frame at its position (or the whole screen's picture),
// frames shown under it, and the crop rectangle with its handles. Drags
// change the state through DragCropGrip and report it.
class MoveCropView : public QWidget {
    Q_OBJECT
public:
    explicit MoveCropView(bool can_move, QWidget* parent = nullptr);
    // The picture of the frame (or screen), and pictures shown under it at
    // their screen positions.
    void SetPicture(QImage picture);
    void SetUnder(std::vector<std::pair<QPoint, QImage>> under);
    void SetState(const MoveCropState& s);
    void SetShowCropped(bool on);
    // View pixels of a point of the screen (for tests and the painting).
    QPointF ToView(double sx, double sy) const;
    double Scale() const;
    QSize sizeHint() const override { return {420, 300}; }

signals:
    void StateChanged(const MoveCropState& s);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Rect ViewRect(int x, int y, int w, int h) const;
    Rect CropInView() const;
    Rect FrameInView() const;

    bool canMove_;
    QImage picture_;
    std::vector<std::pair<QPoint, QImage>> under_;
    MoveCropState state_;
    bool showCropped_ = false;
    CropGrip grip_ = CropGrip::None;
    QPoint pressAt_;
    MoveCropState pressState_;
};

// Move/Crop Frame (the selected frame) or Crop Animation (the screen).
class MoveCropDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Frame, Animation };
    MoveCropDialog(Engine& engine, Mode mode, QWidget* parent = nullptr);
    CommandResult Outcome() const { return outcome_; }
    const MoveCropState& State() const { return state_; }
    MoveCropView* View() const { return view_; }
    void accept() override;
    void done(int r) override;

private:
    void SetState(MoveCropState s);
    void ReadFields();
    void UpdateUnder();
    QSpinBox* Field(const char* name, StringId label, QWidget* parent);

    Engine& engine_;
    Mode mode_;
    MoveCropState start_;
    MoveCropState state_;
    CommandResult outcome_{Result::Stopped, 0};
    MoveCropView* view_;
    std::vector<QSpinBox*> fields_;
    QSpinBox *left_, *top_, *right_, *bottom_, *x_ = nullptr, *y_ = nullptr;
    QLabel* cropSize_;
    QLabel* frameSize_;
    QCheckBox* showCropped_;
    QCheckBox* showPrevious_ = nullptr;
    QCheckBox* showNext_ = nullptr;
    QCheckBox* showFirst_ = nullptr;
    QPushButton* reset_;
    QTimer typing_;
    QSpinBox* typed_ = nullptr;  // the field whose typed text waits for the timer
};

CommandResult RunMoveCrop(CommandContext& ctx);
CommandResult RunCropAnimation(CommandContext& ctx);

}  // namespace cinemill
