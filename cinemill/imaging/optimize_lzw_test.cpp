#include "cinemill/imaging/optimize_lzw.h"

#include <gtest/gtest.h>

#include "cinemill/imaging/optimize_test_util.h"

namespace cinemill {
namespace {

using namespace testutil;

// The counter must agree with the writer byte for byte: the optimizer keeps
// a variant only when the writer really makes it smaller.
TEST(LzwSizeCounterTest, AgreesWithTheWritersFrameSize) {
    LzwSizeCounter counter;
    uint32_t seed = 1;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int colours : {2, 4, 16, 200}) {
        for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{64, 64}, std::pair{300, 200}}) {
            for (bool interlaced : {false, true}) {
                auto a = MakeAnimation(w, h, colours);
                std::vector<uint8_t> px(static_cast<size_t>(w * h));
                // Runs and noise, so that tables fill and clear.
                for (size_t i = 0; i < px.size(); ++i)
                    px[i] = static_cast<uint8_t>((next() % 4 == 0 ? next() : i / 7) % colours);
                a->blocks.push_back(MakeFrame(0, 0, w, h, px));
                Frame& f = *a->FrameAt(0);
                SetInterlaced(f, interlaced);
                const int m = WriterCodeSize(*f.bitmap, colours);
                // Graphic control (8), descriptor (10), code size byte and terminator.
                const int64_t data = FrameEncodedSize(*a, f) - 8 - 10 - 2;
                EXPECT_EQ(counter.Count(*f.bitmap, interlaced, m), data) << colours << " " << w << "x" << h;
                // With a limit below the size the count stops early.
                EXPECT_GT(counter.Count(*f.bitmap, interlaced, m, data / 2), data / 2);
                // Choosing with every pixel fixed changes nothing and counts the same.
                std::vector<uint8_t> fixed(static_cast<size_t>(w * h), 1);
                FrameBitmap copy = *f.bitmap;
                bool changed = true;
                EXPECT_EQ(counter.ChooseAndCount(copy, fixed.data(), static_cast<size_t>(w), 0, interlaced, m, changed),
                          data);
                EXPECT_FALSE(changed);
                EXPECT_EQ(copy.pixels, f.bitmap->pixels);
                // With free pixels the chosen bitmap counts as much as the writer says.
                std::vector<uint8_t> mask(static_cast<size_t>(w * h));
                for (auto& b : mask) b = next() % 3 == 0;
                changed = false;
                const int64_t chosen = counter.ChooseAndCount(copy, mask.data(), static_cast<size_t>(w),
                                                              static_cast<uint8_t>(colours - 1), interlaced, m, changed);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (mask[static_cast<size_t>(y * w + x)]) {
                            EXPECT_EQ(copy.At(x, y), f.bitmap->At(x, y));
                        }
                std::swap(*f.bitmap, copy);
                EXPECT_EQ(chosen, FrameEncodedSize(*a, f) - 20);
            }
        }
    }
}

}  // namespace
}  // namespace cinemill
