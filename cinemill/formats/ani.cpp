#include "cinemill/formats/ani.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
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

struct Fail {
    StringId id;
};

// One image of an icon or cursor file as a frame.
std::unique_ptr<Frame> ReadIconImage(std::span<const uint8_t> icon, const PreferenceBlock& prefs,
                                     int& entry_w, int& entry_h, int& hot_x, int& hot_y) {
    if (icon.size() < 6 + 16 || LoadLE16(icon.data() + 4) < 1) throw Fail{StringId::AniInvalid};
    const uint8_t* e = icon.data() + 6;
    entry_w = e[0] ? e[0] : 256;
    entry_h = e[1] ? e[1] : 256;
    hot_x = LoadLE16(e + 4);
    hot_y = LoadLE16(e + 6);
    const uint32_t size = LoadLE32(e + 8), offset = LoadLE32(e + 12);
    if (offset > icon.size() || size > icon.size() - offset) throw Fail{StringId::AniInvalid};
    std::span<const uint8_t> img = icon.subspan(offset, size);
    if (img.size() >= 8 && img[0] == 0x89 && img[1] == 'P') throw Fail{StringId::AniHiColor};
    if (img.size() < 40 || LoadLE32(img.data()) < 40) throw Fail{StringId::AniInvalid};
    const uint32_t header_size = LoadLE32(img.data());
    const int32_t w = static_cast<int32_t>(LoadLE32(img.data() + 4));
    const int32_t hh = static_cast<int32_t>(LoadLE32(img.data() + 8));
    const int bits = LoadLE16(img.data() + 14);
    uint32_t used = LoadLE32(img.data() + 32);
    if (bits != 1 && bits != 4 && bits != 8) throw Fail{StringId::AniHiColor};
    if (w <= 0 || hh <= 0 || w > 4096 || hh > 8192 || header_size > img.size())
        throw Fail{StringId::AniInvalid};
    const bool with_mask = hh == 2 * entry_h;
    const int h = with_mask ? entry_h : hh;
    if (used == 0 || used > (1u << bits)) used = 1u << bits;
    const size_t table_at = header_size;
    const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
    const size_t mask_stride = (static_cast<size_t>(w) + 31) / 32 * 4;
    const size_t bits_at = table_at + 4 * size_t{used};
    const size_t mask_at = bits_at + stride * static_cast<size_t>(h);
    if (mask_at > img.size() || (with_mask && img.size() - mask_at < mask_stride * size_t(h)))
        throw Fail{StringId::AniInvalid};

    std::vector<uint8_t> rgb;
    for (uint32_t i = 0; i < used; ++i) {
        const uint8_t* q = img.data() + table_at + 4 * i;
        rgb.insert(rgb.end(), {q[2], q[1], q[0]});
    }
    auto bmp = FrameBitmap::Create(w, h);
    if (!bmp) throw Fail{StringId::OutOfMemory};
    std::array<bool, 256> seen{};
    int max_index = 0;
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = img.data() + bits_at + stride * static_cast<size_t>(h - 1 - y);
        uint8_t* d = bmp->Row(y);
        for (int x = 0; x < w; ++x) {
            uint8_t v;
            if (bits == 8) v = s[x];
            else if (bits == 4) v = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
            else v = (s[x >> 3] >> (7 - (x & 7))) & 1;
            d[x] = v;
            seen[v] = true;
            max_index = std::max<int>(max_index, v);
        }
    }
    // Indices beyond a short colour table show black.
    while (static_cast<int>(rgb.size() / 3) <= max_index) rgb.insert(rgb.end(), {0, 0, 0});
    auto f = NewFrame(w, h, prefs);
    SetDisposal(*f, 2);
    if (with_mask) {
        int entries = static_cast<int>(rgb.size() / 3);
        int transparent = -1;
        for (int i = 0; i < entries; ++i)
            if (!seen[static_cast<size_t>(i)]) {
                transparent = i;
                break;
            }
        if (transparent < 0 && entries < 256) {
            rgb.insert(rgb.end(), {0, 0, 0});
            transparent = entries++;
        }
        if (transparent >= 0) {
            for (int y = 0; y < h; ++y) {
                const uint8_t* m = img.data() + mask_at + mask_stride * static_cast<size_t>(h - 1 - y);
                uint8_t* d = bmp->Row(y);
                for (int x = 0; x < w; ++x)
                    if ((m[x >> 3] >> (7 - (x & 7))) & 1) d[x] = static_cast<uint8_t>(transparent);
            }
            SetTransparentIndex(*f, static_cast<uint8_t>(transparent));
            SetTransparent(*f, true);
        }
    }
    SetBitmap(*f, std::move(*bmp));
    SetLocalPalette(*f, Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3)));
    return f;
}

}  // namespace

std::unique_ptr<Animation> ImportAni(std::span<const uint8_t> d, UiHost& host,
                                     const PreferenceBlock& prefs, AniInfo* info) {
    try {
        if (d.size() < 12 || !Is(d.data(), "RIFF") || !Is(d.data() + 8, "ACON"))
            throw Fail{StringId::AniInvalid};
        std::vector<Step> steps;
        bool have_header = false;
        AniInfo names;
        size_t pos = 12;
        const size_t end = d.size();
        while (pos + 8 <= end) {
            const uint8_t* c = d.data() + pos;
            const uint32_t size = LoadLE32(c + 4);
            const size_t body = pos + 8;
            const bool is_list = Is(c, "LIST");
            size_t next;
            if (size > end - body) {
                // A list may overstate its size; any other chunk must fit.
                if (!is_list) throw Fail{StringId::AniInvalid};
                next = end;
            } else {
                next = body + size + (size & 1);
            }
            const size_t chunk_end = std::min<size_t>(body + size, end);
            if (Is(c, "anih")) {
                if (have_header || size < 36) throw Fail{StringId::AniInvalid};
                const uint32_t icons = LoadLE32(c + 12);
                uint32_t nsteps = LoadLE32(c + 16);
                const uint32_t rate = LoadLE32(c + 36);
                const uint32_t flags = LoadLE32(c + 40);
                if (!(flags & 1) || icons == 0) throw Fail{StringId::AniInvalid};
                if (nsteps == 0) nsteps = icons;
                if (nsteps > kMaxSteps) throw Fail{StringId::AniInvalid};
                steps.resize(nsteps);
                for (uint32_t i = 0; i < nsteps; ++i) steps[i] = Step{rate, i, {}};
                have_header = true;
            } else if (Is(c, "rate") || Is(c, "seq ")) {
                const bool rate = Is(c, "rate");
                const size_t n = std::min<size_t>(size / 4, steps.size());
                for (size_t i = 0; i < n; ++i) {
                    const uint32_t v = LoadLE32(c + 8 + 4 * i);
                    (rate ? steps[i].rate : steps[i].icon) = v;
                }
            } else if (is_list && chunk_end - body >= 4) {
                const bool fram = Is(c + 8, "fram"), inam = Is(c + 8, "INFO");
                size_t p = body + 4;
                uint32_t icon_number = 0;
                while (p + 8 <= chunk_end) {
                    const uint8_t* s = d.data() + p;
                    const uint32_t ssize = LoadLE32(s + 4);
                    if (ssize > chunk_end - (p + 8)) break;
                    std::span<const uint8_t> sdata = d.subspan(p + 8, ssize);
                    if (fram && Is(s, "icon")) {
                        for (auto& st : steps)
                            if (st.icon == icon_number) st.data = sdata;
                        ++icon_number;
                    } else if (inam && (Is(s, "INAM") || Is(s, "IART"))) {
                        std::string text(reinterpret_cast<const char*>(sdata.data()),
                                         std::min<size_t>(sdata.size(), 80));
                        text = text.substr(0, text.find('\0'));
                        (Is(s, "INAM") ? names.title : names.author) = text;
                    }
                    p += 8 + ssize + (ssize & 1);
                }
                // A list whose size overstates its content: when the declared
                // end does not start a chunk but the end of the content does,
                // go on from there.
                p = std::min(p, end);
                if (!PlausibleId(d, next) && next != p && PlausibleId(d, p)) next = p;
            }
            pos = next;
        }
        if (!have_header || steps.empty()) throw Fail{StringId::AniInvalid};

        int ew = 0, eh = 0, hx = 0, hy = 0;
        auto a = NewAnimation();
        a->playCount = prefs.DefaultLoop();
        for (size_t i = 0; i < steps.size(); ++i) {
            if (steps[i].data.empty()) throw Fail{StringId::AniInvalid};
            int w, h, x, y;
            auto f = ReadIconImage(steps[i].data, prefs, w, h, x, y);
            if (i == 0) {
                ew = w, eh = h, hx = x, hy = y;
            }
            SetDelay(*f, static_cast<uint32_t>(uint64_t{steps[i].rate} * 100 / 60) & 0xFFFF);
            a->blocks.push_back(std::move(f));
        }
        a->width = static_cast<uint32_t>(ew);
        a->height = static_cast<uint32_t>(eh);
        a->hotspot = Hotspot{hx, hy};
        if (info) *info = names;
        return a;
    } catch (const Fail& f) {
        host.Error(std::string(LoadString(f.id)));
    } catch (const std::bad_alloc&) {
        host.Error(std::string(LoadString(StringId::OutOfMemory)));
    }
    return nullptr;
}

std::unique_ptr<Animation> ImportAniFile(const std::string& path, UiHost& host,
                                         const PreferenceBlock& prefs) {
    std::vector<uint8_t> bytes;
    // The signature is looked at before the rest of the file is read.
    const HeaderCheck check = [](std::span<const uint8_t> b) {
        return b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0 &&
               std::memcmp(b.data() + 8, "ACON", 4) == 0;
    };
    if (const FileRead r = ReadFileChecked(path, bytes, 12, check); r != FileRead::Ok) {
        TellFileReadFailure(host, r, path);
        return nullptr;
    }
    return ImportAni(bytes, host, prefs);
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
            host.Error(std::string(LoadString(StringId::FrameImageNoMemory)));
            return {};
        }
        icons_total += AniIconDataSize(f->bitmap->width, f->bitmap->height) + 8;
    }
    const uint64_t riff = (4 * uint64_t{n} + 1) / 2 * 2 + icons_total + 68;
    if (n == 0 || riff > 0xFFFFFFF0u) {
        host.Error(std::string(LoadString(StringId::OutOfMemory)));
        return {};
    }
    std::vector<uint8_t> out;
    try {
        out.reserve(static_cast<size_t>(riff) + 8);
    } catch (const std::bad_alloc&) {
        host.Error(std::string(LoadString(StringId::OutOfMemory)));
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
    if (!WriteFileAtomically(path, bytes.data(), bytes.size())) {
        host.Error(FormatString(StringId::WriteToFailed, path));
        return Result::Failed;
    }
    return Result::Done;
}

}  // namespace cinemill
