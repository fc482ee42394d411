#include "cinemill/app/strip_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace cinemill::strip {

int ClampZoomLevel(int level) { return std::clamp(level, kMinZoomLevel, kMaxZoomLevel); }

Zoom ZoomForLevelUnbounded(int level) {
    if (level >= 0) return {level + 1, 1};
    return {1, 1 - level};
}

Zoom ZoomForLevel(int level) { return ZoomForLevelUnbounded(ClampZoomLevel(level)); }

int ZoomPercent(Zoom z) { return z.den > 0 ? z.num * 100 / z.den : 0; }

int AutomaticDirection(uint32_t width, uint32_t height) { return height < width ? kVertical : kHorizontal; }

int OrientationForScreen(int orientation, uint32_t width, uint32_t height) {
    if (orientation & kChosen) return orientation;
    return AutomaticDirection(width, height);
}

int ApplyOrientationChoice(int current, int choice, uint32_t width, uint32_t height) {
    if (choice == kChooseHorizontal || choice == kChooseVertical) return choice;
    if (current & kChosen) return AutomaticDirection(width, height);
    return current;
}

uint32_t FlagsWithChoice(uint32_t flags, int choice) {
    flags &= ~(kFlagVerticalChosen | kFlagHorizontalChosen);
    if (choice == kChooseVertical) flags |= kFlagVerticalChosen;
    else if (choice == kChooseHorizontal) flags |= kFlagHorizontalChosen;
    return flags;
}

int ChoiceFromFlags(uint32_t flags) {
    if (flags & kFlagHorizontalChosen) return kChooseHorizontal;
    if (flags & kFlagVerticalChosen) return kChooseVertical;
    return kChooseDefault;
}

CellMetrics ComputeMetrics(int orientation, uint32_t width, uint32_t height, Zoom z) {
    CellMetrics m;
    m.direction = Direction(orientation) == kHorizontal ? kHorizontal : kVertical;
    const int64_t den = z.den > 0 ? z.den : 1;
    // Screens are at most 65535 pixels a side, so the zoomed size fits an int.
    m.zw = static_cast<int>(int64_t{z.num} * width / den);
    m.zh = static_cast<int>(int64_t{z.num} * height / den);
    if (m.direction == kVertical) {
        m.stripBreadth = kSprocketThickness + m.zw + 16;
        m.cellLength = m.zh + 8;
    } else {
        m.stripBreadth = kSprocketThickness + m.zh + 16;
        m.cellLength = m.zw + 8;
    }
    m.bandExtent = kSprocketThickness + 4;
    m.margin = kMargin;
    return m;
}

bool SetScrollRange(ScrollBar& bar, int range, int page) {
    bar.range = std::max(0, range);
    bar.page = std::max(0, page);
    if (bar.Fits()) {
        const bool changed = bar.pos != 0;
        bar.pos = 0;
        return changed;
    }
    if (bar.pos > bar.MaxPos()) {
        bar.pos = bar.MaxPos();
        return true;
    }
    if (bar.pos < 0) {
        bar.pos = 0;
        return true;
    }
    return false;
}

int StripLayout::AlongExtent(Client c) const { return metrics.direction == kVertical ? c.height : c.width; }
int StripLayout::AcrossExtent(Client c) const { return metrics.direction == kVertical ? c.width : c.height; }
const ScrollBar& StripLayout::HorizontalBar() const { return metrics.direction == kVertical ? across : along; }
const ScrollBar& StripLayout::VerticalBar() const { return metrics.direction == kVertical ? along : across; }

StripLayout Layout(const CellMetrics& m, int frame_count, Client client, const StripLayout& previous) {
    StripLayout l;
    l.hasAnimation = true;
    l.metrics = m;
    l.frameCount = std::max(0, frame_count);
    // Positions carry over only while the direction is the same.
    if (previous.hasAnimation && previous.metrics.direction == m.direction) {
        l.along.pos = previous.along.pos;
        l.across.pos = previous.across.pos;
    }
    const int along_extent = l.AlongExtent(client);
    const int across_extent = l.AcrossExtent(client);
    if (SetScrollRange(l.along, m.cellLength + 2 * m.margin, along_extent)) l.erase = true;
    const int cell = std::max(1, m.cellLength);
    l.cellsPerStrip = std::max(1, (along_extent - 2 * m.margin) / cell);
    l.stripCount = (l.frameCount + l.cellsPerStrip - 1) / l.cellsPerStrip;
    if (l.cellsPerStrip != previous.cellsPerStrip) l.erase = true;
    const int64_t across_range = int64_t{l.stripCount} * m.stripBreadth;
    if (SetScrollRange(l.across, static_cast<int>(std::min<int64_t>(across_range, INT32_MAX)), across_extent))
        l.erase = true;
    return l;
}

StripLayout EmptyLayout() {
    StripLayout l;
    l.erase = true;
    return l;
}

Point CellOrigin(const StripLayout& l, int index) {
    const int strip = index / l.cellsPerStrip, pos = index % l.cellsPerStrip;
    const int across = l.metrics.bandExtent + strip * l.metrics.stripBreadth;
    const int along = l.metrics.margin + pos * l.metrics.cellLength;
    return l.metrics.direction == kVertical ? Point{across, along} : Point{along, across};
}

Rect CellImageRect(const StripLayout& l, int index) {
    const Point o = CellOrigin(l, index);
    return {o.x + 4, o.y + 4, l.metrics.zw, l.metrics.zh};
}

int StripLength(const StripLayout& l, int strip) {
    if (strip < 0 || strip >= l.stripCount) return 0;
    const int cells = strip == l.stripCount - 1 ? l.frameCount - strip * l.cellsPerStrip : l.cellsPerStrip;
    return cells * l.metrics.cellLength;
}

int HitTest(const StripLayout& l, int x, int y) {
    if (!l.hasAnimation || l.stripCount == 0) return -1;
    const bool vertical = l.metrics.direction == kVertical;
    const int64_t c = int64_t{vertical ? x : y} + l.across.pos;
    const int64_t a = int64_t{vertical ? y : x} + l.along.pos;
    if (c < 0 || l.metrics.stripBreadth <= 0) return -1;
    const int64_t strip = c / l.metrics.stripBreadth;
    if (strip >= l.stripCount || c % l.metrics.stripBreadth <= l.metrics.bandExtent) return -1;
    if (a <= l.metrics.margin) return -1;
    const int64_t cell = (a - l.metrics.margin) / l.metrics.cellLength;
    if (cell >= l.cellsPerStrip) return -1;
    const int64_t index = strip * l.cellsPerStrip + cell;
    return index < l.frameCount ? static_cast<int>(index) : -1;
}

bool DragStarts(Point press, Point now) {
    return std::abs(now.x - press.x) > 2 || std::abs(now.y - press.y) > 2;
}

Insertion InsertionAt(const StripLayout& l, Client client, int x, int y, int frames_at_drag_start) {
    Insertion ins;
    if (!l.hasAnimation || l.stripCount == 0) return ins;
    const bool vertical = l.metrics.direction == kVertical;
    const int across_pos = vertical ? x : y;
    const int along_pos = vertical ? y : x;
    const int across_extent = l.AcrossExtent(client);
    int strip;
    if (across_pos < 0) {
        // Before the client area: the first strip once the view is scrolled to
        // the start, otherwise scroll towards it.
        if (l.across.pos > 0) {
            ins.autoScroll = ScrollAction::LineUp;
            return ins;
        }
        strip = 0;
    } else if (across_pos >= across_extent) {
        if (l.across.pos < l.across.MaxPos()) {
            ins.autoScroll = ScrollAction::LineDown;
            return ins;
        }
        strip = l.stripCount - 1;
    } else {
        strip = static_cast<int>((int64_t{across_pos} + l.across.pos) / l.metrics.stripBreadth);
        if (strip >= l.stripCount) return ins;
    }
    const int64_t along = int64_t{along_pos} + l.along.pos + l.metrics.cellLength / 2;
    const int slot = static_cast<int>(std::clamp<int64_t>(along / l.metrics.cellLength, 0, l.cellsPerStrip));
    ins.strip = strip;
    ins.index = std::min(strip * l.cellsPerStrip + slot, std::max(0, frames_at_drag_start));
    return ins;
}

Rect MarkerRect(const StripLayout& l, const Insertion& ins) {
    if (ins.index < 0 || ins.strip < 0) return {};
    const int slot = std::clamp(ins.index - ins.strip * l.cellsPerStrip, 0, l.cellsPerStrip);
    const int along = l.metrics.margin + slot * l.metrics.cellLength - l.along.pos;
    const int across = ins.strip * l.metrics.stripBreadth + l.metrics.bandExtent + 4 - l.across.pos;
    if (l.metrics.direction == kVertical) return {across, along, l.metrics.zw, 2};
    return {along, across, 2, l.metrics.zh};
}

std::optional<FrameMove> DropMove(int selected, int insertion) {
    if (insertion < 0 || selected < 0 || insertion == selected || insertion == selected + 1) return std::nullopt;
    FrameMove m;
    m.from = selected;
    m.insertion = insertion;
    m.to = selected < insertion ? insertion - 1 : insertion;
    return m;
}

int ScrollToSelected(const StripLayout& l, int selected) {
    if (!l.hasAnimation || selected < 0 || selected >= l.frameCount) return l.across.pos;
    const int64_t pos = int64_t{selected / l.cellsPerStrip} * l.metrics.stripBreadth;
    return static_cast<int>(std::clamp<int64_t>(pos, 0, l.across.MaxPos()));
}

int ScrollPosition(const ScrollBar& bar, ScrollAction action, int extent, int thumb) {
    if (bar.Fits()) return bar.pos;
    const int line = extent / 16 + 1, page = extent / 2 + 1;
    int64_t pos = bar.pos;
    switch (action) {
        case ScrollAction::LineUp: pos -= line; break;
        case ScrollAction::LineDown: pos += line; break;
        case ScrollAction::PageUp: pos -= page; break;
        case ScrollAction::PageDown: pos += page; break;
        case ScrollAction::Top: pos = 0; break;
        case ScrollAction::Bottom: pos = bar.MaxPos(); break;
        case ScrollAction::ThumbPosition:
        case ScrollAction::ThumbTrack: pos = thumb; break;
        case ScrollAction::EndScroll: break;
    }
    return static_cast<int>(std::clamp<int64_t>(pos, 0, bar.MaxPos()));
}

Bar AcrossBar(int orientation) { return Direction(orientation) == kHorizontal ? Bar::Vertical : Bar::Horizontal; }

KeyScroll KeyPressScroll(int orientation, Key key) {
    switch (key) {
        case Key::PageUp: return {AcrossBar(orientation), ScrollAction::PageUp};
        case Key::PageDown: return {AcrossBar(orientation), ScrollAction::PageDown};
        case Key::End: return {AcrossBar(orientation), ScrollAction::Bottom};
        case Key::Home: return {AcrossBar(orientation), ScrollAction::Top};
        case Key::Left: return {Bar::Horizontal, ScrollAction::LineUp};
        case Key::Right: return {Bar::Horizontal, ScrollAction::LineDown};
        case Key::Up: return {Bar::Vertical, ScrollAction::LineUp};
        case Key::Down: return {Bar::Vertical, ScrollAction::LineDown};
    }
    return {Bar::Vertical, ScrollAction::EndScroll};
}

KeyScroll KeyReleaseScroll(Key key) {
    switch (key) {
        case Key::End:
        case Key::Home:
        case Key::Left:
        case Key::Right: return {Bar::Horizontal, ScrollAction::EndScroll};
        default: return {Bar::Vertical, ScrollAction::EndScroll};
    }
}

}  // namespace cinemill::strip
