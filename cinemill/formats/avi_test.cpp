#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/formats_test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;

// A w x h animation with a 4-colour global palette; frame i has delay
// delays[i] and pixel (x, y) = (x + y + i) % 4.
std::unique_ptr<Animation> MakeAnimation(int w, int h, const std::vector<uint32_t>& delays) {
    PreferenceBlock prefs;
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    const uint8_t rgb[] = {0, 0, 0, 255, 0, 0, 0, 200, 0, 10, 20, 250};
    SetGlobalPalette(*a, Palette::FromTriples(rgb, 4));
    for (size_t i = 0; i < delays.size(); ++i) {
        auto f = NewFrame(w, h, prefs);
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>((x + y + i) % 4);
        SetBitmap(*f, std::move(*bmp));
        f->delay = delays[i];
        a->blocks.push_back(std::move(f));
    }
    return a;
}

std::string Capture(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

bool HaveFfmpeg() { return RunCommand("ffprobe -version") && RunCommand("ffmpeg -version"); }

TEST(AviTimeline, DelayUnitPositionsAndRepeat) {
    AviTimeline t = PlanAviTimeline({10, 20, 30});
    EXPECT_EQ(t.unit, 10u);
    EXPECT_EQ(t.positions, (std::vector<uint32_t>{0, 1, 3}));
    ASSERT_TRUE(t.repeatAt);
    EXPECT_EQ(*t.repeatAt, 5u);
    EXPECT_EQ(t.length, 6u);
    EXPECT_EQ(AviDelayUnit({7, 10}), 1u);
    EXPECT_EQ(AviDelayUnit({12, 18, 30}), 6u);
    EXPECT_EQ(AviDelayUnit({0, 1}), 1u);
    // Delay 0 and 1 each last one unit.
    AviTimeline z = PlanAviTimeline({0, 1, 0});
    EXPECT_EQ(z.positions, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(z.length, 3u);
    EXPECT_FALSE(z.repeatAt);  // the last frame already ends the stream
}

TEST(AviRle, EncodeDecodeRoundTripAndMalformedData) {
    auto bmp = FrameBitmap::Create(37, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x) bmp->Row(y)[x] = static_cast<uint8_t>(x < 20 ? 7 : (x * y) % 5);
    const auto rle = EncodeRle8(*bmp);
    EXPECT_LT(rle.size(), size_t(37 * 5));
    std::vector<uint8_t> canvas(37 * 5, 0xEE);
    ASSERT_TRUE(DecodeRle(rle, 8, 37, 5, canvas));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x) EXPECT_EQ(canvas[size_t(4 - y) * 37 + x], bmp->At(x, y));
    // Runs past the edges and truncated absolute runs stay inside the canvas.
    const std::vector<uint8_t> bad = {255, 1, 0, 2, 200, 0, 0, 9, 1, 2};
    std::vector<uint8_t> small(4 * 2, 0);
    EXPECT_FALSE(DecodeRle(bad, 8, 4, 2, small));
    const std::vector<uint8_t> rle4 = {4, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1};
    std::vector<uint8_t> c4(4 * 2, 9);
    ASSERT_TRUE(DecodeRle(rle4, 4, 4, 2, c4));
    EXPECT_EQ(c4, (std::vector<uint8_t>{1, 2, 1, 2, 3, 4, 5, 9}));
}

TEST(AviImport, FfmpegWrittenFilesGiveTheExpectedPixelsAndDelays) {
    const std::string dir = Corpus("ffmpeg-generated-avi/");
    if (!Exists(dir)) GTEST_SKIP();
    const auto expected = ReadAll(dir + "muybridge.expected-rgb24.rgb");
    const auto rgb555 = ReadAll(dir + "muybridge-rgb555.ffmpeg-decoded-rgb24.rgb");
    ASSERT_EQ(expected.size(), size_t(30 * 20 * 3 * 15));
    for (const char* name : {"muybridge-pal8.avi", "muybridge-bgr24.avi", "muybridge-bgra32.avi",
                             "muybridge-rgb555.avi"}) {
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(dir + name, host, progress, prefs);
        ASSERT_EQ(r.result, Result::Done) << name << (host.errors.empty() ? "" : host.errors[0]);
        const Animation& a = *r.animation;
        ASSERT_EQ(a.FrameCount(), 15) << name;
        EXPECT_EQ(a.width, 30u);
        EXPECT_EQ(a.height, 20u);
        const auto& ref = std::string(name).find("555") != std::string::npos ? rgb555 : expected;
        for (int i = 0; i < 15; ++i) {
            const Frame& f = *a.FrameAt(i);
            EXPECT_EQ(f.delay, 10u);
            RgbImage img{30, 20, std::vector<uint8_t>(ref.begin() + i * 1800, ref.begin() + (i + 1) * 1800)};
            if (&ref == &rgb555) {
                // 5-bit channels are shifted up by 3 (FFmpeg also repeats the
                // top bits in the low ones, so its values are up to 7 higher).
                EXPECT_EQ(CountDifferences(a, f, img, 7), 0) << name << " frame " << i;
                for (int y = 0; y < 20; ++y)
                    for (int x = 0; x < 30; ++x) {
                        const Rgb c = PixelOf(a, f, x, y);
                        EXPECT_EQ((c.r | c.g | c.b) & 7, 0);
                    }
            } else {
                EXPECT_EQ(CountDifferences(a, f, img), 0) << name << " frame " << i;
            }
        }
        if (std::string(name).find("pal8") != std::string::npos) {
            EXPECT_TRUE(a.globalPalette);
            EXPECT_TRUE(a.FrameAt(0)->bitmap);
        }
    }
}

TEST(AviImport, BrokenFilesFailWithAMessage) {
    const std::string dir = Corpus("ffmpeg-generated-avi/");
    if (!Exists(dir)) GTEST_SKIP();
    const auto good = ReadAll(dir + "muybridge-pal8.avi");
    const std::string path = TempPath("cut.avi");
    for (size_t n : {size_t{0}, size_t{12}, size_t{100}, size_t{2000}, good.size() / 2, good.size() - 3}) {
        {
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(good.data()), std::streamsize(n));
        }
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(path, host, progress, prefs);
        if (r.result == Result::Failed) EXPECT_EQ(host.errors.size(), 1u) << n;
        else EXPECT_GE(r.animation->FrameCount(), 1) << n;
    }
    std::remove(path.c_str());
}

TEST(AviExport, RefusesFramesThatAreNotFullSizedOrHaveLocalPalettes) {
    auto a = MakeAnimation(8, 4, {10, 10});
    ScriptedUiHost host;
    a->FrameAt(1)->left = 1;
    EXPECT_EQ(AviExportProblem(*a), StringId::AviNotFullSized);
    a->FrameAt(1)->left = 0;
    SetTransparent(*a->FrameAt(0), true);
    EXPECT_EQ(AviExportProblem(*a), StringId::AviTransparency);
    SilentProgress progress;
    EXPECT_EQ(ExportAvi(TempPath("x.avi"), *a, host, progress), Result::Failed);
    EXPECT_EQ(host.errors.back(), std::string(LoadString(StringId::AviTransparency)));
    EXPECT_FALSE(Exists(TempPath("x.avi")));
}

TEST(AviExport, UncompressedAndRle8OpenInFfmpegWithTheRightFramesAndTimes) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    auto a = MakeAnimation(13, 7, {10, 20, 30});
    for (auto kind : {AviCompressionChoice::Kind::None, AviCompressionChoice::Kind::Rle8}) {
        const std::string path = TempPath("out.avi");
        ScriptedUiHost host;
        host.aviCompressionAnswers.push_back(AviCompressionChoice{kind, {}});
        SilentProgress progress;
        ASSERT_EQ(ExportAvi(path, *a, host, progress), Result::Done);
        EXPECT_EQ(host.aviCompressionQuestions, 1);
        // The stream header: quality 10000 follows a suggested buffer size of 0.
        {
            const auto file = ReadAll(path);
            const std::string text(file.begin(), file.end());
            const size_t strh = text.find("strh");
            ASSERT_NE(strh, std::string::npos);
            ASSERT_GE(file.size(), strh + 8 + 40);
            EXPECT_EQ(LoadLE32(file.data() + strh + 8 + 36), 0u);
            EXPECT_EQ(LoadLE32(file.data() + strh + 8 + 40), 10000u);
        }
        // The stream runs 6 units of 1/10 s; frames start at units 0, 1, 3.
        const std::string probe = Capture("ffprobe -v error -select_streams v -show_entries "
                                          "stream=codec_name,r_frame_rate,duration -of default=nw=1 '" + path + "'");
        EXPECT_NE(probe.find("r_frame_rate=10/1"), std::string::npos) << probe;
        EXPECT_NE(probe.find("duration=0.6"), std::string::npos) << probe;
        EXPECT_NE(probe.find(kind == AviCompressionChoice::Kind::Rle8 ? "codec_name=msrle" : "codec_name=rawvideo"),
                  std::string::npos) << probe;
        const std::string rgb = TempPath("out.rgb");
        ASSERT_TRUE(RunCommand("ffmpeg -v error -y -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24 '" + rgb + "'"));
        const auto data = ReadAll(rgb);
        const size_t fsz = 13 * 7 * 3;
        ASSERT_EQ(data.size() % fsz, 0u);
        ASSERT_GE(data.size() / fsz, 3u);
        for (int i = 0; i < 3; ++i) {
            RgbImage img{13, 7, std::vector<uint8_t>(data.begin() + i * fsz, data.begin() + (i + 1) * fsz)};
            EXPECT_EQ(CountDifferences(*a, *a->FrameAt(i), img), 0) << i;
        }
        const std::string pts = Capture("ffprobe -v error -select_streams v -show_entries packet=pts,size "
                                        "-of csv=p=0 '" + path + "'");
        // Packets with data at 0, 1, 3 and the repeat at 5.
        std::vector<int> with_data;
        std::istringstream lines(pts);
        for (std::string line; std::getline(lines, line);) {
            int p = 0, s = 0;
            if (std::sscanf(line.c_str(), "%d,%d", &p, &s) == 2 && s > 0) with_data.push_back(p);
        }
        EXPECT_EQ(with_data, (std::vector<int>{0, 1, 3, 5})) << pts;
        // Our own reader gives the delays back.
        ScriptedUiHost h2;
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(path, h2, progress, prefs);
        ASSERT_EQ(r.result, Result::Done);
        ASSERT_EQ(r.animation->FrameCount(), 4);
        EXPECT_EQ(r.animation->FrameAt(0)->delay, 10u);
        EXPECT_EQ(r.animation->FrameAt(1)->delay, 20u);
        EXPECT_EQ(r.animation->FrameAt(2)->delay, 20u);
        EXPECT_EQ(r.animation->FrameAt(3)->delay, 10u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(r.animation->FrameAt(i)->bitmap->pixels, a->FrameAt(i)->bitmap->pixels);
        std::remove(path.c_str());
        std::remove(rgb.c_str());
    }
}

TEST(AviExport, CodecsThroughFfmpegAndTheFallbackQuestion) {
    auto a = MakeAnimation(16, 16, {10, 10, 10});
    const auto codecs = AviCodecChoices();
    const std::string path = TempPath("codec.avi");
    SilentProgress progress;
    if (std::find(codecs.begin(), codecs.end(), "mjpeg") != codecs.end()) {
        ScriptedUiHost host;
        ASSERT_EQ(WriteAvi(path, *a, {AviCompressionChoice::Kind::Codec, "mjpeg"}, host, progress), Result::Done);
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(path, host, progress, prefs);
        ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors[0]);
        EXPECT_EQ(r.animation->FrameCount(), 3);
        EXPECT_FALSE(r.animation->FrameAt(0)->trueColor.empty());
        EXPECT_EQ(r.animation->FrameAt(0)->delay, 10u);
        std::remove(path.c_str());
    }
    // A codec that fails asks whether to keep the file uncompressed.
    ScriptedUiHost no;
    EXPECT_EQ(WriteAvi(path, *a, {AviCompressionChoice::Kind::Codec, "no-such-codec"}, no, progress),
              Result::Failed);
    ASSERT_EQ(no.questions.size(), 1u);
    EXPECT_TRUE(no.questions[0].starts_with("The Video For Windows compressor failed with an Error 0x"));
    EXPECT_FALSE(Exists(path));
    ScriptedUiHost yes;
    yes.answers.push_back(true);
    EXPECT_EQ(WriteAvi(path, *a, {AviCompressionChoice::Kind::Codec, "no-such-codec"}, yes, progress),
              Result::Done);
    EXPECT_TRUE(Exists(path));
    std::remove(path.c_str());
}

// A minimal AVI: one video stream with the given format and chunks (each an
// id and data), with or without an idx1 index.
std::vector<uint8_t> BuildTestAvi(const std::vector<uint8_t>& strf, uint32_t scale, uint32_t rate,
                                  const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks,
                                  bool with_index) {
    auto id = [](std::vector<uint8_t>& o, const std::string& s) { o.insert(o.end(), s.begin(), s.begin() + 4); };
    std::vector<uint8_t> strh;
    id(strh, "vids");
    id(strh, "DIB ");
    for (uint32_t v : {0u, 0u, 0u, scale, rate, 0u, static_cast<uint32_t>(chunks.size()), 0u, 0u, 0u}) AppendLE32(strh, v);
    for (int i = 0; i < 4; ++i) AppendLE16(strh, 0);
    std::vector<uint8_t> strl;
    id(strl, "strl");
    id(strl, "strh");
    AppendLE32(strl, static_cast<uint32_t>(strh.size()));
    strl.insert(strl.end(), strh.begin(), strh.end());
    id(strl, "strf");
    AppendLE32(strl, static_cast<uint32_t>(strf.size()));
    strl.insert(strl.end(), strf.begin(), strf.end());
    std::vector<uint8_t> hdrl;
    id(hdrl, "hdrl");
    id(hdrl, "LIST");
    AppendLE32(hdrl, static_cast<uint32_t>(strl.size()));
    hdrl.insert(hdrl.end(), strl.begin(), strl.end());
    std::vector<uint8_t> movi, idx;
    id(movi, "movi");
    for (const auto& [cid, data] : chunks) {
        id(idx, cid);
        AppendLE32(idx, 0x10);
        AppendLE32(idx, static_cast<uint32_t>(movi.size()));
        AppendLE32(idx, static_cast<uint32_t>(data.size()));
        id(movi, cid);
        AppendLE32(movi, static_cast<uint32_t>(data.size()));
        movi.insert(movi.end(), data.begin(), data.end());
        if (data.size() & 1) movi.push_back(0);
    }
    std::vector<uint8_t> out;
    id(out, "RIFF");
    AppendLE32(out, 0);
    id(out, "AVI ");
    id(out, "LIST");
    AppendLE32(out, static_cast<uint32_t>(hdrl.size()));
    out.insert(out.end(), hdrl.begin(), hdrl.end());
    id(out, "LIST");
    AppendLE32(out, static_cast<uint32_t>(movi.size()));
    out.insert(out.end(), movi.begin(), movi.end());
    if (with_index) {
        id(out, "idx1");
        AppendLE32(out, static_cast<uint32_t>(idx.size()));
        out.insert(out.end(), idx.begin(), idx.end());
    }
    StoreLE32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::vector<uint8_t> InfoHeader(int w, int h, int bits, uint32_t compression, uint32_t colors) {
    std::vector<uint8_t> b;
    for (uint32_t v : {40u, static_cast<uint32_t>(w), static_cast<uint32_t>(h)}) AppendLE32(b, v);
    AppendLE16(b, 1);
    AppendLE16(b, static_cast<uint32_t>(bits));
    for (uint32_t v : {compression, 0u, 0u, 0u, colors, 0u}) AppendLE32(b, v);
    return b;
}

ReadOutcome ReadBytes(const std::vector<uint8_t>& bytes, ScriptedUiHost& host) {
    const std::string path = TempPath("built.avi");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    SilentProgress progress;
    PreferenceBlock prefs;
    ReadOutcome r = ImportAvi(path, host, progress, prefs);
    std::remove(path.c_str());
    return r;
}

TEST(AviImport, SixteenBitFieldsSpeedAndDroppedSamples) {
    // 2 x 1, 5-6-5 masks; bottom-up; samples at 25 per second with one dropped.
    auto strf = InfoHeader(2, 1, 16, 3, 0);
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) AppendLE32(strf, m);
    std::vector<uint8_t> px;
    AppendLE16(px, 0xFFFF);
    AppendLE16(px, (1u << 5) | (3u << 11));  // green 1, red 3
    for (bool index : {true, false}) {
        ScriptedUiHost host;
        ReadOutcome r = ReadBytes(
            BuildTestAvi(strf, 1, 25, {{"00dc", px}, {"00dc", {}}, {"00dc", px}, {"00dc", px}}, index), host);
        ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors[0]);
        const Animation& a = *r.animation;
        ASSERT_EQ(a.FrameCount(), 3);
        EXPECT_EQ(a.FrameAt(0)->delay, 8u);  // the dropped sample adds its time
        EXPECT_EQ(a.FrameAt(1)->delay, 4u);
        EXPECT_EQ(a.FrameAt(2)->delay, 4u);
        EXPECT_EQ(PixelOf(a, *a.FrameAt(0), 0, 0), (Rgb{248, 252, 248}));
        // Green is shifted up by 2 (steps of 4), red and blue by 3.
        EXPECT_EQ(PixelOf(a, *a.FrameAt(0), 1, 0), (Rgb{24, 4, 0}));
    }
}

TEST(AviImport, PaletteChangesGiveLocalPalettes) {
    auto strf = InfoHeader(2, 1, 8, 0, 2);
    strf.insert(strf.end(), {0, 0, 0, 0, 255, 255, 255, 0});  // black, white
    const std::vector<uint8_t> px = {0, 1, 0, 0};
    // From the third frame on, entry 1 is red.
    const std::vector<uint8_t> change = {1, 1, 0, 0, 255, 0, 0, 0};
    ScriptedUiHost host;
    ReadOutcome r = ReadBytes(
        BuildTestAvi(strf, 1, 10, {{"00db", px}, {"00db", px}, {"00pc", change}, {"00db", px}, {"00db", px}}, false),
        host);
    ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors[0]);
    const Animation& a = *r.animation;
    ASSERT_EQ(a.FrameCount(), 4);
    ASSERT_TRUE(a.globalPalette);
    EXPECT_EQ(a.globalPalette->size(), 2);
    EXPECT_FALSE(a.FrameAt(1)->localPalette);
    ASSERT_TRUE(a.FrameAt(2)->localPalette);
    EXPECT_TRUE(a.FrameAt(3)->localPalette);
    EXPECT_EQ(PixelOf(a, *a.FrameAt(1), 1, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(PixelOf(a, *a.FrameAt(2), 1, 0), (Rgb{255, 0, 0}));
}

TEST(AviImport, OpenDmlExtensionRiffsAreRead) {
    // Files over 1 GB go on in "AVIX" RIFFs whose movi lists the idx1 index
    // of the first RIFF does not cover.
    auto strf = InfoHeader(1, 1, 8, 0, 4);
    for (int i = 0; i < 4; ++i) strf.insert(strf.end(), {static_cast<uint8_t>(i), 0, 0, 0});
    auto bytes = BuildTestAvi(strf, 1, 10, {{"00db", {0, 0, 0, 0}}, {"00db", {1, 0, 0, 0}}}, true);
    std::vector<uint8_t> avix = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', 'X', 'L', 'I', 'S', 'T', 0, 0, 0, 0,
                                 'm', 'o', 'v', 'i'};
    for (uint8_t v : {2, 3}) {
        avix.insert(avix.end(), {'0', '0', 'd', 'b', 4, 0, 0, 0, v, 0, 0, 0});
    }
    StoreLE32(avix.data() + 16, static_cast<uint32_t>(avix.size() - 20));
    StoreLE32(avix.data() + 4, static_cast<uint32_t>(avix.size() - 8));
    bytes.insert(bytes.end(), avix.begin(), avix.end());
    ScriptedUiHost host;
    ReadOutcome r = ReadBytes(bytes, host);
    ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors[0]);
    ASSERT_EQ(r.animation->FrameCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r.animation->FrameAt(i)->bitmap->At(0, 0), i);
}

TEST(AviImport, RunLengthStreamsDrawOnThePreviousPicture) {
    auto strf = InfoHeader(4, 2, 8, 1, 4);
    for (int i = 0; i < 4; ++i) strf.insert(strf.end(), {static_cast<uint8_t>(i * 60), 0, 0, 0});
    // Key frame: bottom row 1 1 1 1, top row 2 2 2 2. Delta frame: skip to
    // (1, 1) and write 3 there.
    const std::vector<uint8_t> key = {4, 1, 0, 0, 4, 2, 0, 1};
    const std::vector<uint8_t> delta = {0, 2, 1, 1, 1, 3, 0, 1};
    ScriptedUiHost host;
    ReadOutcome r = ReadBytes(BuildTestAvi(strf, 1, 10, {{"00dc", key}, {"00dc", delta}}, true), host);
    ASSERT_EQ(r.result, Result::Done) << (host.errors.empty() ? "" : host.errors[0]);
    const FrameBitmap& b0 = *r.animation->FrameAt(0)->bitmap;
    const FrameBitmap& b1 = *r.animation->FrameAt(1)->bitmap;
    EXPECT_EQ(b0.At(0, 0), 2);
    EXPECT_EQ(b0.At(0, 1), 1);
    EXPECT_EQ(b1.At(1, 0), 3);
    EXPECT_EQ(b1.At(0, 0), 2);
    EXPECT_EQ(b1.At(3, 1), 1);
}


// ---- OpenDML indexes ------------------------------------------------------------

// Two RIFFs ("AVI " and "AVIX") of a 1 x 1 8-bit stream at 10 samples per
// second, with a super index in the stream header list, a standard index
// ("ix00") at the end of each movi list and an idx1 that covers only the first
// RIFF. Samples: pixel 0, pixel 1 | a palette change (entry 3 turns red),
// pixel 2, an empty sample, pixel 3. Positions are kept for the tests that
// break parts of it.
struct OdmlFile {
    std::vector<uint8_t> bytes;
    size_t superBody = 0;                // body of "indx"
    std::vector<size_t> stdChunk;        // "ix00" chunk headers
    std::vector<size_t> movi;            // "LIST" headers of the movi lists
};

OdmlFile BuildOpenDmlAvi(bool field_index) {
    OdmlFile r;
    std::vector<uint8_t>& o = r.bytes;
    auto id = [&](const char* s) { o.insert(o.end(), s, s + 4); };
    auto open = [&](const char* list, const char* type) {
        const size_t at = o.size();
        id(list);
        AppendLE32(o, 0);
        id(type);
        return at;
    };
    auto close = [&](size_t at) { StoreLE32(o.data() + at + 4, static_cast<uint32_t>(o.size() - at - 8)); };
    struct Entry {
        size_t data;
        uint32_t size;
        bool key;
    };
    auto chunk = [&](const char* cid, const std::vector<uint8_t>& d, std::vector<Entry>& index, bool key) {
        id(cid);
        AppendLE32(o, static_cast<uint32_t>(d.size()));
        index.push_back({o.size(), static_cast<uint32_t>(d.size()), key});
        o.insert(o.end(), d.begin(), d.end());
        if (d.size() & 1) o.push_back(0);
    };
    auto std_index = [&](const std::vector<Entry>& entries, uint64_t base) {
        r.stdChunk.push_back(o.size());
        id("ix00");
        AppendLE32(o, 0);
        AppendLE16(o, field_index ? 3 : 2);
        o.push_back(field_index ? 1 : 0);  // subtype: field index
        o.push_back(1);                    // index of chunks
        AppendLE32(o, static_cast<uint32_t>(entries.size()));
        id("00db");
        AppendLE32(o, static_cast<uint32_t>(base));
        AppendLE32(o, static_cast<uint32_t>(base >> 32));
        AppendLE32(o, 0);
        for (const Entry& e : entries) {
            AppendLE32(o, static_cast<uint32_t>(e.data - base));
            AppendLE32(o, e.size | (e.key ? 0u : 0x80000000u));
            if (field_index) AppendLE32(o, static_cast<uint32_t>(e.data - base + e.size / 2));
        }
        close(r.stdChunk.back());
    };

    const size_t riff = open("RIFF", "AVI ");
    const size_t hdrl = open("LIST", "hdrl");
    const size_t strl = open("LIST", "strl");
    id("strh");
    AppendLE32(o, 56);
    id("vids");
    id("DIB ");
    for (uint32_t v : {0u, 0u, 0u, 1u, 10u, 0u, 5u, 0u, 0u, 0u}) AppendLE32(o, v);
    for (int i = 0; i < 4; ++i) AppendLE16(o, 0);
    auto strf = InfoHeader(1, 1, 8, 0, 4);
    for (int i = 0; i < 4; ++i) strf.insert(strf.end(), {static_cast<uint8_t>(i * 50), 0, 0, 0});
    id("strf");
    AppendLE32(o, static_cast<uint32_t>(strf.size()));
    o.insert(o.end(), strf.begin(), strf.end());
    id("indx");
    AppendLE32(o, 24 + 2 * 16);
    r.superBody = o.size();
    AppendLE16(o, 4);
    o.push_back(0);  // subtype
    o.push_back(0);  // index of indexes
    AppendLE32(o, 2);
    id("00db");
    for (int i = 0; i < 3 + 2 * 4; ++i) AppendLE32(o, 0);  // reserved, then entries patched below
    close(strl);
    close(hdrl);

    std::vector<Entry> first, second;
    r.movi.push_back(open("LIST", "movi"));
    chunk("00db", {0, 0, 0, 0}, first, true);
    chunk("00db", {1, 0, 0, 0}, first, false);
    std_index(first, 0);
    close(r.movi[0]);
    id("idx1");
    AppendLE32(o, 2 * 16);
    for (const Entry& e : first) {
        id("00db");
        AppendLE32(o, 0x10);
        AppendLE32(o, static_cast<uint32_t>(e.data - 8 - (r.movi[0] + 8)));
        AppendLE32(o, e.size);
    }
    close(riff);

    const size_t avix = open("RIFF", "AVIX");
    r.movi.push_back(open("LIST", "movi"));
    chunk("00pc", {3, 1, 0, 0, 255, 0, 0, 0}, second, true);
    chunk("00db", {2, 0, 0, 0}, second, true);
    chunk("00db", {}, second, true);
    chunk("00db", {3, 0, 0, 0}, second, false);
    std_index(second, r.movi[1]);  // offsets from the movi list this time
    close(r.movi[1]);
    close(avix);

    for (size_t i = 0; i < 2; ++i) {
        uint8_t* e = o.data() + r.superBody + 24 + 16 * i;
        const size_t at = r.stdChunk[i];
        StoreLE32(e, static_cast<uint32_t>(at));
        StoreLE32(e + 4, 0);
        StoreLE32(e + 8, LoadLE32(o.data() + at + 4) + 8);
        StoreLE32(e + 12, i == 0 ? 2 : 3);
    }
    return r;
}

// The four pictures of BuildOpenDmlAvi with their delays and colours.
void ExpectOdmlFrames(const ReadOutcome& r, const ScriptedUiHost& host, const std::string& what) {
    ASSERT_EQ(r.result, Result::Done) << what << ": " << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_TRUE(host.errors.empty()) << what;
    const Animation& a = *r.animation;
    ASSERT_EQ(a.FrameCount(), 4) << what;
    const uint32_t delays[] = {10, 10, 20, 10};  // the empty sample adds its time
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(a.FrameAt(i)->bitmap->At(0, 0), i) << what;
        EXPECT_EQ(a.FrameAt(i)->delay, delays[i]) << what << " frame " << i;
    }
    EXPECT_EQ(PixelOf(a, *a.FrameAt(1), 0, 0), (Rgb{0, 0, 50})) << what;
    EXPECT_EQ(PixelOf(a, *a.FrameAt(3), 0, 0), (Rgb{255, 0, 0})) << what;  // after the palette change
    EXPECT_FALSE(a.FrameAt(1)->localPalette) << what;
    EXPECT_TRUE(a.FrameAt(2)->localPalette) << what;
}

TEST(AviImport, OpenDmlIndexesReachEveryRiff) {
    for (bool field : {false, true}) {
        const OdmlFile good = BuildOpenDmlAvi(field);
        {
            ScriptedUiHost host;
            ExpectOdmlFrames(ReadBytes(good.bytes, host), host, field ? "field index" : "frame index");
        }
        // The second movi list's size left at 4 (as by a writer that stopped
        // before fixing it up): its samples are only found through the index.
        OdmlFile hidden = good;
        StoreLE32(hidden.bytes.data() + hidden.movi[1] + 4, 4);
        {
            ScriptedUiHost host;
            ExpectOdmlFrames(ReadBytes(hidden.bytes, host), host, "index only");
        }
        // Without a usable index the walk finds the first RIFF's samples only.
        StoreLE32(hidden.bytes.data() + hidden.superBody + 24 + 16, static_cast<uint32_t>(hidden.bytes.size()));
        ScriptedUiHost host;
        ReadOutcome r = ReadBytes(hidden.bytes, host);
        ASSERT_EQ(r.result, Result::Done);
        EXPECT_EQ(r.animation->FrameCount(), 2);
    }
}

TEST(AviImport, HostileOpenDmlIndexesFallBackToTheMoviLists) {
    const OdmlFile good = BuildOpenDmlAvi(false);
    const size_t super = good.superBody, ix0 = good.stdChunk[0] + 8, ix1 = good.stdChunk[1] + 8;
    const uint64_t size = good.bytes.size();
    struct Fault {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const std::vector<Fault> faults = {
        {"super entry past the end", [&](auto& b) { StoreLE32(b.data() + super + 24 + 16, uint32_t(size + 100)); }},
        {"super entry offset above 4 GiB", [&](auto& b) { StoreLE32(b.data() + super + 24 + 20, 1); }},
        {"huge super count", [&](auto& b) { StoreLE32(b.data() + super + 4, 0xFFFFFFFF); }},
        {"huge chunk count", [&](auto& b) { StoreLE32(b.data() + ix1 + 4, 0x7FFFFFFF); }},
        {"wrong index chunk id", [&](auto& b) { std::memcpy(b.data() + ix1 - 8, "ix01", 4); }},
        {"index of another stream", [&](auto& b) { std::memcpy(b.data() + ix0 + 8, "01db", 4); }},
        {"super index of indexes of another stream", [&](auto& b) { std::memcpy(b.data() + super + 8, "01dc", 4); }},
        {"unknown index type", [&](auto& b) { b[ix0 + 3] = 7; }},
        {"entry past the end", [&](auto& b) { StoreLE32(b.data() + ix1 + 24 + 8, 0xFFFFFF00u); }},
        {"entry not at a chunk", [&](auto& b) { StoreLE32(b.data() + ix0 + 24, LoadLE32(b.data() + ix0 + 24) + 2); }},
        {"entry size differs from the chunk", [&](auto& b) { StoreLE32(b.data() + ix0 + 28, 6); }},
        {"base offset near 2^64", [&](auto& b) { StoreLE32(b.data() + ix1 + 12, 0xFFFFFFF0u), StoreLE32(b.data() + ix1 + 16, 0xFFFFFFFFu); }},
        {"same index twice", [&](auto& b) { std::memcpy(b.data() + super + 24 + 16, b.data() + super + 24, 16); }},
        {"index inside its own header", [&](auto& b) { StoreLE32(b.data() + super + 24, uint32_t(super - 8)); }},
    };
    for (const Fault& fault : faults) {
        OdmlFile bad = good;
        fault.apply(bad.bytes);
        {
            ScriptedUiHost host;
            ExpectOdmlFrames(ReadBytes(bad.bytes, host), host, fault.what);
        }
        // With the second movi list hidden, only the first RIFF's samples
        // come back: the faulty index is left out as a whole.
        StoreLE32(bad.bytes.data() + bad.movi[1] + 4, 4);
        ScriptedUiHost host;
        ReadOutcome r = ReadBytes(bad.bytes, host);
        ASSERT_EQ(r.result, Result::Done) << fault.what;
        ASSERT_EQ(r.animation->FrameCount(), 2) << fault.what;
        EXPECT_EQ(r.animation->FrameAt(1)->bitmap->At(0, 0), 1) << fault.what;
    }
    // Cut anywhere: a clean failure or the samples that are left.
    for (size_t n = 0; n < good.bytes.size(); n += 7) {
        const std::vector<uint8_t> cut(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(n));
        ScriptedUiHost host;
        ReadOutcome r = ReadBytes(cut, host);
        if (r.result == Result::Failed) EXPECT_EQ(host.errors.size(), 1u) << n;
        else EXPECT_GE(r.animation->FrameCount(), 1) << n;
    }
}

// FFmpeg starts an AVIX RIFF, with OpenDML indexes, past 1 GiB. A second
// stream of silent audio fills the file cheaply while the video stays small.
TEST(AviImport, FfmpegFileOverOneGigabyteThroughItsOpenDmlIndex) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    const std::string path = TempPath("large.avi"), rgb = TempPath("large.rgb");
    std::error_code ec;
    const auto space = std::filesystem::space(std::filesystem::path(path).parent_path(), ec);
    if (ec || space.available < (uint64_t{3} << 30)) GTEST_SKIP() << "less than 3 GiB free";
    ASSERT_TRUE(RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=32x24:rate=1 -f lavfi -i "
                           "anullsrc=r=192000:cl=7.1 -t 180 -c:v rawvideo -pix_fmt pal8 -c:a pcm_s32le '" + path + "'"));
    ASSERT_TRUE(RunCommand("ffmpeg -nostdin -v error -y -i '" + path + "' -map 0:v -fps_mode passthrough "
                           "-f rawvideo -pix_fmt rgb24 '" + rgb + "'"));
    const auto ref = ReadAll(rgb);
    const size_t fsz = 32 * 24 * 3;
    ASSERT_EQ(ref.size(), 180 * fsz);
    // The second RIFF and its movi list.
    uint64_t avix_at = 0;
    {
        uint8_t h[24];
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(h), 8);
        avix_at = 8 + uint64_t{LoadLE32(h + 4)} + (LoadLE32(h + 4) & 1);
        in.seekg(static_cast<std::streamoff>(avix_at));
        in.read(reinterpret_cast<char*>(h), 24);
        ASSERT_TRUE(in);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(h + 8), 4), "AVIX");
        ASSERT_EQ(std::string(reinterpret_cast<char*>(h + 20), 4), "movi");
    }
    auto check = [&](const std::string& what) {
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(path, host, progress, prefs);
        ASSERT_EQ(r.result, Result::Done) << what << (host.errors.empty() ? "" : host.errors[0]);
        const Animation& a = *r.animation;
        ASSERT_EQ(a.FrameCount(), 180) << what;
        for (int i = 0; i < 180; ++i) {
            EXPECT_EQ(a.FrameAt(i)->delay, 100u) << what;
            RgbImage img{32, 24, std::vector<uint8_t>(ref.begin() + i * fsz, ref.begin() + (i + 1) * fsz)};
            EXPECT_EQ(CountDifferences(a, *a.FrameAt(i), img), 0) << what << " frame " << i;
        }
    };
    check("as written");
    // With the AVIX movi list cut to nothing, its samples are reachable only
    // through the index.
    {
        std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
        io.seekp(static_cast<std::streamoff>(avix_at + 16));
        const uint8_t four[4] = {4, 0, 0, 0};
        io.write(reinterpret_cast<const char*>(four), 4);
    }
    check("index only");
    std::remove(path.c_str());
    std::remove(rgb.c_str());
}

}  // namespace
}  // namespace cinemill
