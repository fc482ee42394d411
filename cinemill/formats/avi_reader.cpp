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

// One stream's header list ("strl", its chunks from `q` to `end`): the
// first video stream with a format becomes the stream read, with its
// OpenDML index when it has one. False when the format cannot be read.
bool ParseStreamList(File& f, uint64_t q, uint64_t end, int strl_index, Parsed& p) {
    bool video = false, chosen = false;
    uint64_t indx_at = 0;
    uint32_t indx_size = 0;
    uint8_t strh[56] = {};
    while (q + 8 <= end) {
        uint8_t c[8];
        if (!f.Read(q, c, 8)) break;
        const uint32_t cid = LoadLE32(c), csize = LoadLE32(c + 4);
        if (csize > end - q - 8) break;
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
    return true;
}

bool ParseHeaderList(File& f, uint64_t at, uint64_t end, Parsed& p) {
    int strl_index = 0;
    uint8_t h[12];
    while (at + 8 <= end) {
        if (!f.Read(at, h, 8)) return false;
        const uint32_t id = LoadLE32(h), size = LoadLE32(h + 4);
        const uint64_t body = at + 8, next = body + size + (size & 1);
        if (id == Fourcc("LIST") && size >= 4 && f.Read(body, h + 8, 4) &&
            LoadLE32(h + 8) == Fourcc("strl")) {
            if (!ParseStreamList(f, body + 4, std::min(body + size, end), strl_index, p)) return false;
            ++strl_index;
        }
        at = next;
    }
    return true;
}

// The chunks of one RIFF, from `q` to `end`: the header list (of the first
// RIFF only), the movi lists and the idx1 index.
bool ParseRiffChunks(File& f, uint64_t q, uint64_t end, bool first, Parsed& p) {
    while (q + 8 <= end) {
        uint8_t c[12];
        if (!f.Read(q, c, 8)) break;
        const uint32_t id = LoadLE32(c), size = LoadLE32(c + 4);
        const uint64_t body = q + 8;
        const uint64_t cend = std::min<uint64_t>(body + size, end);
        const bool list = id == Fourcc("LIST") && size >= 4 && f.Read(body, c + 8, 4);
        const uint32_t type = list ? LoadLE32(c + 8) : 0;
        if (list && type == Fourcc("hdrl") && first) {
            if (!ParseHeaderList(f, body + 4, cend, p)) return false;
        } else if (list && type == Fourcc("movi")) {
            p.movis.push_back({body, cend});
        } else if (!list && id == Fourcc("idx1") && first) {
            p.haveIdx1 = true;
            p.idx1At = body;
            p.idx1Size = static_cast<uint32_t>(cend - body);
        }
        q = body + uint64_t{size} + (size & 1);
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
        if (!ParseRiffChunks(f, at + 12, riff_end, first, p)) return false;
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

namespace {

// Compressions of the stream's bitmap header that our own decoders take.
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiDib = 0x20424944;  // "DIB "

// The pictures of the video stream as its format chunk describes them.
struct VideoFormat {
    int32_t width = 0;
    int height = 0;
    int bits = 0;
    uint32_t compression = 0;
    bool bottomUp = false;
    size_t header = 0;                          // bytes of the bitmap header
    uint32_t used = 0;                          // colours used, as the header says
    std::vector<uint8_t> baseTable;             // blue-green-red-0 entries, 1 to 8 bits
    uint32_t rmask = 0, gmask = 0, bmask = 0;   // 16 and 32 bits

    bool Indexed() const { return bits <= 8; }
    bool RunLength() const { return compression == kBiRle8 || compression == kBiRle4; }
    size_t SourceStride() const { return (static_cast<size_t>(width) * bits + 31) / 32 * 4; }
    size_t PlaneStride() const { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }
};

enum class FormatCheck { Ours, OtherCodec, Refused };

// Size, depth and compression of the pictures; Refused after a message.
FormatCheck ReadVideoFormat(const Parsed& p, VideoFormat& fmt, UiHost& host) {
    if (p.format.size() < 40 || p.scale == 0 || p.rate == 0) {
        Tell(host, StringId::AviBadFormat);
        return FormatCheck::Refused;
    }
    const uint8_t* bi = p.format.data();
    fmt.width = static_cast<int32_t>(LoadLE32(bi + 4));
    const int32_t sh = static_cast<int32_t>(LoadLE32(bi + 8));
    const int bits = fmt.bits = LoadLE16(bi + 14);
    const uint32_t c = fmt.compression = LoadLE32(bi + 16);
    fmt.used = LoadLE32(bi + 32);
    const bool ours = c == kBiRgb || c == kBiBitfields || c == kBiDib || (c == kBiRle8 && bits == 8) ||
                      (c == kBiRle4 && bits == 4);
    if (!ours) return FormatCheck::OtherCodec;
    if (fmt.width <= 0 || fmt.width > 32768 || sh == 0 || sh == INT32_MIN || std::abs(sh) > 32768 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) ||
        (c == kBiBitfields && bits != 16 && bits != 32)) {
        Tell(host, StringId::AviBadFormat);
        return FormatCheck::Refused;
    }
    fmt.height = std::abs(sh);
    fmt.bottomUp = sh > 0 || fmt.RunLength();
    if (uint64_t(fmt.width) * uint64_t(fmt.height) > (uint64_t{1} << 26)) {
        Tell(host, StringId::AviNoMemoryData);
        return FormatCheck::Refused;
    }
    fmt.header = LoadLE32(bi) >= 40 ? std::min<size_t>(LoadLE32(bi), p.format.size()) : 40;
    return FormatCheck::Ours;
}

// The colour table (1 to 8 bits) or the bit-field masks (16 and 32 bits)
// behind the header; false after a message.
bool ReadColorLayout(const Parsed& p, VideoFormat& fmt, UiHost& host) {
    const uint8_t* bi = p.format.data();
    const size_t header = fmt.header;
    if (fmt.Indexed()) {
        uint32_t used = fmt.used;
        if (used == 0 || used > (1u << fmt.bits)) used = 1u << fmt.bits;
        const size_t n = std::min<size_t>(used, (p.format.size() - header) / 4);
        if (n == 0) {
            Tell(host, StringId::AviPaletteFailed);
            return false;
        }
        fmt.baseTable.assign(p.format.begin() + static_cast<std::ptrdiff_t>(header),
                             p.format.begin() + static_cast<std::ptrdiff_t>(header + 4 * n));
    } else if (fmt.compression == kBiBitfields) {
        if (p.format.size() < header + 12) {
            Tell(host, StringId::AviBadFormat);
            return false;
        }
        fmt.rmask = LoadLE32(bi + header);
        fmt.gmask = LoadLE32(bi + header + 4);
        fmt.bmask = LoadLE32(bi + header + 8);
    } else if (fmt.bits == 16) {
        fmt.rmask = 0x7C00, fmt.gmask = 0x03E0, fmt.bmask = 0x001F;
    } else if (fmt.bits == 32) {
        fmt.rmask = 0xFF0000, fmt.gmask = 0xFF00, fmt.bmask = 0xFF;
    }
    return true;
}

// The video samples: from the OpenDML index first (it covers every RIFF of
// large files), then idx1, then the movi lists themselves.
bool CollectSamples(File& f, const Parsed& p, std::vector<Sample>& samples) {
    bool indexed = false;
    try {
        indexed = ReadOpenDmlIndex(f, p, samples);
    } catch (const std::bad_alloc&) {
    }
    if (indexed) return true;
    samples.clear();
    if (ReadIdx1(f, p, samples)) return true;
    samples.clear();
    return ScanMovi(f, p, samples);
}

Palette TablePalette(const std::vector<uint8_t>& t) {
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i + 4 <= t.size(); i += 4) rgb.insert(rgb.end(), {t[i + 2], t[i + 1], t[i]});
    return Palette::FromTriples(rgb.data(), static_cast<int>(rgb.size() / 3));
}

// A palette change ("##pc": first entry, count (0 = 256), flags, then
// red-green-blue-flags entries) written into a blue-green-red-0 table.
void ApplyPaletteChange(const std::vector<uint8_t>& pc, std::vector<uint8_t>& table) {
    if (pc.size() < 4) return;
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

// One row of 1, 4 or 8-bit indexes, one byte per pixel.
void UnpackIndexes(const uint8_t* r, uint8_t* d, int width, int bits) {
    for (int x = 0; x < width; ++x) {
        if (bits == 8) d[x] = r[x];
        else if (bits == 4) d[x] = (r[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        else d[x] = (r[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

int MaxIndex(const FrameBitmap& bmp) {
    int max_index = 0;
    for (int y = 0; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x) max_index = std::max<int>(max_index, bmp.At(x, y));
    return max_index;
}

// One colour channel of a 16 or 32-bit pixel, widened to 8 bits.
struct MaskChannel {
    uint32_t mask;
    int shift, bits;
    bool narrow;  // 16-bit pixels: fewer than 8 bits are shifted up

    MaskChannel(uint32_t m, int pixel_bits)
        : mask(m), shift(MaskShift(m)), bits(MaskBits(m)), narrow(pixel_bits == 16 && bits < 8) {}
    uint8_t Of(uint32_t v) const {
        uint32_t c = (v & mask) >> shift;
        if (narrow) c <<= (8 - bits);
        return static_cast<uint8_t>(c);
    }
};

// Turns the samples into frames: each sample that has data gives a frame
// lasting until the next one that has data.
class FrameDecoder {
public:
    FrameDecoder(File& f, const Parsed& p, const VideoFormat& fmt, const std::vector<Sample>& samples,
                 UiHost& host, const PreferenceBlock& prefs)
        : f_(f), p_(p), fmt_(fmt), samples_(samples), host_(host), prefs_(prefs) {}

    ReadOutcome Run(ProgressReporter& progress) {
        auto a = NewAnimation();
        a->width = static_cast<uint32_t>(fmt_.width);
        a->height = static_cast<uint32_t>(fmt_.height);
        a->playCount = prefs_.DefaultLoop();
        if (fmt_.Indexed()) SetGlobalPalette(*a, TablePalette(fmt_.baseTable));
        progress.SetText(StringId::AviReading);
        progress.SetRange(static_cast<int64_t>(samples_.size()));
        size_t n = NextWithData(0);
        if (n == samples_.size()) {
            Tell(host_, StringId::AviReadError);
            return {};
        }
        try {
            table_ = fmt_.baseTable;
            if (fmt_.RunLength()) canvas_.assign(size_t(fmt_.width) * fmt_.height, 0);
            while (n < samples_.size()) {
                ApplyPaletteChanges(n);
                auto frame = DecodeSample(samples_[n]);
                if (!frame) return {};
                const size_t m = NextWithData(n + 1);
                SetDelay(*frame, Delay(m - n));
                a->blocks.push_back(std::move(frame));
                if (!progress.SetPosition(static_cast<int64_t>(m))) return {Result::Stopped, std::move(a)};
                n = m;
            }
        } catch (const std::bad_alloc&) {
            Tell(host_, StringId::AviNoMemoryData);
            return {};
        }
        return {Result::Done, std::move(a)};
    }

private:
    size_t NextWithData(size_t n) const {
        while (n < samples_.size() && samples_[n].size == 0) ++n;
        return n;
    }

    // `count` samples' time in hundredths of a second.
    uint32_t Delay(size_t count) const {
        const uint64_t delay = uint64_t(count) * 100 * p_.scale / p_.rate;
        return static_cast<uint32_t>(std::min<uint64_t>(delay, 0xFFFF));
    }

    // Palette changes met up to sample n apply to its picture.
    void ApplyPaletteChanges(size_t n) {
        for (; applied_ <= n; ++applied_)
            for (const auto& pc : samples_[applied_].paletteChanges) ApplyPaletteChange(pc, table_);
    }

    // The frame of one sample; none after a message.
    std::unique_ptr<Frame> DecodeSample(const Sample& s) {
        data_.resize(s.size);
        if (!f_.Read(s.offset, data_.data(), s.size)) {
            Tell(host_, StringId::AviReadError);
            return nullptr;
        }
        const size_t row = fmt_.Indexed() ? (size_t(fmt_.width) + 3) / 4 * 4 : fmt_.PlaneStride();
        budget_ += uint64_t(fmt_.height) * row;
        if (budget_ > kMemoryBudget) {
            Tell(host_, StringId::AviNoMemoryData);
            return nullptr;
        }
        auto frame = NewFrame(fmt_.width, fmt_.height, prefs_);
        const bool ok = fmt_.Indexed() ? DecodeIndexed(*frame) : DecodeTrueColor(*frame);
        if (!ok) return nullptr;
        return frame;
    }

    const uint8_t* SourceRow(int y) const {
        const int stored = fmt_.bottomUp ? fmt_.height - 1 - y : y;
        return data_.data() + fmt_.SourceStride() * size_t(stored);
    }

    bool HoldsEveryRow() const { return data_.size() / fmt_.SourceStride() >= size_t(fmt_.height); }

    // 1 to 8 bits: the indexes, and a local palette where the table in force
    // differs from the stream's own (widened to cover every index used:
    // indices beyond the table show black).
    bool DecodeIndexed(Frame& frame) {
        const int w = fmt_.width, h = fmt_.height;
        auto bmp = FrameBitmap::Create(w, h);
        if (!bmp) {
            Tell(host_, StringId::AviNoMemoryData);
            return false;
        }
        if (fmt_.RunLength()) {
            // The canvas keeps what earlier samples drew, bottom-up.
            DecodeRle(data_, fmt_.bits, w, h, canvas_);
            for (int y = 0; y < h; ++y) std::copy_n(canvas_.data() + size_t(h - 1 - y) * w, w, bmp->Row(y));
        } else {
            if (!HoldsEveryRow()) {
                Tell(host_, StringId::AviReadError);
                return false;
            }
            for (int y = 0; y < h; ++y) UnpackIndexes(SourceRow(y), bmp->Row(y), w, fmt_.bits);
        }
        const int max_index = MaxIndex(*bmp);
        SetBitmap(frame, std::move(*bmp));
        std::vector<uint8_t> t = table_;
        if (t.size() / 4 <= size_t(max_index)) t.resize(size_t(max_index + 1) * 4, 0);
        if (t != fmt_.baseTable) SetLocalPalette(frame, TablePalette(t));
        return true;
    }

    // 16, 24 and 32 bits: TrueColorPlanes.
    bool DecodeTrueColor(Frame& frame) {
        const int w = fmt_.width, h = fmt_.height;
        if (!HoldsEveryRow()) {
            Tell(host_, StringId::AviReadError);
            return false;
        }
        const size_t plane_stride = fmt_.PlaneStride();
        ReserveForWriting(frame.trueColor, plane_stride * h);
        frame.trueColor.assign(plane_stride * h, 0);
        const MaskChannel red(fmt_.rmask, fmt_.bits), green(fmt_.gmask, fmt_.bits), blue(fmt_.bmask, fmt_.bits);
        for (int y = 0; y < h; ++y) {
            const uint8_t* r = SourceRow(y);
            uint8_t* d = frame.trueColor.data() + plane_stride * size_t(y);
            if (fmt_.bits == 24) {
                std::copy_n(r, 3 * size_t(w), d);
                continue;
            }
            for (int x = 0; x < w; ++x) {
                const uint32_t v = fmt_.bits == 16 ? LoadLE16(r + 2 * x) : LoadLE32(r + 4 * x);
                d[3 * x] = blue.Of(v);
                d[3 * x + 1] = green.Of(v);
                d[3 * x + 2] = red.Of(v);
            }
        }
        return true;
    }

    File& f_;
    const Parsed& p_;
    const VideoFormat& fmt_;
    const std::vector<Sample>& samples_;
    UiHost& host_;
    const PreferenceBlock& prefs_;
    std::vector<uint8_t> table_;   // the colour table in force
    std::vector<uint8_t> canvas_;  // run-length streams change only part of the picture
    std::vector<uint8_t> data_;    // the sample being decoded
    uint64_t budget_ = 0;          // bytes of pixels of the frames so far
    size_t applied_ = 0;           // samples whose palette changes are in the table
};

}  // namespace

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
    VideoFormat fmt;
    switch (ReadVideoFormat(p, fmt, host)) {
        case FormatCheck::Refused: return {};
        case FormatCheck::OtherCodec:
            if (allow_ffmpeg) return ImportAviWithFfmpeg(path, host, progress, prefs);
            Tell(host, StringId::AviNoDecompressor);
            return {};
        case FormatCheck::Ours: break;
    }
    if (!ReadColorLayout(p, fmt, host)) return {};
    std::vector<Sample> samples;
    if (!CollectSamples(f, p, samples)) {
        Tell(host, StringId::AviReadError);
        return {};
    }
    FrameDecoder decoder(f, p, fmt, samples, host, prefs);
    return decoder.Run(progress);
}

}  // namespace cinemill
