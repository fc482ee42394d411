#include "cinemill/ui/palette_widgets.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

#include "cinemill/imaging/palette_edit.h"

namespace cinemill {

namespace {
constexpr int kCell = 16;
constexpr int kColumns = 16;
constexpr int kBorder = 1;
constexpr int kMaxZoom = 16;
}  // namespace

Rgb FlashColor(Rgb c) {
    auto f = [](uint8_t v) { return static_cast<uint8_t>(v < 128 ? 255 : 0); };
    return Rgb{f(c.r), f(c.g), f(c.b)};
}

std::vector<Rgb> Colors256(const Palette* p) {
    std::vector<Rgb> out(256, Rgb{});
    if (p) std::copy_n(p->entries.begin(), std::min<size_t>(p->entries.size(), 256), out.begin());
    return out;
}

QColor PreviewBackground(uint32_t slot11, QWidget* w) {
    if (slot11 & 0x1000000) return QColor(int(slot11 & 0xFF), int((slot11 >> 8) & 0xFF), int((slot11 >> 16) & 0xFF));
    return w ? w->palette().color(QPalette::Button) : QColor(Qt::lightGray);
}

uint32_t PreviewBackgroundValue(QColor c) {
    return 0x1000000u | uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

// ---- ColorGrid ------------------------------------------------------------------

ColorGrid::ColorGrid(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

QSize ColorGrid::sizeHint() const { return QSize(kColumns * kCell + 2 * kBorder, kColumns * kCell + 2 * kBorder); }

void ColorGrid::SetColors(const std::vector<Rgb>& shown, int count, const std::vector<Rgb>& tip_colors) {
    shown_ = shown;
    shown_.resize(256);
    tipColors_ = tip_colors.empty() ? shown_ : tip_colors;
    tipColors_.resize(256);
    count_ = std::clamp(count, 0, 256);
    update();
}

void ColorGrid::SetColor(int index, Rgb shown) {
    if (index < 0 || index >= 256) return;
    shown_[size_t(index)] = shown;
    update(QRect(CellCenter(index) - QPoint(kCell / 2, kCell / 2), QSize(kCell, kCell)));
}

void ColorGrid::SetSelected(int index) {
    selected_ = index >= 0 && index < count_ ? index : -1;
    update();
}

int ColorGrid::EntryAt(QPoint p) const {
    const int x = p.x() - kBorder, y = p.y() - kBorder;
    if (x < 0 || y < 0 || x >= kColumns * kCell || y >= kColumns * kCell) return -1;
    const int i = (y / kCell) * kColumns + x / kCell;
    return i < count_ ? i : -1;
}

QPoint ColorGrid::CellCenter(int index) const {
    return QPoint(kBorder + (index % kColumns) * kCell + kCell / 2, kBorder + (index / kColumns) * kCell + kCell / 2);
}

QString ColorGrid::TipAt(QPoint p) const {
    const int i = EntryAt(p);
    if (i < 0) return {};
    return QString::fromStdString(PaletteEntryTip(i, tipColors_[size_t(i)]));
}

void ColorGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(QRect(0, 0, kColumns * kCell + 1, kColumns * kCell + 1));
    for (int i = 0; i < 256; ++i) {
        const QRect cell(kBorder + (i % kColumns) * kCell, kBorder + (i / kColumns) * kCell, kCell, kCell);
        if (i >= count_) {
            // Entries the palette does not have: a hatched empty cell.
            p.fillRect(cell, QBrush(palette().color(QPalette::Mid), Qt::BDiagPattern));
            continue;
        }
        p.fillRect(cell.adjusted(1, 1, -1, -1), ToQColor(shown_[size_t(i)]));
        if (showUsed_ && usage_[size_t(i)] != 0) {
            // A used entry: a small square in the contrasting colour.
            const Rgb c = shown_[size_t(i)];
            const bool light = c.r * 3 + c.g * 6 + c.b > 1280;
            p.fillRect(QRect(cell.left() + 2, cell.top() + 2, 4, 4), light ? Qt::black : Qt::white);
        }
    }
    if (selected_ >= 0) {
        const QRect cell(kBorder + (selected_ % kColumns) * kCell, kBorder + (selected_ / kColumns) * kCell, kCell,
                         kCell);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(cell.adjusted(1, 1, -2, -2));
    }
}

void ColorGrid::mousePressEvent(QMouseEvent* e) {
    const int i = EntryAt(e->position().toPoint());
    if (i < 0 || e->button() != Qt::LeftButton) return;
    if (selectable_) SetSelected(i);
    emit entryClicked(i);
}

void ColorGrid::mouseMoveEvent(QMouseEvent* e) {
    if (!tips_) {
        lastTip_.clear();
        QToolTip::hideText();
        return;
    }
    lastTip_ = TipAt(e->position().toPoint());
    if (lastTip_.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(e->globalPosition().toPoint() + QPoint(12, 12), lastTip_, this);
}

// ---- FrameView ------------------------------------------------------------------

FrameView::FrameView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void FrameView::SetFrame(const FrameBitmap* bmp, const std::vector<Rgb>& colors) {
    bmp_ = bmp;
    colors_ = colors;
    colors_.resize(256);
    Rebuild();
}

void FrameView::SetColors(const std::vector<Rgb>& colors) {
    colors_ = colors;
    colors_.resize(256);
    if (!image_.isNull()) {
        QList<QRgb> table;
        for (const Rgb& c : colors_) table.push_back(qRgb(c.r, c.g, c.b));
        image_.setColorTable(table);
    }
    update();
}

void FrameView::SetColor(int index, Rgb c) {
    if (index < 0 || index >= 256) return;
    colors_[size_t(index)] = c;
    if (!image_.isNull()) image_.setColor(index, qRgb(c.r, c.g, c.b));
    update();
}

void FrameView::Rebuild() {
    image_ = QImage();
    if (bmp_ && bmp_->width > 0 && bmp_->height > 0) {
        image_ = QImage(bmp_->width, bmp_->height, QImage::Format_Indexed8);
        for (int y = 0; y < bmp_->height; ++y) std::copy_n(bmp_->Row(y), bmp_->width, image_.scanLine(y));
    }
    SetColors(colors_);
    updateGeometry();
    resize(sizeHint());
}

QSize FrameView::sizeHint() const {
    if (image_.isNull()) return QSize(64, 64);
    return image_.size() * zoom_;
}

void FrameView::ZoomIn() {
    zoom_ = std::min(zoom_ * 2, kMaxZoom);
    Rebuild();
}
void FrameView::ZoomOut() {
    zoom_ = std::max(zoom_ / 2, 1);
    Rebuild();
}
void FrameView::ActualSize() {
    zoom_ = 1;
    Rebuild();
}

std::optional<QPoint> FrameView::PixelAt(QPoint p) const {
    if (image_.isNull() || p.x() < 0 || p.y() < 0) return std::nullopt;
    const QPoint px(p.x() / zoom_, p.y() / zoom_);
    if (px.x() >= image_.width() || px.y() >= image_.height()) return std::nullopt;
    return px;
}

QPoint FrameView::PixelCenter(QPoint pixel) const {
    return QPoint(pixel.x() * zoom_ + zoom_ / 2, pixel.y() * zoom_ + zoom_ / 2);
}

int FrameView::IndexAt(QPoint pixel) const {
    if (!bmp_ || pixel.x() < 0 || pixel.y() < 0 || pixel.x() >= bmp_->width || pixel.y() >= bmp_->height) return -1;
    return bmp_->Row(pixel.y())[pixel.x()];
}

void FrameView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (image_.isNull()) return;
    p.drawImage(QRect(QPoint(0, 0), image_.size() * zoom_), image_);
    if (marker_) {
        // The hot spot: a cross with a light and a dark line, visible on any colour.
        const QPoint c = PixelCenter(*marker_);
        for (int pass = 0; pass < 2; ++pass) {
            p.setPen(QPen(pass ? Qt::white : Qt::black, pass ? 1 : 3));
            p.drawLine(c - QPoint(6, 0), c + QPoint(6, 0));
            p.drawLine(c - QPoint(0, 6), c + QPoint(0, 6));
        }
    }
}

void FrameView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const auto px = PixelAt(e->position().toPoint());
    if (!px) return;
    emit pixelClicked(IndexAt(*px), px->x(), px->y());
}

void FrameView::mouseMoveEvent(QMouseEvent* e) {
    const auto px = PixelAt(e->position().toPoint());
    if (!tips_ || !px) {
        lastTip_.clear();
        QToolTip::hideText();
        return;
    }
    const int i = IndexAt(*px);
    const std::vector<Rgb>& names = tipColors_.size() == 256 ? tipColors_ : colors_;
    lastTip_ = QString::fromStdString(PaletteEntryTip(i, names[size_t(i)]));
    QToolTip::showText(e->globalPosition().toPoint() + QPoint(12, 12), lastTip_, this);
}

// ---- ColorButton ------------------------------------------------------------------

ColorButton::ColorButton(QWidget* parent) : QToolButton(parent) {
    setObjectName("MyBkColorButton");
    setToolTip(tr("Background color"));
    setAutoRaise(true);
    connect(this, &QToolButton::clicked, this, &ColorButton::Choose);
    SetColor(Qt::lightGray);
}

void ColorButton::SetColor(QColor c) {
    color_ = c;
    // The swatch is drawn as an icon so that it stays crisp at any scale.
    QPixmap pm(QSize(16, 16) * devicePixelRatioF());
    pm.setDevicePixelRatio(devicePixelRatioF());
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(palette().color(QPalette::WindowText));
    p.setBrush(c);
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.end();
    setIcon(QIcon(pm));
}

void ColorButton::Choose() {
    const QColor c = QColorDialog::getColor(color_, this, QString(), QColorDialog::ColorDialogOptions());
    if (!c.isValid() || c == color_) return;
    SetColor(c);
    emit colorChosen(c);
}

QWidget* MakeZoomBar(FrameView* view, ColorButton* color_button, QWidget* parent) {
    auto* bar = new QWidget(parent);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    struct B {
        const char* id;
        const char* text;
        const char* tip;
        void (FrameView::*act)();
    };
    const B buttons[] = {{"40038", "+", "Zoom In", &FrameView::ZoomIn},
                         {"40039", "\u2212", "Zoom Out", &FrameView::ZoomOut},
                         {"40069", "1:1", "Actual Size", &FrameView::ActualSize}};
    for (const B& b : buttons) {
        auto* t = new QToolButton(bar);
        t->setObjectName(b.id);
        t->setText(QString::fromUtf8(b.text));
        t->setToolTip(QString::fromUtf8(b.tip));
        t->setAutoRaise(true);
        QObject::connect(t, &QToolButton::clicked, view, b.act);
        row->addWidget(t);
    }
    if (color_button) row->addWidget(color_button);
    row->addStretch(1);
    return bar;
}

}  // namespace cinemill
