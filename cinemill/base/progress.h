#pragma once

#include <atomic>
#include <cstdint>

#include "cinemill/base/strings.h"

namespace cinemill {

// Progress and stop requests for long operations. Step and SetPosition
// answer false when the operation must stop; callers then report Stopped.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    virtual void SetText(StringId) {}
    virtual void SetRange(int64_t) {}
    virtual bool SetPosition(int64_t) { return !StopRequested(); }
    virtual bool Step() { return !StopRequested(); }
    virtual void End() {}
    virtual bool StopRequested() const { return false; }
};

// Never stops and shows nothing.
class SilentProgress : public ProgressReporter {};

// Stops when the owner sets the flag (a worker thread's abort bit).
class FlagProgress : public ProgressReporter {
public:
    explicit FlagProgress(const std::atomic<bool>& stop) : stop_(stop) {}
    bool StopRequested() const override { return stop_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& stop_;
};

// Stops after a given number of Step or SetPosition calls, and from then on
// reports the stop as asked for; for tests.
class CountdownProgress : public ProgressReporter {
public:
    explicit CountdownProgress(int calls_before_stop) : left_(calls_before_stop) {}
    bool SetPosition(int64_t) override { return Tick(); }
    bool Step() override { return Tick(); }
    bool StopRequested() const override { return left_ < 0; }

private:
    bool Tick() { return left_-- > 0; }
    int left_;
};

}  // namespace cinemill
