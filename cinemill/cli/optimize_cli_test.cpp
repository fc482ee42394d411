// Runs cinemill-cli's optimizer and geometry commands as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "cinemill/app/number_text.h"
#include "cinemill/cli/cli_test_support.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/test_support.h"

namespace cinemill {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// The shape of NoisyGreyRamp's pictures.
struct Ramp {
    uint32_t seed = 1;       // of the noise
    bool alongRows = true;   // grey rises along each row (else down each column)
    int step = 1;            // grey levels a pixel
    int frameStep = 0;       // grey levels a frame
    int noiseBits = 4;       // noise from -2^(n-1) to 2^(n-1) - 1 levels
};

// Three 64 x 48 frames of a grey ramp with noise, on a 256-grey global
// palette: pictures that lossy compression can make smaller.
std::unique_ptr<Animation> NoisyGreyRamp(const Ramp& r) {
    auto a = MakeAnimation(64, 48, 0);
    Palette grey;
    for (int i = 0; i < 256; ++i) grey.entries.push_back(Rgb{uint8_t(i), uint8_t(i), uint8_t(i)});
    SetGlobalPalette(*a, grey);
    uint32_t seed = r.seed;
    for (int k = 0; k < 3; ++k) {
        std::vector<uint8_t> px(64 * 48);
        for (size_t i = 0; i < px.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            const int along = int(r.alongRows ? i % 64 : i / 64);
            const int noise = int(seed >> (32 - r.noiseBits)) - (1 << (r.noiseBits - 1));
            px[i] = static_cast<uint8_t>(std::clamp<int>(along * r.step + k * r.frameStep + noise, 0, 255));
        }
        a->blocks.push_back(MakeFrame(0, 0, 64, 48, px));
    }
    return a;
}

class CliTest : public testing_cli::DirTest {
protected:
    // Exit status of the command; its standard output goes to `out`.
    static int Run(const std::string& args, std::string* out = nullptr) {
        const testing_cli::Run r = testing_cli::Cli(args);
        if (out) *out = r.out;
        return r.status;
    }
    static std::vector<uint8_t> Bytes(const fs::path& p) {
        std::vector<uint8_t> b;
        ReadWholeFile(p.string(), b);
        return b;
    }
    static std::unique_ptr<Animation> Load(const fs::path& p) {
        std::vector<uint8_t> b = Bytes(p);
        SilentUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        return ReadGif(b, host, progress, prefs).animation;
    }
    // Consecutive equal pictures merged, with their delays added.
    static std::vector<std::pair<RgbaImage, uint32_t>> Timeline(const Animation& a) {
        std::vector<std::pair<RgbaImage, uint32_t>> t;
        const auto pics = RenderAll(a);
        const auto frames = a.Frames();
        for (size_t i = 0; i < pics.size(); ++i) {
            if (!t.empty() && t.back().first == pics[i]) t.back().second += frames[i]->delay;
            else t.emplace_back(pics[i], frames[i]->delay);
        }
        return t;
    }
};

TEST_F(CliTest, OptimizeKeepsPicturesAndNeverGrowsTheFile) {
    // An animation that the optimizer can shrink.
    auto a = MakeAnimation(32, 32);
    std::vector<uint8_t> px;
    for (int k = 0; k < 5; ++k) {
        px.assign(32 * 32, 1);
        for (int i = 0; i < 6; ++i) px[static_cast<size_t>((10 + i) * 32 + 3 + 4 * k)] = 5;
        a->blocks.push_back(MakeFrame(0, 0, 32, 32, px));
    }
    a->blocks.push_back(MakeFrame(0, 0, 32, 32, px));  // repeats the frame before
    const fs::path in = dir_ / "in.gif", out = dir_ / "out.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    std::string text;
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string(), &text), 0);
    EXPECT_NE(text.find("Current Size: " + GroupedNumber(static_cast<int64_t>(fs::file_size(in))) + " bytes"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Savings: "), std::string::npos);
    EXPECT_LT(fs::file_size(out), fs::file_size(in));
    auto x = Load(in), y = Load(out);
    ASSERT_TRUE(x && y);
    EXPECT_TRUE(Timeline(*x) == Timeline(*y));
    EXPECT_LT(y->FrameCount(), x->FrameCount());  // the repeated last frame went

    const fs::path full = dir_ / "full.gif";
    ASSERT_EQ(Run("unoptimize " + out.string() + " -o " + full.string()), 0);
    auto z = Load(full);
    ASSERT_TRUE(z);
    EXPECT_TRUE(Timeline(*z) == Timeline(*y));

    // Run again on the optimized file: nothing more to gain, so the output
    // is the input's bytes.
    const fs::path again = dir_ / "again.gif";
    ASSERT_EQ(Run("optimize " + out.string() + " -o " + again.string() + " --flags 0x46A", &text), 0);
    EXPECT_NE(text.find("not smaller"), std::string::npos) << text;
    EXPECT_EQ(Bytes(again), Bytes(out));
}

// --lossy on a noisy grey ramp: the file shrinks below the lossless
// result, and the pictures stay within what the level allows. At level 80
// no pixel moves further than RGB distance 32, so the mean squared error
// per channel is at most 1024 / 3 and the PSNR at least 22.79 dB.
TEST_F(CliTest, OptimizeLossyShrinksWithinItsBound) {
    auto a = NoisyGreyRamp({.seed = 7, .alongRows = true, .step = 3, .frameStep = 10, .noiseBits = 4});
    const fs::path in = dir_ / "ramp.gif", exact = dir_ / "exact.gif", l80 = dir_ / "l80.gif", l0 = dir_ / "l0.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + exact.string()), 0);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + l0.string() + " --lossy 0"), 0);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + l80.string() + " --lossy 80"), 0);
    EXPECT_EQ(Bytes(l0), Bytes(exact));
    EXPECT_LT(fs::file_size(l80), fs::file_size(exact) * 9 / 10);
    std::string text;
    ASSERT_EQ(Run("psnr " + in.string() + " " + l80.string(), &text), 0);
    const double db = std::stod(text);
    EXPECT_GE(db, 22.79);
    EXPECT_LT(db, 100.0);  // something did change
    ASSERT_EQ(Run("psnr " + in.string() + " " + exact.string(), &text), 0);
    EXPECT_EQ(std::stod(text), 100.0);

    EXPECT_EQ(Run("optimize " + in.string() + " -o " + l80.string() + " --lossy 201"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + l80.string() + " --lossy -1"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + l80.string() + " --lossy x"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + l80.string() + " --lossy"), 2);
}

// psnr pairs the frames by time when the counts differ: an optimized copy
// that dropped the repeated frames (their time added to the frame before)
// shows the same pictures, and a copy whose later picture differs scores
// 100 dB only where it agrees.
TEST_F(CliTest, PsnrPairsFramesByTimeWhenCountsDiffer) {
    auto a = MakeAnimation(16, 16);
    for (uint8_t v : {1, 1, 1, 2, 2}) a->blocks.push_back(FillFrame(0, 0, 16, 16, v));
    auto b = MakeAnimation(16, 16);
    b->blocks.push_back(FillFrame(0, 0, 16, 16, 1, 1, 30));
    b->blocks.push_back(FillFrame(0, 0, 16, 16, 3, 1, 20));
    const fs::path in = dir_ / "steps.gif", opt = dir_ / "steps-opt.gif", other = dir_ / "steps-other.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    ASSERT_EQ(SaveGif(other.string(), *b, host, progress), Result::Done);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + opt.string()), 0);
    std::string text;
    ASSERT_EQ(Run("psnr " + in.string() + " " + opt.string(), &text), 0);
    EXPECT_EQ(std::stod(text), 100.0);
    ASSERT_EQ(Run("psnr " + in.string() + " " + other.string(), &text), 0);
    const double db = std::stod(text);
    EXPECT_LT(db, 100.0);
    EXPECT_GT(db, 60.0);  // three of the five frames agree
    // Screens of different sizes still cannot be compared.
    auto c = MakeAnimation(8, 16);
    c->blocks.push_back(FillFrame(0, 0, 8, 16, 1));
    const fs::path narrow = dir_ / "narrow.gif";
    ASSERT_EQ(SaveGif(narrow.string(), *c, host, progress), Result::Done);
    EXPECT_NE(Run("psnr " + in.string() + " " + narrow.string(), &text), 0);
}

// --target-size picks the least lossy level whose file fits: the level
// below it does not fit, lossless is taken when that fits, fewer colours
// come next, and a target below every result fails without writing
// anything.
TEST_F(CliTest, OptimizeTargetSizeTakesTheLeastLossThatFits) {
    auto a = NoisyGreyRamp({.seed = 11, .alongRows = false, .step = 4, .frameStep = 9, .noiseBits = 5});
    const fs::path in = dir_ / "ramp.gif", out = dir_ / "t.gif", probe = dir_ / "p.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + probe.string()), 0);
    const auto lossless = fs::file_size(probe);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + probe.string() + " --lossy 200"), 0);
    const auto smallest = fs::file_size(probe);
    ASSERT_LT(smallest, lossless * 9 / 10);

    std::string text;
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string() + " --target-size " + std::to_string(lossless),
                  &text), 0);
    EXPECT_NE(text.find("Chosen: lossless"), std::string::npos) << text;
    EXPECT_EQ(fs::file_size(out), lossless);

    const auto target = (lossless + smallest) / 2;
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string() + " --target-size " + std::to_string(target),
                  &text), 0);
    EXPECT_LE(fs::file_size(out), target);
    const auto at = text.find("Chosen: lossy level ");
    ASSERT_NE(at, std::string::npos) << text;
    const int level = std::stoi(text.substr(at + 20));
    ASSERT_GT(level, 1);
    ASSERT_LE(level, 200);
    EXPECT_NE(text.find(" dB"), std::string::npos);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + probe.string() + " --lossy " + std::to_string(level)), 0);
    EXPECT_EQ(Bytes(probe), Bytes(out));
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + probe.string() + " --lossy " + std::to_string(level - 1)), 0);
    EXPECT_GT(fs::file_size(probe), target);

    // Below the greatest loss the search goes on to fewer colours.
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string() + " --target-size " + std::to_string(smallest - 1),
                  &text), 0);
    EXPECT_LT(fs::file_size(out), smallest);
    EXPECT_NE(text.find(" colours"), std::string::npos) << text;
    // A grey ramp in fewer greys still looks like itself, and the PSNR
    // printed is the psnr command's.
    std::string psnr;
    ASSERT_EQ(Run("psnr " + in.string() + " " + out.string(), &psnr), 0);
    EXPECT_GT(std::stod(psnr), 20.0);
    const auto db_at = text.find("PSNR ");
    ASSERT_NE(db_at, std::string::npos) << text;
    EXPECT_NEAR(std::stod(text.substr(db_at + 5)), std::stod(psnr), 0.01);

    // A target below every result fails without writing anything.
    const fs::path none = dir_ / "none.gif";
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + none.string() + " --target-size 40"), 1);
    EXPECT_FALSE(fs::exists(none));
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + none.string() + " --target-size 0"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + none.string() + " --target-size 5q"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + none.string() + " --target-size k"), 2);
    EXPECT_EQ(Run("optimize " + in.string() + " -o " + none.string() + " --target-size 9k --lossy 5"), 2);
    EXPECT_FALSE(fs::exists(none));
}

// --target-size on black and white noise, which neither loss nor fewer
// colours can shrink: a target a little above half the file drops frames
// (their time going to the frames before, so the total stays), one below
// half scales the screen down; the PSNR printed is the psnr command's.
TEST_F(CliTest, OptimizeTargetSizeDropsFramesAndThenScales) {
    auto a = MakeAnimation(32, 32, 0);
    Palette bw;
    bw.entries = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    SetGlobalPalette(*a, bw);
    uint32_t seed = 5;
    uint32_t total = 0;
    for (int k = 0; k < 8; ++k) {
        std::vector<uint8_t> px(32 * 32);
        for (auto& v : px) {
            seed = seed * 1103515245u + 12345u;
            v = static_cast<uint8_t>(seed >> 31);
        }
        a->blocks.push_back(MakeFrame(0, 0, 32, 32, px, 1, static_cast<uint32_t>(10 + k)));
        total += static_cast<uint32_t>(10 + k);
    }
    const fs::path in = dir_ / "noise.gif", probe = dir_ / "p.gif", out = dir_ / "t.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + probe.string() + " --lossy 200"), 0);
    const auto smallest = fs::file_size(probe);
    auto x = Load(in);
    ASSERT_TRUE(x);
    const auto pictures = RenderAll(*x);

    auto printed_psnr = [](const std::string& text) {
        const auto at = text.find("PSNR ");
        return at == std::string::npos ? -1.0 : std::stod(text.substr(at + 5));
    };
    std::string text, psnr;
    const auto fewer = smallest * 6 / 10;
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string() + " --target-size " + std::to_string(fewer), &text),
              0);
    EXPECT_LE(fs::file_size(out), fewer);
    EXPECT_NE(text.find("frame dropped"), std::string::npos) << text;
    auto y = Load(out);
    ASSERT_TRUE(y);
    EXPECT_EQ(y->FrameCount(), 4);  // every second one dropped
    uint32_t sum = 0;
    for (const Frame* f : y->Frames()) sum += f->delay;
    EXPECT_EQ(sum, total);
    // The pictures left are the input's own.
    for (const auto& pic : RenderAll(*y)) EXPECT_NE(std::find(pictures.begin(), pictures.end(), pic), pictures.end());
    ASSERT_EQ(Run("psnr " + in.string() + " " + out.string(), &psnr), 0);
    EXPECT_NEAR(printed_psnr(text), std::stod(psnr), 0.01);
    EXPECT_LT(std::stod(psnr), 100.0);

    const auto scaled = smallest * 4 / 10;
    ASSERT_EQ(Run("optimize " + in.string() + " -o " + out.string() + " --target-size " + std::to_string(scaled), &text),
              0);
    EXPECT_LE(fs::file_size(out), scaled);
    const auto at = text.find("scaled to ");
    ASSERT_NE(at, std::string::npos) << text;
    auto z = Load(out);
    ASSERT_TRUE(z);
    EXPECT_LT(z->width, 32u);
    EXPECT_EQ(text.substr(at + 10, text.find(' ', at + 10) - at - 10), std::to_string(z->width));
    EXPECT_GT(printed_psnr(text), 0.0);
    EXPECT_LT(printed_psnr(text), 100.0);
}

TEST_F(CliTest, UnoptimizeSaysWhetherDisposalsWereKept) {
    // Frames at different places with disposals 1 and 3: all stay.
    auto a = MakeAnimation(8, 8);
    a->blocks.push_back(FillFrame(0, 0, 4, 4, 1, 1, 5));
    a->blocks.push_back(FillFrame(4, 4, 4, 4, 2, 3, 6));
    a->blocks.push_back(FillFrame(2, 2, 2, 2, 3, 1, 7));
    const fs::path in = dir_ / "parts.gif", out = dir_ / "parts-full.gif";
    SilentUiHost host;
    SilentProgress progress;
    ASSERT_EQ(SaveGif(in.string(), *a, host, progress), Result::Done);
    std::string text;
    ASSERT_EQ(Run("unoptimize " + in.string() + " -o " + out.string(), &text), 0);
    EXPECT_EQ(text, "Delays and disposals kept on all 3 frames.\n");
    auto x = Load(in), y = Load(out);
    ASSERT_TRUE(x && y);
    EXPECT_TRUE(Timeline(*x) == Timeline(*y));
    std::vector<int> d;
    std::vector<uint32_t> delays;
    for (const Frame* f : y->Frames()) {
        d.push_back(f->Disposal());
        delays.push_back(f->delay);
    }
    EXPECT_EQ(d, (std::vector<int>{1, 3, 1}));
    EXPECT_EQ(delays, (std::vector<uint32_t>{5, 6, 7}));

    // A first frame with every index in use and a bare column, painted over
    // by one index: its leftover column must go, so its disposal changes.
    auto b = MakeAnimation(17, 16, 256);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    b->blocks.push_back(MakeFrame(0, 0, 16, 16, all, 1, 5));
    b->blocks.push_back(FillFrame(0, 0, 16, 16, 7, 1, 6));
    const fs::path in2 = dir_ / "full256.gif", out2 = dir_ / "full256-u.gif";
    ASSERT_EQ(SaveGif(in2.string(), *b, host, progress), Result::Done);
    ASSERT_EQ(Run("unoptimize " + in2.string() + " -o " + out2.string(), &text), 0);
    EXPECT_NE(text.find("disposal changed to 2 on 1 of 2 frames"), std::string::npos) << text;
    auto z = Load(out2);
    ASSERT_TRUE(z);
    EXPECT_EQ(z->FrameAt(0)->Disposal(), 2);
}

TEST_F(CliTest, BadArgumentsAndInputs) {
    const std::string sample = std::string(CM_TESTDATA_DIR) + "/sample.gif";
    EXPECT_EQ(Run("optimize " + sample), 2);
    EXPECT_EQ(Run("optimize " + sample + " -o x.gif --flags zz"), 2);
    EXPECT_EQ(Run("rotate " + sample + " 45 -o " + (dir_ / "r.gif").string()), 2);
    EXPECT_EQ(Run("resize " + sample + " 0 10 -o " + (dir_ / "r.gif").string()), 2);
    EXPECT_EQ(Run("optimize " + (dir_ / "missing.gif").string() + " -o " + (dir_ / "o.gif").string()), 1);
    EXPECT_FALSE(fs::exists(dir_ / "o.gif"));
    EXPECT_EQ(Run("drop-every " + sample + " 1 -o " + (dir_ / "d.gif").string()), 1);
    EXPECT_EQ(Run("rotate " + sample + " 90cw --frame 999 -o " + (dir_ / "r.gif").string()), 1);
    EXPECT_EQ(Run("set-color " + sample + " 300 1 2 3 -o " + (dir_ / "c.gif").string()), 2);
}

TEST_F(CliTest, GeometryCommandsRoundTrip) {
    const std::string sample = std::string(CM_TESTDATA_DIR) + "/sample.gif";
    auto orig = Load(sample);
    ASSERT_TRUE(orig);
    const fs::path r1 = dir_ / "r1.gif", r2 = dir_ / "r2.gif";
    ASSERT_EQ(Run("rotate " + sample + " 180 -o " + r1.string()), 0);
    ASSERT_EQ(Run("rotate " + r1.string() + " 180 -o " + r2.string()), 0);
    auto back = Load(r2);
    ASSERT_TRUE(back);
    EXPECT_EQ(ComparePictures(*orig, *back), "");
    if (orig->FrameCount() >= 2) {
        ASSERT_EQ(Run("reverse " + sample + " -o " + r1.string()), 0);
        ASSERT_EQ(Run("reverse " + r1.string() + " -o " + r2.string()), 0);
        EXPECT_EQ(ComparePictures(*orig, *Load(r2)), "");
        ASSERT_EQ(Run("drop-every " + sample + " 2 -o " + r1.string()), 0);
        EXPECT_EQ(Load(r1)->FrameCount(), orig->FrameCount() - orig->FrameCount() / 2);
    }
    ASSERT_EQ(Run("crop " + sample + " 1 2 11 7 -o " + r1.string()), 0);
    auto cropped = Load(r1);
    EXPECT_EQ(cropped->width, 10u);
    EXPECT_EQ(cropped->height, 5u);
    ASSERT_EQ(Run("resize " + sample + " 24 16 -o " + r1.string()), 0);
    EXPECT_EQ(Load(r1)->width, 24u);
    ASSERT_EQ(Run("resize " + sample + " 96 1 --keep-aspect -o " + r1.string()), 0);
    EXPECT_EQ(Load(r1)->height, orig->height * 2);
    ASSERT_EQ(Run("set-color " + sample + " 1 10 20 30 -o " + r1.string()), 0);
    EXPECT_EQ((*Load(r1)->globalPalette)[1], (Rgb{10, 20, 30}));
    // The sample has local palettes, which unoptimize refuses.
    EXPECT_EQ(Run("unoptimize " + sample + " -o " + (dir_ / "u.gif").string()), 1);
    EXPECT_FALSE(fs::exists(dir_ / "u.gif"));
}

}  // namespace
}  // namespace cinemill
