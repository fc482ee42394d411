// Runs cinemill-cli as a user would and checks exit codes, messages and files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_builder.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

namespace fs = std::filesystem;

struct Run {
    int status;
    std::string out, err;
};

Run Cli(const std::string& args) {
    static int n = 0;
    const fs::path err = fs::temp_directory_path() / ("cm_cli_err_" + std::to_string(getpid()) + "_" + std::to_string(n++));
    const std::string cmd = std::string(CM_CLI) + " " + args + " 2>" + err.string();
    Run r;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t k;
    while ((k = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, k);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    fs::remove(err);
    return r;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cm_cli_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    fs::path dir_;
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
    bytes.resize(bytes.size() - 20);
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

}  // namespace
}  // namespace cinemill
