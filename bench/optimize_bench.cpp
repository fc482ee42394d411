// Optimizer speed on a synthetic screen-recording-like animation: a static
// noisy background with a small moving window, full frames as a naive
// recorder writes them.
#include <benchmark/benchmark.h>

#include <memory>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/unoptimize.h"

namespace {

using namespace cinemill;

std::unique_ptr<Animation> MakeRecording(int w, int h, int frames) {
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    Palette p;
    for (int i = 0; i < 64; ++i)
        p.entries.push_back(Rgb{static_cast<uint8_t>(i * 4), static_cast<uint8_t>(255 - i * 4), static_cast<uint8_t>(i * 9)});
    SetGlobalPalette(*a, p);
    uint32_t seed = 3;
    std::vector<uint8_t> bg(static_cast<size_t>(w) * h);
    for (auto& v : bg) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>((seed >> 16) % 48);
    }
    for (int k = 0; k < frames; ++k) {
        auto f = std::make_unique<Frame>();
        auto b = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b->Row(y)[x] = bg[static_cast<size_t>(y) * w + x];
        for (int y = 20; y < 60; ++y)
            for (int x = 10 + 3 * k; x < 70 + 3 * k && x < w; ++x) b->Row(y)[x] = static_cast<uint8_t>(50 + (x + y + k) % 14);
        SetBitmap(*f, std::move(*b));
        f->delay = 5;
        SetDisposal(*f, 1);
        a->blocks.push_back(std::move(f));
    }
    return a;
}

void BM_Optimize(benchmark::State& state) {
    const auto src = MakeRecording(320, 240, 30);
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    for (auto _ : state) {
        state.PauseTiming();
        auto a = CopyAnimation(*src);
        state.ResumeTiming();
        Optimize(*a, static_cast<uint32_t>(state.range(0)), host, progress, prefs);
        benchmark::DoNotOptimize(a.get());
    }
    state.SetItemsProcessed(state.iterations() * 320 * 240 * 30);
}
BENCHMARK(BM_Optimize)->Arg(optimize_flags::kDefault)->Arg(optimize_flags::kDefault | optimize_flags::kTransparency)
    ->Unit(benchmark::kMillisecond);

void BM_Unoptimize(benchmark::State& state) {
    auto src = MakeRecording(320, 240, 30);
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    Optimize(*src, optimize_flags::kDefault | optimize_flags::kTransparency, host, progress, prefs);
    for (auto _ : state) {
        state.PauseTiming();
        auto a = CopyAnimation(*src);
        state.ResumeTiming();
        Unoptimize(*a, host, progress);
        benchmark::DoNotOptimize(a.get());
    }
}
BENCHMARK(BM_Unoptimize)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
