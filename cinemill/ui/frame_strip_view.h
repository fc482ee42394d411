#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QImage>
#include <QPixmap>
#include <QStringList>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "cinemill/app/command_id.h"
#include "cinemill/app/engine.h"
#include "cinemill/app/strip_geometry.h"

namespace cinemill {

// The frame strip view: every frame of the engine's document as a cell on a
// drawn film strip, at the engine's zoom, orientation and transparency
// display, wrapped into several strips when the window cannot hold them in
// one. The geometry (metrics, layout, hit tests, the insertion gap, scroll
// steps) comes from cinemill/app/strip_geometry.h; the view only paints it
// and turns input into engine calls or signals.
//
// Public API, for the main window:
//   FrameStripView(Engine&, QWidget* parent)
//   void Refresh(uint32_t refreshFlags)
//       Call after every engine command with CommandResult::refresh:
//       kNewDocument / kDocument / kFrames / kFrameList drop the cached frame
//       pictures and lay the cells out again (zoom and orientation changes
//       answer kFrames); kOneFrame drops that frame's picture; kSelection
//       repaints the old and new selected cells and scrolls the selected
//       frame's strip to the front when its cell is not wholly in view;
//       kRepaint repaints (the transparency display is read at paint time).
//   signal selectionChanged(int index)
//       A click changed the engine's selection (Engine::Select was called).
//   signal commandRequested(CommandId id)
//       Double click (Frame Properties, or Animation Properties outside the
//       frames) and the context menus' items: the main window runs the
//       command as it runs a menu item, then calls Refresh.
//   signal documentChanged(CommandResult result)
//       A drag reorder called Engine::MoveFrame; the view has refreshed
//       itself, the window refreshes the rest by the flags.
//   signal filesDropped(QStringList paths, int frameUnderPoint)
//       Local files dropped on the view; frameUnderPoint is the frame under
//       the drop point or -1. The main window calls Engine::Drop.
// Keys (Page Up/Down, Home, End, the arrows) scroll the view; a main window
// that keeps the focus elsewhere may forward them with ScrollKey.
class FrameStripView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit FrameStripView(Engine& engine, QWidget* parent = nullptr);
    ~FrameStripView() override;

    void Refresh(uint32_t refreshFlags);
    // Scrolls as the key asks; answers false for keys that do not scroll.
    bool ScrollKey(int qtKey);

    // What the view shows, for tests and benchmarks.
    const strip::StripLayout& CurrentLayout() const { return layout_; }
    int Orientation() const { return orientation_; }
    // The insertion gap shown while dragging (-1 when none) and its marker
    // line in viewport coordinates.
    int InsertionShown() const { return insertion_.index; }
    QRect MarkerShown() const;
    bool Dragging() const { return dragging_; }
    bool AutoScrolling() const { return autoScroll_.isActive(); }
    int CachedPictures() const { return static_cast<int>(cache_.size()); }

signals:
    void selectionChanged(int index);
    void commandRequested(cinemill::CommandId id);
    void documentChanged(cinemill::CommandResult result);
    void filesDropped(QStringList paths, int frameUnderPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Picture {
        QImage image;  // the frame at its own size, display colours applied
        std::list<int>::iterator lru;
    };

    strip::Client ClientSize() const;
    void Relayout();
    void PushScrollBars();
    void PullScrollBars();
    void SelectAt(QPoint p);
    void EndDrag(bool drop);
    void UpdateInsertion(QPoint p);
    void ShowContextMenu(QPoint global);
    void ClearCache();
    void DropPicture(int index);
    const QImage* PictureOf(int index);
    uint32_t DisplayPref() const;
    QColor FaceColor() const;
    void PaintStrip(class QPainter& p, int strip);
    void PaintCell(class QPainter& p, int index);
    const QPixmap& SprocketTile(int direction, qreal dpr);
    void UpdateCell(int index);

    Engine& engine_;
    int orientation_ = 0;
    strip::Zoom zoom_;
    uint32_t screenW_ = 0, screenH_ = 0;
    strip::CellMetrics metrics_;
    strip::StripLayout layout_ = strip::EmptyLayout();
    int shownSelection_ = -1;
    bool pushingBars_ = false;

    // Frame pictures by frame index, least recently used first in lru_.
    std::unordered_map<int, Picture> cache_;
    std::list<int> lru_;
    size_t cacheBytes_ = 0;
    uint32_t cachePref_ = 0;
    QRgb cacheFace_ = 0;

    // Drag state.
    bool armed_ = false;
    bool dragging_ = false;
    QPoint press_;
    QPoint lastPointer_;
    int framesAtDragStart_ = 0;
    strip::Insertion insertion_;
    QBasicTimer autoScroll_;

    QPixmap sprocket_[2];
    qreal sprocketDpr_[2] = {0, 0};
};

}  // namespace cinemill

Q_DECLARE_METATYPE(cinemill::CommandId)
Q_DECLARE_METATYPE(cinemill::CommandResult)
