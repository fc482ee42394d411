// The editor engine on a 150-frame 1280 x 720 screen recording: delete +
// undo + redo of a frame, a delay edit, and the first status-bar size after
// a document is set, with the bytes the history holds after 100 edits.
// CM_SCREENREC names the shared harness's c06_screenrec_1280x720x150.gif;
// without it a synthetic recording of the same shape is used.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "bench/screen_recording.h"
#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

const Animation& Recording() {
    static const std::unique_ptr<Animation> doc = bench::ScreenRecording();
    return *doc;
}

struct Session {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    Session() {
        engine.SetDocument(CopyAnimation(Recording()), "", false);
        engine.WaitTasks();
    }
};

void BM_DeleteUndoRedo(benchmark::State& state) {
    Session s;
    int edits = 0;
    for (auto _ : state) {
        s.engine.Select(75);
        s.engine.Execute(CommandId::Delete);
        s.engine.Execute(CommandId::Undo);
        s.engine.Execute(CommandId::Redo);
        s.engine.Execute(CommandId::Undo);  // back to the whole document
        ++edits;
    }
    s.engine.StopTasks();
    state.counters["history_bytes"] = static_cast<double>(s.engine.State().history.HeldBytes());
    state.counters["records"] = s.engine.State().history.Count();
}
BENCHMARK(BM_DeleteUndoRedo)->Unit(benchmark::kMicrosecond);

void BM_DelayEdit(benchmark::State& state) {
    Session s;
    s.engine.Select(10);
    long long d = 1;
    for (auto _ : state) s.engine.SetDelay(d++ % 100);
    s.engine.StopTasks();
}
BENCHMARK(BM_DelayEdit)->Unit(benchmark::kMicrosecond);

// 100 edits of different kinds, then the history's bytes: deletions keep
// only the removed frames, the numeric records nothing.
void BM_HistoryAfter100Edits(benchmark::State& state) {
    for (auto _ : state) {
        Session s;
        for (int i = 0; i < 100; ++i) {
            s.engine.Select(i % 50);
            if (i % 2) s.engine.Execute(CommandId::Delete);
            else s.engine.MoveFrame(i % 50, 100);
        }
        s.engine.StopTasks();
        state.counters["history_bytes"] = static_cast<double>(s.engine.State().history.HeldBytes());
        state.counters["document_bytes"] = static_cast<double>(AnimationBytes(*s.engine.Doc()));
    }
}
BENCHMARK(BM_HistoryAfter100Edits)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FirstSizeAfterOpen(benchmark::State& state) {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = CopyAnimation(Recording());
        state.ResumeTiming();
        engine.SetDocument(std::move(doc), "", false);
        engine.WaitTasks();
        benchmark::DoNotOptimize(engine.FileSize());
    }
    state.counters["size"] = static_cast<double>(engine.FileSize());
}
BENCHMARK(BM_FirstSizeAfterOpen)->Unit(benchmark::kMillisecond)->Iterations(3);

// A command arriving while the first size count runs: the time StopTasks
// takes to abort it (the count is started, left running for a while that
// lands at a different point of a frame each iteration, then stopped).
void BM_StopWhileSizing(benchmark::State& state) {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    double worst = 0;
    int k = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine.SetDocument(CopyAnimation(Recording()), "", false);
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + 997 * (k++ % 13)));
        const auto t0 = std::chrono::steady_clock::now();
        state.ResumeTiming();
        engine.StopTasks();
        state.PauseTiming();
        worst = std::max(worst, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        state.ResumeTiming();
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_StopWhileSizing)->Unit(benchmark::kMillisecond)->Iterations(26);

}  // namespace
}  // namespace cinemill

BENCHMARK_MAIN();
