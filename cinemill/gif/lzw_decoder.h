#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace cinemill {

// Sub-block data source: the bytes of a GIF file and a read position.
struct ByteCursor {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;

    size_t Left() const { return size - pos; }
    int ReadByte() { return pos < size ? data[pos++] : -1; }
    // Copies up to n bytes; answers how many arrived.
    size_t Read(uint8_t* out, size_t n);
    // The reads of the GIF reader: past the end they answer false and read
    // nothing.
    bool Byte(uint8_t& v) {
        if (pos >= size) return false;
        v = data[pos++];
        return true;
    }
    // The next n bytes, in place.
    bool Take(size_t n, const uint8_t*& out) {
        if (n > Left()) return false;
        out = data + pos;
        pos += n;
        return true;
    }
    bool Skip(size_t n) {
        if (n > Left()) return false;
        pos += n;
        return true;
    }
};

// LZW decoder for GIF image data. It reads data sub-blocks from the cursor,
// bit by bit as a GIF code reader of the classic design does (two carried
// bytes between sub-blocks, a done flag, a terminator-seen flag), and hands
// out whole strings at once instead of one pixel per call.
class LzwDecoder {
public:
    // Statuses, as the one-pixel-at-a-time decoder reports them.
    static constexpr int kOutOfData = -1;     // out of data, or a string too long
    static constexpr int kBadEnd = -2;        // end code after the terminator, or read error
    static constexpr int kEndSkipped = -3;    // end code; rest skipped to the terminator

    // min_code_size from 0 to 11.
    void Init(ByteCursor* src, int min_code_size);

    // Decodes up to `count` pixels into `out`, once per image (after Init).
    // Answers the number written;
    // `status` is 0 when `count` pixels were written, else the negative status
    // that ended the data early.
    size_t Decode(uint8_t* out, size_t count, int* status);

    // Skips the remaining data sub-blocks up to and including the terminator,
    // unless the terminator has already been read.
    void SkipToTerminator();

private:
    int GetCode(int n);
    int ReadSubBlock();
    void ResetTables();
    int EndCode();
    // The first code after any run of clear codes.
    int CodeAfterClears();
    // The exact one-value-per-call path used once the stream has done
    // something a clean stream never does (a code beyond the next free one).
    int SlowNext();
    size_t DecodeSlow(uint8_t* out, size_t count, int* status);
    // The copying path of a clean stream from output position `pos` on (the
    // previous code's one value just before it), handing over to the exact
    // path when the stream goes wrong.
    struct FastPath;
    size_t DecodeFast(uint8_t* out, size_t pos, size_t count, int* status);

    ByteCursor* src_ = nullptr;
    // Code reader.
    std::array<uint8_t, 288> buf_{};
    int curbit_ = 0, lastbit_ = 0, lastbyte_ = 2;
    bool done_ = false, terminator_seen_ = false;
    // Decoder.
    int initial_size_ = 0, code_size_ = 0;
    int clear_ = 0, end_ = 0, next_ = 0, limit_ = 0;
    int first_ = 0, old_ = 0;
    bool fresh_ = true;
    bool slow_ = false;
    std::array<uint16_t, 4096> prefix_{};
    std::array<uint8_t, 4096> suffix_{};
    std::array<uint16_t, 4096> length_{};  // string length per code
    std::array<uint32_t, 4096> start_{};   // where in the output the string stands
    std::array<uint8_t, 8192> stack_{};
    int sp_ = 0;
    int pending_code_ = -1;  // a code read by the fast path for the slow path
};

}  // namespace cinemill
