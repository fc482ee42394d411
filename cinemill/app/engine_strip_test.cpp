#include <gtest/gtest.h>

#include "cinemill/app/engine.h"
#include "cinemill/app/engine_views.h"
#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

std::unique_ptr<Animation> WideDoc() {
    auto a = NewAnimation();
    a->width = 40;
    a->height = 10;
    return a;
}

struct EngineStrip : ::testing::Test {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
};

TEST_F(EngineStrip, TransparencyDisplayIsStoredWithItsColourInSlotSeven) {
    auto r = engine.SetTransparencyDisplay(2, 0x00C08040u);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.refresh, refresh::kRepaint);
    EXPECT_EQ(engine.State().transparencyDisplay, 2);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kTransparencyDisplay), 0x02C08040u);
    // Another mode keeps the custom colour for later.
    engine.SetTransparencyDisplay(1);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kTransparencyDisplay), 0x01C08040u);
    EXPECT_EQ(engine.TransparencyCustomColor(), 0x00C08040u);
    // Bits above the colour never leak into the mode byte.
    engine.SetTransparencyDisplay(2, 0xFF123456u);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kTransparencyDisplay), 0x02123456u);
    EXPECT_FALSE(engine.SetTransparencyDisplay(3).Ok());
    EXPECT_EQ(engine.State().transparencyDisplay, 2);
}

TEST_F(EngineStrip, OrientationChoiceGoesToTheProgramFlagsKeepingTheOthers) {
    prefs.Set(PreferenceBlock::kProgramFlags, 0x2008);
    engine.SetDocument(WideDoc(), "", false);
    EXPECT_TRUE(engine.SetOrientationChoice(CommandId::OrientHorizontal).Ok());
    EXPECT_EQ(prefs.Get(PreferenceBlock::kProgramFlags), 0x2028u);
    EXPECT_EQ(engine.State().orientation, strip::kChooseHorizontal);
    engine.SetOrientationChoice(CommandId::OrientVertical);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kProgramFlags), 0x2018u);
    engine.SetOrientationChoice(CommandId::OrientDefault);
    EXPECT_EQ(prefs.Get(PreferenceBlock::kProgramFlags), 0x2008u);
    EXPECT_EQ(engine.State().orientation, strip::kVertical);  // wider than high
    EXPECT_FALSE(engine.SetOrientationChoice(CommandId::ZoomIn).Ok());
}

TEST_F(EngineStrip, StartUpReadsTheStoredSettings) {
    prefs.Set(PreferenceBlock::kTransparencyDisplay, 0x01FF0000u);
    prefs.Set(PreferenceBlock::kProgramFlags, 0x20);
    engine.LoadStripSettings();
    EXPECT_EQ(engine.State().transparencyDisplay, 1);
    EXPECT_EQ(OrientationItem(MenuInputOf(engine).orientation), CommandId::OrientHorizontal);
    // A chosen direction survives a new document.
    engine.SetDocument(WideDoc(), "", false);
    EXPECT_EQ(engine.State().orientation, strip::kChooseHorizontal);
    // An unknown mode is taken as the window background.
    prefs.Set(PreferenceBlock::kTransparencyDisplay, 0x07000000u);
    prefs.Set(PreferenceBlock::kProgramFlags, 0);
    engine.LoadStripSettings();
    EXPECT_EQ(engine.State().transparencyDisplay, 0);
    EXPECT_EQ(engine.State().orientation, strip::kVertical);
}

}  // namespace
}  // namespace cinemill
