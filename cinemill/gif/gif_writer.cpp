#include "cinemill/gif/gif_writer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <algorithm>
#include <utility>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/gif/gif_labels.h"

namespace cinemill {

bool FileSink::Put(const uint8_t* p, size_t n) {
    if (failed_) return false;
    if (buffer_.size() + n > kBufferSize && !Flush()) return false;
    if (n >= kBufferSize) {
        failed_ = !file_.Write(p, n);
        return !failed_;
    }
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
}

bool FileSink::Flush() {
    if (failed_) return false;
    if (!buffer_.empty()) failed_ = !file_.Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return !failed_;
}

namespace {

constexpr int kHashSize = 5003;
constexpr int kMaxCodes = 4096;

// For each pair of palette indexes (row: the pixel's own, column: the one
// written), four times their squared RGB distance, or -1 where the lossy
// bound forbids the change.
using NearColors = std::vector<int32_t>;

// LZW compressor with the classic open-addressing hash (5003 slots, keys
// pixel << 12 | prefix) and output in sub-blocks of 254 bytes.
class LzwEncoder {
public:
    explicit LzwEncoder(GifSink& sink, const ProgressReporter* stop = nullptr) : sink_(sink), stop_(stop) {}

    // Compresses the frame's pixels in file order. False when a write failed
    // or a stop was requested (`Stopped` tells which).
    bool Encode(const FrameBitmap& bmp, bool interlaced, int min_code_size);
    bool Stopped() const { return stopped_; }

    // Lossy compression of the pixels in file order: each code stands for
    // the longest table string whose colours are each the pixel's own or
    // one the near table allows for it, the least distant of the longest. Every string
    // starts on a pixel's own colour, so the entries the decoder adds
    // match the ones made here.
    bool EncodeLossy(const std::vector<uint8_t>& px, int min_code_size, const NearColors& near);

private:
    void Start(int min_code_size);
    bool Finish();
    // The longest string from `root` (the code of px[pos - 1]) matching
    // px[pos...] within the near table: its length past the root and code.
    std::pair<int, int> LongestNearMatch(const std::vector<uint8_t>& px, size_t pos, int root,
                                         const NearColors& near);
    // Makes the table entry `key`, or clears the table when it is full.
    void AddEntry(int32_t key);
    void Output(int code);
    void FlushPacket();

    // Polled every kRowsPerStopCheck rows, so that a stop (a command
    // arriving while the size task counts a large frame) does not wait for
    // the rest of the frame.
    static constexpr int kRowsPerStopCheck = 8;
    bool StopNow(int row) {
        if (stop_ && row % kRowsPerStopCheck == kRowsPerStopCheck - 1 && stop_->StopRequested()) stopped_ = true;
        return stopped_;
    }

    GifSink& sink_;
    const ProgressReporter* stop_;
    bool stopped_ = false;
    std::array<int32_t, kHashSize> hash_{};
    std::array<uint16_t, kHashSize> codes_{};
    int init_bits_ = 0, n_bits_ = 0, max_code_ = 0;
    int clear_code_ = 0, eof_code_ = 0, free_ent_ = 0;
    bool clear_flag_ = false;
    uint32_t accum_ = 0;
    int accum_bits_ = 0;
    std::array<uint8_t, 256> packet_{};
    int packet_len_ = 0;
    bool failed_ = false;
    // The lossy search's view of the table: each code's last pixel, its
    // first child and next sibling (-1 = none).
    static constexpr int kSearchBudget = 4000;
    std::array<uint8_t, kMaxCodes> suffix_{};
    std::array<int16_t, kMaxCodes> first_child_{}, sibling_{};
    struct SearchStep {
        int code;
        size_t pos;
        int64_t err;
        int next;  // the next child of `code` to try
    };
    std::vector<SearchStep> search_;
};

void LzwEncoder::FlushPacket() {
    if (packet_len_ == 0) return;
    packet_[0] = static_cast<uint8_t>(packet_len_);
    if (!sink_.Write(packet_.data(), static_cast<size_t>(packet_len_) + 1)) failed_ = true;
    packet_len_ = 0;
}

void LzwEncoder::Output(int code) {
    accum_ |= static_cast<uint32_t>(code) << accum_bits_;
    accum_bits_ += n_bits_;
    while (accum_bits_ >= 8) {
        packet_[static_cast<size_t>(++packet_len_)] = static_cast<uint8_t>(accum_);
        if (packet_len_ >= 254) FlushPacket();
        accum_ >>= 8;
        accum_bits_ -= 8;
    }
    if (free_ent_ > max_code_ || clear_flag_) {
        if (clear_flag_) {
            n_bits_ = init_bits_;
            max_code_ = (1 << n_bits_) - 1;
            clear_flag_ = false;
        } else {
            ++n_bits_;
            max_code_ = n_bits_ == 12 ? kMaxCodes : (1 << n_bits_) - 1;
        }
    }
}

void LzwEncoder::Start(int m) {
    failed_ = false;
    stopped_ = false;
    packet_len_ = 0;
    accum_ = 0;
    accum_bits_ = 0;
    init_bits_ = m + 1;
    n_bits_ = init_bits_;
    max_code_ = (1 << n_bits_) - 1;
    clear_code_ = 1 << m;
    eof_code_ = clear_code_ + 1;
    free_ent_ = clear_code_ + 2;
    clear_flag_ = false;
    hash_.fill(-1);
    Output(clear_code_);
}

bool LzwEncoder::Finish() {
    Output(eof_code_);
    if (accum_bits_ > 0) {
        packet_[static_cast<size_t>(++packet_len_)] = static_cast<uint8_t>(accum_);
        accum_ = 0;
        accum_bits_ = 0;
        if (packet_len_ >= 254) FlushPacket();
    }
    FlushPacket();
    return !failed_;
}

void LzwEncoder::AddEntry(int32_t key) {
    if (free_ent_ >= kMaxCodes) {
        hash_.fill(-1);
        std::fill(first_child_.begin(), first_child_.begin() + clear_code_, int16_t{-1});
        free_ent_ = clear_code_ + 2;
        clear_flag_ = true;
        Output(clear_code_);
        return;
    }
    const int c = key >> 12, prefix = key & 0xFFF;
    int i = (c << 4) ^ prefix;
    const int disp = i == 0 ? 1 : kHashSize - i;
    while (hash_[static_cast<size_t>(i)] >= 0) {
        // Already there (the search gave up before reaching it): the decoder
        // still counts the code, the table keeps the older one.
        if (hash_[static_cast<size_t>(i)] == key) {
            ++free_ent_;
            return;
        }
        i -= disp;
        if (i < 0) i += kHashSize;
    }
    const auto n = static_cast<size_t>(free_ent_++);
    codes_[static_cast<size_t>(i)] = static_cast<uint16_t>(n);
    hash_[static_cast<size_t>(i)] = key;
    suffix_[n] = static_cast<uint8_t>(c);
    first_child_[n] = -1;
    sibling_[n] = first_child_[static_cast<size_t>(prefix)];
    first_child_[static_cast<size_t>(prefix)] = static_cast<int16_t>(n);
}

std::pair<int, int> LzwEncoder::LongestNearMatch(const std::vector<uint8_t>& px, size_t pos, int root,
                                                 const NearColors& near) {
    // A bound on the table entries visited per string keeps the search
    // linear in the pixels.
    int budget = kSearchBudget;
    std::vector<SearchStep>& stack = search_;
    stack.clear();
    stack.push_back({root, pos, 0, first_child_[static_cast<size_t>(root)]});
    int best_len = 0, best_code = root;
    int64_t best_err = 0;
    while (!stack.empty() && budget > 0) {
        SearchStep& top = stack.back();
        if (top.pos >= px.size() || top.next < 0) {
            stack.pop_back();
            continue;
        }
        const int k = top.next;
        top.next = sibling_[static_cast<size_t>(k)];
        --budget;
        const int d = near[static_cast<size_t>(px[top.pos]) * 256 + suffix_[static_cast<size_t>(k)]];
        if (d < 0) continue;
        const SearchStep s{k, top.pos + 1, top.err + d, first_child_[static_cast<size_t>(k)]};
        const int len = static_cast<int>(s.pos - pos);
        if (len > best_len || (len == best_len && s.err < best_err)) {
            best_len = len;
            best_code = k;
            best_err = s.err;
        }
        stack.push_back(s);
    }
    return {best_len, best_code};
}

bool LzwEncoder::EncodeLossy(const std::vector<uint8_t>& px, int m, const NearColors& near) {
    Start(m);
    first_child_.fill(-1);
    size_t pos = 0;
    while (pos < px.size()) {
        const auto [len, code] = LongestNearMatch(px, pos + 1, px[pos], near);
        Output(code);
        pos += 1 + static_cast<size_t>(len);
        if (pos < px.size()) AddEntry((px[pos] << 12) + code);
    }
    return Finish();
}

bool LzwEncoder::Encode(const FrameBitmap& bmp, bool interlaced, int m) {
    Start(m);
    const int w = bmp.width, h = bmp.height;
    int prefix = -1;
    auto encode_row = [&](const uint8_t* row) {
        int x = 0;
        if (prefix < 0) {
            if (w == 0) return;
            prefix = row[0];
            x = 1;
        }
        for (; x < w; ++x) {
            const int c = row[x];
            const int32_t key = (c << 12) + prefix;
            int i = (c << 4) ^ prefix;
            if (hash_[static_cast<size_t>(i)] == key) {
                prefix = codes_[static_cast<size_t>(i)];
                continue;
            }
            if (hash_[static_cast<size_t>(i)] >= 0) {
                const int disp = i == 0 ? 1 : kHashSize - i;
                bool found = false;
                do {
                    i -= disp;
                    if (i < 0) i += kHashSize;
                    if (hash_[static_cast<size_t>(i)] == key) {
                        found = true;
                        break;
                    }
                } while (hash_[static_cast<size_t>(i)] >= 0);
                if (found) {
                    prefix = codes_[static_cast<size_t>(i)];
                    continue;
                }
            }
            Output(prefix);
            if (free_ent_ < kMaxCodes) {
                codes_[static_cast<size_t>(i)] = static_cast<uint16_t>(free_ent_++);
                hash_[static_cast<size_t>(i)] = key;
            } else {
                hash_.fill(-1);
                free_ent_ = clear_code_ + 2;
                clear_flag_ = true;
                Output(clear_code_);
            }
            prefix = c;
        }
    };
    int rows = 0;
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < h; y += kStep[pass]) {
                encode_row(bmp.Row(y));
                if (StopNow(rows++)) return false;
            }
    } else {
        for (int y = 0; y < h; ++y) {
            encode_row(bmp.Row(y));
            if (StopNow(rows++)) return false;
        }
    }
    if (prefix >= 0) Output(prefix);
    return Finish();
}

bool WriteColorTable(GifSink& sink, const Palette& p) {
    const int n = std::min(p.size(), 256);
    const size_t entries = size_t{1} << ColorTableBits(n);
    std::array<uint8_t, 768> rgb{};
    for (int i = 0; i < n; ++i) {
        rgb[static_cast<size_t>(3 * i)] = p[i].r;
        rgb[static_cast<size_t>(3 * i + 1)] = p[i].g;
        rgb[static_cast<size_t>(3 * i + 2)] = p[i].b;
    }
    return sink.Write(rgb.data(), 3 * entries);
}

void Put16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Bits needed for the largest pixel value of the bitmap.
int PixelBits(const FrameBitmap& bmp) {
    // OR of every pixel, eight at a time over the whole buffer. Padding bytes
    // are zero; were they not, the codes would only come out wider than needed.
    uint64_t wide = 0;
    uint8_t all = 0;
    const size_t n = bmp.pixels.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, bmp.pixels.data() + i, 8);
        wide |= w;
    }
    for (; i < n; ++i) all |= bmp.pixels[i];
    for (int k = 0; k < 8; ++k) all |= static_cast<uint8_t>(wide >> (8 * k));
    int bits = 1;
    while (bits < 8 && (all >> bits) != 0) ++bits;
    return bits;
}

}  // namespace

bool WritesControlBlock(const Frame& f) {
    return !(f.implicitControlDelay && *f.implicitControlDelay == f.delay && f.controlFlags == 0 &&
             f.transparentIndex == 0);
}

namespace {

// The near-colour table for a frame at lossy level `lossy` (1-200): colours
// within a Euclidean RGB distance of lossy / 2 of each other. The
// transparent index of a transparent frame neither changes nor stands in;
// indexes beyond the palette stay as they are.
NearColors MakeNearColors(const Palette& p, const Frame& f, int lossy) {
    NearColors near(256 * 256, -1);
    const int bound = lossy * lossy;  // (lossy / 2)^2 * 4
    const int n = std::min(p.size(), 256);
    for (int i = 0; i < 256; ++i) {
        near[static_cast<size_t>(i) * 257] = 0;
        if (i >= n || (f.Transparent() && i == f.transparentIndex)) continue;
        for (int j = 0; j < n; ++j) {
            if (j == i || (f.Transparent() && j == f.transparentIndex)) continue;
            const int dr = p[i].r - p[j].r, dg = p[i].g - p[j].g, db = p[i].b - p[j].b;
            const int d = 4 * (dr * dr + dg * dg + db * db);
            if (d <= bound) near[static_cast<size_t>(i) * 256 + static_cast<size_t>(j)] = d;
        }
    }
    return near;
}

// The bitmap's pixels in the order the file stores them.
std::vector<uint8_t> FileOrderPixels(const FrameBitmap& bmp, bool interlaced) {
    std::vector<uint8_t> px;
    px.reserve(static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height));
    auto add = [&](int y) { px.insert(px.end(), bmp.Row(y), bmp.Row(y) + bmp.width); };
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < bmp.height; y += kStep[pass]) add(y);
    } else {
        for (int y = 0; y < bmp.height; ++y) add(y);
    }
    return px;
}

bool WriteFrame(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy = 0);
// The code-size byte, data sub-blocks and terminator of a frame.
bool WriteImageData(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy);

// A frame compressed lossily, unless its kept data or its exact data is
// no larger.
bool WriteLossyFrame(GifSink& sink, const Animation& a, const Frame& f, int lossy) {
    const Palette* pal = PaletteInEffect(a, f);
    VectorSink exact, lossy_out;
    LzwEncoder e1(exact), e2(lossy_out);
    if (!WriteFrame(exact, a, f, e1) || !pal) return sink.Write(exact.bytes.data(), exact.bytes.size());
    if (!WriteFrame(lossy_out, a, f, e2, lossy)) return false;
    const auto& best = lossy_out.bytes.size() < exact.bytes.size() ? lossy_out.bytes : exact.bytes;
    return sink.Write(best.data(), best.size());
}

bool WriteFrame(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy) {
    const uint8_t gce[8] = {kGifExtension, kGifGraphicControl, 0x04, f.controlFlags, static_cast<uint8_t>(f.delay),
                            static_cast<uint8_t>(f.delay >> 8), f.transparentIndex, 0};
    if (WritesControlBlock(f) && !sink.Write(gce, 8)) return false;
    uint8_t desc[10] = {kGifImage};
    Put16(desc + 1, f.left);
    Put16(desc + 3, f.top);
    Put16(desc + 5, f.width);
    Put16(desc + 7, f.height);
    desc[9] = f.descriptorFlags;
    if (!sink.Write(desc, 10)) return false;
    if (f.localPalette && !WriteColorTable(sink, *f.localPalette)) return false;
    return WriteImageData(sink, a, f, enc, lossy);
}

bool WriteImageData(GifSink& sink, const Animation& a, const Frame& f, LzwEncoder& enc, int lossy) {
    const KeptImageData* k = lossy > 0 ? nullptr : ValidKeptData(a, f);
    if (k) {
        // The file's own data: written as it was read.
        return sink.Write(&k->minCodeSize, 1) && sink.Write(k->subBlocks.data(), k->subBlocks.size());
    }
    const Palette* pal = PaletteInEffect(a, f);
    int bits = std::max(2, ColorTableBits(pal ? pal->size() : 256));
    static const FrameBitmap kEmpty;
    const FrameBitmap& bmp = f.bitmap ? *f.bitmap : kEmpty;
    // A pixel beyond the palette would collide with the clear and end codes;
    // widen the codes so that the stream stays decodable.
    const int needed = PixelBits(bmp);
    if (needed > bits) bits = needed;
    const uint8_t m = static_cast<uint8_t>(bits);
    if (!sink.Write(&m, 1)) return false;
    if (lossy > 0 && pal) {
        const NearColors near = MakeNearColors(*pal, f, lossy);
        if (!enc.EncodeLossy(FileOrderPixels(bmp, f.Interlaced()), m, near)) return false;
    } else if (!enc.Encode(bmp, f.Interlaced(), m)) {
        return false;
    }
    const uint8_t zero = 0;
    return sink.Write(&zero, 1);
}

}  // namespace

namespace {

// The pixels a frame's data decodes to, in row order; nothing when the data
// does not give the whole frame.
std::optional<FrameBitmap> DecodeImageData(const std::vector<uint8_t>& data, int width, int height,
                                          bool interlaced) {
    if (data.size() < 2) return std::nullopt;
    ByteCursor cur{data.data() + 1, data.size() - 1, 0};
    LzwDecoder dec;
    dec.Init(&cur, data[0]);
    std::vector<uint8_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
    int status = 0;
    if (dec.Decode(px.data(), px.size(), &status) != px.size() || status != 0) return std::nullopt;
    auto bmp = FrameBitmap::Create(width, height);
    if (!bmp) return std::nullopt;
    size_t row = 0;
    auto put = [&](int y) { std::copy_n(px.data() + row++ * static_cast<size_t>(width), width, bmp->Row(y)); };
    if (interlaced) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height; y += kStep[pass]) put(y);
    } else {
        for (int y = 0; y < height; ++y) put(y);
    }
    return bmp;
}

}  // namespace

Result CompressFramesLossily(Animation& a, int lossy, ProgressReporter& progress, bool* changed) {
    lossy = std::clamp(lossy, 0, 200);
    if (lossy == 0) return Result::Done;
    progress.SetText(StringId::CompressingLossily);
    progress.SetRange(a.FrameCount());
    for (Frame* f : a.Frames()) {
        const bool whole = f->bitmap && f->bitmap->width == f->width && f->bitmap->height == f->height &&
                           f->width > 0 && f->height > 0;
        if (whole && PaletteInEffect(a, *f)) {
            VectorSink exact, small;
            LzwEncoder e1(exact), e2(small);
            if (!WriteImageData(exact, a, *f, e1, 0) || !WriteImageData(small, a, *f, e2, lossy)) return Result::Failed;
            if (small.bytes.size() < exact.bytes.size()) {
                if (auto bmp = DecodeImageData(small.bytes, f->width, f->height, f->Interlaced())) {
                    SetBitmap(*f, std::move(*bmp));
                    const uint8_t m = small.bytes[0];
                    small.bytes.erase(small.bytes.begin());
                    KeepImageData(a, *f, m, std::move(small.bytes));
                    if (changed) *changed = true;
                }
            }
        }
        if (!progress.Step()) return Result::Stopped;
    }
    return Result::Done;
}

Result WriteGif(GifSink& sink, Animation& a, ProgressReporter& progress, int lossy) {
    lossy = std::clamp(lossy, 0, 200);
    // Colour resolution: at least what the global and every local table need.
    int res = std::max((a.screenFlags >> 4) & 7, ColorTableBits(2 << (a.screenFlags & 7)) - 1);
    for (const Frame* f : std::as_const(a).Frames()) {
        if (res >= 7) break;
        if (f->localPalette) res = std::max(res, ColorTableBits(f->localPalette->size()) - 1);
    }
    // The document keeps its flags: only the written header carries the
    // resolution, so that counting a size on a worker thread never writes
    // to a document the window is reading.
    const uint8_t screen_flags = static_cast<uint8_t>((a.screenFlags & 0x8F) | (res << 4));

    static const uint8_t kSig[6] = {'G', 'I', 'F', '8', '9', 'a'};
    if (!sink.Write(kSig, 6)) return Result::Failed;
    uint8_t lsd[7];
    Put16(lsd, static_cast<int32_t>(a.width));
    Put16(lsd + 2, static_cast<int32_t>(a.height));
    lsd[4] = screen_flags;
    lsd[5] = a.backgroundIndex;
    lsd[6] = a.aspect;
    if (!sink.Write(lsd, 7)) return Result::Failed;
    if (a.globalPalette && !WriteColorTable(sink, *a.globalPalette)) return Result::Failed;
    if (a.playCount != 1) {
        const uint32_t loop = a.playCount == 0 ? 0 : a.playCount - 1;
        uint8_t ext[19] = {kGifExtension, kGifApplication, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2',
                           '.', '0', 0x03, 0x01, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8), 0};
        if (!sink.Write(ext, 19)) return Result::Failed;
    }
    progress.SetRange(a.FrameCount());
    LzwEncoder enc(sink, &progress);
    for (const auto& b : a.blocks) {
        if (const Frame* f = AsFrame(b.get())) {
            const bool ok = lossy > 0 ? WriteLossyFrame(sink, a, *f, lossy) : WriteFrame(sink, a, *f, enc);
            if (!ok) return enc.Stopped() ? Result::Stopped : Result::Failed;
            if (!progress.Step()) return Result::Stopped;
            continue;
        }
        const ExtensionBlock& e = *AsExtension(b.get());
        const uint8_t head[2] = {kGifExtension, static_cast<uint8_t>(e.kind)};
        if (!sink.Write(head, 2)) return Result::Failed;
        // The stored sub-blocks up to the first zero length, then a terminator.
        size_t pos = 0;
        while (pos < e.data.size() && e.data[pos] != 0) {
            const size_t len = std::min<size_t>(e.data[pos], e.data.size() - pos - 1);
            const uint8_t lb = static_cast<uint8_t>(len);
            if (!sink.Write(&lb, 1) || !sink.Write(e.data.data() + pos + 1, len)) return Result::Failed;
            pos += 1 + len;
        }
        const uint8_t zero = 0;
        if (!sink.Write(&zero, 1)) return Result::Failed;
    }
    const uint8_t trailer = kGifTrailer;
    return sink.Write(&trailer, 1) ? Result::Done : Result::Failed;
}

int64_t FrameEncodedSize(const Animation& a, const Frame& f) {
    CountingSink sink;
    LzwEncoder enc(sink);
    return WriteFrame(sink, a, f, enc) ? sink.Total() : 0;
}

bool IsSignatureText(const std::string& text, const std::string& current) {
    return text.starts_with("Built with Cinemill") || text.starts_with("Built with Strober") ||
           (!current.empty() && text == current);
}

int32_t EncodedSize(Animation& a, bool recompute, ProgressReporter& progress,
                    const PreferenceBlock& prefs) {
    if (!recompute && a.cachedSize != -1) return a.cachedSize;
    a.cachedSize = -1;
    a.cachedSize = CountEncodedSize(a, progress, prefs);
    return a.cachedSize;
}

int32_t CountEncodedSize(Animation& a, ProgressReporter& progress, const PreferenceBlock& prefs) {
    CountingSink sink;
    if (WriteGif(sink, a, progress) != Result::Done) return -1;
    int64_t total = sink.Total();
    const std::string sig = prefs.SignatureText();
    for (const auto& b : a.blocks) {
        if (b->kind != BlockKind::Comment) continue;
        const auto* e = AsExtension(b.get());
        const std::string text = CommentText(*e);
        if (IsSignatureText(text, sig)) total -= static_cast<int64_t>(text.size()) + 4;
    }
    if (!sig.empty()) total += static_cast<int64_t>(sig.size()) + 4;
    return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void RefreshSignature(Animation& a, const PreferenceBlock& prefs) {
    const std::string sig = prefs.SignatureText();
    std::erase_if(a.blocks, [&](const std::unique_ptr<Block>& b) {
        return b->kind == BlockKind::Comment && IsSignatureText(CommentText(*AsExtension(b.get())), sig);
    });
    if (!sig.empty()) a.blocks.insert(a.blocks.begin(), NewComment(sig));
}

bool ClipCheck(Animation& a, UiHost& host, const PreferenceBlock& prefs) {
    if (!prefs.Flag(PreferenceBlock::kFlagClipWithoutAsking)) {
        bool all_fit = true;
        for (const Frame* f : std::as_const(a).Frames()) all_fit = all_fit && FrameFitsScreen(*f, a.width, a.height);
        if (all_fit) return true;
        if (!host.AskYesNo(std::string(LoadString(StringId::ClipQuestion)),
                           std::string(LoadString(StringId::ClipTitle))))
            return false;
    }
    for (Frame* f : a.Frames())
        if (!ClipFrameToScreen(*f, a.width, a.height)) return false;
    return true;
}

Result SaveGif(const std::string& path, Animation& a, UiHost& host, ProgressReporter& progress) {
    AtomicFile file;
    if (const WriteProblem p = file.Open(path); p != WriteProblem::None) {
        TellWriteProblem(host, p, path);
        return Result::Failed;
    }
    progress.SetText(StringId::WritingGif);
    FileSink sink(file);
    Result r = WriteGif(sink, a, progress);
    if (r == Result::Done && !sink.Flush()) r = Result::Failed;
    progress.End();
    if (r == Result::Done && file.Commit() != WriteProblem::None) {
        host.Error(FormatString(StringId::WriteToFailed, path));
        r = Result::Failed;
    } else if (r == Result::Failed) {
        host.Error(FormatString(StringId::ErrorSaving, path));
    }
    return r;
}

}  // namespace cinemill
