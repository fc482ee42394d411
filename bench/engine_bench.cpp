// The editor engine on a 150-frame 1280 x 720 screen recording: delete +
// undo + redo of a frame, a delay edit, and the first status-bar size after
// a document is set, with the bytes the history holds after 100 edits.
// CM_SCREENREC names the shared harness's c06_screenrec_1280x720x150.gif;
// without it a synthetic recording of the same shape is used.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

std::unique_ptr<Animation> Synthetic(int w, int h, int frames) {
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    Palette p;
    for (int i = 0; i < 64; ++i) p.entries.push_back(Rgb{uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i * 9)});
    SetGlobalPalette(*a, p);
    uint32_t seed = 7;
    std::vector<uint8_t> desk(static_cast<size_t>(w) * h);
    for (auto& v : desk) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<uint8_t>((seed >> 16) % 8 + ((&v - desk.data()) / w / 90) * 8);
    }
    for (int k = 0; k < frames; ++k) {
        auto f = std::make_unique<Frame>();
        auto b = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y) {
            std::copy_n(desk.data() + static_cast<size_t>(y) * w, w, b->Row(y));
            if (y >= 100 && y < 140)
                for (int x = 200 + 4 * k; x < 320 + 4 * k && x < w; ++x) b->Row(y)[x] = uint8_t(60 + k % 4);
        }
        SetBitmap(*f, std::move(*b));
        f->delay = 7;
        a->blocks.push_back(std::move(f));
    }
    return a;
}

const Animation& Recording() {
    static std::unique_ptr<Animation> doc = [] {
        if (const char* path = std::getenv("CM_SCREENREC")) {
            SilentUiHost host;
            SilentProgress progress;
            auto r = OpenGifFile(path, host, progress, PreferenceBlock());
            if (r.animation) return std::move(r.animation);
        }
        return Synthetic(1280, 720, 150);
    }();
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

}  // namespace
}  // namespace cinemill

BENCHMARK_MAIN();
