#pragma once

#include <cstdint>
#include <optional>

// Geometry of the frame strip view: cell metrics, layout, hit tests, the
// drag-and-drop insertion gap, scrolling. Pure functions of the view's
// numbers, so the Qt view only paints what these answer.
namespace cinemill::strip {

// ---- zoom --------------------------------------------------------------------------

struct Zoom {
    int num = 1, den = 1;
    friend bool operator==(const Zoom&, const Zoom&) = default;
};
constexpr int kMinZoomLevel = -4;
constexpr int kMaxZoomLevel = 3;
int ClampZoomLevel(int level);
// Level L >= 0 gives (L + 1)/1, L < 0 gives 1/(1 - L); the level is clamped.
Zoom ZoomForLevel(int level);
// The same scale without the clamp (the preview zooms without bounds).
Zoom ZoomForLevelUnbounded(int level);
int ZoomPercent(Zoom z);  // n x 100 / d

// ---- orientation -------------------------------------------------------------------

constexpr int kVertical = 1;      // frames top to bottom, strips side by side
constexpr int kHorizontal = 2;    // frames left to right, strips stacked downwards
constexpr int kChosen = 0x1000;   // the user picked the direction
constexpr int kChooseDefault = 0;
constexpr int kChooseHorizontal = kChosen | kHorizontal;
constexpr int kChooseVertical = kChosen | kVertical;

inline int Direction(int orientation) { return orientation & 3; }
// Vertical strips when the screen is wider than high, else horizontal.
int AutomaticDirection(uint32_t width, uint32_t height);
// Setting an animation: a chosen orientation stays, otherwise it follows the shape.
int OrientationForScreen(int orientation, uint32_t width, uint32_t height);
// Set orientation (0, 0x1001 or 0x1002): 0 turns a choice back into the
// automatic value and keeps an automatic one.
int ApplyOrientationChoice(int current, int choice, uint32_t width, uint32_t height);
// The program-flag bits of a choice (0x10 vertical, 0x20 horizontal) and back.
constexpr uint32_t kFlagVerticalChosen = 0x10;
constexpr uint32_t kFlagHorizontalChosen = 0x20;
uint32_t FlagsWithChoice(uint32_t flags, int choice);
int ChoiceFromFlags(uint32_t flags);

// ---- metrics and layout -------------------------------------------------------------

// The sprocket band artwork: 11 x 90 for vertical, 90 x 11 for horizontal strips.
constexpr int kSprocketThickness = 11;
constexpr int kSprocketLength = 90;
constexpr int kMargin = 5;

struct CellMetrics {
    int direction = kVertical;
    int zw = 0, zh = 0;           // zoomed screen size
    int stripBreadth = 0;         // across the strips
    int cellLength = 1;           // along a strip
    int bandExtent = 0;           // the sprocket band beside the cells
    int margin = kMargin;
    friend bool operator==(const CellMetrics&, const CellMetrics&) = default;
};
CellMetrics ComputeMetrics(int orientation, uint32_t width, uint32_t height, Zoom z);

// One scroll bar: range 0..range, page = visible extent, pos in 0..range - page.
struct ScrollBar {
    int range = 0;
    int page = 0;
    int pos = 0;
    bool Fits() const { return range <= page; }
    int MaxPos() const { return range > page ? range - page : 0; }
    friend bool operator==(const ScrollBar&, const ScrollBar&) = default;
};
// Sets range and page; the position stays unless it must be corrected
// (0 when the range fits, range - page when beyond). Answers true when it was.
bool SetScrollRange(ScrollBar& bar, int range, int page);

struct Client {
    int width = 0, height = 0;
};

struct StripLayout {
    bool hasAnimation = false;
    CellMetrics metrics;
    int frameCount = 0;
    int cellsPerStrip = 1;
    int stripCount = 0;
    ScrollBar along;    // the bar in the strip direction
    ScrollBar across;   // the bar across the strips
    bool erase = false; // the window must be erased before repainting

    int AlongExtent(Client c) const;
    int AcrossExtent(Client c) const;
    // The bars by their screen direction.
    const ScrollBar& HorizontalBar() const;
    const ScrollBar& VerticalBar() const;
};

// Lays the frames out in the client area; `previous` carries the scroll
// positions and the old cells per strip (a change of either forces an erase).
StripLayout Layout(const CellMetrics& m, int frame_count, Client client, const StripLayout& previous);
// Without an animation: both bars get range 0 and the window is erased.
StripLayout EmptyLayout();

// A cell's origin in content coordinates (before subtracting the scroll positions).
struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};
Point CellOrigin(const StripLayout& l, int index);
// The frame picture inside its cell (origin + 4, zw x zh), in content coordinates.
Rect CellImageRect(const StripLayout& l, int index);
// The length of strip s along its direction (the last strip holds the rest).
int StripLength(const StripLayout& l, int strip);

// ---- pointer ------------------------------------------------------------------------

// Frame under the client point, or -1 (sprocket band, margins, past the frames).
int HitTest(const StripLayout& l, int x, int y);

// Dragging starts when the pointer left the press point by more than 2 pixels.
bool DragStarts(Point press, Point now);

// Scroll actions of a bar, in the order of the platform's codes.
enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, ThumbPosition, ThumbTrack, Top, Bottom, EndScroll };
enum class Bar { Horizontal, Vertical };

// Where a dragged frame would go: the insertion index (-1 none) and, when
// the pointer lies outside the client area across the strips and the view
// can still scroll that way, the auto-scroll step to take every 100 ms.
struct Insertion {
    int index = -1;
    int strip = -1;  // the strip the gap is in
    std::optional<ScrollAction> autoScroll;
};
Insertion InsertionAt(const StripLayout& l, Client client, int x, int y, int frames_at_drag_start);

// The marker line of an insertion gap (2 pixels thick, as long as the zoomed
// frame), in client coordinates.
Rect MarkerRect(const StripLayout& l, const Insertion& ins);

// Dropping the selected frame before position `insertion`: no move for -1, for
// the selected index and for the one after it. The new index is insertion - 1
// when the frame came from before it, else insertion; the undo step records
// (insertion << 16) | old index.
struct FrameMove {
    int from = 0;
    int insertion = 0;
    int to = 0;
    uint32_t UndoData() const {
        return (static_cast<uint32_t>(insertion) << 16) | static_cast<uint32_t>(from & 0xFFFF);
    }
    friend bool operator==(const FrameMove&, const FrameMove&) = default;
};
std::optional<FrameMove> DropMove(int selected, int insertion);

// ---- scrolling ----------------------------------------------------------------------

// The across position that puts the selected frame's strip first, clamped.
int ScrollToSelected(const StripLayout& l, int selected);

// New position after a scroll action on a bar whose client extent is e
// (lines move e / 16 + 1, pages e / 2 + 1); unchanged while the range fits.
int ScrollPosition(const ScrollBar& bar, ScrollAction action, int extent, int thumb = 0);

// Keys forwarded from the main window and the scroll message each posts.
enum class Key { PageUp, PageDown, End, Home, Left, Right, Up, Down };
struct KeyScroll {
    Bar bar;
    ScrollAction action;
    friend bool operator==(const KeyScroll&, const KeyScroll&) = default;
};
KeyScroll KeyPressScroll(int orientation, Key key);
// Releasing End, Home, Left, Right ends a horizontal scroll, the others a vertical one.
KeyScroll KeyReleaseScroll(Key key);
// The bar across the strips (horizontal for vertical strips).
Bar AcrossBar(int orientation);

}  // namespace cinemill::strip
