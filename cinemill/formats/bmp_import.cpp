#include "cinemill/formats/bmp_import.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cinemill/base/bytes.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

std::unique_ptr<Animation> Fail(UiHost& host, StringId id) {
    host.Error(std::string(LoadString(id)));
    return nullptr;
}

}  // namespace

std::unique_ptr<Animation> ImportBmp(std::span<const uint8_t> file, UiHost& host,
                                     const PreferenceBlock& prefs) {
    // A file with the "BM" header, or a bare packed DIB.
    size_t header_at = 14;
    uint32_t pixel_offset = 0;  // from the file start; 0 = right after the colour table
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') {
        if (file.size() < 18) return Fail(host, StringId::BmpReadFailed);
        pixel_offset = LoadLE32(file.data() + 10);
    } else {
        header_at = 0;
        if (file.size() < 4) return Fail(host, StringId::BmpReadFailed);
    }
    const uint8_t* h = file.data() + header_at;
    const size_t avail = file.size() - header_at;
    const uint32_t header_size = LoadLE32(h);

    std::vector<uint8_t> dib;
    try {
        if (header_size == 12) {
            // Core header: 16-bit width and height, colour triples.
            if (avail < 12) return Fail(host, StringId::BmpReadFailed);
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
                if (bits != 1 && bits != 4 && bits != 8) return Fail(host, StringId::DibUnsupported);
                const size_t n = size_t{1} << bits;
                if (avail < 12 + 3 * n) return Fail(host, StringId::BmpReadFailed);
                for (size_t i = 0; i < n; ++i) {
                    const uint8_t* q = h + 12 + 3 * i;
                    dib.insert(dib.end(), {q[0], q[1], q[2], 0});
                }
                table_end += 3 * n;
            }
            size_t from = header_at + table_end;
            if (pixel_offset >= from && pixel_offset <= file.size()) from = pixel_offset;
            dib.insert(dib.end(), file.begin() + static_cast<std::ptrdiff_t>(from), file.end());
        } else if (header_size >= 40 && header_size <= 124 && avail >= header_size) {
            const int bits = LoadLE16(h + 14);
            const uint32_t compression = LoadLE32(h + 16);
            uint32_t colors = LoadLE32(h + 32);
            // The 40-byte header, then the bit-field masks (inside larger
            // headers, after a 40-byte one), the colour table and the pixels.
            dib.assign(h, h + 40);
            size_t at = header_size;
            if (compression == 3 || compression == 6) {
                if (header_size >= 52) {
                    dib.insert(dib.end(), h + 40, h + 52);
                } else {
                    if (avail < at + 12) return Fail(host, StringId::BmpReadFailed);
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
            if (avail < at + table) return Fail(host, StringId::BmpReadFailed);
            dib.insert(dib.end(), h + at, h + at + table);
            if (bits <= 8 && bits > 0) StoreLE32(dib.data() + 32, colors);
            else StoreLE32(dib.data() + 32, static_cast<uint32_t>(table / 4));
            at += table;
            size_t from = header_at + at;
            if (pixel_offset >= from && pixel_offset <= file.size()) from = pixel_offset;
            dib.insert(dib.end(), file.begin() + static_cast<std::ptrdiff_t>(from), file.end());
            StoreLE32(dib.data(), 40);
        } else {
            return Fail(host, header_size < 12 || avail < 12 ? StringId::BmpReadFailed
                                                               : StringId::DibUnsupported);
        }
    } catch (const std::bad_alloc&) {
        return Fail(host, StringId::BmpNoMemory);
    }
    // Rows missing from the end are damage, not an unsupported kind of image.
    return AnimationFromPackedDib(dib, host, prefs, false, StringId::BmpReadFailed);
}

std::unique_ptr<Animation> ImportBmpFile(const std::string& path, UiHost& host,
                                         const PreferenceBlock& prefs) {
    std::vector<uint8_t> bytes;
    // The signature is looked at before the rest of the file is read.
    const HeaderCheck check = [](std::span<const uint8_t> b) {
        return b.size() >= 4 && ((b[0] == 'B' && b[1] == 'M') || (b[2] == 0 && b[3] == 0));
    };
    if (const FileRead r = ReadFileChecked(path, bytes, 4, check); r != FileRead::Ok) {
        TellFileReadFailure(host, r, path);
        return nullptr;
    }
    return ImportBmp(bytes, host, prefs);
}

}  // namespace cinemill
