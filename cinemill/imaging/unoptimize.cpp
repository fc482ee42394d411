// Unoptimize: every frame becomes the full picture shown at that frame.
#include "cinemill/imaging/unoptimize.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/imaging/optimize.h"

namespace cinemill {

namespace {

// The screen as a viewer sees it: palette indexes and where nothing shows.
struct Canvas {
    int w = 0, h = 0;
    std::vector<uint8_t> index;
    std::vector<uint8_t> shown;  // 0 where nothing is drawn (transparent)

    void Draw(const Frame& f) {
        if (!f.bitmap) return;
        const FrameBitmap& b = *f.bitmap;
        const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
        const int x1 = static_cast<int>(std::min<int64_t>(int64_t{f.left} + b.width, w));
        const int y1 = static_cast<int>(std::min<int64_t>(int64_t{f.top} + b.height, h));
        for (int y = y0; y < y1; ++y) {
            const uint8_t* row = b.Row(y - f.top);
            for (int x = x0; x < x1; ++x) {
                const uint8_t p = row[x - f.left];
                if (f.Transparent() && p == f.transparentIndex) continue;
                const size_t i = static_cast<size_t>(y) * w + x;
                index[i] = p;
                shown[i] = 1;
            }
        }
    }
    void Clear(const Frame& f) {
        const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
        const int x1 = static_cast<int>(std::min<int64_t>(int64_t{f.left} + f.width, w));
        const int y1 = static_cast<int>(std::min<int64_t>(int64_t{f.top} + f.height, h));
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) shown[static_cast<size_t>(y) * w + x] = 0;
    }
};

struct Converted {
    FrameBitmap bitmap;
    bool transparent = false;
    uint8_t transparentIndex = 0;
    bool hasClear = false;
};

// True when a full-screen frame drawn over `under` (1 where the screen shows
// something) would let it show through a pixel the frame leaves transparent.
bool KeepDisposalHidesPicture(const Converted& cv, const std::vector<uint8_t>& under) {
    if (!cv.transparent) return false;
    const FrameBitmap& b = cv.bitmap;
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        const size_t base = static_cast<size_t>(y) * b.width;
        for (int x = 0; x < b.width; ++x)
            if (row[x] == cv.transparentIndex && under[base + x]) return true;
    }
    return false;
}

// Updates `under` to what the screen shows after a full-screen frame is drawn
// over it and disposed of with `disposal`.
void LeaveBehind(const Converted& cv, int disposal, std::vector<uint8_t>& under) {
    if (disposal == kDisposePrevious) return;  // the screen goes back to what it was
    if (disposal == kDisposeBackground) {
        std::fill(under.begin(), under.end(), uint8_t{0});
        return;
    }
    const FrameBitmap& b = cv.bitmap;
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        const size_t base = static_cast<size_t>(y) * b.width;
        for (int x = 0; x < b.width; ++x)
            if (!cv.transparent || row[x] != cv.transparentIndex) under[base + x] = 1;
    }
}

}  // namespace

Result Unoptimize(Animation& a, UiHost& host, ProgressReporter& progress, int* disposals_changed) {
    if (disposals_changed) *disposals_changed = 0;
    const auto frames = a.Frames();
    for (const Frame* f : frames)
        if (f->localPalette) {
            Tell(host, StringId::UnoptimizeLocalPalettes);
            return Result::Failed;
        }
    Canvas c;
    c.w = static_cast<int>(a.width);
    c.h = static_cast<int>(a.height);
    const uint64_t area = uint64_t(a.width) * a.height;
    // Every frame becomes a full screen: refuse sizes that cannot sensibly be held.
    if (area == 0 || area > (uint64_t{1} << 27) || area * frames.size() > (uint64_t{1} << 31) || frames.empty()) {
        Tell(host, StringId::UnoptimizeNoMemory);
        return Result::Failed;
    }
    try {
        c.index.assign(area, a.backgroundIndex);
        c.shown.assign(area, 0);
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::UnoptimizeNoMemory);
        return Result::Failed;
    }
    progress.SetText(StringId::Unoptimizing);
    progress.SetRange(static_cast<int64_t>(frames.size()));
    const int palette_size = a.globalPalette ? a.globalPalette->size() : 0;
    bool need_slot_entry = false;
    std::vector<Converted> out;
    bool out_of_memory = false;
    for (const Frame* f : frames) {
        Canvas before;
        const int d = f->Disposal();
        if (d == kDisposePrevious) before = c;
        c.Draw(*f);
        auto bmp = FrameBitmap::Create(c.w, c.h);
        if (!bmp) {
            out_of_memory = true;
            break;
        }
        Converted cv;
        std::array<bool, 256> used{};
        for (int y = 0; y < c.h; ++y) {
            uint8_t* row = bmp->Row(y);
            const size_t base = static_cast<size_t>(y) * c.w;
            for (int x = 0; x < c.w; ++x) {
                if (c.shown[base + x]) {
                    row[x] = c.index[base + x];
                    used[row[x]] = true;
                } else {
                    cv.hasClear = true;
                }
            }
        }
        if (cv.hasClear) {
            // Where nothing shows the new frame is transparent, with an index
            // that none of its visible pixels uses.
            int slot = -1;
            for (int i = 0; i < 256; ++i)
                if (!used[static_cast<size_t>(i)]) {
                    slot = i;
                    break;
                }
            if (slot < 0) {
                // Every index is visible: the background colour stands in.
                slot = a.backgroundIndex;
                cv.transparent = false;
            } else {
                cv.transparent = true;
                if (slot >= palette_size) need_slot_entry = true;
            }
            for (int y = 0; y < c.h; ++y) {
                uint8_t* row = bmp->Row(y);
                const size_t base = static_cast<size_t>(y) * c.w;
                for (int x = 0; x < c.w; ++x)
                    if (!c.shown[base + x]) row[x] = static_cast<uint8_t>(slot);
            }
            cv.transparentIndex = static_cast<uint8_t>(slot);
        }
        cv.bitmap = std::move(*bmp);
        out.push_back(std::move(cv));
        if (d == kDisposePrevious) c = std::move(before);
        else if (d == kDisposeBackground) c.Clear(*f);
        if (!progress.Step()) return Result::Stopped;
    }
    if (out.empty()) {
        Tell(host, out_of_memory ? StringId::UnoptimizeNoMemory : StringId::UnoptimizeIncomplete);
        return Result::Failed;
    }
    std::vector<uint8_t> under;  // where the new frames leave something showing,
                                 // made before the document changes
    try {
        under.assign(area, 0);
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::UnoptimizeNoMemory);
        return Result::Failed;
    }
    if (need_slot_entry) {
        // Transparent indexes past the palette's end get black entries.
        int top = palette_size;
        for (const Converted& cv : out)
            if (cv.transparent) top = std::max(top, cv.transparentIndex + 1);
        Palette p = a.globalPalette ? *a.globalPalette : Palette{};
        p.entries.resize(static_cast<size_t>(top));
        SetGlobalPalette(a, std::move(p));
    }
    int changed = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        Frame& f = *frames[i];
        if (i > 0 && KeepDisposalHidesPicture(out[i], under)) {
            // What the frame before leaves behind would show through where
            // this frame must show nothing: that frame clears the screen instead.
            SetDisposal(*frames[i - 1], kDisposeBackground);
            std::fill(under.begin(), under.end(), uint8_t{0});
            ++changed;
        }
        LeaveBehind(out[i], f.Disposal(), under);
        SetBitmap(f, std::move(out[i].bitmap));
        f.left = 0;
        f.top = 0;
        SetTransparent(f, out[i].transparent);
        if (out[i].transparent) f.transparentIndex = out[i].transparentIndex;
    }
    if (disposals_changed) *disposals_changed = changed;
    RecountColorUsage(a, true);
    a.cachedSize = -1;
    if (out_of_memory) {
        Tell(host, StringId::UnoptimizeIncomplete);
        return Result::Failed;
    }
    return Result::Done;
}

}  // namespace cinemill
