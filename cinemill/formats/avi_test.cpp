#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>

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
        AviReadOutcome r = ImportAvi(dir + name, host, progress, prefs);
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
        AviReadOutcome r = ImportAvi(path, host, progress, prefs);
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
        AviReadOutcome r = ImportAvi(path, h2, progress, prefs);
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
        AviReadOutcome r = ImportAvi(path, host, progress, prefs);
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

}  // namespace
}  // namespace cinemill
