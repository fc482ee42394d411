// Broken, hostile and cut-off files: every read ends, says what went wrong,
// and leaves a consistent document (run under the sanitizers in CI).
#include <gtest/gtest.h>

#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

// What every read must satisfy, whatever the input.
void ExpectSound(const testing::Read& r, const std::string& what) {
    switch (r.outcome.result) {
        case Result::Failed:
            EXPECT_FALSE(r.outcome.animation) << what;
            EXPECT_FALSE(r.host.errors.empty()) << what;
            break;
        case Result::Stopped:
            ASSERT_TRUE(r.outcome.animation) << what;
            EXPECT_FALSE(r.host.errors.empty()) << what;
            break;
        case Result::Done:
            ASSERT_TRUE(r.outcome.animation) << what;
            EXPECT_TRUE(r.host.errors.empty()) << what;
            break;
    }
    if (!r.outcome.animation) return;
    for (const Frame* f : r.outcome.animation->Frames()) {
        ASSERT_TRUE(f->bitmap) << what;
        EXPECT_EQ(f->bitmap->width, f->width) << what;
        EXPECT_EQ(f->bitmap->height, f->height) << what;
        EXPECT_EQ(f->bitmap->pixels.size(),
                  static_cast<size_t>(f->bitmap->stride) * static_cast<size_t>(f->height))
            << what;
    }
}

TEST(Robustness, EveryCorpusGifReadsSoundly) {
    const auto files = testing::GifsUnder(testing::CorpusDir());
    if (files.empty()) GTEST_SKIP() << "corpus missing";
    for (const auto& path : files) {
        auto r = testing::ReadBytes(testing::FileBytes(path));
        ExpectSound(r, path.string());
        if (r.outcome.animation) {
            // Whatever was read can be written again.
            EXPECT_FALSE(testing::WriteBytes(*r.outcome.animation).empty());
        }
    }
}

TEST(Robustness, CutOffFilesReadSoundly) {
    const char* names[] = {"wuffs/test/data/muybridge.gif", "giflib/pic/welcome2.gif",
                           "wuffs/test/data/hippopotamus.interlaced.gif",
                           "pillow/Tests/images/iss634.gif"};
    for (const char* name : names) {
        const auto whole = testing::FileBytes(testing::CorpusDir() / name);
        if (whole.empty()) continue;
        for (size_t len = 0; len < whole.size(); len += 1 + whole.size() / 97) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(len));
            auto r = testing::ReadBytes(cut);
            ExpectSound(r, std::string(name) + " cut at " + std::to_string(len));
            EXPECT_NE(r.outcome.result, Result::Done) << name << " cut at " << len;
        }
    }
}

}  // namespace
}  // namespace cinemill
