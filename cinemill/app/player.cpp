#include "cinemill/app/player.h"

#include <algorithm>

namespace cinemill {

namespace {
const RgbaImage kNoPicture;
}

void Player::SetAnimation(const Animation* a, uint32_t background_rgb) {
    anim_ = a;
    background_ = background_rgb;
    comp_.reset();
    if (a) comp_ = std::make_unique<Compositor>(*a, Rgba(background_));
    number_ = 0;
}

void Player::SetBackground(uint32_t rgb) {
    background_ = rgb;
    if (!comp_) return;
    comp_->SetBackground(Rgba(rgb));
    const int n = number_;
    comp_->Clear();
    number_ = 0;
    Compose(n, true);
}

void Player::Compose(int n, bool restart) {
    if (!anim_ || !comp_ || n == number_ || n < 0) return;
    const auto frames = anim_->Frames();
    if (frames.empty()) return;
    n = std::min(n, static_cast<int>(frames.size()));
    if (n == 0 || (restart && n < number_)) {
        comp_->Clear();
        number_ = 0;
    }
    while (number_ != n) {
        // After the last frame the first follows on the same canvas.
        number_ = number_ >= static_cast<int>(frames.size()) ? 1 : number_ + 1;
        comp_->Draw(*frames[static_cast<size_t>(number_ - 1)]);
    }
}

const RgbaImage& Player::Picture() const { return comp_ ? comp_->Picture() : kNoPicture; }

void Playback::SetAnimation(const Animation* a) {
    anim_ = a;
    current_ = 0;
    playing_ = false;
    for (Player* p : players_) p->SetAnimation(a);
}

int Playback::DelayMs(int n) const {
    const Frame* f = anim_ ? anim_->FrameAt(n - 1) : nullptr;
    if (!f) return 1;
    uint32_t d = f->delay & 0xFFFF;
    if (browserDelays && d < 2) d = 10;
    return d == 0 ? 1 : static_cast<int>(d) * 10;
}

void Playback::Show(int n, bool restart) {
    if (n == current_ || n < 1 || n > FrameCount()) return;
    current_ = n;
    for (Player* p : players_) p->Compose(n, restart);
}

int Playback::Play() {
    playing_ = true;
    loopsLeft_ = anim_ ? static_cast<int>(anim_->playCount) : 0;
    Show(1, true);
    return DelayMs(current_);
}

std::optional<int> Playback::Tick() {
    if (!playing_ || FrameCount() == 0) return std::nullopt;
    if (!continuousLoop && current_ == FrameCount()) {
        if (loopsLeft_ == 1) {
            playing_ = false;  // the last frame stays shown
            return std::nullopt;
        }
        if (loopsLeft_ > 1) --loopsLeft_;
    }
    Show(current_ >= FrameCount() ? 1 : current_ + 1, false);
    return DelayMs(current_);
}

void Playback::Previous() {
    Stop();
    Show(current_ <= 1 ? FrameCount() : current_ - 1, true);
}

void Playback::Next() {
    Stop();
    Show(current_ >= FrameCount() ? 1 : current_ + 1, false);
}

void Playback::Trackbar(Track how, int position) {
    Stop();
    if (how == Track::LineDown && current_ == FrameCount()) Show(1, true);
    else if (how == Track::LineUp && current_ == 1) Show(FrameCount(), true);
    else Show(position, true);
}

void Playback::FramesChanged() {
    const int old = current_;
    if (playing_) {
        current_ = 0;
        Play();
        return;
    }
    current_ = 0;
    for (Player* p : players_) p->Compose(0, true);
    Show(1, true);
    Show(std::min(old, FrameCount()), true);
}

}  // namespace cinemill
