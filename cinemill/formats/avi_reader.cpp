// Reading AVI files: our own RIFF parser and decoders for uncompressed and
// run-length streams; other codecs go to the FFmpeg path (avi_ffmpeg.cpp).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "cinemill/base/bytes.h"
#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/tell.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/avi_internal.h"

namespace cinemill {
namespace {

uint32_t Fourcc(const char* s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

uint64_t LoadLE64(const uint8_t* p) { return LoadLE32(p) | uint64_t{LoadLE32(p + 4)} << 32; }

// Positioned reads (the reader jumps around the file through its indexes).
class File {
public:
    explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st;
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
            size_ = static_cast<uint64_t>(st.st_size);
        } else if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~File() {
        if (fd_ >= 0) ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool ok() const { return fd_ >= 0; }
    uint64_t size() const { return size_; }
    bool Read(uint64_t at, void* out, size_t n) {
        if (at > size_ || n > size_ - at) return false;
        auto* d = static_cast<uint8_t*>(out);
        while (n > 0) {
            const ssize_t got = ::pread(fd_, d, n, static_cast<off_t>(at));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            d += got, at += static_cast<uint64_t>(got), n -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_ = 0;
};

struct Sample {
    uint64_t offset = 0;  // of the data
    uint32_t size = 0;
    // Palette changes that come before this sample's data.
    std::vector<std::vector<uint8_t>> paletteChanges;
};

struct Movi {
    uint64_t fourccAt;  // position of "movi"
    uint64_t end;
};

struct Parsed {
    bool haveStream = false;
    int streamNumber = -1;
    uint32_t scale = 0, rate = 0, start = 0, length = 0;
    std::vector<uint8_t> format;
    std::vector<Movi> movis;
    uint64_t idx1At = 0;
    uint32_t idx1Size = 0;
    bool haveIdx1 = false;
    // The OpenDML index ("indx") of the video stream's header list.
    uint64_t indxAt = 0;
    uint32_t indxSize = 0;
    bool haveIndx = false;
};

constexpr size_t kMaxFormat = 1 << 16;
constexpr uint64_t kMaxSamples = 1 << 24;
// Frames beyond this many bytes of pixels in all are refused as out of memory.
constexpr uint64_t kMemoryBudget = uint64_t{1} << 30;

bool ParseHeaderList(File& f, uint64_t at, uint64_t end, Parsed& p) {
    int strl_index = 0;
    uint8_t h[12];
    while (at + 8 <= end) {
        if (!f.Read(at, h, 8)) return false;
        const uint32_t id = LoadLE32(h), size = LoadLE32(h + 4);
        const uint64_t body = at + 8, next = body + size + (size & 1);
        if (id == Fourcc("LIST") && size >= 4 && f.Read(body, h + 8, 4) &&
            LoadLE32(h + 8) == Fourcc("strl")) {
            const uint64_t lend = std::min(body + size, end);
            uint64_t q = body + 4;
            bool video = false, chosen = false;
            uint64_t indx_at = 0;
            uint32_t indx_size = 0;
            uint8_t strh[56] = {};
            while (q + 8 <= lend) {
                uint8_t c[8];
                if (!f.Read(q, c, 8)) break;
                const uint32_t cid = LoadLE32(c), csize = LoadLE32(c + 4);
                if (csize > lend - q - 8) break;
                if (cid == Fourcc("strh") && csize >= 48) {
                    f.Read(q + 8, strh, std::min<size_t>(csize, 56));
                    video = LoadLE32(strh) == Fourcc("vids");
                } else if (cid == Fourcc("strf") && video && !p.haveStream) {
                    const size_t n = std::min<size_t>(csize, kMaxFormat);
                    p.format.resize(n);
                    if (!f.Read(q + 8, p.format.data(), n)) return false;
                    p.haveStream = true;
                    chosen = true;
                    p.streamNumber = strl_index;
                    p.scale = LoadLE32(strh + 20);
                    p.rate = LoadLE32(strh + 24);
                    p.start = LoadLE32(strh + 28);
                    p.length = LoadLE32(strh + 32);
                } else if (cid == Fourcc("indx")) {
                    indx_at = q + 8;
                    indx_size = csize;
                }
                q += 8 + uint64_t{csize} + (csize & 1);
            }
            if (chosen && indx_size > 0) {
                p.haveIndx = true;
                p.indxAt = indx_at;
                p.indxSize = indx_size;
            }
            ++strl_index;
        }
        at = next;
    }
    return true;
}

// Walks the top-level chunks of every RIFF in the file.
bool ParseFile(File& f, Parsed& p) {
    uint64_t at = 0;
    bool first = true;
    uint8_t h[12];
    while (at + 12 <= f.size()) {
        if (!f.Read(at, h, 12) || LoadLE32(h) != Fourcc("RIFF")) break;
        const uint32_t form = LoadLE32(h + 8);
        if (first ? form != Fourcc("AVI ") : form != Fourcc("AVIX")) break;
        const uint64_t riff_end = std::min<uint64_t>(at + 8 + LoadLE32(h + 4), f.size());
        uint64_t q = at + 12;
        while (q + 8 <= riff_end) {
            uint8_t c[12];
            if (!f.Read(q, c, 8)) break;
            const uint32_t id = LoadLE32(c), size = LoadLE32(c + 4);
            const uint64_t body = q + 8;
            const uint64_t cend = std::min<uint64_t>(body + size, riff_end);
            if (id == Fourcc("LIST") && size >= 4 && f.Read(body, c + 8, 4)) {
                const uint32_t type = LoadLE32(c + 8);
                if (type == Fourcc("hdrl") && first) {
                    if (!ParseHeaderList(f, body + 4, cend, p)) return false;
                } else if (type == Fourcc("movi")) {
                    p.movis.push_back({body, cend});
                }
            } else if (id == Fourcc("idx1") && first) {
                p.haveIdx1 = true;
                p.idx1At = body;
                p.idx1Size = static_cast<uint32_t>(cend - body);
            }
            q = body + uint64_t{size} + (size & 1);
        }
        at = at + 8 + uint64_t{LoadLE32(h + 4)} + (LoadLE32(h + 4) & 1);
        first = false;
    }
    return p.haveStream;
}

bool IsStreamChunk(uint32_t id, int stream, char t0, char t1) {
    const int sn = (stream % 100 + 100) % 100;
    const char want[2] = {static_cast<char>('0' + sn / 10), static_cast<char>('0' + sn % 10)};
    uint8_t b[4];
    StoreLE32(b, id);
    return b[0] == uint8_t(want[0]) && b[1] == uint8_t(want[1]) && b[2] == uint8_t(t0) &&
           b[3] == uint8_t(t1);
}

bool IsVideoChunk(uint32_t id, int stream) {
    return IsStreamChunk(id, stream, 'd', 'c') || IsStreamChunk(id, stream, 'd', 'b');
}

// Samples from the movi lists, in file order.
bool ScanMovi(File& f, const Parsed& p, std::vector<Sample>& out) {
    std::vector<std::vector<uint8_t>> pending;
    std::vector<std::pair<uint64_t, uint64_t>> stack;
    for (const Movi& m : p.movis) stack.push_back({m.fourccAt + 4, m.end});
    std::reverse(stack.begin(), stack.end());
    // Lists inside a movi list ("rec ") are walked in place.
    while (!stack.empty()) {
        auto [at, end] = stack.back();
        stack.pop_back();
        while (at + 8 <= end) {
            uint8_t c[12];
            if (!f.Read(at, c, 8)) break;
            const uint32_t id = LoadLE32(c), size = LoadLE32(c + 4);
            const uint64_t body = at + 8;
            const uint64_t next = body + uint64_t{size} + (size & 1);
            if (id == Fourcc("LIST") && size >= 4) {
                stack.push_back({next, end});
                stack.push_back({body + 4, std::min(body + size, end)});
                break;
            }
            if (size > end - body) break;
            if (IsVideoChunk(id, p.streamNumber)) {
                if (out.size() >= kMaxSamples) return false;
                out.push_back({body, size, std::move(pending)});
                pending.clear();
            } else if (IsStreamChunk(id, p.streamNumber, 'p', 'c') && size <= 4 + 4 * 256) {
                std::vector<uint8_t> pc(size);
                if (!f.Read(body, pc.data(), size)) return false;
                pending.push_back(std::move(pc));
            }
            at = next;
        }
    }
    return true;
}

// Samples from the idx1 index; false when it does not match the file.
bool ReadIdx1(File& f, const Parsed& p, std::vector<Sample>& out) {
    if (!p.haveIdx1 || p.movis.size() != 1) return false;
    const uint64_t n = p.idx1Size / 16;
    std::vector<uint8_t> idx;
    try {
        idx.resize(static_cast<size_t>(n) * 16);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!f.Read(p.idx1At, idx.data(), idx.size())) return false;
    // Offsets count from the "movi" identifier, or (in some files) from the
    // start of the file; the first entry that names our stream tells which.
    int64_t base = -1;
    for (uint64_t i = 0; i < n && base < 0; ++i) {
        const uint8_t* e = idx.data() + 16 * i;
        const uint32_t id = LoadLE32(e);
        const uint64_t off = LoadLE32(e + 8);
        for (uint64_t cand : {p.movis[0].fourccAt, uint64_t{0}}) {
            uint8_t c[4];
            if (f.Read(cand + off, c, 4) && LoadLE32(c) == id) {
                base = static_cast<int64_t>(cand);
                break;
            }
        }
        if (base < 0) return false;
    }
    if (base < 0) return false;
    std::vector<std::vector<uint8_t>> pending;
    for (uint64_t i = 0; i < n; ++i) {
        const uint8_t* e = idx.data() + 16 * i;
        const uint32_t id = LoadLE32(e);
        const uint64_t at = static_cast<uint64_t>(base) + LoadLE32(e + 8) + 8;
        const uint32_t size = LoadLE32(e + 12);
        if (at > f.size() || size > f.size() - at) return false;
        if (IsVideoChunk(id, p.streamNumber)) {
            if (out.size() >= kMaxSamples) return false;
            out.push_back({at, size, std::move(pending)});
            pending.clear();
        } else if (IsStreamChunk(id, p.streamNumber, 'p', 'c') && size <= 4 + 4 * 256) {
            std::vector<uint8_t> pc(size);
            if (!f.Read(at, pc.data(), size)) return false;
            pending.push_back(std::move(pc));
        }
    }
    return true;
}

// ---- OpenDML indexes ----------------------------------------------------------
//
// Files over 1 GB go on in "AVIX" RIFFs, which the idx1 index of the first
// RIFF does not cover. The stream's header list then holds a super index
// ("indx", index of indexes: 64-bit offset, size and duration of each
// standard index chunk), and each standard index ("ix##": a 64-bit base
// offset, then per sample a 32-bit offset of the chunk's data from that base
// and its size, bit 31 marking samples that are not key frames) lists the
// samples of one part. Field indexes add the offset of the second field.
//
// Nothing in them is trusted: every chunk they point at must lie inside the
// file and carry the header the entry describes, and the samples must follow
// one another through the file, so that their number is bounded by the file
// size. Any fault makes the reader fall back to idx1 or the movi lists.

constexpr uint8_t kIndexOfIndexes = 0x00;
constexpr uint8_t kIndexOfChunks = 0x01;
constexpr uint8_t kIndexFieldSubtype = 0x01;
constexpr size_t kIndexHeader = 24;

bool IsStreamIndexChunk(uint32_t id, int stream) {
    // "ix00", and the digits-first form some writers use ("00ix").
    return IsStreamChunk(id, stream, 'i', 'x') ||
           (uint8_t(id) == 'i' && uint8_t(id >> 8) == 'x' &&
            IsStreamChunk((id >> 16) | (id << 16), stream, 'i', 'x'));
}

struct IndexWalk {
    std::vector<std::vector<uint8_t>> pending;  // palette changes seen
    uint64_t nextFree = 0;                      // the next sample's header starts here or later
};

// One standard index (its body at `at`, `size` bytes) appended to `out`.
bool ReadChunkIndex(File& f, const Parsed& p, uint64_t at, uint64_t size, IndexWalk& w,
                    std::vector<Sample>& out) {
    uint8_t h[kIndexHeader];
    if (size < kIndexHeader || !f.Read(at, h, kIndexHeader)) return false;
    const uint16_t longs = LoadLE16(h);
    const uint8_t subtype = h[2], type = h[3];
    const uint32_t count = LoadLE32(h + 4), chunk_id = LoadLE32(h + 8);
    const uint64_t base = LoadLE64(h + 12);
    if (type != kIndexOfChunks || !IsVideoChunk(chunk_id, p.streamNumber)) return false;
    size_t entry;
    if (longs == 2 && subtype == 0) entry = 8;
    else if (longs == 3 && subtype == kIndexFieldSubtype) entry = 12;  // + second field's offset
    else return false;
    if (count > (size - kIndexHeader) / entry) return false;
    if (count > kMaxSamples - std::min<uint64_t>(out.size(), kMaxSamples)) return false;
    std::vector<uint8_t> entries(count * entry);
    if (!f.Read(at + kIndexHeader, entries.data(), entries.size())) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + i * entry;
        const uint32_t size_field = LoadLE32(e + 4) & 0x7FFFFFFFu;  // bit 31: not a key frame
        if (base > f.size() || LoadLE32(e) > f.size() - base) return false;
        const uint64_t data = base + LoadLE32(e);
        if (data < w.nextFree + 8 || size_field > f.size() - data) return false;
        uint8_t c[8];
        if (!f.Read(data - 8, c, 8) || LoadLE32(c + 4) != size_field) return false;
        const uint32_t id = LoadLE32(c);
        if (IsVideoChunk(id, p.streamNumber)) {
            out.push_back({data, size_field, std::move(w.pending)});
            w.pending.clear();
        } else if (IsStreamChunk(id, p.streamNumber, 'p', 'c')) {
            if (size_field > 4 + 4 * 256) return false;
            std::vector<uint8_t> pc(size_field);
            if (!f.Read(data, pc.data(), size_field)) return false;
            w.pending.push_back(std::move(pc));
        } else {
            return false;
        }
        w.nextFree = data + size_field + (size_field & 1);
    }
    return true;
}

// Samples from the OpenDML indexes; false when there are none or they do not
// match the file.
bool ReadOpenDmlIndex(File& f, const Parsed& p, std::vector<Sample>& out) {
    if (!p.haveIndx) return false;
    uint8_t h[kIndexHeader];
    if (p.indxSize < kIndexHeader || !f.Read(p.indxAt, h, kIndexHeader)) return false;
    const uint16_t longs = LoadLE16(h);
    const uint8_t type = h[3];
    const uint32_t count = LoadLE32(h + 4);
    IndexWalk w;
    // A standard index may also sit in the header list itself.
    if (type == kIndexOfChunks) return ReadChunkIndex(f, p, p.indxAt, p.indxSize, w, out) && !out.empty();
    if (type != kIndexOfIndexes || longs != 4 || !IsVideoChunk(LoadLE32(h + 8), p.streamNumber)) return false;
    if (count == 0 || count > (p.indxSize - kIndexHeader) / 16) return false;
    std::vector<uint8_t> entries(size_t{count} * 16);
    if (!f.Read(p.indxAt + kIndexHeader, entries.data(), entries.size())) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = LoadLE64(entries.data() + 16 * i);
        uint8_t c[8];
        if (at > f.size() || f.size() - at < 8 + kIndexHeader || !f.Read(at, c, 8)) return false;
        const uint32_t size = LoadLE32(c + 4);
        if (!IsStreamIndexChunk(LoadLE32(c), p.streamNumber) || size > f.size() - at - 8) return false;
        if (!ReadChunkIndex(f, p, at + 8, size, w, out)) return false;
    }
    return !out.empty();
}

int MaskShift(uint32_t m) {
    int s = 0;
    while (m && !(m & 1)) m >>= 1, ++s;
    return s;
}
int MaskBits(uint32_t m) {
    int n = 0;
    for (; m; m &= m - 1) ++n;
    return n;
}

}  // namespace

bool DecodeRle(std::span<const uint8_t> d, int bits, int width, int height,
               std::vector<uint8_t>& canvas) {
    int x = 0, y = 0;
    size_t i = 0;
    // Positions past the right edge are held at width, so that long runs
    // cannot overflow the counters.
    auto put = [&](uint8_t v) {
        if (x < width && y < height) canvas[static_cast<size_t>(y) * width + x] = v;
        if (x < width) ++x;
    };
    while (i + 2 <= d.size()) {
        const uint8_t n = d[i], v = d[i + 1];
        i += 2;
        if (n > 0) {
            for (int k = 0; k < n; ++k)
                put(bits == 8 ? v : static_cast<uint8_t>((k & 1) ? (v & 0x0F) : (v >> 4)));
            continue;
        }
        if (v == 0) {  // end of line
            x = 0;
            y = std::min(y + 1, height);
        } else if (v == 1) {  // end of bitmap
            return true;
        } else if (v == 2) {  // delta
            if (i + 2 > d.size()) return false;
            x = std::min(x + d[i], width);
            y = std::min(y + d[i + 1], height);
            i += 2;
        } else {  // absolute run of v pixels, padded to 16 bits
            const size_t bytes = bits == 8 ? v : (static_cast<size_t>(v) + 1) / 2;
            if (i + bytes > d.size()) return false;
            for (int k = 0; k < v; ++k) {
                const uint8_t b = d[i + (bits == 8 ? k : k / 2)];
                put(bits == 8 ? b : static_cast<uint8_t>((k & 1) ? (b & 0x0F) : (b >> 4)));
            }
            i += bytes + (bytes & 1);
        }
        if (y >= height) return true;
    }
    return true;
}

ReadOutcome ImportAvi(const std::string& path, UiHost& host, ProgressReporter& progress,
                      const PreferenceBlock& prefs) {
    return ImportAviWith(path, host, progress, prefs, true);
}

ReadOutcome ImportAviWith(const std::string& path, UiHost& host, ProgressReporter& progress,
                          const PreferenceBlock& prefs, bool allow_ffmpeg) {
    File f(path);
    if (!f.ok()) {
        host.Error(FormatString(StringId::OpenFileFailed, path));
        return {};
    }
    Parsed p;
    if (!ParseFile(f, p)) {
        host.Error(FormatString(StringId::AviNoVideoStream, path));
        return {};
    }
    if (p.format.size() < 40 || p.scale == 0 || p.rate == 0) {
        Tell(host, StringId::AviBadFormat);
        return {};
    }
    const uint8_t* bi = p.format.data();
    const int32_t width = static_cast<int32_t>(LoadLE32(bi + 4));
    const int32_t sh = static_cast<int32_t>(LoadLE32(bi + 8));
    const int bits = LoadLE16(bi + 14);
    const uint32_t compression = LoadLE32(bi + 16);
    uint32_t used = LoadLE32(bi + 32);
    const bool ours = compression == 0 || compression == 3 || compression == 0x20424944 /*DIB */ ||
                      (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
    if (!ours) {
        if (allow_ffmpeg) return ImportAviWithFfmpeg(path, host, progress, prefs);
        Tell(host, StringId::AviNoDecompressor);
        return {};
    }
    if (width <= 0 || width > 32768 || sh == 0 || sh == INT32_MIN || std::abs(sh) > 32768 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        (compression == 3 && bits != 16 && bits != 32)) {
        Tell(host, StringId::AviBadFormat);
        return {};
    }
    const int height = std::abs(sh);
    const bool bottom_up = sh > 0 || compression == 1 || compression == 2;
    if (uint64_t(width) * uint64_t(height) > (uint64_t{1} << 26)) {
        Tell(host, StringId::AviNoMemoryData);
        return {};
    }
    const size_t header = LoadLE32(bi) >= 40 ? std::min<size_t>(LoadLE32(bi), p.format.size()) : 40;
    // Colour table or bit-field masks behind the header.
    std::vector<uint8_t> base_table;
    uint32_t rmask = 0, gmask = 0, bmask = 0;
    if (bits <= 8) {
        if (used == 0 || used > (1u << bits)) used = 1u << bits;
        const size_t n = std::min<size_t>(used, (p.format.size() - header) / 4);
        if (n == 0) {
            Tell(host, StringId::AviPaletteFailed);
            return {};
        }
        base_table.assign(p.format.begin() + static_cast<std::ptrdiff_t>(header),
                          p.format.begin() + static_cast<std::ptrdiff_t>(header + 4 * n));
    } else if (compression == 3) {
        if (p.format.size() < header + 12) {
            Tell(host, StringId::AviBadFormat);
            return {};
        }
        rmask = LoadLE32(bi + header), gmask = LoadLE32(bi + header + 4),
        bmask = LoadLE32(bi + header + 8);
    } else if (bits == 16) {
        rmask = 0x7C00, gmask = 0x03E0, bmask = 0x001F;
    } else if (bits == 32) {
        rmask = 0xFF0000, gmask = 0xFF00, bmask = 0xFF;
    }

    // The OpenDML index first (it covers every RIFF of large files), then
    // idx1, then the movi lists themselves.
    std::vector<Sample> samples;
    bool indexed = false;
    try {
        indexed = ReadOpenDmlIndex(f, p, samples);
    } catch (const std::bad_alloc&) {
    }
    if (!indexed) samples.clear();
    if (!indexed && !ReadIdx1(f, p, samples)) {
        samples.clear();
        if (!ScanMovi(f, p, samples)) {
            Tell(host, StringId::AviReadError);
            return {};
        }
    }
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(width);
    a->height = static_cast<uint32_t>(height);
    a->playCount = prefs.DefaultLoop();
    auto table_palette = [](const std::vector<uint8_t>& t) {
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i + 4 <= t.size(); i += 4) rgb.insert(rgb.end(), {t[i + 2], t[i + 1], t[i]});
        return Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3));
    };
    if (bits <= 8) SetGlobalPalette(*a, table_palette(base_table));

    const uint64_t total = samples.size();
    progress.SetText(StringId::AviReading);
    progress.SetRange(static_cast<int64_t>(total));
    const size_t src_stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t plane_stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> table = base_table;
    // Index canvas (bottom-up rows of `width` bytes) for run-length streams,
    // whose samples may only change part of the picture.
    std::vector<uint8_t> canvas;
    std::vector<uint8_t> data;
    uint64_t budget = 0;
    size_t n = 0, applied = 0;
    while (n < total && samples[n].size == 0) ++n;
    if (n == total) {
        Tell(host, StringId::AviReadError);
        return {};
    }
    try {
        if (compression == 1 || compression == 2) canvas.assign(size_t(width) * height, 0);
        while (n < total) {
            const Sample& s = samples[n];
            // Palette changes met up to this sample apply to its picture.
            for (; applied <= n; ++applied)
                for (const auto& pc : samples[applied].paletteChanges) {
                    if (pc.size() < 4) continue;
                    const size_t first = pc[0];
                    size_t count = pc[1] ? pc[1] : 256;
                    count = std::min({count, (pc.size() - 4) / 4, 256 - first});
                    if (table.size() < (first + count) * 4) table.resize((first + count) * 4, 0);
                    for (size_t e = 0; e < count; ++e) {
                        const uint8_t* q = pc.data() + 4 + 4 * e;
                        uint8_t* t = table.data() + 4 * (first + e);
                        t[0] = q[2], t[1] = q[1], t[2] = q[0], t[3] = 0;
                    }
                }
            data.resize(s.size);
            if (!f.Read(s.offset, data.data(), s.size)) {
                Tell(host, StringId::AviReadError);
                return {};
            }
            budget += uint64_t(height) * (bits <= 8 ? (size_t(width) + 3) / 4 * 4 : plane_stride);
            if (budget > kMemoryBudget) {
                Tell(host, StringId::AviNoMemoryData);
                return {};
            }
            auto frame = NewFrame(width, height, prefs);
            if (bits <= 8) {
                auto bmp = FrameBitmap::Create(width, height);
                if (!bmp) {
                    Tell(host, StringId::AviNoMemoryData);
                    return {};
                }
                if (compression == 1 || compression == 2) {
                    DecodeRle(data, bits, width, height, canvas);
                    for (int y = 0; y < height; ++y)
                        std::copy_n(canvas.data() + size_t(height - 1 - y) * width, width, bmp->Row(y));
                } else {
                    if (data.size() / src_stride < size_t(height)) {
                        Tell(host, StringId::AviReadError);
                        return {};
                    }
                    for (int y = 0; y < height; ++y) {
                        const uint8_t* r = data.data() + src_stride * size_t(bottom_up ? height - 1 - y : y);
                        uint8_t* d = bmp->Row(y);
                        for (int x = 0; x < width; ++x) {
                            if (bits == 8) d[x] = r[x];
                            else if (bits == 4) d[x] = (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
                            else d[x] = (r[x >> 3] >> (7 - (x & 7))) & 1;
                        }
                    }
                }
                // Indices beyond the table show black: widen the table.
                int max_index = 0;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x) max_index = std::max<int>(max_index, bmp->At(x, y));
                SetBitmap(*frame, std::move(*bmp));
                std::vector<uint8_t> t = table;
                if (t.size() / 4 <= size_t(max_index)) t.resize(size_t(max_index + 1) * 4, 0);
                if (t != base_table) SetLocalPalette(*frame, table_palette(t));
            } else {
                if (data.size() / src_stride < size_t(height)) {
                    Tell(host, StringId::AviReadError);
                    return {};
                }
                ReserveForWriting(frame->trueColor, plane_stride * height);
                frame->trueColor.assign(plane_stride * height, 0);
                const int rs = MaskShift(rmask), gs = MaskShift(gmask), bs = MaskShift(bmask);
                const int rb = MaskBits(rmask), gb = MaskBits(gmask), bb = MaskBits(bmask);
                auto widen = [&](uint32_t v, uint32_t mask, int shift, int nbits) -> uint8_t {
                    uint32_t c = (v & mask) >> shift;
                    if (bits == 16 && nbits < 8) c <<= (8 - nbits);
                    return static_cast<uint8_t>(c);
                };
                for (int y = 0; y < height; ++y) {
                    const uint8_t* r = data.data() + src_stride * size_t(bottom_up ? height - 1 - y : y);
                    uint8_t* d = frame->trueColor.data() + plane_stride * size_t(y);
                    if (bits == 24) {
                        std::copy_n(r, 3 * size_t(width), d);
                        continue;
                    }
                    for (int x = 0; x < width; ++x) {
                        const uint32_t v = bits == 16 ? LoadLE16(r + 2 * x) : LoadLE32(r + 4 * x);
                        d[3 * x] = widen(v, bmask, bs, bb);
                        d[3 * x + 1] = widen(v, gmask, gs, gb);
                        d[3 * x + 2] = widen(v, rmask, rs, rb);
                    }
                }
            }
            // The frame lasts until the next sample that has data.
            size_t m = n + 1;
            while (m < total && samples[m].size == 0) ++m;
            const uint64_t delay = uint64_t(m - n) * 100 * p.scale / p.rate;
            SetDelay(*frame, static_cast<uint32_t>(std::min<uint64_t>(delay, 0xFFFF)));
            a->blocks.push_back(std::move(frame));
            if (!progress.SetPosition(static_cast<int64_t>(m))) return {Result::Stopped, std::move(a)};
            n = m;
        }
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::AviNoMemoryData);
        return {};
    }
    return {Result::Done, std::move(a)};
}

}  // namespace cinemill
