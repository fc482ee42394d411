#include "cinemill/app/job_control.h"

#include <bit>
#include <chrono>
#include <memory>

namespace cinemill {

int JobControl::Slot(uint32_t bit) { return std::countr_zero(bit & job::kAll) & 3; }

JobControl::~JobControl() { StopAndWait(job::kAll); }

void JobControl::SetRunning(uint32_t mask, bool on) {
    if (on) running_.fetch_or(mask, std::memory_order_acq_rel);
    else running_.fetch_and(~mask, std::memory_order_acq_rel);
}

void JobControl::RequestAbort(uint32_t mask, bool on) {
    if (on) abort_.fetch_or(mask, std::memory_order_acq_rel);
    else abort_.fetch_and(~mask, std::memory_order_acq_rel);
    for (int i = 0; i < 4; ++i)
        if (mask & (1u << i)) flags_[static_cast<size_t>(i)].store(on, std::memory_order_release);
}

void JobControl::WaitBits(uint32_t mask) {
    for (int i = 0; i < 4; ++i) {
        auto& t = threads_[static_cast<size_t>(i)];
        if ((mask & (1u << i)) && t.joinable()) t.join();
    }
    while (IsRunning(mask)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void JobControl::StopAndWait(uint32_t mask) {
    const uint32_t running = IsRunning(mask);
    if (running) RequestAbort(running, true);
    WaitBits(mask);
    // A job that ended before it saw the request leaves no stale abort bit.
    if (running) RequestAbort(running, false);
}

void JobControl::Wait(uint32_t mask) { WaitBits(mask); }

void JobControl::Start(uint32_t bit, std::function<void()> work) {
    StopAndWait(bit);
    RequestAbort(bit, false);
    SetRunning(bit, true);
    threads_[static_cast<size_t>(Slot(bit))] = std::thread([this, bit, work = std::move(work)] {
        work();
        if (AbortRequested(bit)) RequestAbort(bit, false);
        SetRunning(bit, false);
    });
}

std::unique_ptr<ProgressReporter> ProgressFactory::Make(ProgressMode) {
    return std::make_unique<SilentProgress>();
}

}  // namespace cinemill
