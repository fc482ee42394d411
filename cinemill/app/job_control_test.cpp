#include "cinemill/app/job_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace cinemill {
namespace {

TEST(JobControl, AJobClearsItsRunningBitWhenItEnds) {
    JobControl jobs;
    std::atomic<int> done{0};
    jobs.Start(job::kSize, [&] { done = 1; });
    jobs.Wait(job::kSize);
    EXPECT_EQ(done.load(), 1);
    EXPECT_EQ(jobs.IsRunning(job::kAll), 0u);
}

TEST(JobControl, StopAndWaitAbortsOnlyTheJobsInTheMask) {
    JobControl jobs;
    std::atomic<bool> usageSawAbort{false};
    jobs.Start(job::kSize, [&] {
        while (!jobs.AbortFlag(job::kSize).load()) std::this_thread::yield();
    });
    jobs.Start(job::kUsage, [&] {
        for (int i = 0; i < 50 && !jobs.AbortRequested(job::kUsage); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        usageSawAbort = jobs.AbortRequested(job::kUsage) != 0;
    });
    EXPECT_EQ(jobs.IsRunning(job::kSize), job::kSize);
    jobs.StopAndWait(job::kSize);
    EXPECT_EQ(jobs.IsRunning(job::kSize), 0u);
    EXPECT_EQ(jobs.AbortRequested(job::kSize), 0u);  // no stale abort bit left
    jobs.Wait(job::kUsage);
    EXPECT_FALSE(usageSawAbort.load());
}

TEST(JobControl, BitsOfWorkersStartedElsewhereArePolled) {
    JobControl jobs;
    jobs.SetRunning(job::kReduce, true);
    std::thread worker([&] {
        while (!jobs.AbortRequested(job::kReduce)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        jobs.RequestAbort(job::kReduce, false);
        jobs.SetRunning(job::kReduce, false);
    });
    jobs.StopAndWait(job::kReduce);
    EXPECT_EQ(jobs.IsRunning(job::kReduce), 0u);
    worker.join();
}

TEST(JobControl, JobProgressStopsOnAnAbortOfItsMask) {
    JobControl jobs;
    JobProgress progress(jobs, job::kSize);
    EXPECT_TRUE(progress.Step());
    jobs.RequestAbort(job::kUsage, true);
    EXPECT_TRUE(progress.SetPosition(3));
    jobs.RequestAbort(job::kSize, true);
    EXPECT_FALSE(progress.Step());
    EXPECT_TRUE(jobs.AbortFlag(job::kSize).load());
    jobs.RequestAbort(job::kSize, false);
    EXPECT_TRUE(progress.Step());
}

TEST(JobControl, RestartingAJobStopsTheRunningOne) {
    JobControl jobs;
    std::atomic<int> aborted{0}, finished{0};
    for (int i = 0; i < 5; ++i)
        jobs.Start(job::kSize, [&] {
            for (int k = 0; k < 200; ++k) {
                if (jobs.AbortRequested(job::kSize)) {
                    ++aborted;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            ++finished;
        });
    jobs.Wait(job::kSize);
    EXPECT_EQ(finished.load(), 1);
    EXPECT_EQ(aborted.load() + finished.load(), 5);
}

}  // namespace
}  // namespace cinemill
