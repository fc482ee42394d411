#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>

#include "cinemill/doc/render.h"

namespace cinemill {

// The picture area of an animation player: shows one composed picture (a
// Player's canvas) at a zoom level, nearest-neighbour, centred while it
// fits and with scroll bars once it does not, over the background colour.
// It decides nothing: whoever drives the Player hands it each new picture.
//
// Use (e.g. the before and after players of a dialog):
//   Player player;                         // cinemill/app/player.h
//   Playback playback({&player});
//   auto* view = new PlayerWidget(parent);
//   view->SetBackground(color);
//   playback.Show(1, true);
//   view->SetPicture(player.Picture());    // after every Compose/Show/Tick
//   view->SetZoomLevel(view->ZoomLevel() + 1);
//
// Zoom level L gives (L + 1)/1 for L >= 0 and 1/(1 - L) for L < 0, without
// bounds. Scrolling moves by viewport / 16 + 1 per line and / 2 + 1 per
// page. objectName defaults to "player".
class PlayerWidget : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PlayerWidget(QWidget* parent = nullptr);

    // Copies the picture (an empty one shows only the background).
    void SetPicture(const RgbaImage& picture);
    const QImage& Picture() const { return image_; }

    void SetZoomLevel(int level);
    int ZoomLevel() const { return level_; }
    // The picture's size at the present zoom.
    QSize ZoomedSize() const;

    void SetBackground(const QColor& c);
    QColor Background() const { return background_; }

    // Where the picture's top-left lies in the viewport (scroll offsets taken off).
    QPoint ImageOrigin() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int, int) override { viewport()->update(); }

private:
    void Layout();

    QImage image_;
    int level_ = 0;
    QColor background_;
};

}  // namespace cinemill
