#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cinemill/base/strings.h"
#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

using testing::GifBuilder;
using testing::ReadBytes;

std::string Text(StringId id) { return std::string(LoadString(id)); }

std::vector<uint8_t> Pixels(const Frame& f) {
    std::vector<uint8_t> out;
    for (int y = 0; y < f.bitmap->height; ++y)
        out.insert(out.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.bitmap->width);
    return out;
}

TEST(GifReader, LoopBlockGivesPlayCount) {
    auto none = ReadBytes(GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).Trailer().b);
    EXPECT_EQ(none.outcome.animation->playCount, 1u);
    auto forever = ReadBytes(GifBuilder(1, 1).Loop(0).Image(0, 0, 1, 1, {1}).Trailer().b);
    EXPECT_EQ(forever.outcome.animation->playCount, 0u);
    auto six = ReadBytes(GifBuilder(1, 1).Loop(5).Image(0, 0, 1, 1, {1}).Trailer().b);
    EXPECT_EQ(six.outcome.animation->playCount, 6u);
    // The loop block itself is not kept: the writer makes a new one.
    EXPECT_EQ(six.outcome.animation->blocks.size(), 1u);
}

TEST(GifReader, OtherApplicationBlocksAreKeptByteForByte) {
    // A NETSCAPE2.0 block whose data sub-block is not 3 bytes long, and an
    // unrelated application extension with several sub-blocks.
    auto r = ReadBytes(GifBuilder(1, 1)
                           .Extension(0xFF, {"NETSCAPE2.0", std::string("\x01\x02\x03\x04\x05", 5)})
                           .Extension(0xFF, {"XMP DataXMP", "abc", std::string(255, 'x')})
                           .Extension(0xFE, {"one", "two"})
                           .Extension(0x01, {std::string(12, '\0'), "text"})
                           .Image(0, 0, 1, 1, {1})
                           .Trailer()
                           .b);
    ASSERT_EQ(r.outcome.result, Result::Done);
    const Animation& a = *r.outcome.animation;
    ASSERT_EQ(a.blocks.size(), 5u);
    EXPECT_EQ(a.playCount, 1u);
    auto ext = [&](size_t i) { return AsExtension(a.blocks[i].get()); };
    ASSERT_TRUE(ext(0));
    EXPECT_EQ(ext(0)->kind, BlockKind::Application);
    const std::vector<uint8_t> want0 = {11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                                        5,  1,   2,   3,   4,   5,   0};
    EXPECT_EQ(ext(0)->data, want0);
    EXPECT_EQ(ext(1)->data.size(), 1u + 11 + 1 + 3 + 1 + 255 + 1);
    EXPECT_EQ(ext(2)->kind, BlockKind::Comment);
    EXPECT_EQ(CommentText(*ext(2)), "one");
    EXPECT_EQ(ext(3)->kind, BlockKind::PlainText);
    EXPECT_TRUE(AsFrame(a.blocks[4].get()));
}

TEST(GifReader, GraphicControlRules) {
    auto r = ReadBytes(GifBuilder(2, 1)
                           .Gce(0x05, 7, 3)
                           .Gce(0x08 | 0x02, 0x8000, 2)  // the second one applies
                           .Image(0, 0, 1, 1, {1})
                           .Image(1, 0, 1, 1, {2})  // no graphic control
                           .Gce(0x01, 9, 1)         // nothing behind it
                           .Trailer()
                           .b);
    ASSERT_EQ(r.outcome.result, Result::Done);
    const Animation& a = *r.outcome.animation;
    ASSERT_EQ(a.FrameCount(), 2);
    EXPECT_EQ(a.blocks.size(), 2u);
    const Frame& f0 = *a.FrameAt(0);
    EXPECT_EQ(f0.delay, 32768u);  // 0x00 0x80 is not negative
    EXPECT_EQ(f0.Disposal(), 2);
    EXPECT_TRUE(f0.WaitForInput());
    EXPECT_FALSE(f0.Transparent());
    EXPECT_EQ(f0.transparentIndex, 2);
    const Frame& f1 = *a.FrameAt(1);
    EXPECT_EQ(f1.delay, PreferenceBlock().DefaultDelay());
    EXPECT_EQ(f1.controlFlags, 0);
    EXPECT_EQ(f1.transparentIndex, 0);
}

TEST(GifReader, ScreenValues) {
    // Background index equal to the entry count becomes 0; the colour
    // resolution is raised to what the global table needs.
    auto r = ReadBytes(GifBuilder(3, 2, 4, 4).Image(0, 0, 1, 1, {1}).Trailer().b);
    const Animation& a = *r.outcome.animation;
    EXPECT_EQ(a.backgroundIndex, 0);
    EXPECT_EQ((a.screenFlags >> 4) & 7, 1);
    EXPECT_EQ(a.width, 3u);
    EXPECT_EQ(a.height, 2u);
    auto keep = ReadBytes(GifBuilder(3, 2, 4, 3).Trailer().b);
    EXPECT_EQ(keep.outcome.animation->backgroundIndex, 3);
    EXPECT_EQ(keep.outcome.animation->FrameCount(), 0);
    // No global table: background 0, no palette.
    auto bare = ReadBytes(GifBuilder(3, 2, 0, 7).Image(0, 0, 1, 1, {1}).Trailer().b);
    EXPECT_EQ(bare.outcome.animation->backgroundIndex, 0);
    EXPECT_FALSE(bare.outcome.animation->globalPalette);
    // GIF87a reads the same way, and a complete read records the file size.
    const auto old = GifBuilder(2, 2, 4, 0, "GIF87a").Image(0, 0, 2, 2, {0, 1, 2, 3}).Trailer().b;
    auto r87 = ReadBytes(old);
    ASSERT_EQ(r87.outcome.result, Result::Done);
    EXPECT_EQ(r87.outcome.animation->cachedSize, static_cast<int32_t>(old.size()));
}

TEST(GifReader, ZeroBytesBetweenBlocksAreSkipped) {
    auto r = ReadBytes(GifBuilder(1, 1).Raw({0, 0}).Image(0, 0, 1, 1, {3}).Raw({0}).Trailer().b);
    ASSERT_EQ(r.outcome.result, Result::Done);
    EXPECT_EQ(Pixels(*r.outcome.animation->FrameAt(0)), std::vector<uint8_t>{3});
    EXPECT_TRUE(r.host.errors.empty());
}

TEST(GifReader, MissingTrailerAfterGoodImageIsPartial) {
    auto r = ReadBytes(GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).b);
    EXPECT_EQ(r.outcome.result, Result::Stopped);
    ASSERT_TRUE(r.outcome.animation);
    EXPECT_EQ(r.outcome.animation->FrameCount(), 1);
    EXPECT_EQ(r.outcome.animation->cachedSize, -1);
    EXPECT_EQ(r.host.errors, (std::vector<std::string>{Text(StringId::GifCorrupt),
                                                       Text(StringId::PartlyRead)}));
}

TEST(GifReader, CutInsideImageDataKeepsEarlierFrames) {
    auto bytes = GifBuilder(4, 1).Image(0, 0, 1, 1, {1}).Image(0, 0, 4, 1, {1, 2, 3, 0}).b;
    bytes.erase(bytes.end() - 4, bytes.end());
    auto r = ReadBytes(bytes);
    EXPECT_EQ(r.outcome.result, Result::Stopped);
    EXPECT_EQ(r.outcome.animation->FrameCount(), 1);
    EXPECT_EQ(r.host.errors, (std::vector<std::string>{Text(StringId::GifCorrupt),
                                                       Text(StringId::PartlyRead)}));
    // With no frame read at all nothing opens.
    auto first = GifBuilder(4, 1).Image(0, 0, 4, 1, {1, 2, 3, 0}).b;
    first.erase(first.end() - 4, first.end());
    auto none = ReadBytes(first);
    EXPECT_EQ(none.outcome.result, Result::Failed);
    EXPECT_FALSE(none.outcome.animation);
    EXPECT_EQ(none.host.errors.back(), Text(StringId::ReadFailed));
}

TEST(GifReader, EarlyEndCodeLeavesZeros) {
    // Two of six pixels, then the end code in the middle of the data.
    auto r = ReadBytes(GifBuilder(3, 2).Image(0, 0, 3, 2, {2, 3}).Trailer().b);
    ASSERT_EQ(r.outcome.result, Result::Done);
    EXPECT_EQ(Pixels(*r.outcome.animation->FrameAt(0)), (std::vector<uint8_t>{2, 3, 0, 0, 0, 0}));
}

TEST(GifReader, ExtraPixelsAreIgnored) {
    auto r = ReadBytes(GifBuilder(2, 1).Image(0, 0, 2, 1, {1, 2, 3, 3, 3}).Trailer().b);
    ASSERT_EQ(r.outcome.result, Result::Done);
    EXPECT_EQ(Pixels(*r.outcome.animation->FrameAt(0)), (std::vector<uint8_t>{1, 2}));
}

TEST(GifReader, InterlacedRowsOfEveryHeight) {
    for (int h = 1; h <= 17; ++h) {
        // Row y holds the value y; the stream carries the rows in pass order.
        std::vector<uint8_t> stream;
        const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int p = 0; p < 4; ++p)
            for (int y = start[p]; y < h; y += step[p]) stream.push_back(static_cast<uint8_t>(y));
        ASSERT_EQ(static_cast<int>(stream.size()), h);
        auto r = ReadBytes(GifBuilder(1, h, 0).Image(0, 0, 1, h, stream, 0x40, 5).Trailer().b);
        ASSERT_EQ(r.outcome.result, Result::Done) << h;
        std::vector<uint8_t> want(static_cast<size_t>(h));
        for (int y = 0; y < h; ++y) want[static_cast<size_t>(y)] = static_cast<uint8_t>(y);
        EXPECT_EQ(Pixels(*r.outcome.animation->FrameAt(0)), want) << h;
        if (h == 3) {
            EXPECT_EQ(stream, (std::vector<uint8_t>{0, 2, 1}));
        }
    }
}

TEST(GifReader, FramesOutsideTheScreenAreReadAsTheyAre) {
    auto r = ReadBytes(GifBuilder(2, 2).Image(1, 1, 3, 1, {1, 2, 3}).Trailer().b);
    const Frame& f = *r.outcome.animation->FrameAt(0);
    EXPECT_EQ(f.left, 1);
    EXPECT_EQ(f.width, 3);
    EXPECT_EQ(Pixels(f), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(GifReader, LocalPaletteAndPaletteInEffect) {
    auto r = ReadBytes(GifBuilder(2, 1).Image(0, 0, 1, 1, {1}, 0x81).Image(1, 0, 1, 1, {2}).Trailer().b);
    const Animation& a = *r.outcome.animation;
    ASSERT_TRUE(a.FrameAt(0)->localPalette);
    EXPECT_EQ(a.FrameAt(0)->localPalette->size(), 4);
    EXPECT_EQ(PaletteInEffect(a, *a.FrameAt(0)), &*a.FrameAt(0)->localPalette);
    EXPECT_EQ(PaletteInEffect(a, *a.FrameAt(1)), &*a.globalPalette);
}

TEST(GifReader, CorruptStructures) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"unknown block byte", GifBuilder(1, 1).Raw({0x99}).b},
        {"minimum code size 12", GifBuilder(1, 1).Raw({0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 12, 1, 0xFF, 0}).b},
        {"cut in the descriptor", GifBuilder(1, 1).Raw({0x2C, 0, 0}).b},
        {"cut in an extension", GifBuilder(1, 1).Raw({0x21, 0xFE, 5, 'a'}).b},
        {"cut in the graphic control", GifBuilder(1, 1).Raw({0x21, 0xF9, 4, 0}).b},
        {"bad loop terminator", GifBuilder(1, 1).Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A',
                                                      'P', 'E', '2', '.', '0', 3, 1, 0, 0, 9}).b},
    };
    for (const auto& c : cases) {
        auto r = ReadBytes(c.bytes);
        EXPECT_EQ(r.outcome.result, Result::Failed) << c.what;
        EXPECT_FALSE(r.outcome.animation) << c.what;
        ASSERT_EQ(r.host.errors.size(), 2u) << c.what;
        EXPECT_EQ(r.host.errors[1], Text(StringId::ReadFailed)) << c.what;
    }
    // A header cut short fails with one message.
    auto header = ReadBytes(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1, 0});
    EXPECT_EQ(header.outcome.result, Result::Failed);
    EXPECT_EQ(header.host.errors, std::vector<std::string>{Text(StringId::ReadFailed)});
}

TEST(GifReader, FrameTooLargeToAllocate) {
    auto r = ReadBytes(GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).Image(0, 0, 65535, 65535, {1}).Trailer().b);
    EXPECT_EQ(r.outcome.result, Result::Stopped);
    EXPECT_EQ(r.outcome.animation->FrameCount(), 1);
    EXPECT_EQ(r.host.errors.front(), Text(StringId::FrameImageNoMemory));
}

TEST(GifReader, StopRequestAfterFirstBlock) {
    const auto bytes = GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).Image(0, 0, 1, 1, {2}).Trailer().b;
    ScriptedUiHost host;
    CountdownProgress progress(0);
    PreferenceBlock prefs;
    auto r = ReadGif(bytes, host, progress, prefs);
    EXPECT_EQ(r.result, Result::Stopped);
    EXPECT_EQ(r.animation->FrameCount(), 1);
    EXPECT_TRUE(host.errors.empty());
}

TEST(GifReader, UnknownExtensionLabelsAreSkipped) {
    auto r = ReadBytes(GifBuilder(1, 1).Extension(0x2A, {"Hello", "World"}).Image(0, 0, 1, 1, {1}).Trailer().b);
    EXPECT_EQ(r.outcome.result, Result::Done);
    EXPECT_EQ(r.outcome.animation->blocks.size(), 1u);
}

TEST(GifReader, OpenNamesFramesAndRejectsOtherFiles) {
    const auto dir = std::filesystem::temp_directory_path() / "cinemill_open_test";
    std::filesystem::create_directories(dir);
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto p = (dir / name).string();
        FILE* f = fopen(p.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        return p;
    };
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    auto one = OpenGifFile(write("one.gif", GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).Trailer().b), host,
                           progress, prefs);
    EXPECT_EQ(one.animation->FrameAt(0)->name, "one.gif");
    EXPECT_EQ(one.animation->colorUsage[1], 1u);
    auto two = OpenGifFile(
        write("two.gif", GifBuilder(1, 1).Image(0, 0, 1, 1, {1}).Image(0, 0, 1, 1, {2}).Trailer().b),
        host, progress, prefs);
    EXPECT_EQ(two.animation->FrameAt(1)->name, "two.gif - Frame 2");
    const auto bad = write("bad.gif", {'G', 'I', 'F', '8', '8', 'a'});
    auto none = OpenGifFile(bad, host, progress, prefs);
    EXPECT_FALSE(none.animation);
    EXPECT_EQ(host.errors.back(), bad + " is not a valid GIF File.");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cinemill

namespace cinemill {
namespace {

TEST(ReadFileChecked, PipesAreRefusedWithoutWaitingForAWriter) {
    const std::string fifo = ::testing::TempDir() + "cm_reader_fifo";
    std::remove(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadFileChecked(fifo, out, 6, IsGifSignature), FileRead::NotRegular);
    EXPECT_FALSE(ReadWholeFile(fifo, out));
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    EXPECT_EQ(OpenGifFile(fifo, host, progress, prefs).animation, nullptr);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "'" + fifo + "' is not a regular file.");
    std::remove(fifo.c_str());
}

TEST(ReadFileChecked, ABadSignatureStopsTheReadAfterTheHeader) {
    // 64 MB of zeros, sparse: only the header may be read.
    const std::string path = ::testing::TempDir() + "cm_reader_zeros.gif";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    ASSERT_EQ(::truncate(path.c_str(), 64 << 20), 0);
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadFileChecked(path, out, 6, IsGifSignature), FileRead::Ok);
    EXPECT_EQ(out.size(), 6u);
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    EXPECT_EQ(OpenGifFile(path, host, progress, prefs).animation, nullptr);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], path + " is not a valid GIF File.");
    // A good signature reads the whole file.
    {
        std::FILE* f = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fwrite("GIF89a", 1, 6, f);
        std::fclose(f);
    }
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    EXPECT_EQ(ReadFileChecked(path, out, 6, IsGifSignature), FileRead::Ok);
    EXPECT_EQ(out.size(), 1000u);
    EXPECT_EQ(ReadFileChecked(path + ".missing", out, 6, IsGifSignature), FileRead::CannotOpen);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace cinemill
