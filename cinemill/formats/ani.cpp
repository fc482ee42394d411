#include "cinemill/formats/ani.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

// More steps than this are taken as a damaged header.
constexpr uint32_t kMaxSteps = 1u << 16;

bool Is(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

bool PlausibleId(std::span<const uint8_t> d, size_t pos) {
    if (pos + 8 > d.size()) return pos == d.size();
    for (size_t i = 0; i < 4; ++i)
        if (d[pos + i] < 0x20 || d[pos + i] > 0x7E) return false;
    return true;
}

struct Step {
    uint32_t rate = 0;
    uint32_t icon = 0;
    std::span<const uint8_t> data;
};

// The first image of an icon entry: the frame, and what the directory
// entry says of the cursor.
struct IconImage {
    std::unique_ptr<Frame> frame;
    int entryW = 0, entryH = 0;
    int hotX = 0, hotY = 0;
};

// Where an icon's image lies and how it is laid out: the directory entry
// and the bitmap header, checked against the data.
struct IconLayout {
    std::span<const uint8_t> img;
    int w = 0, h = 0, bits = 0;
    bool withMask = false;
    uint32_t used = 0;  // colour table entries
    size_t tableAt = 0, bitsAt = 0, maskAt = 0, stride = 0, maskStride = 0;
};

std::optional<StringId> ReadIconLayout(std::span<const uint8_t> icon, IconImage& out, IconLayout& l) {
    if (icon.size() < 6 + 16 || LoadLE16(icon.data() + 4) < 1) return StringId::AniInvalid;
    const uint8_t* e = icon.data() + 6;
    out.entryW = e[0] ? e[0] : 256;
    out.entryH = e[1] ? e[1] : 256;
    out.hotX = LoadLE16(e + 4);
    out.hotY = LoadLE16(e + 6);
    const uint32_t size = LoadLE32(e + 8), offset = LoadLE32(e + 12);
    if (offset > icon.size() || size > icon.size() - offset) return StringId::AniInvalid;
    l.img = icon.subspan(offset, size);
    const std::span<const uint8_t> img = l.img;
    if (img.size() >= 8 && img[0] == 0x89 && img[1] == 'P') return StringId::AniHiColor;
    if (img.size() < 40 || LoadLE32(img.data()) < 40) return StringId::AniInvalid;
    const uint32_t header_size = LoadLE32(img.data());
    const int32_t w = static_cast<int32_t>(LoadLE32(img.data() + 4));
    const int32_t hh = static_cast<int32_t>(LoadLE32(img.data() + 8));
    l.bits = LoadLE16(img.data() + 14);
    l.used = LoadLE32(img.data() + 32);
    if (l.bits != 1 && l.bits != 4 && l.bits != 8) return StringId::AniHiColor;
    if (w <= 0 || hh <= 0 || w > 4096 || hh > 8192 || header_size > img.size()) return StringId::AniInvalid;
    // A bitmap twice the entry's height holds the colour image and the mask.
    l.withMask = hh == 2 * out.entryH;
    l.w = w;
    l.h = l.withMask ? out.entryH : hh;
    if (l.used == 0 || l.used > (1u << l.bits)) l.used = 1u << l.bits;
    l.tableAt = header_size;
    l.stride = (static_cast<size_t>(w) * l.bits + 31) / 32 * 4;
    l.maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
    l.bitsAt = l.tableAt + 4 * size_t{l.used};
    l.maskAt = l.bitsAt + l.stride * static_cast<size_t>(l.h);
    if (l.maskAt > img.size() || (l.withMask && img.size() - l.maskAt < l.maskStride * size_t(l.h)))
        return StringId::AniInvalid;
    return std::nullopt;
}

// Makes the first colour no pixel uses (or a new one) transparent where
// the mask is set. No colour is free in a full table: the mask is dropped.
void ApplyMask(const IconLayout& l, FrameBitmap& bmp, const std::array<bool, 256>& seen,
               std::vector<uint8_t>& rgb, Frame& f) {
    int entries = static_cast<int>(rgb.size() / 3);
    int transparent = -1;
    for (int i = 0; i < entries && transparent < 0; ++i)
        if (!seen[static_cast<size_t>(i)]) transparent = i;
    if (transparent < 0 && entries < 256) {
        rgb.insert(rgb.end(), {0, 0, 0});
        transparent = entries++;
    }
    if (transparent < 0) return;
    for (int y = 0; y < l.h; ++y) {
        const uint8_t* m = l.img.data() + l.maskAt + l.maskStride * static_cast<size_t>(l.h - 1 - y);
        uint8_t* d = bmp.Row(y);
        for (int x = 0; x < l.w; ++x)
            if ((m[x >> 3] >> (7 - (x & 7))) & 1) d[x] = static_cast<uint8_t>(transparent);
    }
    SetTransparentIndex(f, static_cast<uint8_t>(transparent));
    SetTransparent(f, true);
}

// One image of an icon or cursor file as a frame.
std::optional<StringId> ReadIconImage(std::span<const uint8_t> icon, const PreferenceBlock& prefs, IconImage& out) {
    IconLayout l;
    if (const auto problem = ReadIconLayout(icon, out, l)) return problem;
    std::vector<uint8_t> rgb;
    for (uint32_t i = 0; i < l.used; ++i) {
        const uint8_t* q = l.img.data() + l.tableAt + 4 * i;
        rgb.insert(rgb.end(), {q[2], q[1], q[0]});
    }
    auto bmp = FrameBitmap::Create(l.w, l.h);
    if (!bmp) return StringId::OutOfMemory;
    std::array<bool, 256> seen{};
    int max_index = 0;
    for (int y = 0; y < l.h; ++y) {
        const uint8_t* s = l.img.data() + l.bitsAt + l.stride * static_cast<size_t>(l.h - 1 - y);
        uint8_t* d = bmp->Row(y);
        for (int x = 0; x < l.w; ++x) {
            uint8_t v;
            if (l.bits == 8) v = s[x];
            else if (l.bits == 4) v = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
            else v = (s[x >> 3] >> (7 - (x & 7))) & 1;
            d[x] = v;
            seen[v] = true;
            max_index = std::max<int>(max_index, v);
        }
    }
    // Indices beyond a short colour table show black.
    while (static_cast<int>(rgb.size() / 3) <= max_index) rgb.insert(rgb.end(), {0, 0, 0});
    auto f = NewFrame(l.w, l.h, prefs);
    SetDisposal(*f, kDisposeBackground);
    if (l.withMask) ApplyMask(l, *bmp, seen, rgb, *f);
    SetBitmap(*f, std::move(*bmp));
    SetLocalPalette(*f, Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3)));
    out.frame = std::move(f);
    return std::nullopt;
}

// What the chunks of a cursor say: the steps (rate, icon, data) and the
// names of the "INFO" list.
struct AniChunks {
    std::vector<Step> steps;
    bool haveHeader = false;
    AniInfo names;
};

std::optional<StringId> ReadHeaderChunk(const uint8_t* c, uint32_t size, AniChunks& out) {
    if (out.haveHeader || size < 36) return StringId::AniInvalid;
    const uint32_t icons = LoadLE32(c + 12);
    uint32_t nsteps = LoadLE32(c + 16);
    const uint32_t rate = LoadLE32(c + 36);
    const uint32_t flags = LoadLE32(c + 40);
    if (!(flags & 1) || icons == 0) return StringId::AniInvalid;
    if (nsteps == 0) nsteps = icons;
    if (nsteps > kMaxSteps) return StringId::AniInvalid;
    out.steps.resize(nsteps);
    for (uint32_t i = 0; i < nsteps; ++i) out.steps[i] = Step{rate, i, {}};
    out.haveHeader = true;
    return std::nullopt;
}

// The sub-chunks of a "fram" or "INFO" list from `p` to `chunk_end`;
// answers where reading them stopped.
size_t ReadListChunk(std::span<const uint8_t> d, size_t p, size_t chunk_end, bool fram, bool info, AniChunks& out) {
    uint32_t icon_number = 0;
    while (p + 8 <= chunk_end) {
        const uint8_t* s = d.data() + p;
        const uint32_t ssize = LoadLE32(s + 4);
        if (ssize > chunk_end - (p + 8)) break;
        std::span<const uint8_t> sdata = d.subspan(p + 8, ssize);
        if (fram && Is(s, "icon")) {
            for (auto& st : out.steps)
                if (st.icon == icon_number) st.data = sdata;
            ++icon_number;
        } else if (info && (Is(s, "INAM") || Is(s, "IART"))) {
            std::string text(reinterpret_cast<const char*>(sdata.data()), std::min<size_t>(sdata.size(), 80));
            text = text.substr(0, text.find('\0'));
            (Is(s, "INAM") ? out.names.title : out.names.author) = text;
        }
        p += 8 + ssize + (ssize & 1);
    }
    return p;
}

std::optional<StringId> ReadChunks(std::span<const uint8_t> d, AniChunks& out) {
    size_t pos = 12;
    const size_t end = d.size();
    while (pos + 8 <= end) {
        const uint8_t* c = d.data() + pos;
        const uint32_t size = LoadLE32(c + 4);
        const size_t body = pos + 8;
        const bool is_list = Is(c, "LIST");
        size_t next = body + size + (size & 1);
        if (size > end - body) {
            // A list may overstate its size; any other chunk must fit.
            if (!is_list) return StringId::AniInvalid;
            next = end;
        }
        const size_t chunk_end = std::min<size_t>(body + size, end);
        if (Is(c, "anih")) {
            if (const auto problem = ReadHeaderChunk(c, size, out)) return problem;
        } else if (Is(c, "rate") || Is(c, "seq ")) {
            const bool rate = Is(c, "rate");
            const size_t n = std::min<size_t>(size / 4, out.steps.size());
            for (size_t i = 0; i < n; ++i) (rate ? out.steps[i].rate : out.steps[i].icon) = LoadLE32(c + 8 + 4 * i);
        } else if (is_list && chunk_end - body >= 4) {
            size_t p = ReadListChunk(d, body + 4, chunk_end, Is(c + 8, "fram"), Is(c + 8, "INFO"), out);
            // A list whose size overstates its content: when the declared
            // end does not start a chunk but the end of the content does,
            // go on from there.
            p = std::min(p, end);
            if (!PlausibleId(d, next) && next != p && PlausibleId(d, p)) next = p;
        }
        pos = next;
    }
    if (!out.haveHeader || out.steps.empty()) return StringId::AniInvalid;
    return std::nullopt;
}

// One frame per step; the first icon's entry gives the cursor's size and
// hot spot.
std::optional<StringId> BuildFrames(const AniChunks& chunks, const PreferenceBlock& prefs, Animation& a) {
    for (size_t i = 0; i < chunks.steps.size(); ++i) {
        const Step& step = chunks.steps[i];
        if (step.data.empty()) return StringId::AniInvalid;
        IconImage icon;
        if (const auto problem = ReadIconImage(step.data, prefs, icon)) return problem;
        if (i == 0) {
            a.width = static_cast<uint32_t>(icon.entryW);
            a.height = static_cast<uint32_t>(icon.entryH);
            a.hotspot = Hotspot{icon.hotX, icon.hotY};
        }
        SetDelay(*icon.frame, static_cast<uint32_t>(uint64_t{step.rate} * 100 / 60) & 0xFFFF);
        a.blocks.push_back(std::move(icon.frame));
    }
    return std::nullopt;
}

}  // namespace

bool IsAniHeader(std::span<const uint8_t> b) {
    return b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "ACON", 4) == 0;
}

ReadOutcome ImportAni(std::span<const uint8_t> d, UiHost& host, const PreferenceBlock& prefs, AniInfo* info) {
    std::optional<StringId> problem;
    auto a = NewAnimation();
    a->playCount = prefs.DefaultLoop();
    try {
        AniChunks chunks;
        problem = IsAniHeader(d) ? ReadChunks(d, chunks) : StringId::AniInvalid;
        if (!problem) problem = BuildFrames(chunks, prefs, *a);
        if (!problem && info) *info = chunks.names;
    } catch (const std::bad_alloc&) {
        problem = StringId::OutOfMemory;
    }
    if (problem) {
        Tell(host, *problem);
        return {};
    }
    return ReadDone(std::move(a));
}

uint64_t AniIconDataSize(int width, int height) {
    const uint64_t w = static_cast<uint64_t>(std::max(0, width));
    const uint64_t h = static_cast<uint64_t>(std::max(0, height));
    return 1086 + 4 * ((w + 31) / 32 + (w + 3) / 4) * h;
}

std::vector<uint8_t> BuildAni(const Animation& a, UiHost& host) {
    const auto frames = a.Frames();
    const uint32_t n = static_cast<uint32_t>(frames.size());
    uint64_t icons_total = 0;
    for (const Frame* f : frames) {
        // A frame with no colour table in effect is written with the colours
        // it is shown with (every index black), as saving a GIF keeps it.
        if (!f->bitmap) {
            Tell(host, StringId::FrameImageNoMemory);
            return {};
        }
        // A cursor's directory entry holds 1 to 256 pixels each way; a
        // larger image cannot be told from its mask when read back.
        if (f->bitmap->width <= 0 || f->bitmap->height <= 0 || f->bitmap->width > 256 ||
            f->bitmap->height > 256) {
            Tell(host, StringId::AniFrameSize);
            return {};
        }
        icons_total += AniIconDataSize(f->bitmap->width, f->bitmap->height) + 8;
    }
    const uint64_t riff = (4 * uint64_t{n} + 1) / 2 * 2 + icons_total + 68;
    if (n == 0 || riff > 0xFFFFFFF0u) {
        Tell(host, StringId::OutOfMemory);
        return {};
    }
    std::vector<uint8_t> out;
    try {
        out.reserve(static_cast<size_t>(riff) + 8);
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::OutOfMemory);
        return {};
    }
    auto id = [&](const char* s) { out.insert(out.end(), s, s + 4); };
    id("RIFF");
    AppendLE32(out, static_cast<uint32_t>(riff));
    id("ACON");
    id("anih");
    AppendLE32(out, 36);
    for (uint32_t v : {36u, n, n, a.width, a.height, 8u, 1u, 1u, 1u}) AppendLE32(out, v);
    id("rate");
    AppendLE32(out, 4 * n);
    for (const Frame* f : frames) AppendLE32(out, (f->delay & 0xFFFF) * 60 / 100);
    id("LIST");
    AppendLE32(out, static_cast<uint32_t>(icons_total + 4));
    id("fram");
    for (const Frame* f : frames) {
        const FrameBitmap& b = *f->bitmap;
        const int w = b.width, h = b.height;
        const uint32_t size = static_cast<uint32_t>(AniIconDataSize(w, h));
        id("icon");
        AppendLE32(out, size);
        AppendLE16(out, 0);
        AppendLE16(out, 1);
        AppendLE16(out, 1);
        out.insert(out.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(h), 255, 0});
        AppendLE16(out, static_cast<uint32_t>(a.hotspot.x));
        AppendLE16(out, static_cast<uint32_t>(a.hotspot.y));
        AppendLE32(out, size - 22);
        AppendLE32(out, 22);
        // Header: 2h rows (colour image and mask), bottom-up, 8 bits.
        for (uint32_t v : {40u, static_cast<uint32_t>(w), static_cast<uint32_t>(2 * h)}) AppendLE32(out, v);
        AppendLE16(out, 1);
        AppendLE16(out, 8);
        for (int i = 0; i < 6; ++i) AppendLE32(out, 0);
        auto table = ColorTableOf(PaletteInEffect(a, *f));
        if (f->Transparent()) table[f->transparentIndex] = 0;
        for (uint32_t q : table) AppendLE32(out, q);
        const int stride = FrameBitmap::StrideFor(w);
        for (int y = h - 1; y >= 0; --y) {
            out.insert(out.end(), b.Row(y), b.Row(y) + w);
            out.insert(out.end(), static_cast<size_t>(stride - w), 0);
        }
        const size_t mask_stride = (static_cast<size_t>(w) + 31) / 32 * 4;
        for (int y = h - 1; y >= 0; --y) {
            std::vector<uint8_t> row(mask_stride, 0);
            if (f->Transparent())
                for (int x = 0; x < w; ++x)
                    if (b.At(x, y) == f->transparentIndex)
                        row[static_cast<size_t>(x) >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

Result ExportAni(Animation& a, const std::string& path, UiHost& host) {
    const int w = static_cast<int>(std::min<uint32_t>(a.width, 0xFFFF));
    const int h = static_cast<int>(std::min<uint32_t>(a.height, 0xFFFF));
    int x = a.hotspot.x, y = a.hotspot.y;
    if (x < 0 || y < 0) x = w / 2, y = h / 2;
    auto [ax, ay] = host.AskHotspot(x, y, w, h);
    a.hotspot = Hotspot{std::clamp(ax, 0, w), std::clamp(ay, 0, h)};
    const std::vector<uint8_t> bytes = BuildAni(a, host);
    if (bytes.empty()) return Result::Failed;
    if (const WriteProblem p = WriteFileAtomically(path, bytes.data(), bytes.size()); p != WriteProblem::None) {
        TellWriteProblem(host, p, path);
        return Result::Failed;
    }
    return Result::Done;
}

}  // namespace cinemill
