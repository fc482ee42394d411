#include "cinemill/formats/filmstrip.h"

#include <algorithm>

#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/tell.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill {
namespace {

constexpr int64_t kMaxGifSide = 65535;

}  // namespace

std::optional<StringId> FilmstripExportProblem(const Animation& a) {
    const auto frames = a.Frames();
    if (!frames.empty()) {
        const Frame& first = *frames.front();
        for (const Frame* f : frames) {
            if (f->Transparent() != first.Transparent() ||
                (f->Transparent() && f->transparentIndex != first.transparentIndex))
                return StringId::FilmstripTransparency;
        }
    }
    for (const Frame* f : frames)
        if (f->localPalette) return StringId::FilmstripLocalPalettes;
    return std::nullopt;
}

FilmstripExportOptions DefaultFilmstripExportOptions(const Animation& a) {
    FilmstripExportOptions o;
    o.vertical = a.width >= a.height;
    o.framesPerStrip = std::max(1, a.FrameCount());
    return o;
}

std::pair<int64_t, int64_t> FilmstripImageSize(const Animation& a, const FilmstripExportOptions& o) {
    const int64_t n = a.FrameCount();
    const int64_t k = std::max(1, o.framesPerStrip);
    const int64_t strips = (n + k - 1) / k;
    const int64_t w = a.width, h = a.height;
    if (o.vertical) return {strips * w, k * h};
    return {k * w, strips * h};
}

std::unique_ptr<Animation> BuildFilmstrip(const Animation& a, const FilmstripExportOptions& o,
                                          UiHost& host, const PreferenceBlock& prefs) {
    const int count = a.FrameCount();
    if (o.framesPerStrip < 1 || count < 1) {
        Tell(host, StringId::FilmstripZero);
        return nullptr;
    }
    FilmstripExportOptions opts = o;
    opts.framesPerStrip = std::min(opts.framesPerStrip, count);
    const auto [iw, ih] = FilmstripImageSize(a, opts);
    if (iw < 1 || ih < 1 || iw > kMaxGifSide || ih > kMaxGifSide) {
        Tell(host, StringId::FilmstripTooLarge);
        return nullptr;
    }
    auto strip = HeaderCopy(a);
    strip->blocks.clear();
    strip->width = static_cast<uint32_t>(iw);
    strip->height = static_cast<uint32_t>(ih);
    strip->hotspot = a.hotspot;
    if (a.globalPalette) SetGlobalPalette(*strip, *a.globalPalette);
    auto bmp = FrameBitmap::Create(static_cast<int>(iw), static_cast<int>(ih));
    if (!bmp) {
        Tell(host, StringId::FilmstripNoMemory);
        return nullptr;
    }
    const int entries = a.globalPalette ? a.globalPalette->size() : 0;
    const uint8_t bg = a.backgroundIndex < entries ? a.backgroundIndex : 0;
    for (int y = 0; y < bmp->height; ++y) std::fill_n(bmp->Row(y), bmp->width, bg);

    const int64_t cw = a.width, ch = a.height;
    int64_t cx = 0, cy = 0;
    for (const Frame* f : a.Frames()) {
        if (f->bitmap) {
            // The part of the frame inside its cell.
            const int64_t x0 = std::max<int64_t>(0, f->left), y0 = std::max<int64_t>(0, f->top);
            const int64_t x1 = std::min<int64_t>(cw, int64_t{f->left} + f->bitmap->width);
            const int64_t y1 = std::min<int64_t>(ch, int64_t{f->top} + f->bitmap->height);
            for (int64_t y = y0; y < y1; ++y) {
                const uint8_t* s = f->bitmap->Row(static_cast<int>(y - f->top));
                uint8_t* d = bmp->Row(static_cast<int>(cy + y));
                for (int64_t x = x0; x < x1; ++x) d[cx + x] = s[x - f->left];
            }
        }
        if (opts.vertical) {
            cy += ch;
            if (cy >= ih) {
                cy = 0;
                cx += cw;
            }
        } else {
            cx += cw;
            if (cx >= iw) {
                cx = 0;
                cy += ch;
            }
        }
    }
    auto frame = NewFrame(static_cast<int32_t>(iw), static_cast<int32_t>(ih), prefs);
    const Frame& first = *a.FrameAt(0);
    frame->transparentIndex = first.transparentIndex;
    if (first.Transparent()) frame->controlFlags |= kCtlTransparent;
    SetBitmap(*frame, std::move(*bmp));
    strip->blocks.push_back(std::move(frame));
    return strip;
}

Result ExportFilmstrip(const Animation& a, const std::string& path, UiHost& host,
                       const PreferenceBlock& prefs) {
    if (a.FrameCount() < 1) {
        Tell(host, StringId::FilmstripZero);
        return Result::Failed;
    }
    if (auto problem = FilmstripExportProblem(a)) {
        Tell(host, *problem);
        return Result::Failed;
    }
    auto opts = host.AskFilmstripExport(DefaultFilmstripExportOptions(a), a.FrameCount());
    if (!opts) return Result::Stopped;
    auto strip = BuildFilmstrip(a, *opts, host, prefs);
    if (!strip) return Result::Failed;
    SilentProgress progress;
    return SaveGif(path, *strip, host, progress);
}

std::optional<StringId> FilmstripImportProblem(uint32_t width, uint32_t height,
                                               const FilmstripImportOptions& o) {
    if (o.framesPerRow < 1 || o.framesPerColumn < 1) return StringId::FilmstripZero;
    if (width % static_cast<uint32_t>(o.framesPerRow) != 0) return StringId::FilmstripHorizontal;
    if (height % static_cast<uint32_t>(o.framesPerColumn) != 0) return StringId::FilmstripVertical;
    return std::nullopt;
}

bool CutFilmstrip(Animation& a, const FilmstripImportOptions& o, UiHost& host,
                  const PreferenceBlock& prefs) {
    if (a.FrameCount() != 1) {
        Tell(host, StringId::FilmstripNotStrip);
        return false;
    }
    if (auto problem = FilmstripImportProblem(a.width, a.height, o)) {
        Tell(host, *problem);
        return false;
    }
    const int pos = static_cast<int>(a.BlockPosOfFrame(0));
    const Frame& src = *a.FrameAt(0);
    const int cw = static_cast<int>(a.width / static_cast<uint32_t>(o.framesPerRow));
    const int ch = static_cast<int>(a.height / static_cast<uint32_t>(o.framesPerColumn));
    // The cells must fit the document's memory budget (and a frame count an
    // int holds) before the first one is made: a small picture cut into
    // billions of cells would otherwise grow until memory runs out.
    const uint64_t cells_wanted = uint64_t(o.framesPerRow) * uint64_t(o.framesPerColumn);
    const uint64_t cell_bytes = FrameBitmap::BytesFor(cw, ch) + kFrameOverheadBytes;
    if (cells_wanted > uint64_t(INT32_MAX) || cells_wanted > MemoryBudget() / cell_bytes) {
        Tell(host, StringId::FrameImageNoMemory);
        return false;
    }
    const int count = static_cast<int>(cells_wanted);
    std::vector<std::unique_ptr<Block>> cells;
    for (int i = 0; i < count; ++i) {
        int col, row;
        if (o.vertical) {
            col = i / o.framesPerColumn;
            row = i % o.framesPerColumn;
        } else {
            row = i / o.framesPerRow;
            col = i % o.framesPerRow;
        }
        auto bmp = FrameBitmap::Create(cw, ch);
        if (!bmp) {
            Tell(host, StringId::FrameImageNoMemory);
            return false;
        }
        // The screen-sized image is read from the frame's bitmap at the
        // cell's place, whatever the frame's position; pixels the bitmap
        // does not cover stay 0.
        if (src.bitmap) {
            for (int y = 0; y < ch; ++y) {
                const int sy = row * ch + y;
                if (sy >= src.bitmap->height) break;
                const int sx0 = col * cw;
                const int n = std::clamp(src.bitmap->width - sx0, 0, cw);
                if (n > 0) std::copy_n(src.bitmap->Row(sy) + sx0, n, bmp->Row(y));
            }
        }
        auto f = NewFrame(cw, ch, prefs);
        SetBitmap(*f, std::move(*bmp));
        // A palette of the source frame's own stays with every cell, since
        // the pixels index into it.
        if (src.localPalette) SetLocalPalette(*f, *src.localPalette);
        cells.push_back(std::move(f));
    }
    std::string name = src.name;
    a.blocks.erase(a.blocks.begin() + pos);
    a.blocks.insert(a.blocks.begin() + pos, std::make_move_iterator(cells.begin()),
                    std::make_move_iterator(cells.end()));
    a.width = static_cast<uint32_t>(cw);
    a.height = static_cast<uint32_t>(ch);
    NameFrames(a, name);
    RecountColorUsage(a, true);
    return true;
}

ReadOutcome ImportFilmstrip(const std::string& path, UiHost& host, ProgressReporter& progress,
                            const PreferenceBlock& prefs) {
    ReadOutcome r = OpenGifFile(path, host, progress, prefs);
    if (!r.animation) return r;
    if (r.animation->FrameCount() != 1) {
        Tell(host, StringId::FilmstripNotStrip);
        return {};
    }
    auto opts = host.AskFilmstripImport(FilmstripImportOptions{});
    if (!opts || !CutFilmstrip(*r.animation, *opts, host, prefs)) return {};
    return r;
}

}  // namespace cinemill
