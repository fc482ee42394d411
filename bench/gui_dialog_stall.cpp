// How long the window's thread stalls while the Reduce Colors and Optimize
// dialogs work on a 150-frame 1280 x 720 screen recording: every control
// change starts a worker (the running one is stopped first), and a 1 ms
// timer on the window's thread records the longest gap between its ticks.
// CM_SCREENREC names c06_screenrec_1280x720x150.gif of the shared bench
// corpus; without it a synthetic recording of the same shape is used.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "bench/screen_recording.h"
#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/ui/optimize_animation_dialog.h"
#include "cinemill/ui/reduce_colors_dialog.h"

namespace cinemill {
namespace {

// The longest gap between the ticks of a 1 ms timer, and the longest single
// control change, while `work` runs and until `done` holds.
struct Stalls {
    qint64 maxGap = 0, maxChange = 0, total = 0;
};

template <typename Work, typename Done>
Stalls Measure(Work work, Done done) {
    Stalls s;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        s.maxGap = std::max(s.maxGap, now - last);
        last = now;
    });
    tick.start();
    auto change = [&](auto f) {
        QElapsedTimer t;
        t.start();
        f();
        s.maxChange = std::max(s.maxChange, t.elapsed());
        last = clock.elapsed();
    };
    work(change);
    while (!done() && clock.elapsed() < 120000) QTest::qWait(5);
    s.total = clock.elapsed();
    return s;
}

void Report(const char* what, const Stalls& s) {
    std::printf("%-34s longest stall %4lld ms, longest control change %4lld ms, settled after %6lld ms\n", what,
                static_cast<long long>(s.maxGap), static_cast<long long>(s.maxChange), static_cast<long long>(s.total));
}

int Run() {
    const char* source = nullptr;
    auto doc = bench::ScreenRecording(&source);
    std::printf("document: %s (%d frames, %ux%u)\n", source, doc->FrameCount(), doc->width, doc->height);
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    engine.SetDocument(std::move(doc), "", false);
    engine.WaitTasks();
    {
        ReduceColorsDialog d(engine);
        Report("Reduce Colors: opening", Measure([&](auto change) { change([&] { d.show(); }); },
                                                 [&] { return d.ShownColors() != 0 && !d.Busy(); }));
        auto* combo = d.findChild<QComboBox*>("colorCount");
        auto* dither = d.findChild<QAbstractButton*>("dither");
        Report("Reduce Colors: 4 changes in a row", Measure(
                                                        [&](auto change) {
                                                            for (int i = 0; i < 3; ++i) {
                                                                change([&] { QTest::keyClick(combo, Qt::Key_Down); });
                                                                QTest::qWait(150);
                                                            }
                                                            change([&] { dither->click(); });
                                                        },
                                                        [&] { return !d.Busy(); }));
        d.reject();
    }
    {
        OptimizeAnimationDialog d(engine);
        Report("Optimize: opening", Measure([&](auto change) { change([&] { d.show(); }); }, [&] { return !d.Busy(); }));
        Report("Optimize: 3 changes in a row", Measure(
                                                   [&](auto change) {
                                                       for (const char* name : {"1122", "1083", "1122"}) {
                                                           change([&] { d.findChild<QAbstractButton*>(name)->click(); });
                                                           QTest::qWait(150);
                                                       }
                                                   },
                                                   [&] { return !d.Busy(); }));
        d.reject();
    }
    return 0;
}

}  // namespace
}  // namespace cinemill

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return cinemill::Run();
}
