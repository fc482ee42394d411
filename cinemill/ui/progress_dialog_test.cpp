#include "cinemill/ui/progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QFile>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

namespace {

// n frames of w x h over a 256-colour palette, busy enough that reducing
// the colours takes a while.
std::unique_ptr<Animation> MakeDoc(int n, int w, int h) {
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(w);
    a->height = static_cast<uint32_t>(h);
    Palette p;
    for (int i = 0; i < 256; ++i)
        p.entries.push_back({uint8_t(i), uint8_t((i * 7) & 255), uint8_t((i * 13) & 255)});
    SetGlobalPalette(*a, p);
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<Frame>();
        auto bmp = FrameBitmap::Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bmp->Row(y)[x] = static_cast<uint8_t>((x * (i + 3) + y * 5) & 255);
        SetBitmap(*f, std::move(*bmp));
        f->delay = 10;
        a->blocks.push_back(std::move(f));
    }
    return a;
}

using testing::GifBytes;

QProgressDialog* OpenProgressDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible() && d->objectName() == "progressDialog")
            return d;
    return nullptr;
}

// Presses Esc on the progress dialog as soon as it shows; counts the presses.
struct EscWhenShown {
    QTimer timer;
    int presses = 0;
    bool shot = false;
    explicit EscWhenShown(int delay_ms = 0) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this, delay_ms] {
            QProgressDialog* d = OpenProgressDialog();
            if (!d) return;
            if (!shot) {
                shot = true;
                SaveShot(d, "progress-dialog");
                if (delay_ms > 0) {
                    timer.setInterval(delay_ms);
                    return;
                }
            }
            ++presses;
            timer.stop();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        timer.start();
    }
};

}  // namespace

class ProgressDialogTest : public QObject {
    Q_OBJECT
private slots:
    // Saving pumps its dialog: Esc stops the write, nothing is written and
    // the document stays as it was (and modified).
    void EscDuringSaveStopsAndKeepsTheDocument() {
        QWidget owner;
        owner.resize(400, 300);
        owner.show();
        QtProgressFactory factory(&owner);
        PreferenceBlock prefs;
        SilentUiHost host;
        MemoryClipboard clipboard;
        // Saving a modified document refreshes its signature comment first;
        // without a signature the document is left exactly as it was.
        prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagNoSignature, true);
        Engine engine(prefs, host, clipboard, &factory);
        engine.SetDocument(MakeDoc(150, 320, 240), "", true);
        engine.WaitTasks();
        const auto before = GifBytes(*engine.Doc());
        QVERIFY(!before.empty());
        QTemporaryDir dir;
        const std::string target = dir.filePath("out.gif").toStdString();

        EscWhenShown esc(40);
        const CommandResult r = engine.Save(true, target);
        QCOMPARE(esc.presses, 1);
        QCOMPARE(r.result, Result::Stopped);
        QVERIFY(!QFile::exists(QString::fromStdString(target)));
        QVERIFY(engine.State().modified);
        QVERIFY(engine.State().Untitled());
        engine.WaitTasks();
        QVERIFY(GifBytes(*engine.Doc()) == before);
        QVERIFY(OpenProgressDialog() == nullptr);
        QVERIFY(!QApplication::overrideCursor());

        // Without Esc the same save goes through.
        QCOMPARE(engine.Save(true, target).result, Result::Done);
        QVERIFY(QFile::exists(QString::fromStdString(target)));
        QVERIFY(!engine.State().modified);
        QVERIFY(OpenProgressDialog() == nullptr);
    }

    void WithoutEscTheOperationRunsToTheEnd() {
        QtProgressFactory factory;
        PreferenceBlock prefs;
        SilentUiHost host;
        MemoryClipboard clipboard;
        Engine engine(prefs, host, clipboard, &factory);
        engine.SetDocument(MakeDoc(6, 40, 30), "", false);
        engine.WaitTasks();
        const auto before = GifBytes(*engine.Doc());
        const CommandResult r = engine.Reduce(16, false);
        QCOMPARE(r.result, Result::Done);
        QVERIFY(engine.State().modified);
        engine.WaitTasks();
        QVERIFY(GifBytes(*engine.Doc()) != before);
        QVERIFY(engine.Doc()->globalPalette->entries.size() <= size_t(16));
        QVERIFY(OpenProgressDialog() == nullptr);
    }

    // Without pumping, Esc still stops, but a click on another window is
    // dropped (no command can start in the middle of an open).
    void NoPumpDropsOtherInputButEscStops() {
        QPushButton other("other");
        other.show();
        int clicks = 0;
        connect(&other, &QPushButton::clicked, [&] { ++clicks; });
        QtProgressFactory factory;
        auto progress = factory.Make(ProgressMode::DialogNoPump);
        progress->SetText(StringId::ReadingGif);
        progress->SetRange(1000);
        QProgressDialog* d = OpenProgressDialog();
        QVERIFY(d != nullptr);
        QCOMPARE(d->labelText(), QString("Reading GIF file...  (Esc to abort)"));
        QTimer::singleShot(30, [&] { QTest::mouseClick(&other, Qt::LeftButton); });
        QTimer::singleShot(80, [&] { QTest::keyClick(d, Qt::Key_Escape); });
        QElapsedTimer clock;
        clock.start();
        int steps = 0;
        while (progress->Step() && clock.elapsed() < 3000) {
            ++steps;
            QTest::qSleep(1);
        }
        QVERIFY(progress->StopRequested());
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(steps > 10);
        QCOMPARE(clicks, 0);
        progress->End();
        QVERIFY(OpenProgressDialog() == nullptr);
        // After End the continue flag is set again.
        QVERIFY(progress->Step());
    }

    void PumpedCancelButtonStopsAndPositionsScale() {
        QtProgressFactory factory;
        auto progress = factory.Make(ProgressMode::DialogPumped);
        progress->SetRange(int64_t(5) << 30);  // beyond int: shown scaled
        QProgressDialog* d = OpenProgressDialog();
        QVERIFY(d != nullptr);
        QVERIFY(progress->SetPosition(int64_t(5) << 29));
        QVERIFY(d->maximum() > 0 && d->maximum() <= 1000000);
        QCOMPARE(d->value(), d->maximum() / 2);
        QPushButton* cancel = d->findChild<QPushButton*>();
        QVERIFY(cancel != nullptr);
        QTimer::singleShot(20, [&] { QTest::mouseClick(cancel, Qt::LeftButton); });
        QElapsedTimer clock;
        clock.start();
        while (progress->Step() && clock.elapsed() < 3000) QTest::qSleep(1);
        QVERIFY(progress->StopRequested());
        QVERIFY(clock.elapsed() < 3000);
    }

    void SilentFollowsTheAbortMask() {
        JobControl jobs;
        QtProgressFactory factory;
        auto plain = factory.Make(ProgressMode::Silent);
        jobs.RequestAbort(job::kSize, true);
        QVERIFY(plain->Step());
        factory.SetSilentAbort(&jobs, job::kSize);
        auto masked = factory.Make(ProgressMode::Silent);
        masked->SetText(StringId::ReadingGif);
        QVERIFY(OpenProgressDialog() == nullptr);
        QVERIFY(!masked->Step());
        jobs.RequestAbort(job::kSize, false);
        QVERIFY(masked->Step());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::ProgressDialogTest)
#include "progress_dialog_test.moc"
