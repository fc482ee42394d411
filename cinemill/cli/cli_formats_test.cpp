// Runs the format commands of cinemill-cli as a user would.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/cli/cli_test_support.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;

using testing_cli::Cli;
using testing_cli::Run;

std::string Corpus(const std::string& rel) { return std::string(CM_CORPUS_DIR) + "/" + rel; }

class CliFormats : public testing_cli::DirTest {
protected:
    std::string P(const std::string& name) { return (dir_ / name).string(); }
    std::unique_ptr<Animation> ReadGifFile(const std::string& path) {
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        return OpenGifFile(path, host, progress, prefs).animation;
    }
};

const std::string kAvi = Corpus("ffmpeg-generated-avi/muybridge-pal8.avi");
const std::string kAvi24 = Corpus("ffmpeg-generated-avi/muybridge-bgr24.avi");

TEST_F(CliFormats, ConvertBetweenAviGifAndCursor) {
    if (!fs::exists(kAvi)) GTEST_SKIP();
    ASSERT_EQ(Cli("convert " + kAvi + " -o " + P("m.gif")).status, 0);
    auto a = ReadGifFile(P("m.gif"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->FrameCount(), 15);
    EXPECT_EQ(a->width, 30u);
    for (const Frame* f : a->Frames()) EXPECT_EQ(f->delay, 10u);
    // A true-colour AVI goes through palette merging.
    ASSERT_EQ(Cli("convert " + kAvi24 + " -o " + P("m24.gif") + " --method self-adapting").status, 0);
    EXPECT_EQ(ReadGifFile(P("m24.gif"))->FrameCount(), 15);
    // Back to AVI, RLE8 and uncompressed.
    for (const char* c : {"rle8", "none"}) {
        const std::string out = P(std::string("m-") + c + ".avi");
        ASSERT_EQ(Cli("convert " + P("m.gif") + " -o " + out + " --compression " + c).status, 0) << c;
        ScriptedUiHost host;
        SilentProgress progress;
        PreferenceBlock prefs;
        ReadOutcome r = ImportAvi(out, host, progress, prefs);
        ASSERT_EQ(r.result, Result::Done) << c;
        ASSERT_EQ(r.animation->FrameCount(), 15);
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(r.animation->FrameAt(i)->bitmap->pixels, a->FrameAt(i)->bitmap->pixels) << c << i;
    }
    // A cursor with the given hot spot.
    ASSERT_EQ(Cli("convert " + P("m.gif") + " -o " + P("m.ani") + " --hotspot 3 4").status, 0);
    ScriptedUiHost host;
    PreferenceBlock prefs;
    SilentProgress progress;
    auto cur = ImportFile(P("m.ani"), ImportFormat::Ani, host, progress, prefs).animation;
    ASSERT_NE(cur, nullptr);
    EXPECT_EQ(cur->FrameCount(), 15);
    EXPECT_EQ(cur->hotspot, (Hotspot{3, 4}));
}

TEST_F(CliFormats, ConvertJoinsInputsAndRefusesWhatItCannotDo) {
    const std::string jpg = Corpus("pillow/Tests/images/hopper.jpg");
    const std::string bmp = Corpus("bmpsuite/g/pal8.bmp");
    if (!fs::exists(jpg) || !fs::exists(bmp)) GTEST_SKIP();
    ASSERT_EQ(Cli("convert " + jpg + " " + bmp + " -o " + P("j.gif") + " --colors 64").status, 0);
    auto a = ReadGifFile(P("j.gif"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->FrameCount(), 2);
    EXPECT_EQ(Cli("convert " + jpg + " -o " + P("x.png")).status, 2);
    EXPECT_EQ(Cli("convert -o " + P("x.gif")).status, 2);
    auto bad = Cli("convert " + Corpus("bmpsuite/g/pal8rle.bmp") + " -o " + P("x.gif"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("RLE-compressed BMP/DIB images are not supported."), std::string::npos);
    EXPECT_FALSE(fs::exists(P("x.gif")));
    // Frames of different sizes cannot go into an AVI.
    auto sizes = Cli("convert " + P("j.gif") + " -o " + P("j.avi"));
    EXPECT_EQ(sizes.status, 1);
    EXPECT_NE(sizes.err.find("not full-sized"), std::string::npos);
    auto unknown = Cli("convert " + jpg + " -o " + P("j.avi") + " --compression no-such-codec");
    EXPECT_EQ(unknown.status, 1);  // the fallback question is answered No
    EXPECT_NE(unknown.err.find("compressor failed"), std::string::npos);
    EXPECT_FALSE(fs::exists(P("j.avi")));
    auto txt = Cli("convert " + P("j.gif") + ".txt -o " + P("y.gif"));
    EXPECT_EQ(txt.status, 1);
}

TEST_F(CliFormats, PsdLayerChoice) {
    const std::string psd = Corpus("pillow/Tests/images/hopper.psd");
    if (!fs::exists(psd)) GTEST_SKIP();
    ASSERT_EQ(Cli("convert " + psd + " -o " + P("c.gif")).status, 0);
    EXPECT_EQ(ReadGifFile(P("c.gif"))->FrameCount(), 1);
    ASSERT_EQ(Cli("convert " + psd + " -o " + P("l.gif") + " --psd-layers background-keep").status, 0);
    EXPECT_EQ(ReadGifFile(P("l.gif"))->FrameCount(), 2);
    EXPECT_EQ(Cli("convert " + psd + " -o " + P("l.gif") + " --psd-layers sideways").status, 2);
}

TEST_F(CliFormats, FilmstripRoundTrip) {
    if (!fs::exists(kAvi)) GTEST_SKIP();
    ASSERT_EQ(Cli("convert " + kAvi + " -o " + P("m.gif")).status, 0);
    ASSERT_EQ(Cli("filmstrip " + P("m.gif") + " -o " + P("s.gif") + " --per-strip 5 --horizontal").status, 0);
    auto s = ReadGifFile(P("s.gif"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->FrameCount(), 1);
    EXPECT_EQ(s->width, 150u);
    EXPECT_EQ(s->height, 60u);
    ASSERT_EQ(Cli("unfilmstrip " + P("s.gif") + " -o " + P("u.gif") + " --rows 3 --cols 5").status, 0);
    auto u = ReadGifFile(P("u.gif"));
    auto m = ReadGifFile(P("m.gif"));
    ASSERT_EQ(u->FrameCount(), 15);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(u->FrameAt(i)->bitmap->pixels, m->FrameAt(i)->bitmap->pixels) << i;
    auto zero = Cli("filmstrip " + P("m.gif") + " -o " + P("z.gif") + " --per-strip 0");
    EXPECT_EQ(zero.status, 1);
    EXPECT_NE(zero.err.find("at least 1"), std::string::npos);
    auto uneven = Cli("unfilmstrip " + P("s.gif") + " -o " + P("z.gif") + " --rows 3 --cols 4");
    EXPECT_EQ(uneven.status, 1);
    EXPECT_NE(uneven.err.find("Horizontal doesn't divide right."), std::string::npos);
    EXPECT_FALSE(fs::exists(P("z.gif")));
    auto many = Cli("unfilmstrip " + P("m.gif") + " -o " + P("z.gif") + " --rows 1 --cols 1");
    EXPECT_EQ(many.status, 1);
    EXPECT_NE(many.err.find("does not appear to contain a filmstrip"), std::string::npos);
    EXPECT_EQ(Cli("unfilmstrip " + P("s.gif") + " -o " + P("z.gif") + " --rows 3").status, 2);
}

// An FFmpeg encode whose temporary file cannot grow (a file-size limit
// stands in for a full disk) names the cause, not an error number.
TEST_F(CliFormats, AFailedTemporaryWriteNamesTheCause) {
    if (!fs::exists(kAvi)) GTEST_SKIP();
    ASSERT_EQ(Cli("convert " + kAvi + " -o " + P("m.gif")).status, 0);
    if (std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q ' mpeg4 '") != 0) GTEST_SKIP();
    // Ignored, the signal lets the write fail with an error instead.
    const std::string cmd = "sh -c \"trap '' XFSZ; ulimit -f 2; exec " + std::string(CM_CLI) + " convert " +
                            P("m.gif") + " -o " + P("m.avi") + " --compression mpeg4\" 2>" + P("err.txt");
    const int st = std::system(cmd.c_str());
    std::ifstream e(P("err.txt"));
    const std::string err((std::istreambuf_iterator<char>(e)), {});
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1) << err;
    EXPECT_NE(err.find("Could not write the temporary file (File too large)."), std::string::npos) << err;
    EXPECT_EQ(err.find("Error 0x"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(P("m.avi")));
}

// A 1x1 frame on a huge screen: the grid asks for billions of cells.
TEST_F(CliFormats, UnfilmstripRefusesGridsBeyondMemory) {
    auto small = [&](int w, int h) {
        std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(w),
                                  static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
                                  static_cast<uint8_t>(h >> 8), 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                  0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
        const std::string path = P("strip" + std::to_string(w) + ".gif");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                    static_cast<std::streamsize>(b.size()));
        return path;
    };
    const std::string big = small(46340, 46341);
    auto r = Cli("unfilmstrip " + big + " -o " + P("z.gif") + " --rows 46341 --cols 46340");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Not enough memory to build frame image."), std::string::npos);
    EXPECT_FALSE(fs::exists(P("z.gif")));
    // Rows times columns beyond what an int holds.
    const std::string huge = small(65535, 65535);
    auto o = Cli("unfilmstrip " + huge + " -o " + P("z.gif") + " --rows 65535 --cols 65535");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("Not enough memory to build frame image."), std::string::npos);
    EXPECT_FALSE(fs::exists(P("z.gif")));
    // Within the budget the same picture is cut.
    const std::string fine = small(64, 32);
    ASSERT_EQ(Cli("unfilmstrip " + fine + " -o " + P("u.gif") + " --rows 32 --cols 64").status, 0);
    EXPECT_EQ(ReadGifFile(P("u.gif"))->FrameCount(), 64 * 32);
    auto tight = Cli("--memory-budget 1 unfilmstrip " + small(4096, 4096) + " -o " + P("t.gif") +
                     " --rows 4096 --cols 4096");
    EXPECT_EQ(tight.status, 1);
    EXPECT_NE(tight.err.find("Not enough memory to build frame image."), std::string::npos);
}

TEST_F(CliFormats, HtmlTag) {
    if (!fs::exists(kAvi)) GTEST_SKIP();
    auto r = Cli("html " + kAvi);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "<img src=\"muybridge-pal8.avi\" width=30 height=20 border=0>\n");
    auto l = Cli("html " + kAvi + " --link index.html --alt Logo --border 2");
    EXPECT_EQ(l.out,
              "<a href=\"index.html\"><img src=\"muybridge-pal8.avi\" width=30 height=20 border=2 "
              "alt=\"Logo\"></a>\n");
    EXPECT_EQ(Cli("html").status, 2);
    EXPECT_EQ(Cli("html " + P("missing.gif")).status, 1);
}

TEST_F(CliFormats, ExportsRefuseTargetsThatAreNotRegularFilesAndWriteThroughLinks) {
    if (!fs::exists(kAvi)) GTEST_SKIP();
    const std::string gif = std::string(CM_TESTDATA_DIR) + "/sample.gif";
    // The AVI writer takes no transparency: the AVI goes back to AVI.
    auto input = [&](const std::string& ext) { return ext == ".avi" ? kAvi : gif; };
    const std::string fifo = P("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The FIFO stands for a device node: each export is refused and leaves it.
    for (const std::string ext : {".avi", ".ani", ".gif"}) {
        fs::create_symlink(fifo, P("out" + ext));
        const auto r = Cli("convert " + input(ext) + " -o " + P("out" + ext));
        EXPECT_EQ(r.status, 1) << ext << ": " << r.err;
        EXPECT_NE(r.err.find("is not a regular file, so it was not replaced."), std::string::npos) << ext << r.err;
        EXPECT_TRUE(fs::is_symlink(P("out" + ext)));
        fs::remove(P("out" + ext));
    }
    const auto strip = Cli("filmstrip " + gif + " -o " + fifo);
    EXPECT_EQ(strip.status, 1) << strip.err;
    EXPECT_TRUE(fs::is_fifo(fifo));

    // Links to files: the files they name get the exports.
    fs::create_directories(dir_ / "real");
    for (const std::string ext : {".avi", ".ani"}) {
        std::ofstream(P("real/x" + ext)) << "old";
        fs::create_symlink("real/x" + ext, P("link" + ext));
        ASSERT_EQ(Cli("convert " + input(ext) + " -o " + P("link" + ext)).status, 0) << ext;
        EXPECT_TRUE(fs::is_symlink(P("link" + ext)));
        ASSERT_EQ(Cli("convert " + input(ext) + " -o " + P("plain" + ext)).status, 0) << ext;
        EXPECT_EQ(fs::file_size(P("real/x" + ext)), fs::file_size(P("plain" + ext))) << ext;
        EXPECT_GT(fs::file_size(P("plain" + ext)), 3u);
    }
    // Nothing else was left in either folder.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
        const std::string n = e.path().filename().string();
        EXPECT_EQ(n.find(".cinemill-"), std::string::npos) << n;
        ++entries;
    }
    EXPECT_EQ(entries, 6u);  // fifo, real, link and plain of each
    for (const auto& e : fs::directory_iterator(dir_ / "real"))
        EXPECT_EQ(e.path().filename().string().find(".cinemill-"), std::string::npos);
}

}  // namespace
}  // namespace cinemill
