#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "cinemill/base/progress.h"

namespace cinemill {

// Bits of the background jobs in the running and abort sets.
namespace job {
constexpr uint32_t kSize = 1;       // encoded size for the status bar
constexpr uint32_t kUsage = 2;      // recount of the global palette's colour usage
constexpr uint32_t kOptimizer = 4;  // the optimizer dialog's experiment
constexpr uint32_t kReduce = 8;     // the colour-reduction dialog's size count
constexpr uint32_t kAll = 15;
}  // namespace job

// The running and abort bit sets of the worker threads. A job's starter sets
// its running bit before the thread starts; the thread clears it when it
// ends (and clears its abort bit when it found it set). Stopping sets the
// abort bit and waits until the running bit clears. There are no locks: the
// document is changed only while no job that reads it runs.
class JobControl {
public:
    JobControl() = default;
    JobControl(const JobControl&) = delete;
    JobControl& operator=(const JobControl&) = delete;
    // Stops every job and joins its thread.
    ~JobControl();

    // The running bits in mask.
    uint32_t IsRunning(uint32_t mask) const { return running_.load(std::memory_order_acquire) & mask; }
    uint32_t AbortRequested(uint32_t mask) const { return abort_.load(std::memory_order_acquire) & mask; }
    void SetRunning(uint32_t mask, bool on);
    void RequestAbort(uint32_t mask, bool on);

    // Requests an abort of the running jobs in mask and waits until their
    // running bits clear.
    void StopAndWait(uint32_t mask);
    // Waits the same way without requesting an abort.
    void Wait(uint32_t mask);

    // Starts `work` on a thread as the job `bit` (one bit). A job of that
    // bit still running is stopped first. The thread clears the running bit
    // when `work` returns, and the abort bit when it was set.
    void Start(uint32_t bit, std::function<void()> work);

    // The abort bit of one job as a flag that long operations poll.
    const std::atomic<bool>& AbortFlag(uint32_t bit) const { return flags_[Slot(bit)]; }

private:
    static int Slot(uint32_t bit);
    // Waits for the running bits in mask: joins the threads this object
    // started, polls every 10 ms for bits set by others.
    void WaitBits(uint32_t mask);

    std::atomic<uint32_t> running_{0};
    std::atomic<uint32_t> abort_{0};
    std::array<std::atomic<bool>, 4> flags_{};
    std::array<std::thread, 4> threads_;
};

// The reporter of a silent job: shows nothing and stops when an abort is
// requested for any job in its mask.
class JobProgress : public ProgressReporter {
public:
    JobProgress(const JobControl& jobs, uint32_t abort_mask) : jobs_(jobs), mask_(abort_mask) {}
    bool StopRequested() const override { return jobs_.AbortRequested(mask_) != 0; }

private:
    const JobControl& jobs_;
    uint32_t mask_;
};

// How a long operation of the editor reports progress: silently on a worker
// thread (with the abort mask of its job), in a progress dialog whose
// messages are pumped (Esc stops, as while saving), or in a dialog without
// pumping (open, insert, paste, drop).
enum class ProgressMode : int { Silent = 1, DialogPumped = 2, DialogNoPump = 10 };

// Makes the reporters of the editor's long operations. The GUI shows its
// progress dialog, the command line a terminal bar; the default shows nothing.
class ProgressFactory {
public:
    virtual ~ProgressFactory() = default;
    virtual std::unique_ptr<ProgressReporter> Make(ProgressMode mode);
};

}  // namespace cinemill
