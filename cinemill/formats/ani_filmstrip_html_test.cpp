#include <gtest/gtest.h>

#include <unistd.h>

#include "cinemill/base/bytes.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/filmstrip.h"
#include "cinemill/formats/formats_test_support.h"
#include "cinemill/formats/html_tag.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill {
namespace {

using namespace testing_support;

std::string Text(StringId id) { return std::string(LoadString(id)); }

// n frames of w x h with a global palette of `colors` greys; frame i is
// filled with index (i + 1) % colors and pixel (0, 0) = 0.
std::unique_ptr<Animation> MakeFrames(int n, int w, int h, int colors = 8) {
    PreferenceBlock prefs;
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < colors; ++i) rgb.insert(rgb.end(), 3, static_cast<uint8_t>(i * 255 / (colors - 1)));
    SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), colors));
    for (int i = 0; i < n; ++i) {
        auto f = NewFrame(w, h, prefs);
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y) std::fill_n(bmp->Row(y), w, static_cast<uint8_t>((i + 1) % colors));
        bmp->Row(0)[0] = 0;
        SetBitmap(*f, std::move(*bmp));
        f->delay = static_cast<uint32_t>(10 * (i + 1));
        a->blocks.push_back(std::move(f));
    }
    return a;
}

// ---- HTML tag ---------------------------------------------------------------------

TEST(HtmlTag, BuildsTheElementFromTheFields) {
    EXPECT_EQ(HtmlFileNameOf("C:\\web\\anim.gif"), "anim.gif");
    EXPECT_EQ(HtmlFileNameOf("/srv/www/anim.gif"), "anim.gif");
    HtmlTagFields f{"anim.gif", "", "", ""};
    EXPECT_EQ(BuildHtmlTag(f, 120, 60), "<img src=\"anim.gif\" width=120 height=60 border=0>");
    f.link = "index.html";
    f.description = "Logo";
    EXPECT_EQ(BuildHtmlTag(f, 120, 60),
              "<a href=\"index.html\"><img src=\"anim.gif\" width=120 height=60 border=0 alt=\"Logo\"></a>");
    f.border = "250";
    EXPECT_NE(BuildHtmlTag(f, 1, 1).find(" border=250 "), std::string::npos);
    f.border = "x7";
    EXPECT_NE(BuildHtmlTag(f, 1, 1).find(" border=0 "), std::string::npos);
    f.fileName = "";
    EXPECT_EQ(BuildHtmlTag(f, 120, 60), "");
}

TEST(HtmlTag, OverlongBorderNumbersStopAtTheLargestValueInsteadOfWrapping) {
    EXPECT_EQ(HtmlBorderValue("4294967295"), 2147483647u);
    EXPECT_EQ(HtmlBorderValue("99999999999"), 2147483647u);
    EXPECT_EQ(HtmlBorderValue(std::string(200, '9')), 2147483647u);
    EXPECT_EQ(HtmlBorderValue("2147483647"), 2147483647u);
    EXPECT_EQ(HtmlBorderValue("2147483646"), 2147483646u);
    EXPECT_EQ(HtmlBorderValue(" 12ab"), 12u);
    EXPECT_EQ(HtmlBorderValue(""), 0u);
}

TEST(HtmlTag, QuotesGoInAsTyped) {
    // Quotes go in as typed.
    HtmlTagFields q{"a\"b.gif", "", "say \"hi\"", "2"};
    EXPECT_EQ(BuildHtmlTag(q, 3, 4), "<img src=\"a\"b.gif\" width=3 height=4 border=2 alt=\"say \"hi\"\">");
}

// ---- filmstrip ------------------------------------------------------------------

TEST(FilmstripExport, LaysFramesOutInStripsWithTheBackgroundInEmptyCells) {
    auto a = MakeFrames(5, 20, 10);
    a->backgroundIndex = 7;
    ScriptedUiHost host;
    PreferenceBlock prefs;
    auto s = BuildFilmstrip(*a, {false, 2}, host, prefs);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width, 40u);
    EXPECT_EQ(s->height, 30u);
    const FrameBitmap& b = *s->FrameAt(0)->bitmap;
    EXPECT_EQ(b.At(5, 5), 1);    // frame 0
    EXPECT_EQ(b.At(25, 5), 2);   // frame 1
    EXPECT_EQ(b.At(5, 15), 3);   // frame 2, second strip
    EXPECT_EQ(b.At(20, 10), 0);  // frame 3's pixel (0, 0)
    EXPECT_EQ(b.At(5, 25), 5);   // frame 4
    EXPECT_EQ(b.At(25, 25), 7);  // empty cell: the background
    // One frame per strip, horizontal: a column of cells.
    auto col = BuildFilmstrip(*a, {false, 1}, host, prefs);
    EXPECT_EQ(col->width, 20u);
    EXPECT_EQ(col->height, 50u);
    EXPECT_EQ(DefaultFilmstripExportOptions(*a), (FilmstripExportOptions{true, 5}));
    auto vert = BuildFilmstrip(*a, {true, 5}, host, prefs);
    EXPECT_EQ(vert->width, 20u);
    EXPECT_EQ(vert->height, 50u);
    EXPECT_EQ(vert->FrameAt(0)->bitmap->At(3, 45), 5);
    EXPECT_EQ(BuildFilmstrip(*a, {false, 0}, host, prefs), nullptr);
    EXPECT_EQ(host.errors.back(), Text(StringId::FilmstripZero));
}

TEST(FilmstripExport, FramesAreClippedToTheirCellAndStatesChecked) {
    auto a = MakeFrames(2, 4, 4);
    Frame& f = *a->FrameAt(0);
    f.left = 2;  // reaches 2 columns past the screen
    f.top = -1;
    ScriptedUiHost host;
    PreferenceBlock prefs;
    auto s = BuildFilmstrip(*a, {false, 2}, host, prefs);
    ASSERT_NE(s, nullptr);
    const FrameBitmap& b = *s->FrameAt(0)->bitmap;
    EXPECT_EQ(b.At(2, 0), 1);
    EXPECT_EQ(b.At(5, 0), 2);  // the neighbour cell keeps frame 1's pixels
    EXPECT_EQ(b.At(4, 3), 2);

    auto t = MakeFrames(3, 4, 4);
    SetTransparent(*t->FrameAt(2), true);
    SetLocalPalette(*t->FrameAt(1), *t->globalPalette);
    EXPECT_EQ(FilmstripExportProblem(*t), StringId::FilmstripTransparency);
    SetTransparent(*t->FrameAt(2), false);
    EXPECT_EQ(FilmstripExportProblem(*t), StringId::FilmstripLocalPalettes);
    const std::string path = TempPath("strip.gif");
    EXPECT_EQ(ExportFilmstrip(*t, path, host, prefs), Result::Failed);
    EXPECT_FALSE(Exists(path));
}

TEST(FilmstripImport, CutsTheImageIntoCellsInTheChosenOrder) {
    auto src = MakeFrames(1, 100, 40);
    auto& bmp = *src->FrameAt(0)->bitmap;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) bmp.Row(y)[x] = static_cast<uint8_t>((y / 20) * 4 + x / 25);
    SetName(*src->FrameAt(0), "strip.gif");
    for (bool vertical : {false, true}) {
        auto a = CopyAnimation(*src);
        ScriptedUiHost host;
        PreferenceBlock prefs;
        ASSERT_TRUE(CutFilmstrip(*a, {4, 2, vertical}, host, prefs));
        ASSERT_EQ(a->FrameCount(), 8);
        EXPECT_EQ(a->width, 25u);
        EXPECT_EQ(a->height, 20u);
        // Horizontal: the fifth frame is the first cell of the second row.
        // Vertical: frames run down each column.
        EXPECT_EQ(a->FrameAt(4)->bitmap->At(0, 0), vertical ? 2 : 4);
        EXPECT_EQ(a->FrameAt(1)->bitmap->At(24, 19), vertical ? 4 : 1);
        EXPECT_EQ(a->FrameAt(0)->name, "strip.gif - Frame 1");
    }
    ScriptedUiHost host;
    PreferenceBlock prefs;
    auto a = CopyAnimation(*src);
    EXPECT_FALSE(CutFilmstrip(*a, {3, 1, false}, host, prefs));
    EXPECT_EQ(host.errors.back(), Text(StringId::FilmstripHorizontal));
    EXPECT_FALSE(CutFilmstrip(*a, {4, 3, false}, host, prefs));
    EXPECT_EQ(host.errors.back(), Text(StringId::FilmstripVertical));
    EXPECT_FALSE(CutFilmstrip(*a, {0, 1, false}, host, prefs));
    EXPECT_EQ(host.errors.back(), Text(StringId::FilmstripZero));
    EXPECT_EQ(a->FrameCount(), 1);
}

TEST(Filmstrip, ExportThenImportThroughFilesGivesTheFramesBack) {
    auto a = MakeFrames(6, 9, 5);
    const std::string path = TempPath("round.gif");
    ScriptedUiHost host;
    host.filmstripExportAnswers.push_back(FilmstripExportOptions{false, 3});
    PreferenceBlock prefs;
    ASSERT_EQ(ExportFilmstrip(*a, path, host, prefs), Result::Done);
    host.filmstripImportAnswers.push_back(FilmstripImportOptions{3, 2, false});
    SilentProgress progress;
    ReadOutcome r = ImportFilmstrip(path, host, progress, prefs);
    ASSERT_NE(r.animation, nullptr);
    ASSERT_EQ(r.animation->FrameCount(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.animation->FrameAt(i)->bitmap->pixels, a->FrameAt(i)->bitmap->pixels);
    // A file of several images is not a filmstrip; cancelling imports nothing.
    const std::string multi = TempPath("multi.gif");
    ASSERT_EQ(SaveGif(multi, *a, host, progress), Result::Done);
    EXPECT_EQ(ImportFilmstrip(multi, host, progress, prefs).animation, nullptr);
    EXPECT_EQ(host.errors.back(), Text(StringId::FilmstripNotStrip));
    host.filmstripImportAnswers.push_back(std::nullopt);
    EXPECT_EQ(ImportFilmstrip(path, host, progress, prefs).animation, nullptr);
    std::remove(path.c_str());
    std::remove(multi.c_str());
}

// ---- animated cursor ---------------------------------------------------------------

TEST(AniExport, LayoutSizesRatesAndRoundTrip) {
    EXPECT_EQ(AniIconDataSize(32, 32), 2238u);
    auto a = MakeFrames(3, 32, 32);
    a->FrameAt(0)->delay = 16;
    SetTransparentIndex(*a->FrameAt(1), 0);
    SetTransparent(*a->FrameAt(1), true);
    a->hotspot = {3, 4};
    ScriptedUiHost host;
    const auto bytes = BuildAni(*a, host);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(LoadLE32(bytes.data() + 4), 12u + 3 * (2238 + 8) + 68);
    EXPECT_EQ(bytes.size(), LoadLE32(bytes.data() + 4) + 8);
    EXPECT_EQ(LoadLE32(bytes.data() + 12 + 8 + 36 + 8), 9u);  // rate of a 16/100 s delay
    PreferenceBlock prefs;
    AniInfo info;
    auto b = ImportAni(bytes, host, prefs, &info).animation;
    ASSERT_NE(b, nullptr) << (host.errors.empty() ? "" : host.errors[0]);
    ASSERT_EQ(b->FrameCount(), 3);
    EXPECT_EQ(b->hotspot, (Hotspot{3, 4}));
    EXPECT_EQ(b->width, 32u);
    EXPECT_EQ(b->FrameAt(0)->delay, 15u);  // rate 9 -> 9 * 100 / 60
    for (int i = 0; i < 3; ++i) {
        const Frame& f = *b->FrameAt(i);
        EXPECT_EQ(f.Disposal(), 2);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool clear = i == 1 && x == 0 && y == 0;
                EXPECT_EQ(f.Transparent() && f.bitmap->At(x, y) == f.transparentIndex, clear);
                if (!clear) {
                    EXPECT_EQ(PixelOf(*b, f, x, y), PixelOf(*a, *a->FrameAt(i), x, y));
                }
            }
    }
}

// Frames the cursor reader would refuse are refused when writing, so that
// every cursor written reads back.
TEST(AniExport, FramesOfNoPixelsOrLargerThanACursorAreRefused) {
    for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{4, 257}, std::pair{257, 1}}) {
        auto a = MakeFrames(2, 4, 4);
        SetBitmap(*a->FrameAt(1), *FrameBitmap::Create(w, h));
        ScriptedUiHost host;
        EXPECT_TRUE(BuildAni(*a, host).empty()) << w << "x" << h;
        ASSERT_EQ(host.errors.size(), 1u);
        EXPECT_EQ(host.errors[0], LoadString(StringId::AniFrameSize));
    }
    auto a = MakeFrames(1, 256, 256);
    ScriptedUiHost host;
    const auto bytes = BuildAni(*a, host);
    ASSERT_FALSE(bytes.empty());
    PreferenceBlock prefs;
    EXPECT_NE(ImportAni(bytes, host, prefs).animation, nullptr);
}

TEST(AniExport, FramesWithNoColourTableAtAllExportWithTheColoursTheyShowWith) {
    auto a = MakeFrames(2, 4, 4);
    a->globalPalette.reset();
    for (int i = 0; i < 2; ++i) a->FrameAt(i)->localPalette.reset();
    a->FrameAt(1)->bitmap->Row(0)[0] = 3;
    ScriptedUiHost host;
    const auto bytes = BuildAni(*a, host);
    ASSERT_FALSE(bytes.empty()) << (host.errors.empty() ? "" : host.errors[0]);
    EXPECT_TRUE(host.errors.empty());
    PreferenceBlock prefs;
    AniInfo info;
    auto b = ImportAni(bytes, host, prefs, &info).animation;
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->FrameCount(), 2);
    EXPECT_EQ(b->FrameAt(1)->bitmap->At(0, 0), 3);
    EXPECT_EQ(PixelOf(*b, *b->FrameAt(1), 0, 0), (Rgb{0, 0, 0}));
}

// A cursor with `icons` one-pixel 8-bit icons (colour i), a "seq " and a "rate".
std::vector<uint8_t> MakeAni(int icons, const std::vector<uint32_t>& seq, const std::vector<uint32_t>& rate,
                             bool list_overstates = false) {
    auto a = MakeFrames(icons, 1, 1);
    for (int i = 0; i < icons; ++i) a->FrameAt(i)->bitmap->Row(0)[0] = static_cast<uint8_t>(i + 1);
    ScriptedUiHost host;
    auto body = BuildAni(*a, host);
    std::vector<uint8_t> out(body.begin(), body.begin() + 12);
    std::vector<uint8_t> anih(body.begin() + 12, body.begin() + 12 + 44);
    StoreLE32(anih.data() + 8 + 8, static_cast<uint32_t>(seq.size()));
    out.insert(out.end(), anih.begin(), anih.end());
    if (list_overstates) {
        // An INFO list whose size says 2 bytes more than it holds.
        const char info[] = "LIST\x12\0\0\0INFOINAM\x06\0\0\0Test!\0";
        out.insert(out.end(), info, info + 26);
    }
    auto chunk = [&](const char* id, const std::vector<uint32_t>& v) {
        out.insert(out.end(), id, id + 4);
        AppendLE32(out, static_cast<uint32_t>(4 * v.size()));
        for (uint32_t x : v) AppendLE32(out, x);
    };
    chunk("rate", rate);
    chunk("seq ", seq);
    const size_t list_at = 12 + 44 + 8 + 4 * icons;
    out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(list_at), body.end());
    StoreLE32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

TEST(AniImport, SequenceRatesAndTolerances) {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    AniInfo info;
    auto a = ImportAni(MakeAni(3, {0, 1, 2, 1, 0}, {10, 20, 10, 10, 60}, true), host, prefs, &info).animation;
    ASSERT_NE(a, nullptr) << (host.errors.empty() ? "" : host.errors[0]);
    ASSERT_EQ(a->FrameCount(), 5);
    const int expect_color[] = {1, 2, 3, 2, 1};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a->FrameAt(i)->bitmap->At(0, 0), expect_color[i]) << i;
    EXPECT_EQ(a->FrameAt(0)->delay, 16u);
    EXPECT_EQ(a->FrameAt(1)->delay, 33u);
    EXPECT_EQ(a->FrameAt(4)->delay, 100u);
    EXPECT_EQ(info.title, "Test!");
    EXPECT_FALSE(a->globalPalette);
}

TEST(AniImport, TwoHundredFiftySixColourIconsImportOpaqueAndBadFilesFail) {
    auto a = MakeFrames(1, 16, 16, 256);
    auto& b = *a->FrameAt(0)->bitmap;
    for (int i = 0; i < 256; ++i) b.Row(i / 16)[i % 16] = static_cast<uint8_t>(i);
    SetTransparent(*a->FrameAt(0), true);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    auto bytes = BuildAni(*a, host);
    auto r = ImportAni(bytes, host, prefs).animation;
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->FrameAt(0)->Transparent());
    // Corpus cursors: 32-bit images and malformed files fail with a message.
    for (const char* p : {"kimageformats/autotests/ani/test.ani", "gdk-pixbuf/tests/test-animation.ani",
                          "gdk-pixbuf/tests/test-images/fail/CVE-2022-48622.ani"}) {
        if (!Exists(Corpus(p))) continue;
        ScriptedUiHost h;
        EXPECT_EQ(ImportFile(Corpus(p), ImportFormat::Ani, h, progress, prefs).animation, nullptr) << p;
        ASSERT_EQ(h.errors.size(), 1u) << p;
        if (std::string(p).find("fail") == std::string::npos) {
            EXPECT_EQ(h.errors[0], Text(StringId::AniHiColor)) << p;
        }
    }
    // Every cut of a good file fails with one message or reads.
    for (size_t n = 0; n < bytes.size(); n += 97) {
        ScriptedUiHost h;
        auto c = ImportAni(std::span(bytes).first(n), h, prefs).animation;
        EXPECT_TRUE(c ? h.errors.empty() : h.errors.size() == 1u) << n;
    }
}

TEST(AniExport, GdkPixbufReadsOurCursors) {
    if (!RunCommand("/usr/bin/python3 -c \"import gi; gi.require_version('GdkPixbuf', '2.0'); "
                    "from gi.repository import GdkPixbuf\""))
        GTEST_SKIP() << "python3-gi with GdkPixbuf missing";
    auto a = MakeFrames(3, 32, 32);
    a->FrameAt(0)->delay = 50;
    a->FrameAt(1)->delay = 100;
    a->FrameAt(2)->delay = 20;
    SetTransparent(*a->FrameAt(2), true);
    ScriptedUiHost host;
    const std::string path = TempPath("cursor.ani");
    ASSERT_EQ(ExportAni(*a, path, host), Result::Done);
    EXPECT_EQ(host.hotspotQuestions, 1);
    EXPECT_EQ(a->hotspot, (Hotspot{16, 16}));
    // Frame by frame: delay in ms, pixel (5, 5) RGBA, pixel (0, 0) alpha.
    const std::string script =
        "import sys, gi\n"
        "gi.require_version('GdkPixbuf', '2.0')\n"
        "from gi.repository import GdkPixbuf, GLib\n"
        "anim = GdkPixbuf.PixbufAnimation.new_from_file(sys.argv[1])\n"
        "t = GLib.TimeVal(); t.tv_sec = 0; t.tv_usec = 0\n"
        "it = anim.get_iter(t)\n"
        "for i in range(3):\n"
        "    pb = it.get_pixbuf(); px = pb.get_pixels(); rs = pb.get_rowstride(); n = pb.get_n_channels()\n"
        "    p = px[5 * rs + 5 * n: 5 * rs + 5 * n + 3]\n"
        "    a0 = px[n - 1] if n == 4 else 255\n"
        "    d = it.get_delay_time()\n"
        "    print(pb.get_width(), pb.get_height(), d, p[0], p[1], p[2], a0)\n"
        "    t.tv_usec += d * 1000\n"
        "    while t.tv_usec >= 1000000: t.tv_sec += 1; t.tv_usec -= 1000000\n"
        "    it.advance(t)\n";
    const std::string py = TempPath("ani.py"), out = TempPath("ani.txt");
    std::ofstream(py) << script;
    ASSERT_EQ(std::system(("/usr/bin/python3 '" + py + "' '" + path + "' > '" + out + "' 2>/dev/null").c_str()), 0);
    std::ifstream in(out);
    const uint32_t rates[] = {30, 60, 12};  // jiffies written for 50, 100, 20
    for (int i = 0; i < 3; ++i) {
        int w, h, d, r, g, b, alpha;
        ASSERT_TRUE(in >> w >> h >> d >> r >> g >> b >> alpha) << i;
        EXPECT_EQ(w, 32);
        EXPECT_EQ(h, 32);
        EXPECT_EQ(d, static_cast<int>(rates[i] * 1000 / 60)) << i;
        const Rgb c = PixelOf(*a, *a->FrameAt(i), 5, 5);
        EXPECT_EQ(r, c.r);
        EXPECT_EQ(g, c.g);
        EXPECT_EQ(b, c.b);
        EXPECT_EQ(alpha, i == 2 ? 0 : 255) << i;
    }
    for (const auto& p : {path, py, out}) std::remove(p.c_str());
}

}  // namespace
}  // namespace cinemill
