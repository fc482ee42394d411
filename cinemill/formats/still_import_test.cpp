#include <gtest/gtest.h>

#include <map>
#include <set>
#include <unistd.h>

#include "cinemill/base/bytes.h"

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/bmp_import.h"
#include "cinemill/formats/formats_test_support.h"
#include "cinemill/formats/jpeg_import.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/formats/psd_import.h"

namespace cinemill {
namespace {

using namespace testing_support;

std::string Text(StringId id) { return std::string(LoadString(id)); }

// ---- BMP / DIB -------------------------------------------------------------------

TEST(BmpImport, GoodSuiteMatchesReferenceRenderingsOrIsRefusedByName) {
    const std::string dir = Corpus("bmpsuite/g");
    if (!Exists(dir)) GTEST_SKIP() << "bmpsuite missing";
    // Files whose reference has another name.
    const std::map<std::string, std::string> ref = {
        {"pal1wb", "pal1"}, {"pal8-0", "pal8"}, {"pal8topdown", "pal8"}, {"pal8os2", "pal8"},
        {"pal8v4", "pal8"}, {"pal8v5", "pal8"}, {"rgb24pal", "rgb24"}, {"pal8nonsquare", "pal8nonsquare-e"}};
    int compared = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string stem = e.path().stem().string();
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        auto a = ImportFile(e.path().string(), ImportFormat::Bmp, host, progress, prefs).animation;
        const bool rle = stem.find("rle") != std::string::npos;
        const bool deep = stem.starts_with("rgb16") || stem.starts_with("rgb32");
        if (rle || deep) {
            // Run-length and 16/32-bit images are refused with their messages.
            EXPECT_EQ(a, nullptr) << stem;
            ASSERT_EQ(host.errors.size(), 1u) << stem;
            EXPECT_EQ(host.errors[0], Text(rle ? StringId::DibRle : StringId::Dib16or32)) << stem;
            continue;
        }
        ASSERT_NE(a, nullptr) << stem << ": " << (host.errors.empty() ? "" : host.errors[0]);
        const std::string name = ref.count(stem) ? ref.at(stem) : stem;
        RgbImage png = DecodeWithPillow(Corpus("bmpsuite/html/" + name + ".png"));
        ASSERT_TRUE(png.ok()) << name;
        ASSERT_EQ(int(a->width), png.width) << stem;
        ASSERT_EQ(int(a->height), png.height) << stem;
        EXPECT_EQ(CountDifferences(*a, *a->FrameAt(0), png), 0) << stem;
        ++compared;
    }
    EXPECT_GE(compared, 15);
}

TEST(BmpImport, BadSuiteFailsWithAMessageOrReadsSafely) {
    const std::string dir = Corpus("bmpsuite/b");
    if (!Exists(dir)) GTEST_SKIP() << "bmpsuite missing";
    int failed = 0;
    const std::set<std::string> must_fail = {"badbitcount", "badwidth", "reallybig", "shortfile",
                                             "badrle", "rletopdown", "rgb16-880", "badpalettesize"};
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (must_fail.count(e.path().stem().string()) == 0) continue;
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        auto a = ImportFile(e.path().string(), ImportFormat::Bmp, host, progress, prefs).animation;
        if (!a) {
            EXPECT_EQ(host.errors.size(), 1u) << e.path();
            ++failed;
        } else {
            EXPECT_TRUE(host.errors.empty());
        }
    }
    EXPECT_EQ(failed, static_cast<int>(must_fail.size()));
}

// A tiny 8-bit BMP, bottom-up or top-down.
std::vector<uint8_t> MakeBmp8(bool top_down, int bits = 8) {
    const int w = 3, h = 2, colors = bits == 8 ? 4 : 16;
    const int stride = (w * bits + 31) / 32 * 4;
    std::vector<uint8_t> b(14 + 40 + 4 * colors + stride * h, 0);
    b[0] = 'B', b[1] = 'M';
    StoreLE32(b.data() + 10, static_cast<uint32_t>(14 + 40 + 4 * colors));
    StoreLE32(b.data() + 14, 40);
    StoreLE32(b.data() + 18, w);
    StoreLE32(b.data() + 22, static_cast<uint32_t>(top_down ? -h : h));
    StoreLE16(b.data() + 26, 1);
    StoreLE16(b.data() + 28, static_cast<uint32_t>(bits));
    StoreLE32(b.data() + 46, static_cast<uint32_t>(colors));
    for (int i = 0; i < colors; ++i) b[54 + 4 * i + 2] = static_cast<uint8_t>(i * 16);  // red = 16 i
    const uint8_t px[2][3] = {{1, 2, 3}, {3, 0, 1}};  // top row first
    for (int y = 0; y < h; ++y) {
        const int row = top_down ? y : h - 1 - y;
        uint8_t* d = b.data() + 54 + 4 * colors + stride * row;
        for (int x = 0; x < w; ++x) {
            if (bits == 8) d[x] = px[y][x];
            else d[x / 2] |= static_cast<uint8_t>(px[y][x] << ((x & 1) ? 0 : 4));
        }
    }
    return b;
}

TEST(BmpImport, BottomUpAndTopDownGiveTheSameFrameAnd4BitExpands) {
    ScriptedUiHost host;
    PreferenceBlock prefs;
    auto up = ImportBmp(MakeBmp8(false), host, prefs).animation;
    auto down = ImportBmp(MakeBmp8(true), host, prefs).animation;
    auto four = ImportBmp(MakeBmp8(false, 4), host, prefs).animation;
    ASSERT_TRUE(up && down && four);
    EXPECT_EQ(up->FrameAt(0)->bitmap->pixels, down->FrameAt(0)->bitmap->pixels);
    EXPECT_EQ(up->FrameAt(0)->bitmap->At(0, 0), 1);
    EXPECT_EQ(up->FrameAt(0)->bitmap->At(0, 1), 3);
    EXPECT_EQ(four->globalPalette->size(), 16);
    EXPECT_EQ(four->FrameAt(0)->bitmap->pixels, up->FrameAt(0)->bitmap->pixels);
    // A bare packed DIB (no file header) reads the same.
    auto dib = MakeBmp8(false);
    dib.erase(dib.begin(), dib.begin() + 14);
    auto bare = ImportBmp(dib, host, prefs).animation;
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->FrameAt(0)->bitmap->pixels, up->FrameAt(0)->bitmap->pixels);
    EXPECT_TRUE(host.errors.empty());
}

TEST(BmpImport, TruncatedFilesFailWithAMessage) {
    auto b = MakeBmp8(false);
    for (size_t n : {0, 1, 10, 20, 60, 70}) {
        ScriptedUiHost host;
        PreferenceBlock prefs;
        EXPECT_EQ(ImportBmp(std::span(b).first(n), host, prefs).animation, nullptr) << n;
        EXPECT_EQ(host.errors.size(), 1u) << n;
    }
    // Whole headers and colour table, rows missing: the file is damaged,
    // not of an unsupported kind.
    for (size_t cut : {size_t{1}, size_t{5}}) {
        ScriptedUiHost host;
        PreferenceBlock prefs;
        EXPECT_EQ(ImportBmp(std::span(b).first(b.size() - cut), host, prefs).animation, nullptr);
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_EQ(host.errors[0], LoadString(StringId::BmpReadFailed));
    }
}

// ---- JPEG ---------------------------------------------------------------------------

TEST(JpegImport, DecodesToTheSamePixelsAsDjpeg) {
    for (const char* name : {"hopper.jpg", "hopper_gray.jpg", "flower.jpg", "junk_jpeg_header.jpg"}) {
        const std::string path = Corpus(std::string("pillow/Tests/images/") + name);
        if (!Exists(path)) GTEST_SKIP() << "pillow images missing";
        // djpeg writes PPM, or PGM for grey images; Pillow widens PGM to RGB.
        const std::string pnm = TempPath("djpeg.pnm");
        // (djpeg ends with status 2 after a warning, so the status is not checked.)
        RunCommand("djpeg -pnm -outfile '" + pnm + "' '" + path + "'");
        if (!Exists(pnm)) GTEST_SKIP() << "djpeg missing";
        RgbImage ref = DecodeWithPillow(pnm);
        std::remove(pnm.c_str());
        ASSERT_TRUE(ref.ok()) << name;
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        auto a = ImportFile(path, ImportFormat::Jpeg, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr) << name;
        const Frame& f = *a->FrameAt(0);
        EXPECT_FALSE(f.bitmap);
        ASSERT_EQ(int(a->width), ref.width);
        EXPECT_EQ(CountDifferences(*a, f, ref), 0) << name;
        if (std::string(name) == "hopper_gray.jpg")
            for (int x = 0; x < ref.width; ++x) {
                const Rgb c = PixelOf(*a, f, x, ref.height / 2);
                EXPECT_TRUE(c.r == c.g && c.g == c.b);
            }
    }
}

TEST(JpegImport, CmykTruncatedAndGarbageAreRefusedWithTheLibraryMessage) {
    for (const char* name : {"pil_sample_cmyk.jpg", "truncated_jpeg.jpg"}) {
        const std::string path = Corpus(std::string("pillow/Tests/images/") + name);
        if (!Exists(path)) GTEST_SKIP();
        ScriptedUiHost host;
        PreferenceBlock prefs;
        SilentProgress progress;
        EXPECT_EQ(ImportFile(path, ImportFormat::Jpeg, host, progress, prefs).animation, nullptr) << name;
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_TRUE(host.errors[0].starts_with("Unable to read this JPEG file: ")) << host.errors[0];
    }
    const std::vector<uint8_t> junk = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3};
    ScriptedUiHost host;
    PreferenceBlock prefs;
    EXPECT_EQ(ImportJpeg(junk, host, prefs).animation, nullptr);
    EXPECT_EQ(host.errors.size(), 1u);
}

// A 137-byte progressive JPEG declaring 64520 x 42247 pixels: refused as too
// large before the decoder allocates its whole-image coefficients (it used
// to take more than 3 GB first).
TEST(JpegImport, AHugeProgressiveImageIsRefusedBeforeDecoding) {
    const std::vector<uint8_t> file = {
        0xff, 0xd8, 0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00,
        0x03, 0x02, 0x02, 0x02, 0x02, 0x02, 0x03, 0x02, 0x02, 0x02, 0x03, 0x03,
        0x03, 0x03, 0x04, 0x06, 0x04, 0x04, 0x04, 0x04, 0x04, 0x08, 0x06, 0x06,
        0x05, 0x06, 0x09, 0x08, 0x0a, 0x0a, 0x09, 0x08, 0x09, 0x09, 0x0a, 0x0c,
        0x0f, 0x0c, 0x0a, 0x0b, 0x0e, 0x0b, 0x09, 0x09, 0x0d, 0x11, 0x28, 0x28,
        0x28, 0x28, 0x2c, 0x28, 0x28, 0x28, 0x28, 0x0c, 0x12, 0x13, 0x12, 0x10,
        0x13, 0x0f, 0x10, 0x10, 0x10, 0xff, 0xc2, 0x00, 0x0b, 0x08, 0xa5, 0x07,
        0xfc, 0x08, 0x01, 0x01, 0x11, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00,
        0x01, 0x1f, 0xff, 0xc4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0xfb, 0x00, 0x00, 0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01,
        0x3f, 0x10, 0x7f, 0xff, 0xd9,
    };
    ScriptedUiHost host;
    PreferenceBlock prefs;
    EXPECT_EQ(ImportJpeg(file, host, prefs).animation, nullptr);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], LoadString(StringId::JpegNoMemory));
}

// ---- PSD -----------------------------------------------------------------------------

TEST(PsdImport, CompositesMatchTheExpectedImages) {
    int compared = 0;
    for (const char* name : {"rgb-gimp-2.8.10", "indexed", "8bit-grayscale", "testcard_graya8"}) {
        const std::string path = Corpus(std::string("kimageformats/autotests/read/psd/") + name + ".psd");
        if (!Exists(path)) GTEST_SKIP();
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        auto a = ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr) << name << (host.errors.empty() ? "" : host.errors[0]);
        RgbImage ref = DecodeWithPillow(Corpus(std::string("kimageformats/autotests/read/psd/") + name + ".png"));
        ASSERT_TRUE(ref.ok());
        ASSERT_EQ(int(a->width), ref.width);
        ASSERT_EQ(a->FrameCount(), 1);
        // The grey-with-alpha reference is flattened differently where
        // transparent; compare only the colour image of the opaque ones.
        if (std::string(name) != "testcard_graya8") {
            EXPECT_EQ(CountDifferences(*a, *a->FrameAt(0), ref), 0) << name;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 3);
}

TEST(PsdImport, OpaqueCompositesOfTheAgPsdCasesMatchTheirCanvas) {
    // The cases whose expected canvas is fully opaque (the others store a
    // composite flattened differently where transparent).
    int compared = 0;
    for (const char* name : {"count", "grayscale", "indexed", "just-bg", "layer-larger-than-drawing",
                             "layer-offsets-read", "layers", "nested", "section"}) {
        const std::string dir = Corpus(std::string("ag-psd/test/read/") + name + "/");
        if (!Exists(dir + "src.psd")) GTEST_SKIP();
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        host.psdLayerAnswers.push_back(PsdLayerChoice{});  // one composite frame
        auto a = ImportFile(dir + "src.psd", ImportFormat::Psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr) << name << (host.errors.empty() ? "" : host.errors[0]);
        RgbImage ref = DecodeWithPillow(dir + "canvas.png");
        ASSERT_EQ(int(a->width), ref.width) << name;
        ASSERT_EQ(int(a->height), ref.height) << name;
        EXPECT_EQ(CountDifferences(*a, *a->FrameAt(0), ref), 0) << name;
        ++compared;
    }
    EXPECT_EQ(compared, 9);
}

TEST(PsdImport, UnsupportedModesDepthsAndCorruptFilesAreRefused) {
    struct Case {
        const char* path;
        StringId id;
    } cases[] = {
        {"kimageformats/autotests/read/psd/bitmap.psd", StringId::PsdColorMode},
        {"kimageformats/autotests/read/psd/16bit-rle.psd", StringId::PsdDepth},
        {"psd-tools/tests/psd_files/colormodes/4x4_16bit_rgb.psd", StringId::PsdDepth},
    };
    for (const Case& c : cases) {
        if (!Exists(Corpus(c.path))) GTEST_SKIP();
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        EXPECT_EQ(ImportFile(Corpus(c.path), ImportFormat::Psd, host, progress, prefs).animation, nullptr) << c.path;
        ASSERT_EQ(host.errors.size(), 1u) << c.path;
        EXPECT_EQ(host.errors[0], Text(c.id)) << c.path;
    }
    // Every PSD in the corpus, cut at several lengths: a message or a result, never a crash.
    std::vector<std::string> files;
    for (const char* dir : {"pillow/Tests/images", "psd-tools/tests/psd_files", "kimageformats/autotests/read/psd"}) {
        if (!Exists(Corpus(dir))) continue;
        for (const auto& e : std::filesystem::recursive_directory_iterator(Corpus(dir)))
            if (e.path().extension() == ".psd") files.push_back(e.path().string());
    }
    for (const auto& p : files) {
        auto bytes = ReadAll(p);
        for (size_t n : {bytes.size(), bytes.size() / 2, size_t{30}}) {
            ScriptedUiHost host;
            SilentProgress progress;
            PreferenceBlock prefs;
            prefs.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagLayersAsFrames, true);
            auto a = ImportPsd(std::span(bytes).first(std::min(n, bytes.size())), host, progress, prefs).animation;
            EXPECT_TRUE(a ? host.errors.empty() : host.errors.size() == 1u) << p << " " << n;
        }
    }
}

// A header declaring 30000 x 30000 pixels names the size, not the format.
TEST(PsdImport, HugeDeclaredSizesSayNotEnoughMemory) {
    std::vector<uint8_t> b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3,
                              0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30, 0, 8, 0, 3};
    b.resize(b.size() + 200, 0);
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    EXPECT_EQ(ImportPsd(b, host, progress, prefs).animation, nullptr);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], Text(StringId::PsdNoMemoryImage));
}

TEST(PsdImport, LayerChoicesAreAskedRememberedAndCancellable) {
    const std::string path = Corpus("pillow/Tests/images/hopper.psd");
    if (!Exists(path)) GTEST_SKIP();
    PreferenceBlock prefs;
    SilentProgress progress;
    {
        ScriptedUiHost host;
        host.psdLayerAnswers.push_back(std::nullopt);  // Cancel
        EXPECT_EQ(ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation, nullptr);
        EXPECT_EQ(host.psdLayerQuestions, 1);
        EXPECT_TRUE(host.errors.empty());
    }
    {
        ScriptedUiHost host;
        host.psdLayerAnswers.push_back(PsdLayerChoice{PsdLayerChoice::Mode::BlendWithBackground, true});
        auto a = ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->FrameCount(), 2);  // the background kept, and the second layer
        EXPECT_TRUE(prefs.Get(PreferenceBlock::kProgramFlags) & kPsdFlagLayersAsFrames);
        EXPECT_TRUE(prefs.Get(PreferenceBlock::kProgramFlags) & kPsdFlagKeepBackground);
        for (const Frame* f : a->Frames()) {
            EXPECT_GE(f->left, 0);
            EXPECT_LE(f->left + f->width, int(a->width));
        }
    }
    {
        ScriptedUiHost host;  // no answer: the remembered choice is the preset
        auto a = ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->FrameCount(), 2);
    }
    {
        ScriptedUiHost host;
        host.psdLayerAnswers.push_back(PsdLayerChoice{PsdLayerChoice::Mode::Composite, false});
        auto a = ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->FrameCount(), 1);
        EXPECT_FALSE(prefs.Get(PreferenceBlock::kProgramFlags) & kPsdFlagLayersAsFrames);
    }
}

TEST(PsdImport, OneLayerIsTheCompositeWithoutAsking) {
    const std::string path = Corpus("psd-tools/tests/psd_files/1layer.psd");
    if (!Exists(path)) GTEST_SKIP();
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    prefs.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagLayersAsFrames, true);
    auto a = ImportFile(path, ImportFormat::Psd, host, progress, prefs).animation;
    ASSERT_NE(a, nullptr) << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_EQ(host.psdLayerQuestions, 0);
    EXPECT_EQ(a->FrameCount(), 1);
    EXPECT_EQ(a->FrameAt(0)->width, int(a->width));
}

// An RGB PSD of 4 x 3 with a grey background layer (value 100, opaque) and a
// 2 x 1 layer at (1, 1) of colour (200, 50, 0) with transparency 128.
std::vector<uint8_t> TwoLayerPsd(bool alpha = true) {
    std::vector<uint8_t> o = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
    auto be16 = [&](uint32_t v) { o.insert(o.end(), {uint8_t(v >> 8), uint8_t(v)}); };
    auto be32 = [&](uint32_t v) { o.insert(o.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); };
    be32(3), be32(4), be16(8), be16(3);  // height, width, depth, mode
    be32(0), be32(0);                    // colour mode data, resources
    std::vector<uint8_t> recs, data;
    auto rec = [&](int t, int l, int b, int r, std::vector<std::pair<int, uint8_t>> ch) {
        std::swap(o, recs);
        be32(uint32_t(t)), be32(uint32_t(l)), be32(uint32_t(b)), be32(uint32_t(r)), be16(uint32_t(ch.size()));
        const uint32_t n = uint32_t((b - t) * (r - l));
        for (auto [id, v] : ch) {
            be16(uint32_t(id) & 0xFFFF), be32(2 + n);
            data.insert(data.end(), {0, 0});
            data.insert(data.end(), n, v);
        }
        o.insert(o.end(), {'8', 'B', 'I', 'M', 'n', 'o', 'r', 'm', 255, 0, 0, 0});
        be32(0);
        std::swap(o, recs);
    };
    rec(0, 0, 3, 4, {{0, 100}, {1, 100}, {2, 100}});
    if (alpha) rec(1, 1, 2, 3, {{-1, 128}, {0, 200}, {1, 50}, {2, 0}});
    else rec(1, 1, 2, 3, {{0, 200}, {1, 50}, {2, 0}});
    std::vector<uint8_t> li = {0, 2};
    li.insert(li.end(), recs.begin(), recs.end());
    li.insert(li.end(), data.begin(), data.end());
    if (li.size() & 1) li.push_back(0);
    be32(uint32_t(li.size() + 8));
    be32(uint32_t(li.size()));
    o.insert(o.end(), li.begin(), li.end());
    be32(0);
    be16(0);
    o.insert(o.end(), 4 * 3 * 3, 9);  // composite
    return o;
}

TEST(PsdImport, BlendFormulasForBothLayerModes) {
    const auto psd = TwoLayerPsd();
    SilentProgress progress;
    const int blended_r = (100 * 127 + 200 * 128) / 255, blended_g = (100 * 127 + 50 * 128) / 255,
              blended_b = (100 * 127) / 255;
    {
        ScriptedUiHost host;
        PreferenceBlock prefs;
        host.psdLayerAnswers.push_back(PsdLayerChoice{PsdLayerChoice::Mode::BlendWithBackground, false});
        auto a = ImportPsd(psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr) << (host.errors.empty() ? "" : host.errors[0]);
        ASSERT_EQ(a->FrameCount(), 1);  // the background frame is dropped
        const Frame& f = *a->FrameAt(0);
        EXPECT_EQ(f.width, 4);
        EXPECT_EQ(PixelOf(*a, f, 1, 1), (Rgb{uint8_t(blended_r), uint8_t(blended_g), uint8_t(blended_b)}));
        EXPECT_EQ(PixelOf(*a, f, 0, 0), (Rgb{100, 100, 100}));
        EXPECT_TRUE(f.transparencyPlane.empty());
        // Without a transparency channel the layer covers the background.
        host.psdLayerAnswers.push_back(PsdLayerChoice{PsdLayerChoice::Mode::BlendWithBackground, false});
        auto opaque = ImportPsd(TwoLayerPsd(false), host, progress, prefs).animation;
        ASSERT_NE(opaque, nullptr);
        EXPECT_EQ(PixelOf(*opaque, *opaque->FrameAt(0), 2, 1), (Rgb{200, 50, 0}));
    }
    {
        ScriptedUiHost host;
        PreferenceBlock prefs;
        host.psdLayerAnswers.push_back(PsdLayerChoice{PsdLayerChoice::Mode::BlendWithComposite, false});
        auto a = ImportPsd(psd, host, progress, prefs).animation;
        ASSERT_NE(a, nullptr) << (host.errors.empty() ? "" : host.errors[0]);
        ASSERT_EQ(a->FrameCount(), 2);
        const Frame& top = *a->FrameAt(1);
        EXPECT_EQ(top.left, 1);
        EXPECT_EQ(top.top, 1);
        EXPECT_EQ(top.width, 2);
        EXPECT_EQ(top.height, 1);
        EXPECT_EQ(PixelOf(*a, top, 0, 0), (Rgb{uint8_t(blended_r), uint8_t(blended_g), uint8_t(blended_b)}));
    }
    {
        ScriptedUiHost host;
        PreferenceBlock prefs;
        auto a = ImportPsd(psd, host, progress, prefs).animation;  // composite by default
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(host.psdLayerQuestions, 1);
        EXPECT_EQ(PixelOf(*a, *a->FrameAt(0), 3, 2), (Rgb{9, 9, 9}));
    }
}

TEST(PsdImport, PackBitsRows) {
    const uint8_t in[] = {2, 'a', 'b', 'c', 0xFE, 'x', 0x80, 0, 'z'};
    std::vector<uint8_t> out(7);
    ASSERT_TRUE(UnpackBitsRow(in, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcxxxz");
    std::vector<uint8_t> longer(9);
    EXPECT_FALSE(UnpackBitsRow(in, longer));
}

// ---- opening by extension -------------------------------------------------------------

TEST(OpenFile, ChoosesTheReaderByExtensionInAnyCase) {
    const std::string bmp = TempPath("Pic.DiB");
    {
        auto b = MakeBmp8(false);
        std::ofstream(bmp, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
    }
    ScriptedUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    ImportOutcome r = ReadImageFile(bmp, host, progress, prefs);
    ASSERT_NE(r.animation, nullptr);
    EXPECT_FALSE(r.native);
    EXPECT_EQ(r.animation->FrameAt(0)->name, std::filesystem::path(bmp).filename().string());
    const std::string txt = TempPath("pic.txt");
    std::filesystem::copy_file(bmp, txt, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(ReadImageFile(txt, host, progress, prefs).animation, nullptr);
    EXPECT_EQ(host.errors.back(), Text(StringId::UnknownFileType));
    EXPECT_EQ(ReadImageFile(TempPath("missing.bmp"), host, progress, prefs).animation, nullptr);
    EXPECT_TRUE(host.errors.back().starts_with("Unable to open file '"));
    std::remove(bmp.c_str());
    std::remove(txt.c_str());
}

}  // namespace
}  // namespace cinemill
