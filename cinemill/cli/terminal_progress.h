#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cinemill/app/job_control.h"
#include "cinemill/base/progress.h"

namespace cinemill::cli {

// A progress bar drawn on a terminal, one line rewritten in place:
//
//   Optimizing frames... [##########          ]  50%
//
// The line is redrawn only when the shown percentage or text changes, and
// cleared by End (or when the reporter goes away), so messages that follow
// start on a clean line. Nothing is ever written to a descriptor that is not
// a terminal (a pipe or a file gets no control characters). Never stops.
class TerminalProgress : public ProgressReporter {
public:
    // Draws on `fd` when it is a terminal; does nothing otherwise.
    explicit TerminalProgress(int fd);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void SetText(StringId id) override;
    void SetRange(int64_t range) override;
    bool SetPosition(int64_t position) override;
    bool Step() override;
    void End() override;

    bool Drawing() const { return drawing_; }
    // The bar line for a text and a fraction done (0..1), `bar` cells wide.
    static std::string Line(const std::string& text, double done, int bar);

private:
    void Draw();
    void Put(const std::string& s);

    int fd_;
    bool drawing_;
    bool shown_ = false;  // a line is on the screen
    std::string text_;
    int64_t range_ = 0;
    int64_t position_ = 0;
    int lastPercent_ = -1;
    std::string lastText_;
};

// The command line's reporters: a terminal bar on `fd` (stderr by default)
// for the editor's dialog-style operations, nothing for silent ones.
class TerminalProgressFactory : public ProgressFactory {
public:
    explicit TerminalProgressFactory(int fd = 2) : fd_(fd) {}
    std::unique_ptr<ProgressReporter> Make(ProgressMode mode) override;

private:
    int fd_;
};

}  // namespace cinemill::cli
