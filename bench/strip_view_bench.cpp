// The frame strip view on a 150-frame 1280 x 720 screen recording, offscreen:
// the time from the document being set to its first frames painted, and a
// scroll from the first strip to the last by line steps, every step painting
// the whole view (counters: mean and worst milliseconds per step).
// CM_SCREENREC names the shared harness's c06_screenrec_1280x720x150.gif;
// without it a synthetic recording of the same shape is used. Runs with
// QT_QPA_PLATFORM=offscreen unless another platform is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "bench/screen_recording.h"
#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/ui/frame_strip_view.h"

namespace cinemill {
namespace {

const Animation& Recording() {
    static const std::unique_ptr<Animation> doc = bench::ScreenRecording();
    return *doc;
}

struct Window {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    FrameStripView view{engine};
    Window() {
        view.resize(1000, 700);
        view.show();
        QApplication::processEvents();
    }
};

// Setting the document, laying it out and painting the first cells.
void BM_FirstFramesPainted(benchmark::State& state) {
    const Animation& rec = Recording();
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = CopyAnimation(rec);
        w.engine.SetDocument(nullptr, "", false);
        w.view.Refresh(refresh::kNewDocument);
        QApplication::processEvents();
        state.ResumeTiming();
        w.engine.SetDocument(std::move(copy), "screenrec.gif", false);
        w.view.Refresh(refresh::kNewDocument);
        w.view.viewport()->repaint();
    }
    w.engine.StopTasks();
    state.counters["frames"] = rec.FrameCount();
}
BENCHMARK(BM_FirstFramesPainted)->Unit(benchmark::kMillisecond)->Iterations(5);

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// From the first strip to the last by the bar's line step, painting the
// whole view at every step.
void BM_ScrollEndToEnd(benchmark::State& state) {
    Window w;
    w.engine.SetDocument(CopyAnimation(Recording()), "screenrec.gif", false);
    w.engine.StopTasks();
    w.view.Refresh(refresh::kNewDocument);
    QScrollBar* bar = w.view.CurrentLayout().metrics.direction == strip::kVertical ? w.view.horizontalScrollBar()
                                                                                  : w.view.verticalScrollBar();
    double worst = 0, total = 0, cpu_worst = 0;
    int64_t steps = 0;
    std::vector<double> times, cpu_times;
    for (auto _ : state) {
        bar->setValue(0);
        w.view.viewport()->repaint();
        for (int pos = bar->singleStep(); pos <= bar->maximum() + bar->singleStep() - 1; pos += bar->singleStep()) {
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = ThreadCpuMs();
            bar->setValue(std::min(pos, bar->maximum()));
            w.view.viewport()->repaint();
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            const double cpu = ThreadCpuMs() - c0;
            cpu_worst = std::max(cpu_worst, cpu);
            cpu_times.push_back(cpu);
            worst = std::max(worst, ms);
            total += ms;
            times.push_back(ms);
            ++steps;
        }
    }
    state.counters["steps"] = static_cast<double>(steps) / static_cast<double>(state.iterations());
    state.counters["ms_per_step"] = steps ? total / static_cast<double>(steps) : 0;
    state.counters["worst_ms"] = worst;
    // The wall clock of a loaded machine has outliers: the 99th percentile
    // and the share of steps over 16 ms say more than the worst one.
    std::sort(times.begin(), times.end());
    if (!times.empty()) state.counters["p99_ms"] = times[times.size() * 99 / 100];
    state.counters["over_16ms"] =
        static_cast<double>(std::count_if(times.begin(), times.end(), [](double t) { return t > 16.0; }));
    // The thread's own CPU time per step is what a repaint costs, apart
    // from the time the scheduler gave to other processes.
    std::sort(cpu_times.begin(), cpu_times.end());
    state.counters["cpu_worst_ms"] = cpu_worst;
    if (!cpu_times.empty()) state.counters["cpu_p99_ms"] = cpu_times[cpu_times.size() * 99 / 100];
}
BENCHMARK(BM_ScrollEndToEnd)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace cinemill

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
