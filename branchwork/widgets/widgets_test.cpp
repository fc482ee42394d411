#include <gtest/gtest.h>

#include "branchwork/base/texts.h"
#include "branchwork/model/test_support.h"
#include "branchwork/widgets/palette_files.h"
#include "branchwork/widgets/startup.h"
#include "branchwork/widgets/tolv_edit.h"

namespace branchwork {
namespace {

using testing::ScratchDir;

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(TolvEditTest, DigitsOnlyAndMinimumOnExit) {
    const TolvEditSettings w = WidthFieldSettings();
    std::string t;
    for (char k : {'1', '2', 'a', '.'}) t = TolvType(w, t, k);
    EXPECT_EQ(t, "12");
    EXPECT_EQ(TolvType(w, "12", kKeyBackspace), "1");
    EXPECT_TRUE(TolvKeyAccepted(w, "12", 2, 0, kKeyCtrlV));
    EXPECT_EQ(TolvOnExit(w, "90"), "110");
    EXPECT_EQ(TolvOnExit(w, "300"), "300");
    EXPECT_EQ(TolvOnExit(HeightFieldSettings(), "49"), "50");
    EXPECT_EQ(TolvOnExit(w, ""), "");
    EXPECT_EQ(TolvValue(""), 0);
    EXPECT_EQ(TolvValue("abc"), 0);
    EXPECT_EQ(TolvValue("250"), 250);
}

TEST(TolvEditTest, MaxDecimalsAndSelection) {
    TolvEditSettings rgb{true, false, 0, 255, 0};
    EXPECT_EQ(TolvType(rgb, "25", '5'), "255");
    EXPECT_EQ(TolvType(rgb, "25", '6'), "25");
    // A selection is replaced before the Max check.
    EXPECT_TRUE(TolvKeyAccepted(rgb, "255", 0, 3, '9'));
    EXPECT_FALSE(TolvKeyAccepted(rgb, "255", 0, 1, '9'));
    TolvEditSettings dec{true, true, 2, 0, 0};
    EXPECT_EQ(TolvType(dec, "1", '.'), "1.");
    EXPECT_EQ(TolvType(dec, "1.", '.'), "1.");
    EXPECT_EQ(TolvType(dec, "1.2", '3'), "1.23");
    EXPECT_EQ(TolvType(dec, "1.23", '4'), "1.23");
    TolvEditSettings free{false, false, 0, 0, 0};
    EXPECT_EQ(TolvType(free, "a", 'b'), "ab");
}

TEST(StartupTest, SplashSetting) {
    EXPECT_TRUE(ShouldShowSplash(std::nullopt));
    EXPECT_TRUE(ShouldShowSplash(true));
    EXPECT_FALSE(ShouldShowSplash(false));
    EXPECT_EQ(SplashValueToStore(true), std::optional<bool>(false));
    EXPECT_FALSE(SplashValueToStore(false));
}

TEST(PaletteFilesTest, GifGlobalTable) {
    std::string gif = "GIF89a";
    gif += std::string("\x02\x00\x02\x00", 4);
    gif += static_cast<char>(0x81);  // global table of 4 entries
    gif += std::string("\x00\x00", 2);
    gif += std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12);
    PaletteParse r = ParsePaletteBytes("x.GIF", Bytes(gif));
    ASSERT_TRUE(r.palette);
    EXPECT_TRUE(r.error.empty());
    ASSERT_EQ(r.palette->colors.size(), 4u);
    EXPECT_EQ(r.palette->colors[3], (PickerRgb{10, 11, 12}));
    EXPECT_EQ(r.palette->sortCount, 256);
    // No global table: the message, no palette.
    gif[10] = 0x01;
    r = ParseGifPalette(Bytes(gif));
    EXPECT_FALSE(r.palette);
    EXPECT_EQ(r.error, texts::kGifPaletteError);
    // Not a GIF, or a truncated table.
    EXPECT_FALSE(ParseGifPalette(Bytes("PNG89a1234567")).palette);
    gif[10] = static_cast<char>(0x87);
    EXPECT_FALSE(ParseGifPalette(Bytes(gif)).palette);
}

TEST(PaletteFilesTest, JascDeclaring300LoadsAtMost256) {
    std::string jasc = "JASC-PAL\r\n0100\r\n300\r\n";
    for (int i = 0; i < 300; ++i) jasc += std::to_string(i % 256) + " 1 2\r\n";
    PaletteParse r = ParsePaletteBytes("a.pal", Bytes(jasc));
    ASSERT_TRUE(r.palette);
    EXPECT_EQ(r.palette->colors.size(), 256u);
    EXPECT_EQ(r.palette->colors[255], (PickerRgb{255, 1, 2}));
    // Short file: what was read stays, with a message.
    r = ParseJascPalette(Bytes("JASC-PAL\n0100\n3\n1 2 3\n"));
    ASSERT_TRUE(r.palette);
    EXPECT_EQ(r.palette->colors.size(), 1u);
    EXPECT_FALSE(r.error.empty());
    r = ParseJascPalette(Bytes("JASC-PAL\n0100\nmany\n"));
    EXPECT_FALSE(r.palette);
    EXPECT_EQ(r.error, "'many' is not a valid integer value");
    // A value line of megabytes: the message quotes a few dozen characters.
    // What was read before the bad line stays, as with a short file.
    r = ParseJascPalette(Bytes("JASC-PAL\n0100\n1\n1 2 " + std::string(1'000'000, 'z') + "\n"));
    ASSERT_TRUE(r.palette);
    EXPECT_TRUE(r.palette->colors.empty());
    EXPECT_EQ(r.error, "'" + std::string(40, 'z') + "...' is not a valid integer value");
}

TEST(PaletteFilesTest, RiffAndAct) {
    std::string riff = "RIFF";
    riff += std::string("\x00\x00\x00\x00", 4);
    riff += "PAL data";
    riff += std::string("\x00\x00\x00\x00", 4);
    riff += std::string("\x00\x03\x02\x00", 4);  // version 3, count 2
    riff += std::string("\x0a\x0b\x0c\x00\x0d\x0e\x0f\x00", 8);
    PaletteParse r = ParsePaletteBytes("b.pal", Bytes(riff));
    ASSERT_TRUE(r.palette);
    ASSERT_EQ(r.palette->colors.size(), 2u);
    EXPECT_EQ(r.palette->colors[1], (PickerRgb{13, 14, 15}));
    EXPECT_TRUE(r.error.empty());
    riff[22] = 5;  // claims 5 colours: a read error after 2, the two stay
    r = ParseRiffPalette(Bytes(riff));
    ASSERT_TRUE(r.palette);
    EXPECT_EQ(r.palette->colors.size(), 2u);
    EXPECT_FALSE(r.error.empty());

    std::string act(768, '\0');
    act[765] = 1;
    act[766] = 2;
    act[767] = 3;
    r = ParsePaletteBytes("c.act", Bytes(act));
    ASSERT_TRUE(r.palette);
    EXPECT_EQ(r.palette->colors[255], (PickerRgb{1, 2, 3}));
}

TEST(PaletteFilesTest, WebSafeFileListingAndMissingFiles) {
    ScratchDir dir("palettes");
    const std::string path = EnsureWebSafePaletteFile(dir.Dir());
    PaletteParse r = ParsePaletteBytes(path, Bytes(testing::ReadAll(path)));
    ASSERT_TRUE(r.palette);
    EXPECT_EQ(r.palette->colors, WebSafePalette());
    EXPECT_EQ(WebSafePalette()[215], (PickerRgb{255, 255, 255}));
    EXPECT_EQ(WebSafePalette()[1], (PickerRgb{0, 0, 51}));

    testing::WriteAll(dir.File("b.GIF"), "x");
    testing::WriteAll(dir.File("a.act"), "x");
    testing::WriteAll(dir.File("notes.txt"), "x");
    EXPECT_EQ(ListPaletteFiles(dir.Dir()), (std::vector<std::string>{"a.act", "b.GIF", "websafe.pal"}));

    BwScriptedUiHost host;
    auto p = LoadPickerPalette("gone.pal", dir.Dir(), dir.Dir(), host);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->colors, WebSafePalette());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "The file \"" + dir.Dir() + "gone.pal\" does not exist.  The default websafe "
                                                                 "palette will be displayed instead.");
    host.messages.clear();
    EXPECT_FALSE(LoadPickerPalette("b.GIF", dir.Dir(), dir.Dir(), host));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, texts::kGifPaletteError);
}

TEST(PaletteColoursTest, LuminanceNearestAndFade) {
    EXPECT_EQ(LuminanceKey({255, 0, 0}), 128);  // 127.5 to even
    EXPECT_EQ(LuminanceKey({1, 0, 0}), 0);      // 0.5 to even
    EXPECT_EQ(LuminanceKey({3, 0, 0}), 2);      // 1.5 to even
    std::vector<PickerRgb> c = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {9, 9, 9}};
    SortByLuminance(c, 3);  // only the first three take part
    EXPECT_EQ(c, (std::vector<PickerRgb>{{0, 0, 0}, {255, 0, 0}, {255, 255, 255}, {9, 9, 9}}));

    std::array<PickerRgb, 256> grid{};
    for (auto& g : grid) g = {200, 200, 200};
    grid[16] = {10, 10, 10};  // column 0, row 1: scanned second
    grid[1] = {10, 10, 12};   // column 1, row 0: same distance, scanned later
    EXPECT_EQ(NearestGridIndex(grid, {10, 10, 11}), 16);
    grid[255] = {10, 10, 11};
    EXPECT_EQ(NearestGridIndex(grid, {10, 10, 11}), 255);  // exact match wins

    std::array<PickerRgb, 256> from{}, to{};
    to.fill({150, 30, 0});
    from.fill({0, 0, 15});
    auto pics = FadePictures(from, to);
    ASSERT_EQ(pics.size(), 13u);
    EXPECT_EQ(pics[0][0], (PickerRgb{10, 2, 14}));
    EXPECT_EQ(pics[12][0], (PickerRgb{130, 26, 2}));
}

TEST(PaletteColoursTest, HtmlCodesFieldsAndCustomColours) {
    std::string err;
    EXPECT_EQ(ParseHtmlColor("#FF8000", &err), (PickerRgb{255, 128, 0}));
    EXPECT_EQ(ParseHtmlColor(" \"#ff8000\" ", &err), (PickerRgb{255, 128, 0}));
    EXPECT_FALSE(ParseHtmlColor("#FF80", &err));
    EXPECT_EQ(err, "FF80 is not a valid HTML color code.");
    EXPECT_FALSE(ParseHtmlColor("GGGGGG", &err));
    EXPECT_EQ(err, "GGGGGG is not a valid HTML color code.");
    EXPECT_EQ(HexFieldValue("1F"), 31);
    EXPECT_EQ(HexFieldValue("ff"), 255);
    EXPECT_FALSE(HexFieldValue("1G"));
    EXPECT_EQ(DecimalToHexField("31"), "1F");
    EXPECT_EQ(DecimalToHexField(""), "00");
    EXPECT_EQ(SplitDecimalTriple("1, 2,3"), (std::array<std::string, 3>{"1", "2", "3"}));
    EXPECT_FALSE(SplitDecimalTriple("1,2"));
    EXPECT_FALSE(SplitDecimalTriple("1 2 3"));
    EXPECT_EQ(CellText({1, 2, 3}), "1,2,3");
    EXPECT_EQ(CellColor("1,2,3"), (PickerRgb{1, 2, 3}));
    EXPECT_FALSE(CellColor("1,2,300"));

    const Color orange = MakeColor(255, 128, 0);
    EXPECT_EQ(CustomColorStoreValue(orange), "33023");
    EXPECT_EQ(CustomColorFromStore("33023"), orange);
    EXPECT_FALSE(CustomColorFromStore("x"));
    EXPECT_EQ(CustomColorHint(orange), "#FF8000\n255,128,0");
    EXPECT_EQ(FromPickerRgb(ToPickerRgb(orange)), orange);
}

}  // namespace
}  // namespace branchwork
