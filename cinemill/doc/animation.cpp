#include "cinemill/doc/animation.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"

namespace cinemill {

// ---- palettes and bitmaps ----------------------------------------------------

Palette Palette::FromTriples(const uint8_t* rgb, int n) {
    Palette p;
    p.entries.resize(static_cast<size_t>(std::clamp(n, 0, 256)));
    for (size_t i = 0; i < p.entries.size(); ++i)
        p.entries[i] = Rgb{rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]};
    return p;
}

int ColorTableBits(int n) {
    if (n > 128) return 8;
    if (n > 64) return 7;
    if (n > 32) return 6;
    if (n > 16) return 5;
    if (n > 8) return 4;
    if (n > 4) return 3;
    if (n > 2) return 2;
    return 1;
}

namespace {
// Larger bitmaps are refused as "not enough memory" rather than attempted.
std::atomic<uint64_t> g_max_bitmap_bytes{uint64_t{1} << 30};
}  // namespace

void FrameBitmap::SetByteLimit(uint64_t bytes) { g_max_bitmap_bytes = bytes; }

uint64_t FrameBitmap::BytesFor(int width, int height) {
    if (width < 0 || height < 0) return 0;
    return static_cast<uint64_t>(StrideFor(width)) * static_cast<uint64_t>(height);
}

std::optional<FrameBitmap> FrameBitmap::Create(int width, int height) {
    if (width < 0 || height < 0) return std::nullopt;
    const uint64_t stride = static_cast<uint64_t>(StrideFor(width));
    if (stride * static_cast<uint64_t>(height) > g_max_bitmap_bytes.load()) return std::nullopt;
    FrameBitmap b;
    b.width = width;
    b.height = height;
    b.stride = static_cast<int>(stride);
    try {
        const size_t n = static_cast<size_t>(stride) * static_cast<size_t>(height);
        // Zero pages from calloc: only what gets written takes memory.
        b.pixels.resize(n);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return b;
}

// ---- animation -----------------------------------------------------------------

int Animation::FrameCount() const {
    int n = 0;
    for (const auto& b : blocks) n += b->kind == BlockKind::Image;
    return n;
}

size_t Animation::BlockPosOfFrame(int index) const {
    if (index < 0) return blocks.size();
    for (size_t i = 0; i < blocks.size(); ++i)
        if (blocks[i]->kind == BlockKind::Image && index-- == 0) return i;
    return blocks.size();
}

Frame* Animation::FrameAt(int index) {
    const size_t pos = BlockPosOfFrame(index);
    return pos < blocks.size() ? AsFrame(blocks[pos].get()) : nullptr;
}

const Frame* Animation::FrameAt(int index) const {
    const size_t pos = BlockPosOfFrame(index);
    return pos < blocks.size() ? AsFrame(blocks[pos].get()) : nullptr;
}

std::vector<Frame*> Animation::Frames() {
    std::vector<Frame*> out;
    for (auto& b : blocks)
        if (auto* f = AsFrame(b.get())) out.push_back(f);
    return out;
}

std::vector<const Frame*> Animation::Frames() const {
    std::vector<const Frame*> out;
    for (const auto& b : blocks)
        if (const auto* f = AsFrame(b.get())) out.push_back(f);
    return out;
}

std::unique_ptr<Animation> NewAnimation() { return std::make_unique<Animation>(); }

std::unique_ptr<Animation> NewAnimation(uint32_t w, uint32_t h, const PreferenceBlock& prefs) {
    auto a = NewAnimation();
    a->width = w;
    a->height = h;
    a->playCount = prefs.DefaultLoop();
    a->blocks.push_back(NewFrame(static_cast<int32_t>(w), static_cast<int32_t>(h), prefs));
    return a;
}

std::unique_ptr<Frame> NewFrame(int32_t w, int32_t h, const PreferenceBlock& prefs) {
    auto f = std::make_unique<Frame>();
    f->width = w;
    f->height = h;
    f->delay = prefs.DefaultDelay();
    return f;
}

std::unique_ptr<Block> CopyBlock(const Block& b) {
    if (const auto* f = AsFrame(&b)) return std::make_unique<Frame>(*f);
    return std::make_unique<ExtensionBlock>(*AsExtension(&b));
}

std::unique_ptr<Animation> HeaderCopy(const Animation& src) {
    auto a = NewAnimation();
    a->width = src.width;
    a->height = src.height;
    a->playCount = src.playCount;
    a->screenFlags = src.screenFlags;
    a->backgroundIndex = src.backgroundIndex;
    a->aspect = src.aspect;
    a->cachedSize = src.cachedSize;
    a->colorUsage = src.colorUsage;
    a->hotspot = src.hotspot;
    return a;
}

std::unique_ptr<Animation> CopyAnimation(const Animation& src, ProgressReporter& progress) {
    try {
        auto a = HeaderCopy(src);
        a->globalPalette = src.globalPalette;
        progress.SetRange(src.FrameCount());
        a->blocks.reserve(src.blocks.size());
        for (const auto& b : src.blocks) {
            a->blocks.push_back(CopyBlock(*b));
            if (!progress.Step()) break;
        }
        return a;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<Animation> CopyAnimation(const Animation& src) {
    SilentProgress silent;
    return CopyAnimation(src, silent);
}

// ---- palettes ------------------------------------------------------------------------

const Palette* PaletteInEffect(const Animation& a, const Frame& f) {
    if (f.localPalette) return &*f.localPalette;
    return a.globalPalette ? &*a.globalPalette : nullptr;
}

void SetGlobalPalette(Animation& a, std::optional<Palette> p) {
    // Frames drawn with the global palette lose their kept data when it changes.
    if (p != a.globalPalette)
        for (const auto& b : a.blocks)
            if (Frame* f = AsFrame(b.get()); f && !f->localPalette) DropKeptData(*f);
    if (p) {
        const uint8_t b = static_cast<uint8_t>(ColorTableBits(p->size()) - 1);
        a.screenFlags = static_cast<uint8_t>(0x80 | (b << 4) | b);
    } else {
        a.screenFlags = 0;
    }
    a.globalPalette = std::move(p);
}

std::optional<Palette> SetLocalPalette(Frame& f, std::optional<Palette> p) {
    if (p != f.localPalette) DropKeptData(f);
    uint8_t flags = f.descriptorFlags & 0x78;
    if (p) flags |= static_cast<uint8_t>(kDescLocalTable | (ColorTableBits(p->size()) - 1));
    f.descriptorFlags = flags;
    std::swap(f.localPalette, p);
    return p;
}

namespace {
uint32_t Quad(const Rgb& c) { return c.b | (c.g << 8) | (uint32_t(c.r) << 16); }
}  // namespace

std::array<uint32_t, 256> ColorTableOf(const Palette* p) {
    std::array<uint32_t, 256> t{};
    if (p)
        for (int i = 0; i < p->size() && i < 256; ++i) t[static_cast<size_t>(i)] = Quad((*p)[i]);
    return t;
}

Rgb TransparentDisplayColor(uint32_t pref, const Palette* p, int index, Rgb window_background) {
    const uint32_t mode = pref >> 24;
    if (mode == 1) return p && index < p->size() ? (*p)[index] : Rgb{};
    if (mode >= 2)
        return Rgb{static_cast<uint8_t>(pref), static_cast<uint8_t>(pref >> 8),
                   static_cast<uint8_t>(pref >> 16)};
    return window_background;
}

std::array<uint32_t, 256> DisplayColorTable(const Animation& a, const Frame& f, uint32_t pref,
                                            Rgb window_background) {
    const Palette* p = PaletteInEffect(a, f);
    auto t = ColorTableOf(p);
    if (f.Transparent())
        t[f.transparentIndex] =
            Quad(TransparentDisplayColor(pref, p, f.transparentIndex, window_background));
    return t;
}

std::vector<uint8_t> TransparencyMask(const Frame& f) {
    if (!f.Transparent() || !f.bitmap) return {};
    const FrameBitmap& b = *f.bitmap;
    const size_t mstride = static_cast<size_t>((b.width + 31) / 32 * 4);
    std::vector<uint8_t> mask(mstride * static_cast<size_t>(b.height), 0);
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        uint8_t* m = mask.data() + mstride * static_cast<size_t>(y);
        for (int x = 0; x < b.width; ++x)
            if (row[x] == f.transparentIndex) m[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    return mask;
}

// ---- frame properties ------------------------------------------------------------------

uint32_t SetDelay(Frame& f, uint32_t delay) {
    const uint32_t old = f.delay;
    f.delay = delay & 0xFFFF;
    return old;
}

void SetDisposal(Frame& f, int method) {
    f.controlFlags = static_cast<uint8_t>((f.controlFlags & ~0x1C) | ((method & 7) << 2));
}

void SetWaitForInput(Frame& f, bool on) {
    f.controlFlags = on ? (f.controlFlags | kCtlWaitForInput) : (f.controlFlags & ~kCtlWaitForInput);
}

void SetInterlaced(Frame& f, bool on) {
    if (on != f.Interlaced()) DropKeptData(f);
    f.descriptorFlags =
        on ? (f.descriptorFlags | kDescInterlaced) : (f.descriptorFlags & ~kDescInterlaced);
}

bool SetName(Frame& f, std::string_view name) {
    name = name.substr(0, 255);
    if (f.name == name) return false;
    f.name = std::string(name);
    return true;
}

void SetTransparent(Frame& f, bool on) {
    f.controlFlags = on ? (f.controlFlags | kCtlTransparent) : (f.controlFlags & ~kCtlTransparent);
}

void SetTransparentIndex(Frame& f, uint8_t index) { f.transparentIndex = index; }

void SetBitmap(Frame& f, FrameBitmap bmp) {
    DropKeptData(f);
    f.width = bmp.width;
    f.height = bmp.height;
    f.bitmap = std::move(bmp);
}

void ExchangePixels(Frame& a, Frame& b) {
    // The data goes with the pixels; where the palette in effect differs,
    // ValidKeptData no longer accepts it.
    auto ka = std::move(b.keptData), kb = std::move(a.keptData);
    std::swap(a.bitmap, b.bitmap);
    std::swap(a.transparentIndex, b.transparentIndex);
    std::swap(a.controlFlags, b.controlFlags);
    if (a.localPalette || b.localPalette) {
        // The descriptor flags stay; only the table bits follow the palettes.
        auto pa = SetLocalPalette(a, std::nullopt);
        auto pb = SetLocalPalette(b, std::nullopt);
        SetLocalPalette(a, std::move(pb));
        SetLocalPalette(b, std::move(pa));
    }
    a.keptData = std::move(ka);
    b.keptData = std::move(kb);
}

void ExchangeAll(Frame& a, Frame& b) {
    ExchangePixels(a, b);
    std::swap(a.left, b.left);
    std::swap(a.top, b.top);
    std::swap(a.width, b.width);
    std::swap(a.height, b.height);
}

// ---- kept image data ----------------------------------------------------------------

namespace {
// Order-dependent 64-bit mixing of 8 bytes at a time.
struct Hasher {
    uint64_t h = 0x243F6A8885A308D3ULL;
    void Add(uint64_t w) {
        h = (h ^ w) * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
    }
    void AddBytes(const uint8_t* p, size_t n) {
        size_t i = 0;
        // Four lanes side by side, so that one word's multiply does not wait
        // on the one before; frames of a megabyte are hashed often.
        if (n >= 64) {
            uint64_t lane[4] = {h, h ^ 0x13198A2E03707344ULL, h ^ 0xA4093822299F31D0ULL, h ^ 0x082EFA98EC4E6C89ULL};
            for (; i + 32 <= n; i += 32)
                for (int k = 0; k < 4; ++k) {
                    uint64_t w;
                    std::memcpy(&w, p + i + 8 * k, 8);
                    lane[k] = (lane[k] ^ w) * 0x9E3779B97F4A7C15ULL;
                    lane[k] ^= lane[k] >> 29;
                }
            for (uint64_t l : lane) Add(l);
        }
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            Add(w);
        }
        uint64_t tail = 0;
        for (size_t k = 0; i < n; ++i, ++k) tail |= uint64_t{p[i]} << (8 * k);
        Add(tail);
        Add(n);
    }
};
}  // namespace

uint64_t ImageFingerprint(const Animation& a, const Frame& f) {
    Hasher hs;
    hs.Add(static_cast<uint32_t>(f.width) | (uint64_t{static_cast<uint32_t>(f.height)} << 32));
    hs.Add(f.Interlaced() ? 1 : 0);
    const Palette* p = PaletteInEffect(a, f);
    hs.Add(p ? static_cast<uint64_t>(p->size()) : 0x1FF);
    if (p) hs.AddBytes(reinterpret_cast<const uint8_t*>(p->entries.data()), p->entries.size() * sizeof(Rgb));
    if (f.bitmap) {
        const FrameBitmap& b = *f.bitmap;
        hs.Add(static_cast<uint32_t>(b.width) | (uint64_t{static_cast<uint32_t>(b.height)} << 32));
        hs.Add(static_cast<uint32_t>(b.stride));
        hs.AddBytes(b.pixels.data(), b.pixels.size());
    } else {
        hs.Add(0x5A5A);
    }
    return hs.h;
}

void KeepImageData(const Animation& a, Frame& f, uint8_t min_code_size, std::vector<uint8_t> sub_blocks) {
    auto k = std::make_shared<KeptImageData>();
    k->minCodeSize = min_code_size;
    k->subBlocks = std::move(sub_blocks);
    k->fingerprint = ImageFingerprint(a, f);
    f.keptData = std::move(k);
}

const KeptImageData* ValidKeptData(const Animation& a, const Frame& f) {
    if (!f.keptData || f.keptData->fingerprint != ImageFingerprint(a, f)) return nullptr;
    return f.keptData.get();
}

void DropKeptData(Frame& f) { f.keptData.reset(); }

void DropStaleKeptData(Animation& a) {
    for (const auto& b : a.blocks)
        if (Frame* f = AsFrame(b.get()); f && f->keptData && !ValidKeptData(a, *f)) DropKeptData(*f);
}

// ---- comments ---------------------------------------------------------------------------

std::string CommentText(const ExtensionBlock& b) {
    if (b.data.empty() || b.data[0] == 0) return {};
    const size_t len = std::min<size_t>(b.data[0], b.data.size() - 1);
    return std::string(reinterpret_cast<const char*>(b.data.data() + 1), len);
}

void SetCommentText(ExtensionBlock& b, std::string_view text) {
    text = text.substr(0, 255);
    b.data.clear();
    if (!text.empty()) {
        b.data.push_back(static_cast<uint8_t>(text.size()));
        b.data.insert(b.data.end(), text.begin(), text.end());
    }
    b.data.push_back(0);
}

std::unique_ptr<ExtensionBlock> NewComment(std::string_view text) {
    auto b = std::make_unique<ExtensionBlock>(BlockKind::Comment);
    SetCommentText(*b, text);
    return b;
}

// ---- usage and extents ----------------------------------------------------------------------

namespace {
template <typename Fn>
void ForEachPixel(const Frame& f, Fn fn) {
    if (!f.bitmap) return;
    const FrameBitmap& b = *f.bitmap;
    const int w = b.width;  // in a local: fn's stores might otherwise reach it
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        for (int x = 0; x < w; ++x) fn(row[x]);
    }
}
}  // namespace

ColorUsage CountFramePixels(const Frame& f) {
    ColorUsage c{};
    if (!f.bitmap) return c;
    const FrameBitmap& b = *f.bitmap;
    // Four tables so that runs of one index do not wait on one counter.
    std::array<std::array<uint32_t, 256>, 4> part{};
    const int w = b.width;  // in a local: the counters' stores might otherwise reach it
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        int x = 0;
        for (; x + 4 <= w; x += 4) {
            ++part[0][row[x]];
            ++part[1][row[x + 1]];
            ++part[2][row[x + 2]];
            ++part[3][row[x + 3]];
        }
        for (; x < w; ++x) ++part[0][row[x]];
    }
    for (size_t i = 0; i < 256; ++i) c[i] = part[0][i] + part[1][i] + part[2][i] + part[3][i];
    return c;
}

bool RecountColorUsage(Animation& a, bool clear, const std::atomic<bool>* stop) {
    if (clear) a.colorUsage.fill(0);
    if (!a.globalPalette) return true;
    for (const Frame* f : std::as_const(a).Frames()) {
        if (stop && stop->load(std::memory_order_relaxed)) return false;
        if (f->localPalette) continue;
        const ColorUsage c = CountFramePixels(*f);
        for (size_t i = 0; i < 256; ++i) a.colorUsage[i] += c[i];
    }
    return true;
}

ColorUsage CountOpaqueUsage(const Animation& a) {
    ColorUsage u{};
    for (const Frame* f : a.Frames()) {
        if (f->localPalette) continue;
        const bool skip = f->Transparent();
        const uint8_t ti = f->transparentIndex;
        ForEachPixel(*f, [&](uint8_t p) {
            if (!skip || p != ti) ++u[p];
        });
    }
    return u;
}

Rect FrameExtents(const Animation& a) {
    Rect r{1000, 1000, 0, 0};
    for (const Frame* f : a.Frames()) {
        r.left = std::min(r.left, f->left);
        r.top = std::min(r.top, f->top);
        r.right = std::max(r.right, f->left + f->width);
        r.bottom = std::max(r.bottom, f->top + f->height);
    }
    return r;
}

std::pair<int32_t, int32_t> MaxFrameEdges(const Animation& a) {
    int32_t r = 0, b = 0;
    for (const Frame* f : a.Frames()) {
        r = std::max(r, f->left + f->width);
        b = std::max(b, f->top + f->height);
    }
    return {r, b};
}

// ---- document operations ----------------------------------------------------------------------

std::unique_ptr<Frame> RemoveFrame(Animation& a, int index) {
    const size_t pos = a.BlockPosOfFrame(index);
    if (pos >= a.blocks.size()) return nullptr;
    std::unique_ptr<Frame> f(static_cast<Frame*>(a.blocks[pos].release()));
    a.blocks.erase(a.blocks.begin() + static_cast<ptrdiff_t>(pos));
    return f;
}

namespace {
// Block position just behind the last frame (0 when there is none).
size_t PosAfterLastFrame(const Animation& a) {
    for (size_t i = a.blocks.size(); i-- > 0;)
        if (a.blocks[i]->kind == BlockKind::Image) return i + 1;
    return 0;
}
}  // namespace

void InsertFrame(Animation& a, int index, std::unique_ptr<Frame> f) {
    size_t pos = a.BlockPosOfFrame(index);
    if (pos >= a.blocks.size()) pos = PosAfterLastFrame(a);
    a.blocks.insert(a.blocks.begin() + static_cast<ptrdiff_t>(pos), std::move(f));
}

int MoveFrame(Animation& a, int from, int to) {
    const int count = a.FrameCount();
    if (from < 0 || from >= count || to < 0 || to > count || to == from || to == from + 1)
        return from;
    const Block* target = to < count ? a.FrameAt(to) : nullptr;
    auto f = RemoveFrame(a, from);
    size_t pos = PosAfterLastFrame(a);
    if (target)
        for (size_t i = 0; i < a.blocks.size(); ++i)
            if (a.blocks[i].get() == target) pos = i;
    a.blocks.insert(a.blocks.begin() + static_cast<ptrdiff_t>(pos), std::move(f));
    return from < to ? to - 1 : to;
}

bool FrameFitsScreen(const Frame& f, uint32_t screen_w, uint32_t screen_h) {
    return f.left >= 0 && f.top >= 0 &&
           int64_t{f.left} + f.width <= int64_t{screen_w} &&
           int64_t{f.top} + f.height <= int64_t{screen_h};
}

bool ClipFrameToScreen(Frame& f, uint32_t screen_w, uint32_t screen_h) {
    if (FrameFitsScreen(f, screen_w, screen_h)) return true;
    const int64_t x0 = std::max<int64_t>(0, -int64_t{f.left});
    const int64_t y0 = std::max<int64_t>(0, -int64_t{f.top});
    const int64_t w = std::min<int64_t>(int64_t{f.left} + f.width, screen_w) -
                      std::max<int64_t>(f.left, 0);
    const int64_t h = std::min<int64_t>(int64_t{f.top} + f.height, screen_h) -
                      std::max<int64_t>(f.top, 0);
    if (w <= 0 || h <= 0) return false;
    DropKeptData(f);
    if (f.bitmap) {
        auto nb = FrameBitmap::Create(static_cast<int>(w), static_cast<int>(h));
        if (!nb) return false;
        for (int y = 0; y < nb->height; ++y)
            std::copy_n(f.bitmap->Row(static_cast<int>(y0) + y) + x0, nb->width, nb->Row(y));
        f.bitmap = std::move(nb);
    }
    f.left = std::max(f.left, 0);
    f.top = std::max(f.top, 0);
    f.width = static_cast<int32_t>(w);
    f.height = static_cast<int32_t>(h);
    return true;
}

void ReverseBlocks(Animation& a) {
    if (a.FrameCount() >= 2) std::reverse(a.blocks.begin(), a.blocks.end());
}

void NameFrames(Animation& a, std::string_view file_name) {
    const auto slash = file_name.find_last_of("/\\");
    if (slash != std::string_view::npos) file_name = file_name.substr(slash + 1);
    const auto frames = a.Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!frames[i]->name.empty()) continue;
        if (frames.size() == 1)
            SetName(*frames[i], file_name);
        else
            SetName(*frames[i],
                    FormatString(StringId::FrameNameFormat, file_name, static_cast<int>(i) + 1));
    }
}

}  // namespace cinemill
