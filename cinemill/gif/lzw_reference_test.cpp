// The bulk LZW decoder against a plain one-value-per-call decoder written
// straight from the decoding rules, on real and on damaged streams.
#include <gtest/gtest.h>

#include <random>

#include "cinemill/gif/lzw_decoder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

// The reference: a code reader with two carried bytes and a prefix/suffix
// table expanded onto a stack, one pixel per call.
class ReferenceDecoder {
public:
    ReferenceDecoder(const std::vector<uint8_t>& data, size_t pos, int min_code_size)
        : data_(data), pos_(pos), s_(min_code_size) {
        clear_ = 1 << s_;
        end_ = clear_ + 1;
        size_ = s_ + 1;
        limit_ = 2 * clear_;
        next_ = clear_ + 2;
        for (int c = 0; c < 4096; ++c) {
            prefix_[c] = 0;
            suffix_[c] = c < clear_ ? c : 0;
        }
    }

    int Next() {
        if (fresh_) {
            fresh_ = false;
            do {
                first_ = old_ = Code(size_);
            } while (first_ == clear_);
            return first_;
        }
        if (sp_ > 0) return stack_[--sp_];
        int c = Code(size_);
        if (c < 0) return c;
        if (c == clear_) {
            for (int i = 0; i < 4096; ++i) {
                prefix_[i] = 0;
                suffix_[i] = i < clear_ ? i : 0;
            }
            size_ = s_ + 1;
            limit_ = 2 * clear_;
            next_ = clear_ + 2;
            sp_ = 0;
            do {
                first_ = old_ = Code(size_);
            } while (first_ == clear_);
            return first_;
        }
        if (c == end_) {
            if (term_seen_) return -2;
            for (;;) {
                const int n = SubBlock();
                if (n < 0) return -2;
                if (n == 0) return -3;
            }
        }
        const int incoming = c;
        if (c >= next_) {
            stack_[sp_++] = first_;
            c = old_;
        }
        while (c >= clear_) {
            if (sp_ >= 8192) return -1;
            stack_[sp_++] = suffix_[c];
            c = prefix_[c];
        }
        if (sp_ >= 8192) return -1;
        first_ = suffix_[c];
        stack_[sp_++] = first_;
        if (next_ < 4096) {
            prefix_[next_] = old_;
            suffix_[next_] = first_;
            ++next_;
            if (next_ >= limit_ && limit_ < 4096) {
                limit_ *= 2;
                ++size_;
            }
        }
        old_ = incoming;
        return stack_[--sp_];
    }

private:
    int SubBlock() {
        if (pos_ >= data_.size()) return -1;
        const int n = data_[pos_++];
        term_seen_ = n == 0;
        for (int i = 0; i < n; ++i) {
            if (pos_ >= data_.size()) return -1;
            buf_[2 + i] = data_[pos_++];
        }
        return n;
    }
    int Code(int n) {
        while (cur_ + n > last_) {
            if (done_) return -1;
            buf_[0] = buf_[last_byte_ - 2];
            buf_[1] = buf_[last_byte_ - 1];
            int len = SubBlock();
            if (len <= 0) {
                done_ = true;
                len = 0;
            }
            last_byte_ = 2 + len;
            cur_ = cur_ - last_ + 16;
            last_ = (2 + len) * 8;
        }
        int code = 0;
        for (int i = 0; i < n; ++i, ++cur_)
            if (buf_[cur_ / 8] & (1 << (cur_ % 8))) code |= 1 << i;
        return code;
    }

    const std::vector<uint8_t>& data_;
    size_t pos_;
    int s_;
    uint8_t buf_[288] = {};
    int cur_ = 0, last_ = 0, last_byte_ = 2;
    bool done_ = false, term_seen_ = false;
    int clear_, end_, size_, limit_, next_;
    int first_ = 0, old_ = 0;
    bool fresh_ = true;
    int prefix_[4096], suffix_[4096], stack_[8192];
    int sp_ = 0;
};

struct Decoded {
    std::vector<uint8_t> pixels;
    int status = 0;
};

Decoded ReferenceDecode(const std::vector<uint8_t>& data, size_t pos, int s, size_t count) {
    ReferenceDecoder d(data, pos, s);
    Decoded out;
    out.pixels.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const int v = d.Next();
        if (v < 0) {
            out.status = v;
            out.pixels.resize(i);
            break;
        }
        out.pixels[i] = static_cast<uint8_t>(v);
    }
    return out;
}

Decoded BulkDecode(const std::vector<uint8_t>& data, size_t pos, int s, size_t count) {
    ByteCursor cur{data.data(), data.size(), pos};
    LzwDecoder d;
    d.Init(&cur, s);
    Decoded out;
    out.pixels.assign(count, 0);
    const size_t got = d.Decode(out.pixels.data(), count, &out.status);
    out.pixels.resize(got);
    return out;
}

void ExpectSame(const std::vector<uint8_t>& data, size_t pos, int s, size_t count,
                const std::string& what) {
    const Decoded ref = ReferenceDecode(data, pos, s, count);
    const Decoded bulk = BulkDecode(data, pos, s, count);
    ASSERT_EQ(bulk.status, ref.status) << what;
    ASSERT_EQ(bulk.pixels.size(), ref.pixels.size()) << what;
    ASSERT_TRUE(bulk.pixels == ref.pixels) << what;
}

// Where each image's data starts (the minimum code size byte) and how many
// pixels it holds, found by walking the blocks.
struct ImageData {
    size_t pos;
    size_t count;
};

std::vector<ImageData> FindImages(const std::vector<uint8_t>& f) {
    std::vector<ImageData> out;
    if (f.size() < 13) return out;
    size_t p = 13;
    if (f[10] & 0x80) p += 3u * (2u << (f[10] & 7));
    auto skip_sub_blocks = [&]() {
        while (p < f.size() && f[p] != 0) p += 1u + f[p];
        ++p;
    };
    while (p < f.size()) {
        const uint8_t b = f[p++];
        if (b == 0x21) {
            ++p;
            skip_sub_blocks();
        } else if (b == 0x2C) {
            if (p + 9 > f.size()) break;
            const size_t w = f[p + 4] | (f[p + 5] << 8), h = f[p + 6] | (f[p + 7] << 8);
            const uint8_t flags = f[p + 8];
            p += 9;
            if (flags & 0x80) p += 3u * (2u << (flags & 7));
            if (p >= f.size()) break;
            out.push_back({p, w * h});
            ++p;
            skip_sub_blocks();
        } else if (b != 0) {
            break;
        }
    }
    return out;
}

TEST(LzwDecoder, MatchesReferenceOnEveryCorpusImage) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    size_t images = 0;
    for (const auto& path : files) {
        const auto bytes = testing::FileBytes(path);
        for (const auto& img : FindImages(bytes)) {
            const int s = bytes[img.pos];
            if (s > 11 || img.count == 0 || img.count > (1u << 26)) continue;
            ExpectSame(bytes, img.pos + 1, s, img.count, path.string());
            ++images;
        }
    }
    EXPECT_GT(images, 500u);
}

TEST(LzwDecoder, MatchesReferenceOnRandomAndMutatedStreams) {
    std::mt19937 rng(12345);
    // Pure noise: codes beyond the table, early ends, missing terminators.
    for (int iter = 0; iter < 3000; ++iter) {
        const int s = static_cast<int>(rng() % 12);
        std::vector<uint8_t> data;
        const int blocks = 1 + static_cast<int>(rng() % 4);
        for (int b = 0; b < blocks; ++b) {
            const int n = static_cast<int>(rng() % 256);
            data.push_back(static_cast<uint8_t>(n));
            for (int i = 0; i < n; ++i) data.push_back(static_cast<uint8_t>(rng()));
        }
        if (rng() % 2) data.push_back(0);
        ExpectSame(data, 0, s, 1 + rng() % 5000, "noise " + std::to_string(iter));
    }
    // Real streams with a few damaged bytes.
    const auto path = testing::CorpusDir() / "wuffs/test/data/bricks-dither.gif";
    const auto original = testing::FileBytes(path);
    if (original.empty()) GTEST_SKIP() << "corpus missing";
    const auto images = FindImages(original);
    ASSERT_FALSE(images.empty());
    for (int iter = 0; iter < 300; ++iter) {
        auto bytes = original;
        for (int k = 0; k < 3; ++k) {
            const size_t at = images[0].pos + 2 + rng() % (bytes.size() - images[0].pos - 2);
            bytes[at] = static_cast<uint8_t>(rng());
        }
        ExpectSame(bytes, images[0].pos + 1, original[images[0].pos],
                   images[0].count, "mutated " + std::to_string(iter));
    }
}

// Raw LZW streams without sub-block framing: byte 0 is the literal width.
TEST(LzwDecoder, DecodesUnframedReferenceStreams) {
    const auto dir = testing::CorpusDir() / "wuffs/test/data";
    const std::pair<const char*, const char*> cases[] = {
        {"bricks-dither.indexes.giflzw", "bricks-dither.indexes"},
        {"pi.txt.giflzw", "pi.txt"},
    };
    for (const auto& [lzw_name, want_name] : cases) {
        const auto raw = testing::FileBytes(dir / lzw_name);
        const auto want = testing::FileBytes(dir / want_name);
        if (raw.empty() || want.empty()) GTEST_SKIP() << "corpus missing";
        std::vector<uint8_t> framed;
        for (size_t p = 1; p < raw.size(); p += 255) {
            const size_t n = std::min<size_t>(255, raw.size() - p);
            framed.push_back(static_cast<uint8_t>(n));
            framed.insert(framed.end(), raw.begin() + static_cast<ptrdiff_t>(p),
                          raw.begin() + static_cast<ptrdiff_t>(p + n));
        }
        framed.push_back(0);
        const Decoded d = BulkDecode(framed, 0, raw[0], want.size());
        EXPECT_EQ(d.status, 0) << lzw_name;
        EXPECT_TRUE(d.pixels == want) << lzw_name;
    }
}

}  // namespace
}  // namespace cinemill
