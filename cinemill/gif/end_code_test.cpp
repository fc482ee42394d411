// Image data whose end code comes before all pixels: the end code at every
// bit position relative to the sub-block boundaries and at every code width,
// checked against a decoder written here from the format alone (codes read
// from the concatenated sub-block data, least significant bit first).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

using testing::ReadBytes;

// One encoded stream: the bits of every code, and for each code where it
// starts, how wide it is and how many pixels the codes before it cover.
struct Encoded {
    std::vector<uint8_t> bits;  // one entry per bit
    std::vector<size_t> code_bit;
    std::vector<int> code_width;
    std::vector<size_t> pixels_before;
};

// Width of the i-th code after a clear code, as a decoder sees it: the
// decoder has then added i-1 entries to its table.
int WidthFor(size_t i, int s) {
    const int next = (1 << s) + 2 + static_cast<int>(i == 0 ? 0 : i - 1);
    int w = s + 1;
    while (w < 12 && next >= (1 << w)) ++w;
    return w;
}

Encoded Encode(const std::vector<uint8_t>& px, int s) {
    Encoded e;
    const int clear = 1 << s;
    auto put = [&](int code, int w) {
        for (int b = 0; b < w; ++b) e.bits.push_back(static_cast<uint8_t>((code >> b) & 1));
    };
    put(clear, s + 1);
    std::map<std::pair<int, int>, int> dict;
    int next = clear + 2;
    int cur = px[0];
    size_t covered = 0, start = 0, index = 0;
    auto emit = [&](int code, size_t upto) {
        const int w = WidthFor(index, s);
        e.code_bit.push_back(e.bits.size());
        e.code_width.push_back(w);
        e.pixels_before.push_back(covered);
        put(code, w);
        covered = upto;
        ++index;
    };
    for (size_t i = 1; i < px.size(); ++i) {
        auto it = dict.find({cur, px[i]});
        if (it != dict.end()) {
            cur = it->second;
            continue;
        }
        emit(cur, i);
        if (next < 4096) dict[{cur, px[i]}] = next++;
        cur = px[i];
        start = i;
    }
    (void)start;
    emit(cur, px.size());
    return e;
}

// The stream with code `k` replaced by the end code, as bytes.
std::vector<uint8_t> CutAt(const Encoded& e, size_t k, int s) {
    std::vector<uint8_t> bits(e.bits.begin(), e.bits.begin() + static_cast<long>(e.code_bit[k]));
    const int end = (1 << s) + 1;
    for (int b = 0; b < e.code_width[k]; ++b) bits.push_back(static_cast<uint8_t>((end >> b) & 1));
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i) bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (i % 8));
    return bytes;
}

// Decodes concatenated code bytes into `count` pixels; missing ones are 0.
std::vector<uint8_t> IndependentDecode(const std::vector<uint8_t>& bytes, int s, size_t count) {
    std::vector<uint8_t> out;
    const int clear = 1 << s, end = clear + 1;
    std::vector<std::vector<uint8_t>> table;
    auto reset = [&] {
        table.assign(static_cast<size_t>(clear + 2), {});
        for (int c = 0; c < clear; ++c) table[static_cast<size_t>(c)] = {static_cast<uint8_t>(c)};
    };
    reset();
    size_t bit = 0;
    int width = s + 1, prev = -1;
    for (;;) {
        if (bit + static_cast<size_t>(width) > bytes.size() * 8) break;
        int code = 0;
        for (int b = 0; b < width; ++b, ++bit)
            code |= ((bytes[bit / 8] >> (bit % 8)) & 1) << b;
        if (code == clear) {
            reset();
            width = s + 1;
            prev = -1;
            continue;
        }
        if (code == end) break;
        std::vector<uint8_t> str;
        if (code < static_cast<int>(table.size())) {
            str = table[static_cast<size_t>(code)];
        } else {
            str = table[static_cast<size_t>(prev)];
            str.push_back(str[0]);
        }
        if (prev >= 0 && table.size() < 4096) {
            auto entry = table[static_cast<size_t>(prev)];
            entry.push_back(str[0]);
            table.push_back(entry);
        }
        if (static_cast<int>(table.size()) >= (1 << width) && width < 12) ++width;
        out.insert(out.end(), str.begin(), str.end());
        prev = code;
    }
    out.resize(count, 0);
    return out;
}

// A file with the cut image and a second, complete 1x1 image behind it.
// The cut image's sub-blocks are laid out so that one of them ends `shift`
// bytes after the byte holding the end code's last bit (negative: before it).
std::vector<uint8_t> FileWith(const std::vector<uint8_t>& data, int s, int w, int h, int shift) {
    testing::GifBuilder g(w, h, 256);
    g.b.push_back(0x2C);
    g.b.insert(g.b.end(), {0, 0, 0, 0, static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                           static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), 0});
    g.b.push_back(static_cast<uint8_t>(s));
    const long boundary = static_cast<long>(data.size()) + shift;
    size_t pos = 0;
    // The first blocks are sized so that a boundary falls at `boundary`; the
    // first of them can be shorter than a code.
    std::vector<size_t> lengths;
    if (boundary > 0 && boundary < static_cast<long>(data.size())) {
        size_t before = static_cast<size_t>(boundary);
        while (before > 0) {
            const size_t n = before % 255 == 0 ? 255 : before % 255;
            lengths.push_back(n);
            before -= n;
        }
    }
    for (size_t n : lengths) {
        g.b.push_back(static_cast<uint8_t>(n));
        g.b.insert(g.b.end(), data.begin() + static_cast<long>(pos),
                   data.begin() + static_cast<long>(pos + n));
        pos += n;
    }
    while (pos < data.size()) {
        const size_t n = std::min<size_t>(255, data.size() - pos);
        g.b.push_back(static_cast<uint8_t>(n));
        g.b.insert(g.b.end(), data.begin() + static_cast<long>(pos),
                   data.begin() + static_cast<long>(pos + n));
        pos += n;
    }
    // With shift > 0 the boundary lies past the data: padding bytes after
    // the end code fill the block up to it.
    for (int i = 0; i < shift && boundary >= static_cast<long>(data.size()); ++i) {
        if (i == 0) g.b.push_back(static_cast<uint8_t>(shift));
        g.b.push_back(0xA5);
    }
    g.b.push_back(0);
    g.Image(0, 0, 1, 1, {1});
    g.b.push_back(0x3B);
    return g.b;
}

TEST(EarlyEndCode, EveryPositionAndWidthKeepsTheImageAndZeroesTheRest) {
    std::mt19937 rng(7);
    int cases = 0, exact_ends = 0;
    std::set<int> widths_seen;
    for (int s = 2; s <= 8; ++s) {
        // Enough pixels for the table to fill, with short runs so that
        // strings grow and the string copies of the bulk decoder are used.
        const int w = 200, h = s <= 3 ? 400 : 60;
        std::vector<uint8_t> px(static_cast<size_t>(w * h));
        uint8_t v = 0;
        for (auto& p : px) {
            if (rng() % 3 == 0) v = static_cast<uint8_t>(rng() % (1u << s));
            p = v;
        }
        const Encoded e = Encode(px, s);
        // Codes where the width is about to change and a few in between, so
        // that every width is cut at several bit offsets.
        std::vector<size_t> cuts;
        for (size_t k = 1; k < e.code_width.size(); ++k)
            if (e.code_width[k] != e.code_width[k - 1] || k % 193 < 9) cuts.push_back(k);
        for (size_t k : cuts) {
            const auto data = CutAt(e, k, s);
            const size_t end_bits = e.code_bit[k] + static_cast<size_t>(e.code_width[k]);
            const auto expected = IndependentDecode(data, s, px.size());
            // The independent decode agrees with what was encoded.
            ASSERT_TRUE(std::equal(expected.begin(),
                                   expected.begin() + static_cast<long>(e.pixels_before[k]),
                                   px.begin()));
            for (int shift = -2; shift <= 2; ++shift) {
                const auto file = FileWith(data, s, w, h, shift);
                auto r = ReadBytes(file);
                ++cases;
                if (shift == 0 && end_bits % 8 == 0) ++exact_ends;
                widths_seen.insert(e.code_width[k]);
                ASSERT_EQ(r.outcome.result, Result::Done)
                    << "s=" << s << " code " << k << " shift " << shift << " end bit "
                    << end_bits;
                ASSERT_TRUE(r.host.errors.empty()) << r.host.errors[0];
                ASSERT_EQ(r.outcome.animation->FrameCount(), 2);
                const Frame& f = *r.outcome.animation->FrameAt(0);
                for (int y = 0; y < h; ++y)
                    ASSERT_TRUE(std::equal(f.bitmap->Row(y), f.bitmap->Row(y) + w,
                                           expected.begin() + y * w))
                        << "s=" << s << " code " << k << " shift " << shift << " row " << y;
            }
        }
    }
    EXPECT_EQ(widths_seen.size(), 10u);  // 3 to 12 bits
    EXPECT_GT(exact_ends, 20);           // end code closing a sub-block exactly
    EXPECT_GT(cases, 1000);
}

TEST(EarlyEndCode, EndCodeClosingTheLastSubBlockKeepsThatImage) {
    // Two 4x4 images; the second one's end code ends with the last bit of its
    // only data sub-block, before all 16 pixels.
    const std::vector<uint8_t> file = {
        0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x04, 0x00, 0x91, 0x00, 0x00, 0x00, 0x00,
        0x00, 0xff, 0x00, 0x00, 0x00, 0xff, 0x00, 0x00, 0x00, 0xff, 0x21, 0xf9, 0x04, 0x00, 0x0a,
        0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x02, 0x04,
        0x8c, 0x8f, 0x19, 0x05, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x2c, 0x00,
        0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x02, 0x02, 0x94, 0x5d, 0x00, 0x3b};
    auto r = ReadBytes(file);
    ASSERT_EQ(r.outcome.result, Result::Done);
    EXPECT_TRUE(r.host.errors.empty());
    ASSERT_EQ(r.outcome.animation->FrameCount(), 2);
}

}  // namespace
}  // namespace cinemill
