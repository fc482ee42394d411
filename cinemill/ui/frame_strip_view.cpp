#include "cinemill/ui/frame_strip_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

#include "cinemill/app/engine_views.h"
#include "cinemill/base/preferences.h"
#include "cinemill/ui/frame_strip_menu.h"

namespace cinemill {

using namespace strip;

namespace {

// Frame pictures kept converted for drawing; beyond this the least recently
// drawn ones go (a 1280 x 720 picture takes 3.5 MiB).
constexpr size_t kCacheBudget = size_t{128} << 20;
constexpr int kAutoScrollMs = 100;

std::optional<Key> StripKeyOf(int qt_key) {
    switch (qt_key) {
        case Qt::Key_PageUp: return Key::PageUp;
        case Qt::Key_PageDown: return Key::PageDown;
        case Qt::Key_End: return Key::End;
        case Qt::Key_Home: return Key::Home;
        case Qt::Key_Left: return Key::Left;
        case Qt::Key_Right: return Key::Right;
        case Qt::Key_Up: return Key::Up;
        case Qt::Key_Down: return Key::Down;
        default: return std::nullopt;
    }
}

QRect ToQRect(const strip::Rect& r) { return QRect(r.x, r.y, r.w, r.h); }

}  // namespace

FrameStripView::FrameStripView(Engine& engine, QWidget* parent) : QAbstractScrollArea(parent), engine_(engine) {
    qRegisterMetaType<cinemill::CommandId>();
    qRegisterMetaType<cinemill::CommandResult>();
    setObjectName("MyClient");
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Refresh(refresh::kNewDocument);
}

FrameStripView::~FrameStripView() = default;

// ---- layout ---------------------------------------------------------------------------

Client FrameStripView::ClientSize() const { return {viewport()->width(), viewport()->height()}; }

void FrameStripView::Refresh(uint32_t flags) {
    using namespace refresh;
    const bool relayout = (flags & (kNewDocument | kDocument | kFrames | kFrameList)) != 0;
    if (flags & kNewDocument) {
        // A new document starts at the first strip.
        layout_ = EmptyLayout();
        shownSelection_ = -1;
    }
    if (relayout) {
        ClearCache();
        Relayout();
    } else if (flags & kOneFrame) {
        const int index = static_cast<int>(flags >> 16);
        DropPicture(index);
        UpdateCell(index);
    }
    if (flags & (kSelection | kNewDocument)) {
        const int sel = engine_.State().selected;
        UpdateCell(shownSelection_);
        UpdateCell(sel);
        shownSelection_ = sel;
        if (sel >= 0 && !CellInView(layout_, ClientSize(), sel)) {
            QScrollBar* bar = AcrossBar(orientation_) == Bar::Horizontal ? horizontalScrollBar() : verticalScrollBar();
            bar->setValue(ScrollToSelected(layout_, sel));
        }
    }
    if (flags & (kRepaint | kOneFrame)) viewport()->update();
}

void FrameStripView::Relayout() {
    PullScrollBars();
    const Animation* doc = engine_.Doc();
    if (!doc) {
        layout_ = EmptyLayout();
        orientation_ = 0;
        screenW_ = screenH_ = 0;
    } else {
        screenW_ = doc->width;
        screenH_ = doc->height;
        orientation_ = OrientationForScreen(engine_.State().orientation, screenW_, screenH_);
        zoom_ = ZoomForLevel(engine_.State().zoom);
        metrics_ = ComputeMetrics(orientation_, screenW_, screenH_, zoom_);
        layout_ = Layout(metrics_, doc->FrameCount(), ClientSize(), layout_);
    }
    PushScrollBars();
    viewport()->update();
}

// The layout's bars onto the widget's scroll bars (ranges, steps, positions).
void FrameStripView::PushScrollBars() {
    pushingBars_ = true;
    const Client c = ClientSize();
    const ScrollBar h = layout_.hasAnimation ? layout_.HorizontalBar() : ScrollBar{};
    const ScrollBar v = layout_.hasAnimation ? layout_.VerticalBar() : ScrollBar{};
    horizontalScrollBar()->setRange(0, h.MaxPos());
    horizontalScrollBar()->setPageStep(std::max(1, h.page));
    horizontalScrollBar()->setSingleStep(c.width / 16 + 1);
    horizontalScrollBar()->setValue(h.pos);
    verticalScrollBar()->setRange(0, v.MaxPos());
    verticalScrollBar()->setPageStep(std::max(1, v.page));
    verticalScrollBar()->setSingleStep(c.height / 16 + 1);
    verticalScrollBar()->setValue(v.pos);
    pushingBars_ = false;
}

void FrameStripView::PullScrollBars() {
    if (!layout_.hasAnimation) return;
    const bool vertical = layout_.metrics.direction == kVertical;
    ScrollBar& h = vertical ? layout_.across : layout_.along;
    ScrollBar& v = vertical ? layout_.along : layout_.across;
    h.pos = std::clamp(horizontalScrollBar()->value(), 0, h.MaxPos());
    v.pos = std::clamp(verticalScrollBar()->value(), 0, v.MaxPos());
}

void FrameStripView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void FrameStripView::scrollContentsBy(int dx, int dy) {
    if (pushingBars_) return;
    PullScrollBars();
    if (dragging_) {
        // The marker moves with the pointer, not with the content.
        UpdateInsertion(lastPointer_);
        viewport()->update();
    } else {
        viewport()->scroll(dx, dy);
    }
}

bool FrameStripView::ScrollKey(int qt_key) {
    const auto key = StripKeyOf(qt_key);
    if (!key || !layout_.hasAnimation) return false;
    const KeyScroll ks = KeyPressScroll(orientation_, *key);
    const bool horizontal = ks.bar == Bar::Horizontal;
    const ScrollBar& bar = horizontal ? layout_.HorizontalBar() : layout_.VerticalBar();
    const int extent = horizontal ? viewport()->width() : viewport()->height();
    (horizontal ? horizontalScrollBar() : verticalScrollBar())->setValue(ScrollPosition(bar, ks.action, extent));
    return true;
}

// ---- pictures ---------------------------------------------------------------------------

QColor FrameStripView::FaceColor() const { return palette().color(QPalette::Button); }

// The transparency display as the preference packs it: the mode in the top
// byte, the custom colour (red in the low byte) below.
uint32_t FrameStripView::DisplayPref() const {
    const uint32_t colour = engine_.Prefs().Get(PreferenceBlock::kTransparencyDisplay) & 0xFFFFFFu;
    return (static_cast<uint32_t>(engine_.State().transparencyDisplay) << 24) | colour;
}

void FrameStripView::ClearCache() {
    cache_.clear();
    lru_.clear();
    cacheBytes_ = 0;
}

void FrameStripView::DropPicture(int index) {
    auto it = cache_.find(index);
    if (it == cache_.end()) return;
    cacheBytes_ -= static_cast<size_t>(it->second.image.sizeInBytes());
    lru_.erase(it->second.lru);
    cache_.erase(it);
}

const QImage* FrameStripView::PictureOf(int index) {
    const uint32_t pref = DisplayPref();
    const QColor face = FaceColor();
    if (pref != cachePref_ || face.rgb() != cacheFace_) {
        // The display colour of transparent pixels changed: every picture.
        ClearCache();
        cachePref_ = pref;
        cacheFace_ = face.rgb();
    }
    if (auto it = cache_.find(index); it != cache_.end()) {
        lru_.splice(lru_.end(), lru_, it->second.lru);
        return &it->second.image;
    }
    const Animation* doc = engine_.Doc();
    const Frame* f = doc ? doc->FrameAt(index) : nullptr;
    if (!f || !f->bitmap || f->bitmap->width <= 0 || f->bitmap->height <= 0) return nullptr;
    const FrameBitmap& b = *f->bitmap;
    if (b.stride < b.width || b.pixels.size() < static_cast<size_t>(b.stride) * static_cast<size_t>(b.height))
        return nullptr;
    const Rgb bg{static_cast<uint8_t>(face.red()), static_cast<uint8_t>(face.green()),
                 static_cast<uint8_t>(face.blue())};
    const auto table = DisplayColorTable(*doc, *f, pref, bg);
    // The frame's own 8-bit rows, read in place, with its colour table.
    QImage indexed(b.pixels.data(), b.width, b.height, b.stride, QImage::Format_Indexed8);
    QList<QRgb> colours(256);
    for (int i = 0; i < 256; ++i) colours[i] = 0xFF000000u | table[static_cast<size_t>(i)];
    indexed.setColorTable(colours);
    QImage picture = indexed.convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) return nullptr;
    const size_t bytes = static_cast<size_t>(picture.sizeInBytes());
    while (!lru_.empty() && cacheBytes_ + bytes > kCacheBudget) DropPicture(lru_.front());
    lru_.push_back(index);
    Picture& slot = cache_[index];
    slot.image = std::move(picture);
    slot.lru = std::prev(lru_.end());
    cacheBytes_ += bytes;
    return &slot.image;
}

// ---- painting ---------------------------------------------------------------------------

// The sprocket band of one tile: 11 x 90 for vertical strips (90 x 11 for
// horizontal ones), dark film with five rounded perforations, drawn at the
// screen's pixel ratio so it stays sharp when scaled.
const QPixmap& FrameStripView::SprocketTile(int direction, qreal dpr) {
    const int slot = direction == kHorizontal ? 1 : 0;
    if (sprocketDpr_[slot] == dpr && !sprocket_[slot].isNull()) return sprocket_[slot];
    const bool vertical = direction != kHorizontal;
    const QSize size = vertical ? QSize(kSprocketThickness, kSprocketLength) : QSize(kSprocketLength, kSprocketThickness);
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(QColor(0x2b, 0x2b, 0x2b));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe6, 0xe6, 0xe0));
    for (int i = 0; i < 5; ++i) {
        const qreal along = 4 + i * 18;
        const QRectF hole = vertical ? QRectF(2, along, 7, 10) : QRectF(along, 2, 10, 7);
        p.drawRoundedRect(hole, 1.5, 1.5);
    }
    p.end();
    sprocket_[slot] = pm;
    sprocketDpr_[slot] = dpr;
    return sprocket_[slot];
}

void FrameStripView::PaintStrip(QPainter& p, int s) {
    const CellMetrics& m = layout_.metrics;
    const bool vertical = m.direction == kVertical;
    const int length = StripLength(layout_, s);
    const int across = s * m.stripBreadth;
    auto rect = [&](int a0, int along0, int a_len, int along_len) {
        return vertical ? QRect(a0, along0, a_len, along_len) : QRect(along0, a0, along_len, a_len);
    };
    // The raised edge around the strip.
    const QRect edge = rect(across + 1, 1, m.stripBreadth - 2, length + 2 * m.margin - 2);
    const QPalette& pal = palette();
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(edge.topLeft(), edge.topRight());
    p.drawLine(edge.topLeft(), edge.bottomLeft());
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(edge.bottomLeft(), edge.bottomRight());
    p.drawLine(edge.topRight(), edge.bottomRight());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(edge.bottomLeft() + QPoint(1, -1), edge.bottomRight() + QPoint(-1, -1));
    p.drawLine(edge.topRight() + QPoint(-1, 1), edge.bottomRight() + QPoint(-1, -1));
    // The sprocket band, tiled from the margin along the strip.
    const QPixmap& tile = SprocketTile(m.direction, devicePixelRatioF());
    p.drawTiledPixmap(rect(across + 4, m.margin, kSprocketThickness, length), tile);
}

void FrameStripView::PaintCell(QPainter& p, int index) {
    const CellMetrics& m = layout_.metrics;
    const Point o = CellOrigin(layout_, index);
    const bool selected = index == engine_.State().selected;
    p.fillRect(QRect(o.x + 1, o.y + 1, m.zw + 6, m.zh + 6), selected ? QColor(255, 0, 0) : FaceColor());
    p.fillRect(QRect(o.x + 3, o.y + 3, m.zw + 2, m.zh + 2), Qt::black);
    const QRect area(o.x + 4, o.y + 4, m.zw, m.zh);
    p.fillRect(area, FaceColor());
    const Frame* f = engine_.Doc()->FrameAt(index);
    const QImage* picture = f ? PictureOf(index) : nullptr;
    if (!picture) return;
    const strip::Rect fr = ScaledFrameRect(zoom_, f->left, f->top, picture->width(), picture->height());
    if (fr.w <= 0 || fr.h <= 0) return;
    p.save();
    p.setClipRect(area, Qt::IntersectClip);
    p.drawImage(QRect(area.x() + fr.x, area.y() + fr.y, fr.w, fr.h), *picture);
    p.restore();
}

void FrameStripView::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QRect r = event->rect();
    p.fillRect(r, FaceColor());
    if (!layout_.hasAnimation || !engine_.Doc() || layout_.stripCount == 0) return;
    const bool vertical = layout_.metrics.direction == kVertical;
    const int hpos = layout_.HorizontalBar().pos, vpos = layout_.VerticalBar().pos;
    const StripSpan span = vertical ? StripsAcross(layout_, r.left(), r.right() + 1)
                                    : StripsAcross(layout_, r.top(), r.bottom() + 1);
    p.save();
    p.translate(-hpos, -vpos);
    p.setClipRect(r.translated(hpos, vpos));
    const QRect content = r.translated(hpos, vpos);
    const int cells = layout_.cellsPerStrip;
    for (int s = span.first; s <= span.last; ++s) {
        PaintStrip(p, s);
        const int first = s * cells, last = std::min(layout_.frameCount, first + cells) - 1;
        for (int k = first; k <= last; ++k) {
            const Point o = CellOrigin(layout_, k);
            if (QRect(o.x, o.y, layout_.metrics.zw + 8, layout_.metrics.zh + 8).intersects(content)) PaintCell(p, k);
        }
    }
    p.restore();
    if (dragging_ && insertion_.index >= 0) {
        // The marker: an inverted 2-pixel line across the gap, with an arrow at
        // each end pointing at it.
        const QRect line = MarkerShown();
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(line, Qt::white);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPolygon a, b;
        if (vertical) {
            const int cy = line.center().y();
            a << QPoint(line.left() - 8, cy - 4) << QPoint(line.left() - 1, cy) << QPoint(line.left() - 8, cy + 4);
            b << QPoint(line.right() + 8, cy - 4) << QPoint(line.right() + 1, cy) << QPoint(line.right() + 8, cy + 4);
        } else {
            const int cx = line.center().x();
            a << QPoint(cx - 4, line.top() - 8) << QPoint(cx, line.top() - 1) << QPoint(cx + 4, line.top() - 8);
            b << QPoint(cx - 4, line.bottom() + 8) << QPoint(cx, line.bottom() + 1) << QPoint(cx + 4, line.bottom() + 8);
        }
        p.drawPolygon(a);
        p.drawPolygon(b);
    }
}

QRect FrameStripView::MarkerShown() const {
    if (!dragging_ || insertion_.index < 0) return {};
    return ToQRect(MarkerRect(layout_, insertion_));
}

void FrameStripView::UpdateCell(int index) {
    if (!layout_.hasAnimation || index < 0 || index >= layout_.frameCount) return;
    const Point o = CellOrigin(layout_, index);
    const QRect cell(o.x - layout_.HorizontalBar().pos, o.y - layout_.VerticalBar().pos, layout_.metrics.zw + 8,
                     layout_.metrics.zh + 8);
    viewport()->update(cell);
}

void FrameStripView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        ClearCache();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

// ---- mouse --------------------------------------------------------------------------------

void FrameStripView::SelectAt(QPoint pos) {
    const int before = engine_.State().selected;
    engine_.Select(HitTest(layout_, pos.x(), pos.y()));
    const int now = engine_.State().selected;
    if (now == before) return;
    UpdateCell(before);
    UpdateCell(now);
    shownSelection_ = now;
    emit selectionChanged(now);
}

void FrameStripView::mousePressEvent(QMouseEvent* event) {
    if (!engine_.Doc() || dragging_) return;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
    setFocus(Qt::MouseFocusReason);
    press_ = event->position().toPoint();
    SelectAt(press_);
    armed_ = event->button() == Qt::LeftButton && engine_.State().selected >= 0;
}

void FrameStripView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!engine_.Doc() || event->button() != Qt::LeftButton) return;
    press_ = event->position().toPoint();
    SelectAt(press_);
    armed_ = false;
    emit commandRequested(engine_.State().selected >= 0 ? CommandId::FrameProperties
                                                        : CommandId::AnimationProperties);
}

void FrameStripView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!armed_ || !(event->buttons() & Qt::LeftButton)) return;
    if (!dragging_) {
        if (!DragStarts({press_.x(), press_.y()}, {pos.x(), pos.y()})) return;
        dragging_ = true;
        framesAtDragStart_ = engine_.State().FrameCount();
        viewport()->setCursor(Qt::SizeAllCursor);
    }
    UpdateInsertion(pos);
}

void FrameStripView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        armed_ = false;
        if (dragging_) {
            UpdateInsertion(event->position().toPoint());
            EndDrag(true);
        }
    } else if (event->button() == Qt::RightButton && engine_.Doc() && !dragging_) {
        ShowContextMenu(event->globalPosition().toPoint());
    }
}

void FrameStripView::UpdateInsertion(QPoint pos) {
    lastPointer_ = pos;
    const QRect old = MarkerShown();
    insertion_ = InsertionAt(layout_, ClientSize(), pos.x(), pos.y(), framesAtDragStart_);
    const QRect now = MarkerShown();
    if (old != now) {
        if (!old.isNull()) viewport()->update(old.adjusted(-10, -10, 10, 10));
        if (!now.isNull()) viewport()->update(now.adjusted(-10, -10, 10, 10));
    }
    if (insertion_.autoScroll) {
        if (!autoScroll_.isActive()) autoScroll_.start(kAutoScrollMs, this);
    } else {
        autoScroll_.stop();
    }
}

void FrameStripView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    if (!dragging_ || !insertion_.autoScroll) {
        autoScroll_.stop();
        return;
    }
    const bool horizontal = AcrossBar(orientation_) == Bar::Horizontal;
    const int extent = horizontal ? viewport()->width() : viewport()->height();
    const int pos = ScrollPosition(layout_.across, *insertion_.autoScroll, extent);
    (horizontal ? horizontalScrollBar() : verticalScrollBar())->setValue(pos);
    UpdateInsertion(lastPointer_);
}

void FrameStripView::EndDrag(bool drop) {
    const Insertion ins = insertion_;
    const QRect marker = MarkerShown();
    dragging_ = false;
    armed_ = false;
    autoScroll_.stop();
    viewport()->unsetCursor();
    insertion_ = {};
    if (!marker.isNull()) viewport()->update(marker.adjusted(-10, -10, 10, 10));
    if (!drop) return;
    const auto move = DropMove(engine_.State().selected, ins.index);
    if (!move) return;
    const CommandResult r = engine_.MoveFrame(move->from, move->insertion);
    if (!r.Ok()) return;
    Refresh(r.refresh);
    emit documentChanged(r);
    emit selectionChanged(engine_.State().selected);
}

// ---- keys, menus, drops -----------------------------------------------------------------------

void FrameStripView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && dragging_) {
        EndDrag(false);
        return;
    }
    if (ScrollKey(event->key())) return;
    QAbstractScrollArea::keyPressEvent(event);
}

void FrameStripView::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu opens when the right button is released; this is the
    // keyboard's (the Menu key), shown at the selected cell.
    if (event->reason() != QContextMenuEvent::Keyboard || !engine_.Doc()) return;
    QPoint at(8, 8);
    const int sel = engine_.State().selected;
    if (sel >= 0) {
        const strip::Rect r = CellImageRect(layout_, sel);
        at = QPoint(r.x - layout_.HorizontalBar().pos + 8, r.y - layout_.VerticalBar().pos + 8);
    }
    ShowContextMenu(viewport()->mapToGlobal(at));
}

void FrameStripView::ShowContextMenu(QPoint global) {
    QMenu menu(this);
    menu.setObjectName("StripContextMenu");
    FillStripContextMenu(menu, engine_);
    if (QAction* chosen = menu.exec(global)) {
        if (const auto id = StripMenuCommand(chosen)) emit commandRequested(*id);
    }
}

namespace {

QStringList LocalFiles(const QMimeData* mime) {
    QStringList out;
    if (!mime || !mime->hasUrls()) return out;
    for (const QUrl& u : mime->urls())
        if (u.isLocalFile()) out << u.toLocalFile();
    return out;
}

}  // namespace

void FrameStripView::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FrameStripView::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FrameStripView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    const QPoint pos = event->position().toPoint();
    emit filesDropped(paths, HitTest(layout_, pos.x(), pos.y()));
}

}  // namespace cinemill
