#pragma once

#include <QDialog>
#include <QWidget>

class QTimer;

namespace cinemill {

// The About box's animation: a strip of film running past a gate in which
// a ball bounces, drawn in code, one frame every 80 ms while shown.
class AboutAnimation : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFrameCount = 12;
    explicit AboutAnimation(QWidget* parent = nullptr);
    int Frame() const { return frame_; }
    void SetFrame(int frame);
    QTimer* Timer() const { return timer_; }
    QSize sizeHint() const override { return {160, 96}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    int frame_ = 0;
    QTimer* timer_;
};

// "About": the title line "Cinemill™ 2.6" in the dialog font made bold and
// a third larger, the animation, a line on what the program is, and OK.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace cinemill
