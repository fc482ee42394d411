#include "cinemill/ui/preview_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "cinemill/app/engine.h"
#include "cinemill/app/preview_prefs.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/preview_player.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

namespace {

std::unique_ptr<Animation> ReadCorpus(const char* name) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(std::string(CM_CORPUS_DIR) + "/" + name, bytes)) return nullptr;
    SilentUiHost host;
    SilentProgress progress;
    PreferenceBlock prefs;
    return ReadGif(bytes, host, progress, prefs).animation;
}

// Four 8 x 6 frames with the given delays, each filling a different colour.
std::unique_ptr<Animation> MakeDoc(std::vector<uint32_t> delays, uint32_t play_count = 0) {
    auto a = NewAnimation();
    a->width = 8;
    a->height = 6;
    a->playCount = play_count;
    Palette p;
    p.entries = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    SetGlobalPalette(*a, p);
    for (size_t i = 0; i < delays.size(); ++i) {
        auto f = std::make_unique<Frame>();
        auto bmp = FrameBitmap::Create(8, 6);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) bmp->Row(y)[x] = static_cast<uint8_t>(1 + i % 4);
        SetBitmap(*f, std::move(*bmp));
        f->delay = delays[i];
        a->blocks.push_back(std::move(f));
    }
    return a;
}

QAbstractButton* Tool(QWidget* d, const char* name) {
    auto* b = d->findChild<QAbstractButton*>(name);
    if (!b) qFatal("no tool %s", name);
    return b;
}

// The shown picture agrees with the browser-like composite: the composite's
// opaque pixels, the background where it is transparent.
bool PictureMatches(const QImage& shown, const RgbaImage& composite, QColor background) {
    if (shown.width() != composite.width || shown.height() != composite.height) return false;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const uint8_t* c = composite.rgba.data() + (static_cast<size_t>(y) * composite.width + x) * 4;
            const QRgb want = c[3] == 0 ? background.rgb() : qRgb(c[0], c[1], c[2]);
            if ((shown.pixel(x, y) & 0xFFFFFF) != (want & 0xFFFFFF)) return false;
        }
    return true;
}

}  // namespace

class PreviewDialogTest : public QObject {
    Q_OBJECT

    MemorySettingsStore store;
    std::unique_ptr<PreferenceBlock> prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    std::unique_ptr<Engine> engine;

    PreviewDialog* Open(std::unique_ptr<Animation> doc) {
        engine->SetDocument(std::move(doc), "", false);
        CommandContext ctx{nullptr, *engine};
        const CommandHandler* h = FindCommandHandler(CommandId::Preview);
        if (!h) qFatal("no Preview handler");
        if (!(*h)(ctx).Ok()) return nullptr;
        QApplication::processEvents();  // the posted Play
        return PreviewDialog::Current();
    }

private slots:
    void init() {
        prefs = std::make_unique<PreferenceBlock>();
        prefs->Load(&store);
        engine = std::make_unique<Engine>(*prefs, host, clipboard);
    }
    void cleanup() {
        if (PreviewDialog* d = PreviewDialog::Current()) delete d;
        engine.reset();
        prefs.reset();
        store.values.clear();
    }

    // Each tick shows the next frame composed as a browser does, and starts
    // the one-shot timer with that frame's delay; disposal 2 and 3 files.
    void PlaysFramesAtTheirDelaysWithTheirDisposal_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("restore background") << "pygif-gif-test-suite/test-suite/dispose-restore-background.gif";
        QTest::newRow("restore previous") << "pygif-gif-test-suite/test-suite/dispose-restore-previous.gif";
        QTest::newRow("pillow previous") << "pillow/Tests/images/dispose_prev.gif";
    }
    void PlaysFramesAtTheirDelaysWithTheirDisposal() {
        QFETCH(QString, file);
        auto doc = ReadCorpus(file.toUtf8().constData());
        QVERIFY(doc != nullptr);
        const std::vector<RgbaImage> composites = RenderAll(*doc);
        std::vector<int> delays;
        bool hasDisposal = false;
        for (const Frame* f : std::as_const(*doc).Frames()) {
            delays.push_back(f->delay == 0 ? 1 : static_cast<int>(f->delay) * 10);
            hasDisposal = hasDisposal || f->Disposal() == 2 || f->Disposal() == 3;
        }
        QVERIFY(hasDisposal);
        const int n = static_cast<int>(delays.size());
        QVERIFY(n >= 3);
        PreviewDialog* d = Open(std::move(doc));
        QVERIFY(d != nullptr);
        QVERIFY(d->Playing());
        QVERIFY(d->TimerActive());
        QCOMPARE(d->CurrentFrame(), 1);
        QCOMPARE(d->TimerInterval(), delays[0]);
        const QColor bg = d->Player()->Background();
        QVERIFY(PictureMatches(d->Player()->Picture(), composites[0], bg));
        for (int k = 2; k <= n; ++k) {
            d->TimerTick();
            QCOMPARE(d->CurrentFrame(), k);
            QCOMPARE(d->TimerInterval(), delays[static_cast<size_t>(k - 1)]);
            QVERIFY2(PictureMatches(d->Player()->Picture(), composites[static_cast<size_t>(k - 1)], bg),
                     qPrintable(QString("frame %1").arg(k)));
            QCOMPARE(d->findChild<QLabel*>("1098")->text(), QString::number(k));
            QCOMPARE(d->findChild<QSlider*>("1100")->value(), k);
        }
        // Stop keeps the frame; no timer is left.
        QTest::mouseClick(Tool(d, "1061"), Qt::LeftButton);
        QVERIFY(!d->Playing());
        QVERIFY(!d->TimerActive());
        QCOMPARE(d->CurrentFrame(), n);
    }

    // Play count 2: the sequence runs twice and stops on the last frame.
    // The real timer is used once to see that frames follow by themselves.
    void PlayCountAndTheRealTimer() {
        PreviewDialog* d = Open(MakeDoc({2, 2, 2}, 2));
        QVERIFY(d != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(d->CurrentFrame() == 3, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!d->Playing(), 2000);
        QCOMPARE(d->CurrentFrame(), 3);
        QVERIFY(!Tool(d, "1060")->isChecked());
        QVERIFY(!Tool(d, "1061")->isEnabled());
        // Play again: loops left is taken anew.
        QTest::mouseClick(Tool(d, "1060"), Qt::LeftButton);
        QVERIFY(d->Playing());
        QCOMPARE(d->CurrentFrame(), 1);
        QCOMPARE(d->PlaybackState().LoopsLeft(), 2);
        for (int i = 0; i < 5; ++i) d->TimerTick();
        QCOMPARE(d->CurrentFrame(), 3);
        QVERIFY(d->Playing());  // the last frame stays for its delay
        d->TimerTick();
        QCOMPARE(d->CurrentFrame(), 3);
        QVERIFY(!d->Playing());
        QVERIFY(!d->TimerActive());
        // Play while playing acts as Stop.
        QTest::mouseClick(Tool(d, "1060"), Qt::LeftButton);
        QTest::mouseClick(Tool(d, "1060"), Qt::LeftButton);
        QVERIFY(!d->Playing());
    }

    void TrackbarAndSteppingToolsMoveTheFrame() {
        PreviewDialog* d = Open(MakeDoc({10, 10, 10, 10}));
        QVERIFY(d != nullptr);
        auto* track = d->findChild<QSlider*>("1100");
        QCOMPARE(track->minimum(), 1);
        QCOMPARE(track->maximum(), 4);
        QTest::keyClick(track, Qt::Key_Right);
        QVERIFY(!d->Playing());  // every control but Play stops first
        QCOMPARE(d->CurrentFrame(), 2);
        QTest::keyClick(track, Qt::Key_End);
        QCOMPARE(d->CurrentFrame(), 4);
        QTest::keyClick(track, Qt::Key_Right);  // line-down at the last frame wraps
        QCOMPARE(d->CurrentFrame(), 1);
        QCOMPARE(track->value(), 1);
        QTest::keyClick(track, Qt::Key_Left);  // line-up at frame 1 shows the last
        QCOMPARE(d->CurrentFrame(), 4);
        QCOMPARE(track->value(), 4);
        QTest::mouseClick(Tool(d, "1062"), Qt::LeftButton);
        QCOMPARE(d->CurrentFrame(), 1);
        QTest::mouseClick(Tool(d, "1063"), Qt::LeftButton);
        QCOMPARE(d->CurrentFrame(), 4);
        QTest::mouseClick(Tool(d, "1064"), Qt::LeftButton);
        QCOMPARE(d->CurrentFrame(), 1);
        QTest::mouseClick(Tool(d, "1065"), Qt::LeftButton);
        QCOMPARE(d->CurrentFrame(), 4);
        QCOMPARE(d->findChild<QLabel*>("1098")->text(), QString("4"));
        // The picture is frame 4's colour (yellow, index 4).
        QCOMPARE(d->Player()->Picture().pixel(3, 3) & 0xFFFFFF, 0xFFFF00u);
    }

    void ZoomChangesThePictureSizeAndBringsScrollBars() {
        auto doc = ReadCorpus("pillow/Tests/images/dispose_prev.gif");
        QVERIFY(doc != nullptr);
        const int w = static_cast<int>(doc->width), h = static_cast<int>(doc->height);
        PreviewDialog* d = Open(std::move(doc));
        QVERIFY(d != nullptr);
        d->show();
        PlayerWidget* view = d->Player();
        QCOMPARE(view->ZoomedSize(), QSize(w, h));
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        QTest::mouseClick(Tool(d, "40038"), Qt::LeftButton);
        QCOMPARE(view->ZoomLevel(), 1);
        QCOMPARE(view->ZoomedSize(), QSize(2 * w, 2 * h));
        for (int i = 0; i < 6; ++i) QTest::mouseClick(Tool(d, "40038"), Qt::LeftButton);
        QCOMPARE(view->ZoomedSize(), QSize(8 * w, 8 * h));  // no upper bound
        QApplication::processEvents();
        QVERIFY(view->horizontalScrollBar()->isVisible());
        QVERIFY(view->verticalScrollBar()->isVisible());
        QVERIFY(view->horizontalScrollBar()->maximum() > 0);
        // Scrolled to the end, the picture's right edge meets the viewport's.
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        QCOMPARE(view->ImageOrigin().x() + 8 * w, view->viewport()->width());
        SaveShot(d, "preview-zoomed");
        QTest::mouseClick(Tool(d, "40069"), Qt::LeftButton);
        QCOMPARE(view->ZoomLevel(), 0);
        QTest::mouseClick(Tool(d, "40039"), Qt::LeftButton);
        QCOMPARE(view->ZoomedSize(), QSize(w / 2, h / 2));
        QApplication::processEvents();
        QVERIFY(!view->horizontalScrollBar()->isVisible());
        // Fitting pictures are centred.
        QCOMPARE(view->ImageOrigin().x(), (view->viewport()->width() - w / 2) / 2);
    }

    void ShortDelaysBoxChangesTheTimersAndIsRemembered() {
        PreviewDialog* d = Open(MakeDoc({0, 1, 5, 2}));
        QVERIFY(d != nullptr);
        auto* box = d->findChild<QCheckBox*>("browserDelays");
        QVERIFY(box && !box->isChecked());
        QCOMPARE(d->TimerInterval(), 1);
        d->TimerTick();
        QCOMPARE(d->TimerInterval(), 10);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        QVERIFY(box->isChecked());
        d->TimerTick();
        QCOMPARE(d->TimerInterval(), 50);  // 5/100 s is not short
        d->TimerTick();
        QCOMPARE(d->TimerInterval(), 20);
        d->TimerTick();
        QCOMPARE(d->CurrentFrame(), 1);
        QCOMPARE(d->TimerInterval(), 100);  // delay 0 as 10/100 s
        d->TimerTick();
        QCOMPARE(d->TimerInterval(), 100);  // delay 1 as 10/100 s
        // Kept in the preferences' store: a new run opens with the box ticked.
        PreferenceBlock again;
        again.Load(&store);
        QVERIFY(BrowserDelaysPreferred(again));
        delete d;
        d = Open(MakeDoc({0, 1}));
        QVERIFY(d->findChild<QCheckBox*>("browserDelays")->isChecked());
        QCOMPARE(d->TimerInterval(), 100);
        QTest::mouseClick(d->findChild<QCheckBox*>("browserDelays"), Qt::LeftButton, {},
                          QPoint(6, box ? 8 : 8));
        QVERIFY(!BrowserDelaysPreferred(*prefs));
    }

    void BackgroundComesFromSlotEleven() {
        prefs->Set(PreferenceBlock::kPreviewBackground, EncodePreviewBackground(0x3366CC));
        auto doc = ReadCorpus("pygif-gif-test-suite/test-suite/dispose-restore-background.gif");
        QVERIFY(doc != nullptr);
        PreviewDialog* d = Open(std::move(doc));
        QVERIFY(d != nullptr);
        QCOMPARE(d->Player()->Background().rgb() & 0xFFFFFF, 0x3366CCu);
        d->show();
        d->TimerTick();
        SaveShot(d, "preview-playing");
        // Outside the picture the player shows the background.
        const QImage grab = d->Player()->viewport()->grab().toImage();
        QCOMPARE(grab.pixel(1, 1) & 0xFFFFFF, 0x3366CCu);
    }

    // The engine closes the preview before it changes the document; the
    // dialog goes at its next tick (or the shell's sync) without drawing.
    void EngineChangeEscAndStopPreviewClose() {
        PreviewDialog* d = Open(MakeDoc({10, 10, 10}));
        QVERIFY(d != nullptr);
        QVERIFY(engine->State().previewOpen);
        QCOMPARE(engine->Execute(CommandId::ReverseOrder).result, Result::Done);
        QVERIFY(!engine->State().previewOpen);
        QPointer<PreviewDialog> watch(d);
        d->TimerTick();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch.isNull());
        QVERIFY(PreviewDialog::Current() == nullptr);

        // Esc: the engine hears Stop Preview and the shell's handler runs.
        int closed = 0;
        SetPreviewClosedHandler([&] { ++closed; });
        d = Open(MakeDoc({10, 10}));
        QVERIFY(d && engine->State().previewOpen);
        d->show();
        watch = d;
        QTest::keyClick(d, Qt::Key_Escape);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch.isNull());
        QVERIFY(!engine->State().previewOpen);
        QCOMPARE(closed, 1);

        // Stop Preview from the main window.
        d = Open(MakeDoc({10, 10}));
        watch = d;
        CommandContext ctx{nullptr, *engine};
        QVERIFY((*FindCommandHandler(CommandId::StopPreview))(ctx).Ok());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(watch.isNull());
        QVERIFY(!engine->State().previewOpen);
        QCOMPARE(closed, 1);  // not closed by the user
        SetPreviewClosedHandler({});

        // No frames: the preview does not open.
        auto empty = MakeDoc({});
        QVERIFY(Open(std::move(empty)) == nullptr);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::PreviewDialogTest)
#include "preview_dialog_test.moc"
