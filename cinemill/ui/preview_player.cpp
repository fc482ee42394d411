#include "cinemill/ui/preview_player.h"

#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include "cinemill/app/strip_geometry.h"

namespace cinemill {

PlayerWidget::PlayerWidget(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName("player");
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    background_ = palette().color(QPalette::Button);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlayerWidget::SetPicture(const RgbaImage& p) {
    const QSize old = image_.size();
    if (p.width <= 0 || p.height <= 0) {
        image_ = QImage();
    } else {
        image_ = QImage(p.width, p.height, QImage::Format_RGBA8888);
        const size_t row = static_cast<size_t>(p.width) * 4;
        for (int y = 0; y < p.height; ++y)
            std::copy_n(p.rgba.data() + row * static_cast<size_t>(y), row, image_.scanLine(y));
    }
    if (image_.size() != old) Layout();
    viewport()->update();
}

QSize PlayerWidget::ZoomedSize() const {
    const strip::Zoom z = strip::ZoomForLevelUnbounded(level_);
    return {image_.width() * z.num / z.den, image_.height() * z.num / z.den};
}

void PlayerWidget::SetZoomLevel(int level) {
    if (level == level_) return;
    level_ = level;
    Layout();
    viewport()->update();
}

void PlayerWidget::SetBackground(const QColor& c) {
    background_ = c;
    viewport()->update();
}

QSize PlayerWidget::sizeHint() const {
    const QSize z = ZoomedSize();
    const int f = 2 * frameWidth();
    return {std::max(z.width(), 64) + f, std::max(z.height(), 64) + f};
}

// Scroll bar ranges follow the zoomed picture; Qt shows a bar only while
// its range is not empty, and takes the other bar's thickness into account.
void PlayerWidget::Layout() {
    const QSize z = ZoomedSize();
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
    horizontalScrollBar()->setRange(0, std::max(0, z.width() - vp.width()));
    verticalScrollBar()->setRange(0, std::max(0, z.height() - vp.height()));
    horizontalScrollBar()->setSingleStep(vp.width() / 16 + 1);
    verticalScrollBar()->setSingleStep(vp.height() / 16 + 1);
}

void PlayerWidget::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    Layout();
}

QPoint PlayerWidget::ImageOrigin() const {
    const QSize z = ZoomedSize();
    const QSize vp = viewport()->size();
    const int x = z.width() <= vp.width() ? (vp.width() - z.width()) / 2 : -horizontalScrollBar()->value();
    const int y = z.height() <= vp.height() ? (vp.height() - z.height()) / 2 : -verticalScrollBar()->value();
    return {x, y};
}

void PlayerWidget::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    p.fillRect(e->rect(), background_);
    if (image_.isNull()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(ImageOrigin(), ZoomedSize()), image_);
}

}  // namespace cinemill
