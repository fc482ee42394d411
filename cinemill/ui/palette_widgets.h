#pragma once

#include <QColor>
#include <QImage>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

#include "cinemill/doc/animation.h"

class QLabel;
class QPushButton;
class QScrollArea;

namespace cinemill {

// The colour grid of the palette dialogs: 16 entries per row, 16-pixel
// cells inside a one-pixel border. It draws the colours it is given (the
// dialogs' display copies) and names the true colours in its tip.
class ColorGrid : public QWidget {
    Q_OBJECT
public:
    explicit ColorGrid(QWidget* parent = nullptr);

    // The shown colours of `count` entries; `tip_colors` (same length) are the
    // colours the tip names, the shown ones when empty.
    void SetColors(const std::vector<Rgb>& shown, int count, const std::vector<Rgb>& tip_colors = {});
    void SetColor(int index, Rgb shown);
    void SetUsage(const ColorUsage& usage) { usage_ = usage; update(); }
    void SetShowUsed(bool on) { showUsed_ = on; update(); }
    void SetSelectable(bool on) { selectable_ = on; }
    void SetTipsEnabled(bool on) { tips_ = on; }
    void SetSelected(int index);
    int Selected() const { return selected_; }
    int Count() const { return count_; }

    // The entry under a widget position, -1 outside the entries.
    int EntryAt(QPoint p) const;
    // The centre of an entry's cell (tests click there).
    QPoint CellCenter(int index) const;
    // The tip for a widget position ("#n: R=.., G=.., B=.."), empty outside.
    QString TipAt(QPoint p) const;
    QString LastTip() const { return lastTip_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void entryClicked(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    std::vector<Rgb> shown_, tipColors_;
    int count_ = 0;
    ColorUsage usage_{};
    bool showUsed_ = false;
    bool selectable_ = true;
    bool tips_ = true;
    int selected_ = -1;
    QString lastTip_;
};

// A zoomable view of one frame's pixels with a colour table: the palette
// dialogs' preview and the hot-spot picture. A click reports the pixel's
// index and position; the tip names the pixel's entry.
class FrameView : public QWidget {
    Q_OBJECT
public:
    explicit FrameView(QWidget* parent = nullptr);

    // The frame's pixels (top-down rows) and the 256 colours to draw them with.
    void SetFrame(const FrameBitmap* bmp, const std::vector<Rgb>& colors);
    void SetColors(const std::vector<Rgb>& colors);
    void SetColor(int index, Rgb c);
    // Colours the tip names (the true entries), the drawn ones when empty.
    void SetTipColors(const std::vector<Rgb>& colors) { tipColors_ = colors; }
    void SetTipsEnabled(bool on) { tips_ = on; }
    // A marker drawn at a pixel position (the cursor hot spot), none when unset.
    void SetMarker(std::optional<QPoint> p) { marker_ = p; update(); }

    void ZoomIn();
    void ZoomOut();
    void ActualSize();
    int Zoom() const { return zoom_; }

    // The pixel under a widget position; none outside the image.
    std::optional<QPoint> PixelAt(QPoint widget_pos) const;
    QPoint PixelCenter(QPoint pixel) const;
    int IndexAt(QPoint pixel) const;
    QString LastTip() const { return lastTip_; }
    // The picture as drawn at zoom 1 (tests compare its pixels).
    QImage Image() const { return image_; }

    QSize sizeHint() const override;

signals:
    void pixelClicked(int index, int x, int y);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

private:
    void Rebuild();
    const FrameBitmap* bmp_ = nullptr;
    std::vector<Rgb> colors_, tipColors_;
    QImage image_;
    int zoom_ = 1;
    bool tips_ = true;
    std::optional<QPoint> marker_;
    QString lastTip_;
};

// The background-colour button ("MyBkColorButton"): a swatch that opens the
// colour chooser and tells the new colour.
class ColorButton : public QToolButton {
    Q_OBJECT
public:
    explicit ColorButton(QWidget* parent = nullptr);
    void SetColor(QColor c);
    QColor Color() const { return color_; }

signals:
    void colorChosen(QColor c);

private:
    void Choose();
    QColor color_;
};

// The zoom tool bar under a preview: Zoom In (40038), Zoom Out (40039),
// Actual Size (40069) acting on `view`, beside the colour button.
QWidget* MakeZoomBar(FrameView* view, ColorButton* color_button, QWidget* parent);

// Colours as Qt wants them.
inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
inline Rgb ToRgb(QColor c) {
    return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

// The flash colour of a selected or marked entry: each channel 255 below
// 128, else 0.
Rgb FlashColor(Rgb c);

// The 256 colours of a palette (black beyond its entries).
std::vector<Rgb> Colors256(const Palette* p);

// The preview background of preference slot 11 (bit 0x1000000 set: the low
// 24 bits as 0x00BBGGRR), else the button face.
QColor PreviewBackground(uint32_t slot11, QWidget* w);
uint32_t PreviewBackgroundValue(QColor c);

}  // namespace cinemill
