#include "cinemill/formats/bmp_import.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "cinemill/base/bytes.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

// The file's information header, bit-field masks, colour table and pixels
// as a packed DIB with a 40-byte header (core headers widened, larger ones
// cut). None when the file can be read that far, else the message to tell.
std::optional<StringId> ToPackedDib(std::span<const uint8_t> file, std::vector<uint8_t>& dib) {
    // A file with the "BM" header, or a bare packed DIB.
    size_t header_at = 14;
    uint32_t pixel_offset = 0;  // from the file start; 0 = right after the colour table
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') {
        if (file.size() < 18) return StringId::BmpReadFailed;
        pixel_offset = LoadLE32(file.data() + 10);
    } else {
        header_at = 0;
        if (file.size() < 4) return StringId::BmpReadFailed;
    }
    const uint8_t* h = file.data() + header_at;
    const size_t avail = file.size() - header_at;
    const uint32_t header_size = LoadLE32(h);
    // The pixels start after the colour table, or at the file's pixel
    // offset when that lies beyond it.
    auto append_pixels = [&](size_t table_end) {
        size_t from = header_at + table_end;
        if (pixel_offset >= from && pixel_offset <= file.size()) from = pixel_offset;
        dib.insert(dib.end(), file.begin() + static_cast<std::ptrdiff_t>(from), file.end());
    };

    if (header_size == 12) {
        // Core header: 16-bit width and height, colour triples.
        if (avail < 12) return StringId::BmpReadFailed;
        const int bits = LoadLE16(h + 10);
        dib.resize(40, 0);
        StoreLE32(dib.data(), 40);
        StoreLE32(dib.data() + 4, LoadLE16(h + 4));
        // The core height is unsigned 16 bits; rows run bottom-up.
        StoreLE32(dib.data() + 8, LoadLE16(h + 6));
        StoreLE16(dib.data() + 12, LoadLE16(h + 8));
        StoreLE16(dib.data() + 14, static_cast<uint32_t>(bits));
        size_t table_end = 12;
        if (bits < 16) {
            if (bits != 1 && bits != 4 && bits != 8) return StringId::DibUnsupported;
            const size_t n = size_t{1} << bits;
            if (avail < 12 + 3 * n) return StringId::BmpReadFailed;
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* q = h + 12 + 3 * i;
                dib.insert(dib.end(), {q[0], q[1], q[2], 0});
            }
            table_end += 3 * n;
        }
        append_pixels(table_end);
        return std::nullopt;
    }
    if (header_size < 40 || header_size > 124 || avail < header_size)
        return header_size < 12 || avail < 12 ? StringId::BmpReadFailed : StringId::DibUnsupported;

    const int bits = LoadLE16(h + 14);
    const uint32_t compression = LoadLE32(h + 16);
    uint32_t colors = LoadLE32(h + 32);
    // The 40-byte header, then the bit-field masks (inside larger headers,
    // after a 40-byte one), the colour table and the pixels.
    dib.assign(h, h + 40);
    size_t at = header_size;
    if (compression == 3 || compression == 6) {
        if (header_size >= 52) {
            dib.insert(dib.end(), h + 40, h + 52);
        } else {
            if (avail < at + 12) return StringId::BmpReadFailed;
            dib.insert(dib.end(), h + at, h + at + 12);
            at += 12;
        }
    }
    size_t table = 0;
    if (bits <= 8 && bits > 0) {
        if (colors == 0 || colors > (1u << bits)) colors = 1u << bits;
        table = 4 * size_t{colors};
    } else if (colors <= 256) {
        table = 4 * size_t{colors};
    }
    if (avail < at + table) return StringId::BmpReadFailed;
    dib.insert(dib.end(), h + at, h + at + table);
    if (bits <= 8 && bits > 0) StoreLE32(dib.data() + 32, colors);
    else StoreLE32(dib.data() + 32, static_cast<uint32_t>(table / 4));
    append_pixels(at + table);
    StoreLE32(dib.data(), 40);
    return std::nullopt;
}

}  // namespace

bool IsBmpHeader(std::span<const uint8_t> b) {
    return b.size() >= 4 && ((b[0] == 'B' && b[1] == 'M') || (b[2] == 0 && b[3] == 0));
}

ReadOutcome ImportBmp(std::span<const uint8_t> file, UiHost& host, const PreferenceBlock& prefs) {
    std::vector<uint8_t> dib;
    std::optional<StringId> problem;
    try {
        problem = ToPackedDib(file, dib);
    } catch (const std::bad_alloc&) {
        problem = StringId::BmpNoMemory;
    }
    if (problem) {
        Tell(host, *problem);
        return {};
    }
    // Rows missing from the end are damage, not an unsupported kind of image.
    return ReadDone(AnimationFromPackedDib(dib, host, prefs, false, StringId::BmpReadFailed));
}

}  // namespace cinemill
