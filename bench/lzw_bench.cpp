// In-process timing of the GIF LZW decoder and compressor on synthetic
// frames: a dithered gradient (short strings) and flat areas (long strings).
#include <benchmark/benchmark.h>

#include <random>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

namespace {

using namespace cinemill;

std::unique_ptr<Animation> Synthetic(bool noisy) {
    constexpr int kW = 640, kH = 480;
    PreferenceBlock prefs;
    auto a = NewAnimation(kW, kH, prefs);
    std::vector<uint8_t> rgb(768);
    for (int i = 0; i < 768; ++i) rgb[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), 256));
    auto bmp = FrameBitmap::Create(kW, kH);
    std::mt19937 rng(1);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            bmp->Row(y)[x] = noisy ? static_cast<uint8_t>((x / 3 + y / 5 + rng() % 4) & 0xFF)
                                   : static_cast<uint8_t>((x / 64 + y / 48) & 0xFF);
    SetBitmap(*a->FrameAt(0), std::move(*bmp));
    return a;
}

void Encode(benchmark::State& state) {
    auto a = Synthetic(state.range(0) != 0);
    for (auto _ : state) {
        CountingSink sink;
        SilentProgress progress;
        WriteGif(sink, *a, progress);
        benchmark::DoNotOptimize(sink.Total());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}

void Decode(benchmark::State& state) {
    auto a = Synthetic(state.range(0) != 0);
    VectorSink sink;
    SilentProgress progress;
    WriteGif(sink, *a, progress);
    SilentUiHost host;
    PreferenceBlock prefs;
    for (auto _ : state) {
        auto r = ReadGif(sink.bytes, host, progress, prefs);
        benchmark::DoNotOptimize(r.animation.get());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}

BENCHMARK(Encode)->Arg(0)->Arg(1);
BENCHMARK(Decode)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
