#include "cinemill/cli/terminal_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace cinemill::cli {

TerminalProgress::TerminalProgress(int fd) : fd_(fd), drawing_(fd >= 0 && isatty(fd) == 1) {}

TerminalProgress::~TerminalProgress() { End(); }

std::string TerminalProgress::Line(const std::string& text, double done, int bar) {
    done = std::clamp(done, 0.0, 1.0);
    const int filled = static_cast<int>(done * bar);
    const int percent = static_cast<int>(done * 100);
    std::string pct = std::to_string(percent);
    pct.insert(0, 3 - std::min<size_t>(3, pct.size()), ' ');
    return text + (text.empty() ? "[" : " [") + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(bar - filled), ' ') + "] " + pct + "%";
}

void TerminalProgress::SetText(StringId id) {
    text_ = std::string(LoadString(id));
    Draw();
}

void TerminalProgress::SetRange(int64_t range) {
    range_ = std::max<int64_t>(range, 0);
    position_ = 0;
    Draw();
}

bool TerminalProgress::SetPosition(int64_t position) {
    position_ = position;
    Draw();
    return true;
}

bool TerminalProgress::Step() {
    ++position_;
    Draw();
    return true;
}

void TerminalProgress::End() {
    if (!shown_) return;
    // Carriage return and erase to the end of the line.
    Put("\r\x1b[K");
    shown_ = false;
    lastPercent_ = -1;
    lastText_.clear();
}

void TerminalProgress::Draw() {
    if (!drawing_) return;
    const double done = range_ > 0 ? static_cast<double>(position_) / static_cast<double>(range_) : 0.0;
    const int percent = static_cast<int>(std::clamp(done, 0.0, 1.0) * 100);
    if (shown_ && percent == lastPercent_ && text_ == lastText_) return;
    int columns = 80;
    winsize ws{};
    if (ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) columns = ws.ws_col;
    // Room for the text, the brackets and " 100%"; the bar takes 10 to 40 cells.
    const int room = columns - 1 - static_cast<int>(text_.size()) - 8;
    const int bar = std::clamp(room, 10, 40);
    Put("\r" + Line(text_, done, bar) + "\x1b[K");
    shown_ = true;
    lastPercent_ = percent;
    lastText_ = text_;
}

void TerminalProgress::Put(const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
        const ssize_t n = write(fd_, s.data() + off, s.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            drawing_ = false;  // the terminal went away: stop drawing
            return;
        }
        off += static_cast<size_t>(n);
    }
}

std::unique_ptr<ProgressReporter> TerminalProgressFactory::Make(ProgressMode mode) {
    if (mode == ProgressMode::Silent || fd_ < 0 || isatty(fd_) != 1) return std::make_unique<SilentProgress>();
    return std::make_unique<TerminalProgress>(fd_);
}

}  // namespace cinemill::cli
