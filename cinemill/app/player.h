#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "cinemill/doc/animation.h"
#include "cinemill/doc/render.h"

namespace cinemill {

// One animation player: composes frames on a canvas of the logical screen
// with the same compositor as `cinemill-cli render`, over a background colour.
class Player {
public:
    // Background as 0xRRGGBB; the canvas is opaque.
    void SetAnimation(const Animation* a, uint32_t background_rgb = 0xC0C0C0);
    void SetBackground(uint32_t rgb);  // then recomposes the shown frame from frame 1
    // Composes up to frame n (1-based). With restart and n below the shown
    // number the canvas is cleared first; otherwise frames are drawn onwards,
    // wrapping after the last frame without clearing. n = 0 clears.
    void Compose(int n, bool restart);
    int FrameNumber() const { return number_; }
    // The visible picture (empty without an animation).
    const RgbaImage& Picture() const;

private:
    static uint32_t Rgba(uint32_t rgb) { return 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

    const Animation* anim_ = nullptr;
    std::unique_ptr<Compositor> comp_;
    uint32_t background_ = 0xC0C0C0;
    int number_ = 0;  // 0 = canvas empty
};

// The preview dialog's playback over one player, or over two driven in step
// (the Reduce Colors dialog's before and after pictures).
class Playback {
public:
    explicit Playback(std::vector<Player*> players) : players_(std::move(players)) {}

    // Program flag 0x1000: loop for ever whatever the play count says.
    bool continuousLoop = false;
    // Delays under 2/100 s play as 10/100 s, as browsers do.
    bool browserDelays = false;

    void SetAnimation(const Animation* a);
    // Play: loops left = play count, frame 1 with restart; answers the first timer in ms.
    int Play();
    void Stop() { playing_ = false; }
    bool Playing() const { return playing_; }
    // A timer tick: the next frame and its timer in ms, or none when playback stopped.
    std::optional<int> Tick();

    // Show frame n: ignored when n is the current number or outside 1..frame count.
    void Show(int n, bool restart);
    void First() { Stop(); Show(1, true); }
    void Previous();
    void Next();
    void Last() { Stop(); Show(FrameCount(), false); }
    // A trackbar notification: line-down at the last frame wraps to 1 and
    // line-up at frame 1 to the last, else the trackbar position; all with restart.
    enum class Track { LineUp, LineDown, Position };
    void Trackbar(Track how, int position);
    // The frame list changed: restart while playing, else recompose to min(old, count).
    void FramesChanged();

    int Current() const { return current_; }
    int LoopsLeft() const { return loopsLeft_; }
    int FrameCount() const { return anim_ ? anim_->FrameCount() : 0; }
    // The timer of frame n in milliseconds: delay x 10, 1 for delay 0.
    int DelayMs(int n) const;

private:
    const Animation* anim_ = nullptr;
    std::vector<Player*> players_;
    int current_ = 0;
    bool playing_ = false;
    int loopsLeft_ = 0;
};

}  // namespace cinemill
