// The private frame record, packed DIBs of frames, and animations made from them.
#include "cinemill/doc/clipboard.h"

#include <algorithm>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"

namespace cinemill {
namespace {

constexpr size_t kClipHeaderSize = 1064;
constexpr size_t kClipFrameOffset = 1064;
constexpr size_t kClipNameOffset = 1136;
constexpr size_t kClipFixedSize = 1140;

}  // namespace

std::vector<uint8_t> BuildFrameClip(const Animation& a, const Frame& f) {
    std::vector<uint8_t> r(kClipFixedSize + f.name.size(), 0);
    uint8_t* p = r.data();
    StoreLE32(p + 0, a.width);
    StoreLE32(p + 4, a.height);
    StoreLE32(p + 8, a.playCount);
    StoreLE16(p + 12, static_cast<uint32_t>(a.FrameCount()));
    p[24] = a.screenFlags;
    p[25] = a.backgroundIndex;
    p[26] = a.aspect;
    StoreLE32(p + 28, static_cast<uint32_t>(a.cachedSize));
    for (size_t i = 0; i < 256; ++i) StoreLE32(p + 32 + 4 * i, a.colorUsage[i]);
    StoreLE32(p + 1056, static_cast<uint32_t>(a.hotspot.x));
    StoreLE32(p + 1060, static_cast<uint32_t>(a.hotspot.y));
    static_assert(kClipHeaderSize == 1064);

    uint8_t* q = p + kClipFrameOffset;
    q[0] = static_cast<uint8_t>(BlockKind::Image);
    StoreLE32(q + 12, static_cast<uint32_t>(f.left));
    StoreLE32(q + 16, static_cast<uint32_t>(f.top));
    StoreLE32(q + 20, static_cast<uint32_t>(f.width));
    StoreLE32(q + 24, static_cast<uint32_t>(f.height));
    StoreLE32(q + 36, f.localPalette ? 1 : 0);
    StoreLE32(q + 40, f.delay);
    q[44] = f.controlFlags;
    q[45] = f.transparentIndex;
    q[46] = f.descriptorFlags;
    std::copy(f.name.begin(), f.name.end(), p + kClipNameOffset);
    return r;
}

std::optional<FrameClipData> ParseFrameClip(std::span<const uint8_t> bytes) {
    if (bytes.size() < kClipNameOffset) return std::nullopt;
    const uint8_t* q = bytes.data() + kClipFrameOffset;
    if (q[0] != static_cast<uint8_t>(BlockKind::Image)) return std::nullopt;
    FrameClipData d;
    d.left = static_cast<int32_t>(LoadLE32(q + 12));
    d.top = static_cast<int32_t>(LoadLE32(q + 16));
    d.width = static_cast<int32_t>(LoadLE32(q + 20));
    d.height = static_cast<int32_t>(LoadLE32(q + 24));
    d.hasLocalPalette = LoadLE32(q + 36) != 0;
    d.delay = LoadLE32(q + 40);
    d.controlFlags = q[44];
    d.transparentIndex = q[45];
    d.descriptorFlags = q[46];
    // The name runs to the first zero byte, or the end of the record.
    const auto name = bytes.subspan(kClipNameOffset);
    const auto end = std::find(name.begin(), name.end(), uint8_t{0});
    d.name.assign(name.begin(), end);
    if (d.name.size() > 255) d.name.resize(255);
    return d;
}

std::vector<uint8_t> BuildPackedDib(const Animation& a, const Frame& f) {
    const Palette* pal = PaletteInEffect(a, f);
    const int colors = pal ? pal->size() : 256;
    const int w = f.bitmap ? f.bitmap->width : 0;
    const int h = f.bitmap ? f.bitmap->height : 0;
    const int stride = FrameBitmap::StrideFor(w);
    std::vector<uint8_t> out;
    out.reserve(40 + 4 * static_cast<size_t>(colors) + static_cast<size_t>(stride) * h);
    AppendLE32(out, 40);
    AppendLE32(out, static_cast<uint32_t>(w));
    AppendLE32(out, static_cast<uint32_t>(h));
    AppendLE16(out, 1);
    AppendLE16(out, 8);
    AppendLE32(out, 0);  // compression
    AppendLE32(out, static_cast<uint32_t>(stride * h));
    AppendLE32(out, 0);
    AppendLE32(out, 0);
    AppendLE32(out, static_cast<uint32_t>(colors));
    AppendLE32(out, 0);
    const auto table = ColorTableOf(pal);
    for (int i = 0; i < colors; ++i) AppendLE32(out, table[static_cast<size_t>(i)]);
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* row = f.bitmap->Row(y);
        out.insert(out.end(), row, row + stride);
    }
    return out;
}

std::unique_ptr<Animation> AnimationFromPackedDib(std::span<const uint8_t> dib, UiHost& host,
                                                  const PreferenceBlock& prefs,
                                                  bool local_palette, StringId short_data) {
    auto refuse = [&](StringId id) {
        Tell(host, id);
        return nullptr;
    };
    if (dib.size() < 40 || LoadLE32(dib.data()) != 40) return refuse(StringId::DibUnsupported);
    const uint8_t* h = dib.data();
    const int32_t width = static_cast<int32_t>(LoadLE32(h + 4));
    const int32_t stored_height = static_cast<int32_t>(LoadLE32(h + 8));
    const int bits = LoadLE16(h + 14);
    const uint32_t compression = LoadLE32(h + 16);
    uint32_t colors_used = LoadLE32(h + 32);
    if (compression == 1 || compression == 2) return refuse(StringId::DibRle);
    if (bits == 16 || bits == 32) return refuse(StringId::Dib16or32);
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || width <= 0 || stored_height == 0 ||
        stored_height == INT32_MIN || width > 0xFFFF || std::abs(stored_height) > 0xFFFF ||
        (compression != 0 && !(compression == 3 && bits == 24)))
        return refuse(StringId::DibUnsupported);
    const int height = std::abs(stored_height);
    const bool bottom_up = stored_height > 0;
    const size_t src_stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;

    size_t offset = 40;
    int table_entries = 0;
    if (bits > 8) {
        offset += 4 * static_cast<size_t>(colors_used) + (compression == 3 ? 12 : 0);
    } else {
        if (colors_used == 0 || colors_used > (1u << bits)) colors_used = 1u << bits;
        table_entries = static_cast<int>(colors_used);
        offset += 4 * static_cast<size_t>(table_entries);
    }
    if (offset > dib.size() || (dib.size() - offset) / src_stride < static_cast<size_t>(height))
        return refuse(short_data);

    auto a = NewAnimation(static_cast<uint32_t>(width), static_cast<uint32_t>(height), prefs);
    Frame& f = *a->FrameAt(0);
    auto src_row = [&](int y) {
        const int sy = bottom_up ? height - 1 - y : y;
        return dib.data() + offset + src_stride * static_cast<size_t>(sy);
    };
    if (bits == 24) {
        try {
            f.trueColor.resize(src_stride * static_cast<size_t>(height));
        } catch (const std::bad_alloc&) {
            return refuse(StringId::FrameImageNoMemory);
        }
        for (int y = 0; y < height; ++y)
            std::copy_n(src_row(y), src_stride, f.trueColor.data() + src_stride * y);
        return a;
    }

    std::vector<uint8_t> rgb;
    for (int i = 0; i < table_entries; ++i) {
        const uint8_t* q = h + 40 + 4 * i;
        rgb.insert(rgb.end(), {q[2], q[1], q[0]});
    }
    auto bmp = FrameBitmap::Create(width, height);
    if (!bmp) return refuse(StringId::FrameImageNoMemory);
    int max_index = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = src_row(y);
        uint8_t* d = bmp->Row(y);
        for (int x = 0; x < width; ++x) {
            uint8_t v;
            if (bits == 8)
                v = s[x];
            else if (bits == 4)
                v = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
            else
                v = (s[x >> 3] >> (7 - (x & 7))) & 1;
            d[x] = v;
            max_index = std::max<int>(max_index, v);
        }
    }
    // Pixels beyond a short colour table keep their values and show black.
    while (static_cast<int>(rgb.size() / 3) <= max_index) rgb.insert(rgb.end(), {0, 0, 0});
    SetBitmap(f, std::move(*bmp));
    Palette pal = Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3));
    if (local_palette) {
        SetLocalPalette(f, std::move(pal));
    } else {
        SetGlobalPalette(*a, std::move(pal));
        RecountColorUsage(*a, true);
    }
    return a;
}

std::unique_ptr<Animation> AnimationFromClipboard(std::optional<std::span<const uint8_t>> record,
                                                  std::optional<std::span<const uint8_t>> dib,
                                                  UiHost& host, const PreferenceBlock& prefs) {
    if (!dib) {
        Tell(host, StringId::PasteNoFormat);
        return nullptr;
    }
    std::optional<FrameClipData> clip;
    if (record) clip = ParseFrameClip(*record);
    auto a = AnimationFromPackedDib(*dib, host, prefs, clip && clip->hasLocalPalette);
    if (!a) return nullptr;
    Frame& f = *a->FrameAt(0);
    if (!clip) {
        SetName(f, LoadString(StringId::Unnamed));
        return a;
    }
    SetDelay(f, clip->delay);
    SetInterlaced(f, clip->descriptorFlags & kDescInterlaced);
    SetDisposal(f, (clip->controlFlags >> 2) & 7);
    SetName(f, clip->name);
    f.left = clip->left;
    f.top = clip->top;
    SetTransparentIndex(f, clip->transparentIndex);
    SetTransparent(f, clip->controlFlags & kCtlTransparent);
    return a;
}

}  // namespace cinemill
