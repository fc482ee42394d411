#pragma once
// Small builders shared by the imaging, optimizer and geometry tests (and by
// the dialog, command-line and fuzz tests that use them): hand-made frames and
// animations, corpus traversal and picture timelines.
#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/animation.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill::testing_support {

inline Palette MakePalette(std::initializer_list<Rgb> colors) {
    Palette p;
    p.entries.assign(colors.begin(), colors.end());
    return p;
}

// A frame of w x h pixels filled by `pixel(x, y)`.
template <typename Fn>
std::unique_ptr<Frame> MakeFrame(int w, int h, Fn pixel) {
    auto f = std::make_unique<Frame>();
    auto bmp = FrameBitmap::Create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>(pixel(x, y));
    SetBitmap(*f, std::move(*bmp));
    f->delay = 10;
    return f;
}

inline std::unique_ptr<Frame> SolidFrame(int w, int h, int index) {
    return MakeFrame(w, h, [index](int, int) { return index; });
}

// A true-colour frame; `color(x, y)` gives the pixel, `alpha(x, y)` the mask byte.
template <typename Fn, typename Alpha>
std::unique_ptr<Frame> MakeTrueColorFrame(int w, int h, Fn color, Alpha alpha, bool with_mask) {
    auto f = std::make_unique<Frame>();
    f->width = w;
    f->height = h;
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    const size_t ms = (static_cast<size_t>(w) + 3) / 4 * 4;
    f->trueColor.assign(stride * static_cast<size_t>(h), 0);
    if (with_mask) f->transparencyPlane.assign(ms * static_cast<size_t>(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = color(x, y);
            uint8_t* p = f->trueColor.data() + stride * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
            if (with_mask) f->transparencyPlane[ms * static_cast<size_t>(y) + static_cast<size_t>(x)] = alpha(x, y);
        }
    return f;
}

inline std::unique_ptr<Animation> MakeAnimation(uint32_t w, uint32_t h, std::optional<Palette> global) {
    auto a = NewAnimation();
    a->width = w;
    a->height = h;
    a->playCount = 0;
    SetGlobalPalette(*a, std::move(global));
    return a;
}

inline void Add(Animation& a, std::unique_ptr<Block> b) {
    a.blocks.push_back(std::move(b));
    RecountColorUsage(a, true);
}

// The GIF bytes the writer makes of a copy (the writer touches the header).
inline std::vector<uint8_t> GifBytes(const Animation& a) {
    auto c = CopyAnimation(a);
    VectorSink sink;
    SilentProgress p;
    WriteGif(sink, *c, p);
    return sink.bytes;
}

// Every pixel of every frame points into its palette in effect.
inline bool AllIndicesValid(const Animation& a) {
    for (const Frame* f : a.Frames()) {
        if (!f->bitmap) continue;
        const Palette* p = PaletteInEffect(a, *f);
        if (!p) return false;
        for (int y = 0; y < f->bitmap->height; ++y)
            for (int x = 0; x < f->bitmap->width; ++x)
                if (f->bitmap->At(x, y) >= p->size()) return false;
        if (f->Transparent() && f->transparentIndex >= p->size()) return false;
    }
    return true;
}

// Per frame, which pixels are transparent.
inline std::vector<std::vector<bool>> TransparentPixels(const Animation& a) {
    std::vector<std::vector<bool>> out;
    for (const Frame* f : a.Frames()) {
        std::vector<bool> t;
        if (f->bitmap)
            for (int y = 0; y < f->bitmap->height; ++y)
                for (int x = 0; x < f->bitmap->width; ++x)
                    t.push_back(f->Transparent() && f->bitmap->At(x, y) == f->transparentIndex);
        out.push_back(std::move(t));
    }
    return out;
}

// ---- positioned frames, corpus files and timelines ----

// A w x h frame at (x, y) whose pixels are given row by row.
inline std::unique_ptr<Frame> MakeFrame(int x, int y, int w, int h, const std::vector<uint8_t>& px,
                                        int disposal = 1, uint32_t delay = 10) {
    auto f = std::make_unique<Frame>();
    auto b = FrameBitmap::Create(w, h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) b->Row(r)[c] = px[static_cast<size_t>(r * w + c)];
    SetBitmap(*f, std::move(*b));
    f->left = x;
    f->top = y;
    f->delay = delay;
    SetDisposal(*f, disposal);
    return f;
}

// A w x h frame whose pixel (x, y) is (x + 7 y) mod 16.
inline std::unique_ptr<Frame> Numbered(int x0, int y0, int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>((x + 7 * y) % 16);
    return MakeFrame(x0, y0, w, h, px);
}

// Pixels of a frame as rows without padding.
inline std::vector<std::vector<uint8_t>> Rows(const Frame& f) {
    std::vector<std::vector<uint8_t>> r;
    for (int y = 0; y < f.bitmap->height; ++y) r.emplace_back(f.bitmap->Row(y), f.bitmap->Row(y) + f.bitmap->width);
    return r;
}

// A frame filled with one index.
inline std::unique_ptr<Frame> FillFrame(int x, int y, int w, int h, uint8_t v, int disposal = 1,
                                        uint32_t delay = 10) {
    return MakeFrame(x, y, w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), v), disposal, delay);
}

// A screen with a global palette of n distinct colours.
inline std::unique_ptr<Animation> MakeAnimation(int w, int h, int colours = 16) {
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    Palette p;
    for (int i = 0; i < colours; ++i)
        p.entries.push_back(Rgb{static_cast<uint8_t>(i * 13), static_cast<uint8_t>(255 - i * 7),
                                static_cast<uint8_t>((i * 37) & 0xFF)});
    SetGlobalPalette(*a, p);
    return a;
}

// Names frames "0", "1", ... so that an optimized copy can be matched back.
inline void NumberFrames(Animation& a) {
    int i = 0;
    for (Frame* f : a.Frames()) f->name = std::to_string(i++);
}

#ifdef CM_CORPUS_DIR
inline std::vector<std::filesystem::path> CorpusGifs() {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    const std::filesystem::path root(CM_CORPUS_DIR);
    if (!std::filesystem::exists(root, ec)) return out;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == ".gif") out.push_back(it->path());
    }
    std::sort(out.begin(), out.end());
    return out;
}
#endif

// Reads a corpus GIF; none when unreadable or too big to render in a test.
inline std::unique_ptr<Animation> LoadForTest(const std::filesystem::path& p) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(p.string(), bytes) || !IsGifSignature(bytes)) return nullptr;
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    ReadOutcome r = ReadGif(bytes, host, progress, prefs);
    if (!r.animation || r.animation->FrameCount() == 0) return nullptr;
    const Animation& a = *r.animation;
    const uint64_t area = uint64_t(a.width) * a.height;
    if (area == 0 || area > 1'000'000 || area * a.FrameCount() > 4'000'000) return nullptr;
    return std::move(r.animation);
}

inline bool HasLocalPalettes(const Animation& a) {
    for (const Frame* f : a.Frames())
        if (f->localPalette) return true;
    return false;
}

// Writes and reads back; none when either fails.
inline std::unique_ptr<Animation> RoundTrip(Animation& a) {
    VectorSink sink;
    SilentProgress progress;
    if (WriteGif(sink, a, progress) != Result::Done) return nullptr;
    SilentUiHost host;
    PreferenceBlock prefs;
    ReadOutcome r = ReadGif(sink.bytes, host, progress, prefs);
    return r.result == Result::Done ? std::move(r.animation) : nullptr;
}

// Empty when `out` (frames named by NumberFrames on the input) shows the
// same pictures as `in`, a kept frame standing for itself and the removed
// frames after it, with their delays added; else a description.
inline std::string CompareTimelines(const Animation& in, const Animation& out, bool allow_removal) {
    const auto pin = RenderAll(in);
    const auto pout = RenderAll(out);
    const auto fin = in.Frames();
    const auto fout = out.Frames();
    if (!allow_removal && fout.size() != fin.size())
        return "frame count " + std::to_string(fout.size()) + " != " + std::to_string(fin.size());
    std::vector<size_t> start;
    for (const Frame* f : fout) {
        size_t j = 0;
        try {
            j = std::stoul(f->name);
        } catch (...) {
            return "unnamed output frame";
        }
        if (j >= fin.size() || (!start.empty() && j <= start.back())) return "frame order broken";
        start.push_back(j);
    }
    if (start.empty() || start[0] != 0) return "first frame missing";
    for (size_t k = 0; k < start.size(); ++k) {
        const size_t end = k + 1 < start.size() ? start[k + 1] : fin.size();
        uint64_t delay = 0;
        for (size_t j = start[k]; j < end; ++j) {
            if (!(pin[j] == pout[k]))
                return "picture of input frame " + std::to_string(j) + " differs (output frame " +
                       std::to_string(k) + ")";
            delay += fin[j]->delay;
        }
        if (delay != fout[k]->delay)
            return "delay of output frame " + std::to_string(k) + " is " + std::to_string(fout[k]->delay) +
                   ", expected " + std::to_string(delay);
    }
    return {};
}

// Pictures only, frame by frame (both must have the same count).
inline std::string ComparePictures(const Animation& x, const Animation& y) {
    const auto px = RenderAll(x);
    const auto py = RenderAll(y);
    if (px.size() != py.size()) return "frame count differs";
    for (size_t i = 0; i < px.size(); ++i)
        if (!(px[i] == py[i])) return "picture " + std::to_string(i) + " differs";
    return {};
}

// ---- documents for the editor's tests ----

// The shape of MakeDocument's documents.
struct DocShape {
    int width = 6, height = 4;            // the screen
    int frameWidth = 0, frameHeight = 0;  // 0: the screen's
    uint32_t delayStep = 1;               // frame i lasts 10 + i * delayStep
};

// n frames at (0, 0) on a screen with a 16-colour global palette, each with
// its own pixels ((x * (i + 1) + y) % 16) and delay, named "f0", "f1", ...
inline std::unique_ptr<Animation> MakeDocument(int n, const DocShape& shape = {}) {
    const int w = shape.frameWidth ? shape.frameWidth : shape.width;
    const int h = shape.frameHeight ? shape.frameHeight : shape.height;
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(shape.width);
    a->height = static_cast<uint32_t>(shape.height);
    Palette p;
    for (int i = 0; i < 16; ++i) p.entries.push_back({uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i)});
    SetGlobalPalette(*a, p);
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<Frame>();
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>((x * (i + 1) + y) % 16);
        SetBitmap(*f, std::move(*bmp));
        f->delay = 10 + static_cast<uint32_t>(i) * shape.delayStep;
        f->name = "f" + std::to_string(i);
        a->blocks.push_back(std::move(f));
    }
    return a;
}


}  // namespace cinemill::testing_support
