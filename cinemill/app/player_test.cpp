#include "cinemill/app/player.h"

#include <gtest/gtest.h>

#include <string>

#include "cinemill/doc/render_test_support.h"

namespace cinemill {
namespace {

// A 3 x 1 screen (colours: 0 red, 1 green, 2 blue); the player shows a
// white background.
using render_testing::Screen;

// A one-row frame; the player's frames last 10 hundredths unless a test
// says otherwise.
void Add(Animation& a, int left, std::vector<uint8_t> px, int disposal = 0, uint32_t delay = 10) {
    SetDelay(render_testing::Add(a, left, std::move(px), disposal), delay);
}

// Three one-pixel frames side by side: red, green, blue.
std::unique_ptr<Animation> RedGreenBlue() {
    auto a = Screen();
    Add(*a, 0, {0});
    Add(*a, 1, {1});
    Add(*a, 2, {2});
    return a;
}

// One letter per pixel: r, g, b, or w for the white background.
std::string Letters(const Player& p) {
    std::string s;
    const auto& img = p.Picture();
    for (size_t i = 0; i < img.rgba.size(); i += 4) {
        const uint8_t r = img.rgba[i], g = img.rgba[i + 1], b = img.rgba[i + 2];
        s += r == 255 && g == 255 && b == 255 ? 'w' : r == 255 ? 'r' : g == 255 ? 'g' : b == 255 ? 'b' : '?';
    }
    return s;
}

TEST(Player, DisposalTwoFillsTheRectangleWithTheBackground) {
    auto a = Screen();
    Add(*a, 0, {0, 0}, 2);
    Add(*a, 2, {1});
    Player p;
    p.SetAnimation(a.get(), 0xFFFFFF);
    EXPECT_EQ(Letters(p), "www");
    p.Compose(1, false);
    EXPECT_EQ(Letters(p), "rrw");
    p.Compose(2, false);
    EXPECT_EQ(Letters(p), "wwg");
}

TEST(Player, DisposalThreeBringsBackThePictureBeforeTheFrame) {
    auto a = Screen();
    Add(*a, 0, {0, 0, 0});
    Add(*a, 1, {2}, 3);
    Add(*a, 2, {1});
    Player p;
    p.SetAnimation(a.get(), 0xFFFFFF);
    p.Compose(2, false);
    EXPECT_EQ(Letters(p), "rbr");
    p.Compose(3, false);
    EXPECT_EQ(Letters(p), "rrg");
}

TEST(Player, WrapDrawsOverTheLastPictureRestartClears) {
    auto a = Screen();
    Add(*a, 0, {0});
    Add(*a, 1, {1, 1});
    Player p;
    p.SetAnimation(a.get(), 0xFFFFFF);
    p.Compose(2, false);
    EXPECT_EQ(Letters(p), "rgg");
    p.Compose(1, false);  // wraps without clearing
    EXPECT_EQ(p.FrameNumber(), 1);
    EXPECT_EQ(Letters(p), "rgg");
    p.Compose(2, false);
    p.Compose(1, true);  // restart recomposes from a cleared canvas
    EXPECT_EQ(Letters(p), "rww");
    p.SetBackground(0x0000FF);  // recomposes the shown frame over the new colour
    EXPECT_EQ(Letters(p), "rbb");
    p.Compose(0, true);
    EXPECT_EQ(p.FrameNumber(), 0);
}

TEST(Player, PlayerAndRenderShareTheCompositor) {
    auto a = Screen();
    Add(*a, 0, {0, 1}, 2);
    Add(*a, 1, {2}, 3);
    Add(*a, 0, {1});
    const auto rendered = RenderAll(*a);
    Player p;
    p.SetAnimation(a.get(), 0);
    for (int n = 1; n <= 3; ++n) {
        p.Compose(n, false);
        // Same pixels wherever the render is opaque; the background elsewhere.
        const auto& r = rendered[static_cast<size_t>(n - 1)].rgba;
        for (size_t i = 0; i < r.size(); i += 4) {
            if (r[i + 3] == 255) {
                EXPECT_EQ(r[i], p.Picture().rgba[i]) << n << " " << i;
                EXPECT_EQ(r[i + 2], p.Picture().rgba[i + 2]) << n << " " << i;
            }
        }
    }
}

// Counts the frames shown from Play until playback stops (or a limit).
int FramesUntilStop(Playback& pb, int limit = 100) {
    pb.Play();
    int shown = 1;
    while (shown < limit && pb.Tick()) ++shown;
    return shown;
}

TEST(Playback, PlayCountDecidesHowOftenTheSequenceRuns) {
    auto a = Screen();
    Add(*a, 0, {0});
    Add(*a, 1, {1});
    Player p;
    Playback pb({&p});
    pb.SetAnimation(a.get());
    a->playCount = 1;
    EXPECT_EQ(FramesUntilStop(pb), 2);
    EXPECT_EQ(pb.Current(), 2);  // the last frame stays shown
    EXPECT_FALSE(pb.Playing());
    a->playCount = 3;
    EXPECT_EQ(FramesUntilStop(pb), 6);
    a->playCount = 0;
    EXPECT_EQ(FramesUntilStop(pb), 100);
    a->playCount = 1;
    pb.continuousLoop = true;
    EXPECT_EQ(FramesUntilStop(pb), 100);
}

TEST(Playback, DelayZeroIsOneMillisecondAndBrowserDelaysOption) {
    auto a = Screen();
    Add(*a, 0, {0}, 0, 0);
    Add(*a, 0, {0}, 0, 1);
    Add(*a, 0, {0}, 0, 25);
    Player p;
    Playback pb({&p});
    pb.SetAnimation(a.get());
    EXPECT_EQ(pb.DelayMs(1), 1);
    EXPECT_EQ(pb.DelayMs(2), 10);
    EXPECT_EQ(pb.DelayMs(3), 250);
    pb.browserDelays = true;
    EXPECT_EQ(pb.DelayMs(1), 100);
    EXPECT_EQ(pb.DelayMs(2), 100);
    EXPECT_EQ(pb.DelayMs(3), 250);
    EXPECT_EQ(pb.Play(), 100);
}

TEST(Playback, StepsFirstLastPreviousAndTrackbar) {
    auto a = RedGreenBlue();
    Player p;
    Playback pb({&p});
    pb.SetAnimation(a.get());
    pb.First();
    EXPECT_EQ(pb.Current(), 1);
    pb.Previous();  // from frame 1 the last, composed through all frames
    EXPECT_EQ(pb.Current(), 3);
    EXPECT_EQ(Letters(p), "rgb");
    pb.Next();  // wraps to 1 without clearing
    EXPECT_EQ(pb.Current(), 1);
    EXPECT_EQ(Letters(p), "rgb");
    pb.Last();
    EXPECT_EQ(pb.Current(), 3);
    pb.Trackbar(Playback::Track::LineDown, 3);
    EXPECT_EQ(pb.Current(), 1);
    EXPECT_EQ(Letters(p), "r??");  // restarted over the default background
    pb.Trackbar(Playback::Track::LineUp, 1);
    EXPECT_EQ(pb.Current(), 3);
    pb.Trackbar(Playback::Track::Position, 2);
    EXPECT_EQ(pb.Current(), 2);
    pb.Show(7, true);  // out of range: ignored
    EXPECT_EQ(pb.Current(), 2);
}

TEST(Playback, TwoPlayersRunInStep) {
    auto before = Screen();
    Add(*before, 0, {0, 0, 0});
    Add(*before, 1, {1});
    Player p1, p2;
    Playback pb({&p1, &p2});
    pb.SetAnimation(before.get());
    pb.Play();
    pb.Tick();
    EXPECT_EQ(p1.FrameNumber(), 2);
    EXPECT_EQ(p2.FrameNumber(), 2);
    EXPECT_EQ(Letters(p1), Letters(p2));
}

TEST(Playback, FrameListChangeKeepsTheSmallerNumber) {
    auto a = RedGreenBlue();
    Player p;
    Playback pb({&p});
    pb.SetAnimation(a.get());
    pb.Last();
    a->blocks.pop_back();
    pb.FramesChanged();
    EXPECT_EQ(pb.Current(), 2);
    EXPECT_EQ(p.FrameNumber(), 2);
}

}  // namespace
}  // namespace cinemill
