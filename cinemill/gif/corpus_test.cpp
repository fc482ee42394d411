// Conformance against the third-party GIF suites that come with expected results.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "cinemill/doc/render.h"
#include "cinemill/gif/test_util.h"

namespace cinemill {
namespace {

using testing::CorpusDir;
using testing::FileBytes;
using testing::ReadBytes;

using Ini = std::map<std::string, std::map<std::string, std::string>>;

Ini ParseIni(const std::filesystem::path& p) {
    Ini ini;
    std::ifstream in(p);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        auto trim = [](std::string s) {
            s.erase(0, s.find_first_not_of(' '));
            s.erase(s.find_last_not_of(' ') + 1);
            return s;
        };
        ini[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return ini;
}

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, ',')) {
        item.erase(0, item.find_first_not_of(' '));
        if (!item.empty()) out.push_back(item);
    }
    return out;
}

const std::filesystem::path kPygif = CorpusDir() / "pygif-gif-test-suite/test-suite";

std::vector<std::string> PygifCases() {
    std::vector<std::string> names;
    std::ifstream in(kPygif / "TESTS");
    std::string name;
    while (in >> name) names.push_back(name);
    return names;
}

// Cases where the suite and this reader's rules part ways: the reason, and
// the result this reader gives.
struct Difference {
    const char* reason;
    Result result;
};
const std::map<std::string, Difference> kPygifDifferences = {
    {"zero-width", {"the logical screen is kept as stored, 0 wide", Result::Done}},
    {"zero-height", {"the logical screen is kept as stored, 0 high", Result::Done}},
    {"zero-size", {"the logical screen is kept as stored, 0 by 0", Result::Done}},
    {"no-data", {"a stream without images opens with no frames", Result::Done}},
    {"image-zero-height",
     {"the local table the descriptor announces is cut off: corrupt, nothing read",
      Result::Failed}},
    {"image-zero-size",
     {"the local table the descriptor announces is cut off: corrupt, nothing read",
      Result::Failed}},
    {"invalid-code",
     {"a code beyond the next free one repeats the previous string by the decoder's rules",
      Result::Done}},
    {"invalid-colors", {"pixels beyond the palette are kept; they show black", Result::Done}},
    {"plain-text", {"plain-text extensions are kept as data and not drawn", Result::Done}},
    {"max-size", {"a 65535 x 65535 screen is read as stored", Result::Done}},
};

class Pygif : public ::testing::TestWithParam<std::string> {};

TEST_P(Pygif, MatchesExpectedPictures) {
    const std::string name = GetParam();
    const Ini ini = ParseIni(kPygif / (name + ".conf"));
    const auto& config = ini.at("config");
    // Images without a graphic control get delay 0 here, so that the suite's
    // rule (images up to one with a delay make one picture) can be applied.
    PreferenceBlock prefs;
    if (config.count("force-animation") && config.at("force-animation") != "yes")
        prefs.Set(PreferenceBlock::kDefaultDelay, 0);
    auto r = ReadBytes(FileBytes(kPygif / config.at("input")), prefs);
    const auto expected_frames = SplitList(config.count("frames") ? config.at("frames") : "");
    const auto diff = kPygifDifferences.find(name);
    if (diff != kPygifDifferences.end()) {
        EXPECT_EQ(r.outcome.result, diff->second.result) << name << ": " << diff->second.reason;
        return;
    }
    if (expected_frames.empty()) {
        // The suite wants the file rejected: nothing may open.
        EXPECT_EQ(r.outcome.result, Result::Failed) << name;
        EXPECT_FALSE(r.host.errors.empty());
        return;
    }
    ASSERT_TRUE(r.outcome.animation) << name;
    const Animation& a = *r.outcome.animation;
    EXPECT_EQ(a.width, std::stoul(config.at("width")));
    EXPECT_EQ(a.height, std::stoul(config.at("height")));
    if (config.count("loop-count") && config.at("loop-count") != "infinite") {
        const uint32_t loops = static_cast<uint32_t>(std::stoul(config.at("loop-count")));
        // The suite counts repeats after the first showing; 0 also means no loop block.
        EXPECT_EQ(a.playCount == 0 ? UINT32_MAX : a.playCount - 1, loops == 0 ? 0u : loops)
            << name;
    }
    const auto pictures = RenderAll(a);
    const auto frames = a.Frames();
    std::vector<size_t> shown;  // the pictures a viewer pauses on
    const bool every_image = config.count("force-animation") && config.at("force-animation") == "yes";
    for (size_t i = 0; i < frames.size(); ++i)
        if (every_image || frames[i]->delay != 0 || i + 1 == frames.size()) shown.push_back(i);
    ASSERT_EQ(shown.size(), expected_frames.size()) << name;
    for (size_t k = 0; k < shown.size(); ++k) {
        const auto& fr = ini.at(expected_frames[k]);
        if (fr.count("pixels")) {
            EXPECT_EQ(pictures[shown[k]].rgba, FileBytes(kPygif / fr.at("pixels")))
                << name << " picture " << k;
        }
        if (fr.count("delay")) {
            EXPECT_EQ(frames[shown[k]]->delay, std::stoul(fr.at("delay"))) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Suite, Pygif, ::testing::ValuesIn(PygifCases()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
}  // namespace cinemill

namespace cinemill {
namespace {

// Expected indices (and palettes, 256 x BGRA) of single images and of every
// frame of an animation.
TEST(Wuffs, IndicesAndPalettes) {
    const auto dir = CorpusDir() / "wuffs/test/data";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "corpus missing";
    for (const char* name : {"bricks-dither", "bricks-nodither", "bricks-gray", "pjw-thumbnail"}) {
        const auto indexes = FileBytes(dir / (std::string(name) + ".indexes"));
        if (indexes.empty()) continue;
        auto r = ReadBytes(FileBytes(dir / (std::string(name) + ".gif")));
        ASSERT_EQ(r.outcome.result, Result::Done) << name;
        const Animation& a = *r.outcome.animation;
        const Frame& f = *a.FrameAt(0);
        std::vector<uint8_t> got;
        for (int y = 0; y < f.height; ++y) got.insert(got.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.width);
        EXPECT_TRUE(got == indexes) << name;
        const auto palette = FileBytes(dir / (std::string(name) + ".palette"));
        const Palette* p = PaletteInEffect(a, f);
        ASSERT_TRUE(p);
        for (int i = 0; i < p->size() && palette.size() == 1024; ++i) {
            EXPECT_EQ((*p)[i].b, palette[static_cast<size_t>(4 * i)]) << name << " " << i;
            EXPECT_EQ((*p)[i].g, palette[static_cast<size_t>(4 * i + 1)]) << name << " " << i;
            EXPECT_EQ((*p)[i].r, palette[static_cast<size_t>(4 * i + 2)]) << name << " " << i;
        }
    }
    auto m = ReadBytes(FileBytes(dir / "muybridge.gif"));
    ASSERT_TRUE(m.outcome.animation);
    const auto frames = m.outcome.animation->Frames();
    ASSERT_EQ(frames.size(), 15u);
    for (size_t i = 0; i < frames.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "muybridge-frame-%03zu.indexes", i);
        std::vector<uint8_t> got;
        const Frame& f = *frames[i];
        for (int y = 0; y < f.height; ++y) got.insert(got.end(), f.bitmap->Row(y), f.bitmap->Row(y) + f.width);
        EXPECT_TRUE(got == FileBytes(dir / name)) << name;
    }
}

// The image-rs suite: CRC-32 over every frame's own RGBA buffer, transparent
// pixels keeping their palette colour with alpha 0.
uint32_t Crc32(uint32_t crc, const uint8_t* p, size_t n) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

TEST(ImageRs, FrameChecksums) {
    const auto dir = CorpusDir() / "image-rs-gif/tests";
    std::ifstream list(dir / "results.txt");
    if (!list) GTEST_SKIP() << "corpus missing";
    std::string line;
    int checked = 0;
    while (std::getline(list, line)) {
        const auto colon = line.rfind(':');
        if (colon == std::string::npos) continue;
        const std::string rel = line.substr(0, colon);
        const uint32_t want = static_cast<uint32_t>(std::stoul(line.substr(colon + 1)));
        const auto path = dir.parent_path() / rel;
        if (!std::filesystem::exists(path)) continue;
        auto r = ReadBytes(FileBytes(path));
        ASSERT_TRUE(r.outcome.animation) << rel;
        const Animation& a = *r.outcome.animation;
        uint32_t crc = 0;
        for (const Frame* f : a.Frames()) {
            const Palette* p = PaletteInEffect(a, *f);
            std::array<uint8_t, 1024> lut{};
            for (int v = 0; v < 256; ++v) {
                const Rgb c = p && v < p->size() ? (*p)[v] : Rgb{};
                lut[static_cast<size_t>(4 * v)] = c.r;
                lut[static_cast<size_t>(4 * v + 1)] = c.g;
                lut[static_cast<size_t>(4 * v + 2)] = c.b;
                lut[static_cast<size_t>(4 * v + 3)] = f->Transparent() && v == f->transparentIndex ? 0 : 255;
            }
            std::vector<uint8_t> rgba(static_cast<size_t>(f->width) * f->height * 4);
            uint8_t* o = rgba.data();
            for (int y = 0; y < f->height; ++y)
                for (int x = 0; x < f->width; ++x, o += 4)
                    std::memcpy(o, &lut[4u * f->bitmap->At(x, y)], 4);
            crc = Crc32(crc, rgba.data(), rgba.size());
        }
        EXPECT_EQ(crc, want) << rel;
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

}  // namespace
}  // namespace cinemill

namespace cinemill {
namespace {

// Decodes a PNG to RGBA with ImageMagick (a test-time tool); empty when unavailable.
std::vector<uint8_t> PngPixels(const std::filesystem::path& png) {
    const std::string cmd = "convert '" + png.string() + "' -depth 8 rgba:- 2>/dev/null";
    std::vector<uint8_t> out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
    pclose(p);
    return out;
}

// Composited frames made by ImageMagick, one PNG per frame.
TEST(Peterdn, CompositedFrames) {
    const auto dir = CorpusDir() / "peterdn-gif-test-suite/gifs";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "corpus missing";
    int compared = 0;
    for (const auto& gif : testing::GifsUnder(dir)) {
        auto r = ReadBytes(FileBytes(gif));
        ASSERT_EQ(r.outcome.result, Result::Done) << gif;
        const auto pictures = RenderAll(*r.outcome.animation);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const auto png = dir / "frames" / (gif.stem().string() + "-" + std::to_string(i) + ".png");
            if (!std::filesystem::exists(png)) continue;
            const auto want = PngPixels(png);
            if (want.empty()) GTEST_SKIP() << "ImageMagick not available";
            ASSERT_EQ(want.size(), pictures[i].rgba.size()) << png;
            for (size_t p = 0; p < want.size(); p += 4) {
                const bool want_clear = want[p + 3] == 0;
                ASSERT_EQ(pictures[i].rgba[p + 3] == 0, want_clear) << png << " pixel " << p / 4;
                if (!want_clear) {
                    ASSERT_EQ(pictures[i].rgba[p], want[p]) << png;
                    ASSERT_EQ(pictures[i].rgba[p + 1], want[p + 1]) << png;
                    ASSERT_EQ(pictures[i].rgba[p + 2], want[p + 2]) << png;
                }
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
}  // namespace cinemill
