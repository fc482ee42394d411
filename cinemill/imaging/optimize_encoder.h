#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"
#include "cinemill/imaging/optimize_lzw.h"

namespace cinemill {

// What the optimizer's own compressor does once its string table is full.
enum class FullTable {
    kClear,  // a clear code at once, as the GIF writer does
    kKeep,   // go on with the full table until a fresh table, started where
             // it filled, is seen doing better; then clear at that point
};

// LZW image data made by the optimizer, kept with the frame so that the
// writer writes it as it is. Any GIF decoder reads it: a full table without
// a clear code is part of the format (codes stay 12 bits, nothing is added),
// and the minimum code size may be below the colour table's bits when every
// pixel fits it.
//
// The compressor may choose pixels. Each pixel whose `fixed` byte is 0
// ("free") may be written as its own value or as `fill`; every code stands
// for the longest table string that matches the pixels from there on, a
// free pixel matching either of its values (of several longest, the one
// taking the fill index earliest). Pixels are in file order (interlaced
// rows by pass).
//
// With kKeep, from the point where the table is full a shadow count follows
// the same pixels with a fresh table. Once the shadow is ahead of the full
// table (the clear code included), the compressor goes back to that point,
// clears there and goes on; when the full table stays ahead for a table's
// life, the point moves to where it then is.
class ChoosingLzwEncoder {
public:
    static constexpr int kMaxCodes = 4096;  // codes of a full table

    ChoosingLzwEncoder();

    // Compresses px[0, n) with minimum code size m (2 to 8; every pixel,
    // and `fill` when some pixel is free, must be below 2^m). `fixed` may be
    // null (no pixel free); otherwise free pixels of `px` are rewritten with
    // the values chosen. Answers the data bytes as LzwSizeCounter counts
    // them (length bytes included, code size and terminator not). The data
    // sub-blocks with their terminator go to `out` when it is given. Gives
    // up once the data can no longer come in below `limit` bytes, and also
    // when its count is above `check` where that falls due: it then answers
    // `limit`, and `px` and `out` are left incomplete.
    int64_t Encode(uint8_t* px, const uint8_t* fixed, size_t n, uint8_t fill, int m, FullTable policy,
                   std::vector<uint8_t>* out, int64_t limit = INT64_MAX, LzwCheckpoint check = {});
    // Whether the table filled during the last Encode (until it does, the
    // parse is the writer's).
    bool Filled() const { return filled_; }
    // The number of codes at which the table counts as full, 4096 at most
    // (for the Encodes that follow). Where a table's life ends moves every
    // string after it, and a table that stops a little short sometimes
    // makes the data smaller.
    void SetTableLimit(int codes) { table_limit_ = std::clamp(codes, 512, kMaxCodes); }

private:
    static constexpr int kHashBits = 13;
    static constexpr uint32_t kHashMask = (1u << kHashBits) - 1;
    static constexpr size_t kMaxWidth = 32;  // string candidates followed per length

    struct Node {
        int code;
        int parent;  // index in nodes_, -1 for a first pixel
        uint8_t value;
        uint8_t root;  // the value of the string's first pixel
    };
    struct Match {
        int code = 0;
        size_t length = 0;
        int node = -1;  // last node of the chosen string (-1: px already holds it)
    };
    // A counting compressor with a fresh table, fed the pixels written.
    struct Shadow {
        std::vector<uint32_t> table = std::vector<uint32_t>(size_t{1} << kHashBits, 0);
        int prefix = -1, free_ent = 0, n_bits = 0, max_code = 0, clear = 0, init_bits = 0;
        int64_t bits = 0;
        void Start(int m);
        void Feed(const uint8_t* px, size_t n);
        int64_t Bits() const { return bits + (prefix >= 0 ? n_bits : 0); }
    };
    // The compressor's state where the full table could have been cleared.
    struct Point {
        bool active = false;
        size_t pos = 0, out_size = 0;
        int prev = -1, n_bits = 0, max_code = 0;
        bool clear_flag = false;
        int64_t bits = 0, horizon = 0;
        uint64_t accum = 0;
        int accum_bits = 0, packet_len = 0;
        uint8_t packet[256] = {};
        std::vector<uint32_t> table;
    };

    static uint32_t Key(int prefix, int c) { return static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(c); }
    static uint32_t Slot(uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }
    int Find(int prefix, int c) const;
    void Insert(int prefix, int c);
    void Start(int m, FullTable policy, std::vector<uint8_t>* out);
    void Emit(int code);
    void EmitClear();
    bool EncodeStrings(uint8_t* px, const uint8_t* fixed, size_t n, uint8_t fill, int64_t limit_bits,
                       LzwCheckpoint check);
    Match FixedMatch(const uint8_t* px, size_t pos, size_t n, int pending) const;
    Match LongestMatch(const uint8_t* px, const uint8_t* fixed, size_t pos, size_t n, uint8_t fill, int pending);
    void MarkPoint(size_t pos, int prev);
    bool ShadowAhead(size_t pos, bool& move_point);
    size_t GoBackToPoint(uint8_t* px, size_t pos, int& prev);
    int64_t Finish();
    void FlushPacket();

    std::vector<uint32_t> table_;
    std::vector<Node> nodes_;
    std::vector<uint8_t> start_px_;  // the pixels before choosing, for going back
    Shadow shadow_;
    Point point_;
    FullTable policy_ = FullTable::kClear;
    std::vector<uint8_t>* out_ = nullptr;
    int init_bits_ = 0, n_bits_ = 0, max_code_ = 0, clear_ = 0, free_ent_ = 0;
    bool clear_flag_ = false;
    int64_t bits_ = 0;
    int64_t life_pixels_ = 0;  // pixels since the last clear
    uint64_t accum_ = 0;
    int accum_bits_ = 0;
    uint8_t packet_[256] = {};
    int packet_len_ = 0;
    bool filled_ = false;
    int table_limit_ = kMaxCodes;
};

// Rows of `width` bytes `stride` apart in file order (by interlace pass
// when `interlaced`) into `out`; a frame's pixels so; and back.
void PixelsInFileOrder(const uint8_t* rows, size_t stride, int width, int height, bool interlaced,
                       std::vector<uint8_t>& out);
void PixelsInFileOrder(const FrameBitmap& bmp, bool interlaced, std::vector<uint8_t>& out);
void PixelsFromFileOrder(const std::vector<uint8_t>& px, bool interlaced, FrameBitmap& bmp);

}  // namespace cinemill
