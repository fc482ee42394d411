#pragma once

#include <QDialog>

#include <utility>

#include "cinemill/doc/animation.h"

class QSpinBox;

namespace cinemill {

class FrameView;

// "Define Cursor HotSpot": the first frame with a marker at the hot spot, the
// x and y fields (clamped to the screen), a click in the picture moving the
// hot spot there, and the zoom commands. OK and Cancel both keep the point.
class HotspotDialog : public QDialog {
    Q_OBJECT
public:
    // `doc` (may be null) gives the first frame to show.
    HotspotDialog(int x, int y, int width, int height, const Animation* doc, QWidget* parent = nullptr);
    std::pair<int, int> Point() const;
    FrameView* Picture() const { return view_; }

private:
    void Moved();
    int width_, height_;
    int left_ = 0, top_ = 0;
    std::optional<FrameBitmap> bitmap_;
    FrameView* view_ = nullptr;
    QSpinBox* x_ = nullptr;
    QSpinBox* y_ = nullptr;
};

// UiHost::AskHotspot with a parent and the document whose first frame is shown.
std::pair<int, int> AskHotspotDialog(QWidget* parent, int x, int y, int width, int height,
                                     const Animation* doc = nullptr);

}  // namespace cinemill
