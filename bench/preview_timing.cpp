// How closely the preview keeps the frames' delays: plays the 150-frame
// 1280x720 screen recording (bench/screen_recording.h: CM_SCREENREC, else a
// synthetic one of the same shape) through the real preview dialog and
// compares the time between two frames being shown with the delay the first
// one asked for.
//
//   QT_QPA_PLATFORM=offscreen build/bench/preview_timing [frames]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "screen_recording.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/preview_dialog.h"

using namespace cinemill;

// exit(), not quit(): quit() first asks every window to close, and the
// preview answers its close by stopping, not by closing the application.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* source = nullptr;
    std::unique_ptr<Animation> doc = bench::ScreenRecording(&source);
    const std::string path = source;
    const int frames = doc->FrameCount();
    const int wanted = argc > 1 ? std::max(2, std::atoi(argv[1])) : frames;

    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    engine.SetDocument(std::move(doc), "", false);
    engine.WaitTasks();
    CommandContext ctx{nullptr, engine};
    if (!(*FindCommandHandler(CommandId::Preview))(ctx).Ok()) {
        std::fprintf(stderr, "preview did not open\n");
        return 1;
    }
    PreviewDialog* d = PreviewDialog::Current();
    d->show();

    QElapsedTimer clock;
    std::vector<double> errors;  // actual - intended, ms
    double last = -1;
    int shown = 0;
    d->SetFrameShownListener([&](int) {
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        // Shown before the next timer starts: the interval is the one that
        // just ran out.
        if (last >= 0) errors.push_back(now - last - d->TimerInterval());
        last = now;
        if (++shown >= wanted) QTimer::singleShot(0, &app, [] { QApplication::exit(0); });
    });
    // A play count of 1 ends on the last frame: stop waiting then too.
    QTimer watch;
    watch.setInterval(200);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!d->Playing()) QApplication::exit(0);
    });
    watch.start();
    // The dialog starts playing by itself once the event loop runs.
    clock.start();
    app.exec();

    std::vector<double> abs;
    for (double e : errors) abs.push_back(std::fabs(e));
    std::sort(abs.begin(), abs.end());
    const size_t n = abs.size();
    if (n == 0) {
        std::fprintf(stderr, "no intervals measured (%d frames shown)\n", shown);
        return 1;
    }
    double sum = 0;
    for (double e : abs) sum += e;
    const size_t within = static_cast<size_t>(std::count_if(abs.begin(), abs.end(), [](double e) { return e <= 5; }));
    std::printf("preview timing on %s: %zu intervals\n", path.c_str(), n);
    std::printf("  |actual - intended| mean %.2f ms, median %.2f ms, p95 %.2f ms, max %.2f ms\n", sum / n,
                abs[n / 2], abs[std::min(n - 1, n * 95 / 100)], abs.back());
    std::printf("  within 5 ms: %zu of %zu (%.1f%%)\n", within, n, 100.0 * within / n);
    size_t worst = 0;
    for (size_t i = 1; i < errors.size(); ++i)
        if (std::fabs(errors[i]) > std::fabs(errors[worst])) worst = i;
    std::printf("  worst: after frame %zu, %+.2f ms\n", worst + 1, errors[worst]);
    return 0;
}
