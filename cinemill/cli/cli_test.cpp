// Runs cinemill-cli as a user would and checks exit codes, messages and files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cinemill/cli/cli_test_support.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;

using testing_cli::Cli;
using testing_cli::Run;

class CliTest : public testing_cli::DirTest {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
};

const std::string kSample = std::string(CM_TESTDATA_DIR) + "/sample.gif";

TEST_F(CliTest, InfoReportsStructure) {
    auto r = Cli("info " + kSample);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("screen: 48 x 32"), std::string::npos);
    EXPECT_NE(r.out.find("frames: 3"), std::string::npos);
    EXPECT_NE(r.out.find("encoded size: "), std::string::npos);
    auto j = Cli("info --json --no-size " + kSample);
    EXPECT_EQ(j.status, 0);
    EXPECT_EQ(j.out.front(), '{');
    EXPECT_NE(j.out.find("\"frame_count\":3"), std::string::npos);
    EXPECT_NE(j.out.find("\"encoded_size\":-1"), std::string::npos);
    EXPECT_NE(j.out.find("\"play_count\":0"), std::string::npos);
}

TEST_F(CliTest, ExitCodesForBadInput) {
    EXPECT_EQ(Cli("").status, 2);
    EXPECT_EQ(Cli("info").status, 2);
    EXPECT_EQ(Cli("frobnicate x").status, 2);
    auto missing = Cli("info " + (dir_ / "none.gif").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("is not a valid GIF File."), std::string::npos);
    // Cut after the first frame: partly read, with both messages.
    auto bytes = testing::GifBuilder(8, 8).Image(0, 0, 1, 1, {1}).Image(0, 0, 8, 8, std::vector<uint8_t>(64, 2)).b;
    bytes.erase(bytes.end() - 20, bytes.end());
    const auto cut = Write("cut.gif", bytes);
    auto partial = Cli("info " + cut);
    EXPECT_EQ(partial.status, 3);
    EXPECT_NE(partial.out.find("frames: 1"), std::string::npos);
    EXPECT_NE(partial.out.find("message: Only part of the animation was read."), std::string::npos);
    // resave of a partly read file writes what was read and says so.
    const auto out = (dir_ / "out.gif").string();
    EXPECT_EQ(Cli("resave " + cut + " -o " + out).status, 3);
    auto back = testing::ReadBytes(testing::FileBytes(out));
    EXPECT_EQ(back.outcome.result, Result::Done);
    EXPECT_EQ(back.outcome.animation->FrameCount(), 1);
}

// A tiny file declaring a screen no canvas could hold: refused with the
// message, never an abort, and nothing half written.
TEST_F(CliTest, HugeScreensAreRefusedWithAMessage) {
    const auto huge = Write("huge.gif", testing::GifBuilder(65535, 65535).Image(0, 0, 1, 1, {1}).Trailer().b);
    ASSERT_LT(fs::file_size(huge), 64u);
    const auto out = dir_ / "frames";
    fs::create_directories(out);
    auto r = Cli("render " + huge + " " + out.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Not enough memory to build frame image."), std::string::npos);
    EXPECT_TRUE(fs::is_empty(out));
    auto p = Cli("psnr " + huge + " " + huge);
    EXPECT_EQ(p.status, 1);
    EXPECT_NE(p.err.find("Not enough memory to build frame image."), std::string::npos);
    // A large screen within the budget costs what is drawn: psnr of a small
    // frame on a 10000 x 10000 screen answers.
    const auto large = Write("large.gif", testing::GifBuilder(10000, 10000).Image(5, 5, 2, 2, {1, 2, 3, 1}).Trailer().b);
    auto same = Cli("--memory-budget 2000 psnr " + large + " " + large);
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "100.000\n");
    // The budget option is checked and applies to reading.
    EXPECT_EQ(Cli("--memory-budget lots info " + large).status, 2);
    const auto two = Write("two.gif", testing::GifBuilder(2000, 2000).Image(0, 0, 2000, 1000, {1}).Image(0, 0, 2000, 1000, {2}).Trailer().b);
    auto cut = Cli("--memory-budget 3 info " + two);
    EXPECT_EQ(cut.status, 3);
    EXPECT_NE(cut.out.find("frames: 1"), std::string::npos);
    EXPECT_NE((cut.out + cut.err).find("Not enough memory to build frame image."), std::string::npos);
    EXPECT_EQ(Cli("info " + two).status, 0);
    // A file larger than the budget is refused before it is read, by
    // optimize (which keeps the file's bytes to compare) as by info.
    const std::vector<std::string> comment(12400, std::string(255, 'x'));  // 3 MB in sub-blocks
    const auto big = Write("big.gif", testing::GifBuilder(4, 4)
                                          .Extension(0xFE, comment)
                                          .Image(0, 0, 1, 1, {1})
                                          .Trailer()
                                          .b);
    auto info = Cli("--memory-budget 1 info " + big);
    auto opt = Cli("--memory-budget 1 optimize " + big + " -o " + (dir_ / "big-out.gif").string());
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(opt.status, 1);
    EXPECT_FALSE(info.err.empty());
    EXPECT_EQ(opt.err, info.err);
    EXPECT_FALSE(fs::exists((dir_ / "big-out.gif").string()));
    EXPECT_EQ(Cli("optimize " + big + " -o " + (dir_ / "big-out.gif").string()).status, 0);
}

// Comments and file names are bytes: the JSON must still be valid UTF-8.
TEST_F(CliTest, InfoJsonIsValidUtf8WhateverTheBytes) {
    const std::string comment = "caf\xe9 \xc3\xa9t\xc3\xa9 \x01\x7f \xed\xa0\x80 \xf0\x9f\x8e\x9e \xc0\xaf end\xe2\x82";
    const auto bytes = testing::GifBuilder(4, 4).Extension(0xFE, {comment}).Image(0, 0, 1, 1, {1}).Trailer().b;
    const auto path = Write("caf\xe9\xff.gif", bytes);
    auto r = Cli("info --json '" + path + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    // Well-formed UTF-8 passes through; every other byte is its Latin-1
    // character; control characters are escaped.
    EXPECT_NE(r.out.find("caf\\u00e9 \xc3\xa9t\xc3\xa9 \\u0001\\u007f \\u00ed\\u00a0\\u0080 "
                         "\xf0\x9f\x8e\x9e \\u00c0\\u00af end\\u00e2\\u0082\""),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("caf\\u00e9\\u00ff.gif"), std::string::npos);
    const auto json = dir_ / "info.json";
    std::ofstream(json, std::ios::binary) << r.out;
    const std::string check = "python3 -c 'import json,sys; json.load(open(sys.argv[1], encoding=\"utf-8\"))' " + json.string();
    if (std::system("python3 -c 1") == 0) {
        EXPECT_EQ(std::system(check.c_str()), 0) << r.out;
    }
}

TEST_F(CliTest, ResaveLeavesInputAndWritesOnlyWholeFiles) {
    const auto in = Write("in.gif", testing::FileBytes(kSample));
    const auto before = testing::FileBytes(in);
    const auto out = (dir_ / "out.gif").string();
    ASSERT_EQ(Cli("resave " + in + " -o " + out).status, 0);
    EXPECT_EQ(testing::FileBytes(in), before);
    auto a = testing::ReadBytes(before);
    EXPECT_EQ(testing::FileBytes(out), testing::WriteBytes(*a.outcome.animation));
    // With a signature it comes first.
    ASSERT_EQ(Cli("resave " + in + " -o " + out + " --signature 'made here'").status, 0);
    auto s = testing::ReadBytes(testing::FileBytes(out));
    EXPECT_EQ(CommentText(*AsExtension(s.outcome.animation->blocks[0].get())), "made here");
    // An unreadable input leaves an existing output alone.
    const auto junk = Write("junk.gif", {'n', 'o', 'p', 'e'});
    const auto out_before = testing::FileBytes(out);
    EXPECT_EQ(Cli("resave " + junk + " -o " + out).status, 1);
    EXPECT_EQ(testing::FileBytes(out), out_before);
}

// Every name in the folder but the given ones (leftover temporary files).
std::vector<std::string> OtherNames(const fs::path& dir, std::initializer_list<std::string> known) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (std::find(known.begin(), known.end(), n) == known.end()) out.push_back(n);
    }
    return out;
}

TEST_F(CliTest, OutputsThatAreNotRegularFilesAreRefusedAndLinksWrittenThrough) {
    const auto in = Write("in.gif", testing::FileBytes(kSample));
    // A FIFO stands for a device such as /dev/null: refused, left as it is.
    const auto fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& cmd : {"resave " + in + " -o " + fifo, "optimize " + in + " -o " + fifo,
                                  "reverse " + in + " -o " + fifo}) {
        const auto r = Cli(cmd);
        EXPECT_EQ(r.status, 1) << cmd;
        EXPECT_NE(r.err.find("'" + fifo + "' is not a regular file, so it was not replaced."), std::string::npos)
            << cmd << ": " << r.err;
        EXPECT_TRUE(fs::is_fifo(fifo)) << cmd;
    }
    // So is a link to one.
    fs::create_symlink(fifo, dir_ / "to-fifo.gif");
    EXPECT_EQ(Cli("resave " + in + " -o " + (dir_ / "to-fifo.gif").string()).status, 1);
    EXPECT_TRUE(fs::is_symlink(dir_ / "to-fifo.gif"));

    // A link to a file: the file it names gets the output, the link stays.
    fs::create_directories(dir_ / "real");
    const auto real = Write("real/out.gif", {'o', 'l', 'd'});
    fs::create_symlink("real/out.gif", dir_ / "link.gif");
    ASSERT_EQ(Cli("resave " + in + " -o " + (dir_ / "link.gif").string()).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.gif"));
    ASSERT_EQ(Cli("resave " + in + " -o " + (dir_ / "plain.gif").string()).status, 0);
    EXPECT_EQ(testing::FileBytes(real), testing::FileBytes(dir_ / "plain.gif"));
    fs::remove(dir_ / "plain.gif");

    // A read-only output is refused and kept.
    const auto ro = Write("ro.gif", {'k', 'e', 'e', 'p'});
    ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
    const auto r = Cli("resave " + in + " -o " + ro);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is read-only, so it was not replaced."), std::string::npos) << r.err;
    EXPECT_EQ(testing::FileBytes(ro), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(OtherNames(dir_, {"in.gif", "fifo", "to-fifo.gif", "real", "link.gif", "ro.gif"}).empty());
    EXPECT_TRUE(OtherNames(dir_ / "real", {"out.gif"}).empty());
}

TEST_F(CliTest, SavesDoNotNeedAWritableTmpdir) {
    const auto in = Write("in.gif", testing::FileBytes(kSample));
    const auto out = (dir_ / "out.gif").string();
    Write("not-a-folder", {'x'});
    for (const std::string& tmp : {(dir_ / "missing").string(), (dir_ / "not-a-folder").string()}) {
        for (const char* cmd : {"resave ", "optimize ", "reverse "}) {
            fs::remove(out);
            const auto r = Cli(std::string(cmd) + in + " -o " + out, "TMPDIR=" + tmp);
            EXPECT_EQ(r.status, 0) << cmd << tmp << ": " << r.err;
            EXPECT_TRUE(testing::ReadBytes(testing::FileBytes(out)).outcome.animation) << cmd << tmp;
        }
    }
    EXPECT_TRUE(OtherNames(dir_, {"in.gif", "out.gif", "not-a-folder"}).empty());
}

TEST_F(CliTest, OptimizeThatFailsWritesNoOutput) {
    // A 0x0 screen with a 1x1 image: the optimizer cannot work on it.
    const auto in = Write("empty.gif", testing::GifBuilder(0, 0).Image(0, 0, 1, 1, {1}).b);
    const auto out = (dir_ / "out.gif").string();
    const auto r = Cli("optimize " + in + " -o " + out);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(out));
    // An existing output stays as it was.
    Write("out.gif", {'o', 'l', 'd'});
    EXPECT_EQ(Cli("optimize " + in + " -o " + out).status, 1);
    EXPECT_EQ(testing::FileBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(OtherNames(dir_, {"empty.gif", "out.gif"}).empty());
}

// Reads a PAM file written by the CLI.
RgbaImage ReadPam(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string line;
    RgbaImage img;
    while (std::getline(in, line) && line != "ENDHDR") {
        if (line.rfind("WIDTH ", 0) == 0) img.width = std::stoi(line.substr(6));
        if (line.rfind("HEIGHT ", 0) == 0) img.height = std::stoi(line.substr(7));
        if (line.rfind("TUPLTYPE", 0) == 0) {
            EXPECT_EQ(line, "TUPLTYPE RGB_ALPHA");
        }
    }
    img.rgba.resize(static_cast<size_t>(img.width) * img.height * 4);
    in.read(reinterpret_cast<char*>(img.rgba.data()), static_cast<std::streamsize>(img.rgba.size()));
    return img;
}

TEST_F(CliTest, RenderMatchesReferenceComposites) {
    const auto data = testing::CorpusDir() / "wuffs/test/data";
    if (!fs::exists(data / "animated-red-blue.gif")) GTEST_SKIP() << "corpus missing";
    ASSERT_EQ(Cli("render " + (data / "animated-red-blue.gif").string() + " " + dir_.string()).status, 0);
    for (int i = 0; i < 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.pam", i);
        const RgbaImage got = ReadPam(dir_ / name);
        const auto nie = testing::FileBytes(data / ("animated-red-blue.00000" + std::to_string(i) + ".nie"));
        ASSERT_EQ(nie.size(), 16u + static_cast<size_t>(got.width) * got.height * 4);
        // The reference shows opaque pixels; where our canvas is still
        // transparent it shows the background, so compare opaque pixels.
        size_t compared = 0;
        for (size_t p = 0; p < got.rgba.size(); p += 4) {
            if (got.rgba[p + 3] == 0) continue;
            ++compared;
            ASSERT_EQ(got.rgba[p], nie[16 + p + 2]) << i;
            ASSERT_EQ(got.rgba[p + 1], nie[16 + p + 1]) << i;
            ASSERT_EQ(got.rgba[p + 2], nie[16 + p]) << i;
        }
        EXPECT_GT(compared, 0u);
    }
}

TEST_F(CliTest, FramesWritesEachFramesOwnPixels) {
    const auto in = Write("t.gif", testing::GifBuilder(4, 4)
                                       .Gce(0x01, 5, 2)
                                       .Image(1, 1, 2, 1, {2, 3})
                                       .Image(0, 0, 1, 1, {1})
                                       .Trailer()
                                       .b);
    ASSERT_EQ(Cli("frames " + in + " " + (dir_ / "f").string()).status, 0);
    const RgbaImage f0 = ReadPam(dir_ / "f/frame_000.pam");
    EXPECT_EQ(f0.width, 2);
    EXPECT_EQ(f0.height, 1);
    // Index 2 is transparent; index 3 has the builder's colour (120, 60, 252).
    EXPECT_EQ(f0.rgba, (std::vector<uint8_t>{0, 0, 0, 0, 120, 60, 252, 255}));
    EXPECT_TRUE(fs::exists(dir_ / "f/frame_001.pam"));
    EXPECT_FALSE(fs::exists(dir_ / "f/frame_002.pam"));
}

// ---- reduce and join ----------------------------------------------------------------

std::vector<uint8_t> Ramp(int w, int h, int entries, int shift) {
    std::vector<uint8_t> px;
    for (int i = 0; i < w * h; ++i) px.push_back(static_cast<uint8_t>((i + shift) % entries));
    return px;
}

TEST_F(CliTest, ReduceShrinksPalettesAndLeavesSmallOnesAlone) {
    const auto in = Write("r.gif", testing::GifBuilder(8, 2, 16).Image(0, 0, 8, 2, Ramp(8, 2, 16, 0), 0, 4).Trailer().b);
    const auto out = (dir_ / "o.gif").string();
    for (const char* dither : {"", " --dither"}) {
        ASSERT_EQ(Cli("reduce " + in + " -o " + out + " --colors 4" + dither).status, 0);
        const auto r = testing::ReadBytes(testing::FileBytes(out));
        ASSERT_TRUE(r.outcome.animation);
        const Animation& a = *r.outcome.animation;
        ASSERT_TRUE(a.globalPalette);
        EXPECT_LE(a.globalPalette->size(), 4);
        for (uint8_t p : a.FrameAt(0)->bitmap->pixels) EXPECT_LT(p, a.globalPalette->size());
    }
    // 16 entries reduced to 16: the pictures stay exactly as they were.
    ASSERT_EQ(Cli("reduce " + in + " -o " + out + " --colors 16 --dither").status, 0);
    const auto before = testing::ReadBytes(testing::FileBytes(in));
    const auto after = testing::ReadBytes(testing::FileBytes(out));
    EXPECT_EQ(RenderAll(*after.outcome.animation), RenderAll(*before.outcome.animation));
}

TEST_F(CliTest, ReduceRefusesBadArgumentsAndBadInput) {
    const auto out = (dir_ / "o.gif").string();
    EXPECT_EQ(Cli("reduce " + kSample + " -o " + out + " --colors 1").status, 2);
    EXPECT_EQ(Cli("reduce " + kSample + " -o " + out + " --colors 257").status, 2);
    EXPECT_EQ(Cli("reduce " + kSample + " -o " + out).status, 2);
    const auto junk = Write("junk.gif", {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f'});
    const auto r = Cli("reduce " + junk + " -o " + out + " --colors 8");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a valid GIF File."), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(CliTest, JoinAppendsInOrderAndKeepsThePictures) {
    const auto a = Write("a.gif", testing::GifBuilder(4, 2, 4).Image(0, 0, 4, 2, Ramp(4, 2, 4, 0)).Trailer().b);
    const auto b = Write("b.gif", testing::GifBuilder(4, 2, 16)
                                      .Image(0, 0, 4, 2, Ramp(4, 2, 16, 5), 0, 4)
                                      .Image(0, 0, 4, 2, Ramp(4, 2, 16, 9), 0, 4)
                                      .Trailer()
                                      .b);
    const auto out = (dir_ / "j.gif").string();
    std::vector<RgbaImage> expected = RenderAll(*testing::ReadBytes(testing::FileBytes(a)).outcome.animation);
    for (auto& img : RenderAll(*testing::ReadBytes(testing::FileBytes(b)).outcome.animation)) expected.push_back(img);
    for (const char* method : {"self-adapting", "merge", "map", "web", "local"}) {
        ASSERT_EQ(Cli(std::string("join ") + a + " " + b + " -o " + out + " --method " + method).status, 0) << method;
        const auto j = testing::ReadBytes(testing::FileBytes(out));
        ASSERT_TRUE(j.outcome.animation);
        ASSERT_EQ(j.outcome.animation->FrameCount(), 3);
        const auto got = RenderAll(*j.outcome.animation);
        // Mapping onto a fixed palette changes colours; the others keep them.
        if (std::string(method) != "web" && std::string(method) != "map") {
            EXPECT_EQ(got, expected) << method;
        }
    }
    EXPECT_EQ(Cli("join " + a + " -o " + out + " --method nearest").status, 2);
}

TEST_F(CliTest, JoinGrowsOrClipsTheScreen) {
    const auto small = Write("s.gif", testing::GifBuilder(4, 2, 4).Image(0, 0, 4, 2, Ramp(4, 2, 4, 0)).Trailer().b);
    const auto big = Write("b.gif", testing::GifBuilder(6, 3, 4).Image(0, 0, 6, 3, Ramp(6, 3, 4, 1)).Trailer().b);
    const auto out = (dir_ / "j.gif").string();
    ASSERT_EQ(Cli("join " + small + " " + big + " -o " + out + " --grow").status, 0);
    auto g = testing::ReadBytes(testing::FileBytes(out));
    EXPECT_EQ(g.outcome.animation->width, 6u);
    EXPECT_EQ(g.outcome.animation->height, 3u);
    ASSERT_EQ(Cli("join " + small + " " + big + " -o " + out + " --clip").status, 0);
    auto c = testing::ReadBytes(testing::FileBytes(out));
    EXPECT_EQ(c.outcome.animation->width, 4u);
    EXPECT_EQ(c.outcome.animation->FrameAt(1)->width, 4);
    EXPECT_EQ(c.outcome.animation->FrameAt(1)->height, 2);
}

}  // namespace
}  // namespace cinemill
