// Tiny files that declare huge sizes: memory follows the data a file holds,
// and a document-wide budget stops the read, keeping the frames before it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <unistd.h>

#include "cinemill/base/memory.h"
#include "cinemill/base/strings.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

// A screen of `sw` x `sh` with a two-colour table and `frames` images of
// w x h whose data is a clear code, one pixel of index 0 and an end code.
std::vector<uint8_t> DeclaringGif(int sw, int sh, int frames, int w, int h) {
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a',
                              static_cast<uint8_t>(sw), static_cast<uint8_t>(sw >> 8),
                              static_cast<uint8_t>(sh), static_cast<uint8_t>(sh >> 8),
                              0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < frames; ++i) {
        const uint8_t image[] = {0x2C, 0, 0, 0, 0,
                                 static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                                 static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), 0,
                                 // code size 2; clear (4), 0, end (5) in 3-bit codes
                                 2, 2, 0x44, 0x01, 0};
        b.insert(b.end(), std::begin(image), std::end(image));
    }
    b.push_back(0x3B);
    return b;
}

// Resident memory of this process in bytes.
uint64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(::sysconf(_SC_PAGE_SIZE));
}

bool Said(const testing::Read& r, StringId id) {
    for (const auto& e : r.host.errors)
        if (e == LoadString(id)) return true;
    return false;
}

TEST(HugeSizes, FramesDeclaringMoreThanTheyHoldCostOnlyWhatIsWritten) {
    const auto bytes = DeclaringGif(65535, 16383, 3, 65532, 16383);
    ASSERT_LT(bytes.size(), 100u);
    const uint64_t before = ResidentBytes();
    testing::Read r;
    SilentProgress progress;
    r.outcome = ReadGif(bytes, r.host, progress, PreferenceBlock(), {uint64_t{4} << 30});
    const uint64_t after = ResidentBytes();
    const uint64_t grown = after > before ? after - before : 0;
    ASSERT_EQ(r.outcome.result, Result::Done);
    ASSERT_EQ(r.outcome.animation->FrameCount(), 3);
    // Three frames of about 1 GiB each, all index 0, held in untouched pages.
    const Frame& f = *r.outcome.animation->FrameAt(2);
    EXPECT_EQ(f.bitmap->pixels.size(), size_t{65532} * 16383);
    EXPECT_EQ(f.bitmap->At(65531, 16382), 0);
    EXPECT_LT(grown, uint64_t{64} << 20);
}

TEST(HugeSizes, TheBudgetStopsTheReadAndKeepsTheFramesBefore) {
    const auto bytes = DeclaringGif(65535, 16383, 8, 65532, 16383);
    testing::Read r;
    SilentProgress progress;
    // Room for two of the 1 GiB frames.
    r.outcome = ReadGif(bytes, r.host, progress, PreferenceBlock(), {uint64_t{2200} << 20});
    ASSERT_EQ(r.outcome.result, Result::Stopped);
    EXPECT_EQ(r.outcome.animation->FrameCount(), 2);
    EXPECT_TRUE(Said(r, StringId::FrameImageNoMemory));
    EXPECT_TRUE(Said(r, StringId::PartlyRead));
}

TEST(HugeSizes, AFirstFrameBeyondTheBudgetFailsTheRead) {
    const auto bytes = DeclaringGif(4000, 4000, 1, 4000, 4000);
    testing::Read r;
    SilentProgress progress;
    r.outcome = ReadGif(bytes, r.host, progress, PreferenceBlock(), {uint64_t{1} << 20});
    EXPECT_EQ(r.outcome.result, Result::Failed);
    EXPECT_FALSE(r.outcome.animation);
    EXPECT_TRUE(Said(r, StringId::FrameImageNoMemory));
}

TEST(HugeSizes, TheProcessWideBudgetIsTheDefault) {
    const auto bytes = DeclaringGif(1000, 1000, 4, 1000, 1000);
    SetMemoryBudget(uint64_t{3} << 20);  // room for three of the four 1 MB frames
    auto r = testing::ReadBytes(bytes);
    SetMemoryBudget(0);
    EXPECT_EQ(r.outcome.result, Result::Stopped);
    ASSERT_TRUE(r.outcome.animation);
    EXPECT_EQ(r.outcome.animation->FrameCount(), 3);
    EXPECT_TRUE(Said(r, StringId::FrameImageNoMemory));
    // Restored: the default is a quarter of physical memory.
    EXPECT_EQ(MemoryBudget(), PhysicalMemoryBytes() / 4);
    EXPECT_EQ(testing::ReadBytes(bytes).outcome.result, Result::Done);
}

}  // namespace
}  // namespace cinemill
