#include "cinemill/ui/reduce_colors_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "cinemill/app/reduce_session.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace testing;

namespace {

// The document reduced by the engine's own call, in a second session.
std::vector<uint8_t> EngineReduced(const char* file, int colors, bool dither) {
    Session s(file);
    s.engine.Reduce(colors, dither);
    return s.Bytes();
}

// The reduced copy the dialog should show, and its size.
std::unique_ptr<Animation> Oracle(const Animation& doc, int colors, bool dither) {
    auto copy = CopyAnimation(doc);
    SilentProgress p;
    SilentUiHost host;
    ReduceAnimation(*copy, colors, dither, p, host);
    return copy;
}

QString Text(QWidget* d, const char* name) { return d->findChild<QLabel*>(name)->text(); }

// The frame `n` of an animation as the panes compose it.
QImage Composed(const Animation& a, int n) {
    Player p;
    p.SetAnimation(&a);
    p.Compose(n, true);
    return ToQImage(p.Picture());
}

}  // namespace

class ReduceColorsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void FirstApplyShowsTheReducedCopyWithItsSizeAndSavings() {
        Session s(kWaves);
        QVERIFY(s.ok);
        const auto before = s.Bytes();
        ReduceColorsDialog d(s.engine);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(d.ShownColors() != 0 && !d.Busy(), 10000);
        const int largest = reduce_dialog::LargestEntryCount(*s.engine.Doc());
        const int first = reduce_dialog::FirstColorCount(largest);
        QCOMPARE(d.ShownColors(), first);
        QCOMPARE(d.findChild<QComboBox*>("colorCount")->currentText(), QString::number(first));
        QCOMPARE(Text(&d, "fullColors"), QString("(%1 colors)").arg(largest));
        QCOMPARE(Text(&d, "reducedColors"), QString("(%1 colors)").arg(first));
        const bool dither = d.findChild<QCheckBox*>("dither")->isChecked();
        auto oracle = Oracle(*s.engine.Doc(), first, dither);
        SilentProgress p;
        const int64_t docSize = s.engine.FileSize();
        const int64_t size = EncodedSize(*oracle, true, p, s.prefs);
        QCOMPARE(Text(&d, "fullSize"), QString("File Size: %1 bytes").arg(Grouped(docSize)));
        QCOMPARE(Text(&d, "reducedSize"), QString("File Size: %1 bytes").arg(Grouped(size)));
        QCOMPARE(Text(&d, "savings"), QString::fromStdString(reduce_dialog::SavingsText(docSize, size)));
        // The panes show frame 1 of the document and of the reduced copy.
        QCOMPARE(d.findChild<PicturePane*>("fullPane")->Picture(), Composed(*s.engine.Doc(), 1));
        QCOMPARE(d.findChild<PicturePane*>("reducedPane")->Picture(), Composed(*oracle, 1));
        QCOMPARE(GifBytes(*d.Preview()), GifBytes(*oracle));
        SaveShot(&d, "reduce-colors");
        QCOMPARE(s.Bytes(), before);
    }

    void PickingAndTypingApplyAndOkIsTheEngineReduction() {
        Session s(kWaves);
        const auto before = s.Bytes();
        ReduceColorsDialog d(s.engine);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(d.ShownColors() != 0 && !d.Busy(), 10000);
        auto* combo = d.findChild<QComboBox*>("colorCount");
        // The arrow key picks the next item, which applies at once.
        combo->setFocus();
        const QString picked = combo->itemText(std::min(combo->count() - 1, combo->currentIndex() + 1));
        QTest::keyClick(combo, Qt::Key_Down);
        QVERIFY(d.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        QCOMPARE(QString::number(d.ShownColors()), picked);
        // Typing waits for the 500 ms timer; 999 is clamped to 256 in the field.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "999");
        QVERIFY(!d.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(d.Busy() || d.ShownColors() == 256, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        QCOMPARE(combo->currentText(), QString("256"));
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "12");
        QTRY_VERIFY_WITH_TIMEOUT(d.ShownColors() == 12 && !d.Busy(), 10000);
        // Dither applies at once.
        auto* dither = d.findChild<QCheckBox*>("dither");
        const bool ditherOn = !dither->isChecked();
        QTest::mouseClick(dither, Qt::LeftButton, {}, QPoint(4, dither->height() / 2));
        QCOMPARE(dither->isChecked(), ditherOn);
        QVERIFY(d.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        QCOMPARE(GifBytes(*d.Preview()), GifBytes(*Oracle(*s.engine.Doc(), 12, ditherOn)));
        SaveShot(&d, "reduce-colors-12");
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        const auto after = s.Bytes();
        QCOMPARE(after, EngineReduced(kWaves, 12, ditherOn));
        QCOMPARE(s.prefs.Get(PreferenceBlock::kColorReduction), PreferenceBlock::EncodeReduction(12, ditherOn));
        QCOMPARE(s.engine.State().history.CurrentKind(), UndoKind::ReducePalette);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void OkBeforeThePreviewArrivesStillReducesWithTheChosenValues() {
        Session s(kWelcome);
        const auto before = s.Bytes();
        ReduceColorsDialog d(s.engine);
        d.show();
        auto* combo = d.findChild<QComboBox*>("colorCount");
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "5");
        // OK while the typed value waits for its timer.
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        const bool dither = d.findChild<QCheckBox*>("dither")->isChecked();
        QCOMPARE(s.Bytes(), EngineReduced(kWelcome, 5, dither));
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void CancelLeavesTheDocumentByteIdentical() {
        Session s(kWelcome);
        const auto before = s.Bytes();
        ReduceColorsDialog d(s.engine);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(d.ShownColors() != 0 && !d.Busy(), 10000);
        QTest::mouseClick(d.findChild<QCheckBox*>("dither"), Qt::LeftButton, {}, QPoint(4, 8));
        QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QCOMPARE(d.Outcome().result, Result::Stopped);
        QCOMPARE(s.Bytes(), before);
        QVERIFY(!s.engine.State().history.CanUndo());
        QVERIFY(!s.engine.State().modified);
    }

    void PlayerBarMovesBothPanesInStep() {
        Session s(kWaves);
        ReduceColorsDialog d(s.engine);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(d.ShownColors() != 0 && !d.Busy(), 10000);
        auto* next = d.findChild<QToolButton*>("next");
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(d.findChild<QSlider*>("trackbar")->value(), 3);
        QCOMPARE(Text(&d, "frameNumber"), QString("Frame 3 of 10"));
        QCOMPARE(d.findChild<PicturePane*>("fullPane")->Picture(), Composed(*s.engine.Doc(), 3));
        QCOMPARE(d.findChild<PicturePane*>("reducedPane")->Picture(), Composed(*d.Preview(), 3));
        QTest::mouseClick(d.findChild<QToolButton*>("last"), Qt::LeftButton);
        QCOMPARE(d.findChild<QSlider*>("trackbar")->value(), 10);
        QCOMPARE(d.findChild<PicturePane*>("reducedPane")->Picture(), Composed(*d.Preview(), 10));
        d.findChild<QSlider*>("trackbar")->setValue(5);
        QCOMPARE(d.findChild<PicturePane*>("fullPane")->Picture(), Composed(*s.engine.Doc(), 5));
        QTest::mouseClick(d.findChild<QToolButton*>("zoomIn"), Qt::LeftButton);
        QCOMPARE(d.findChild<PicturePane*>("fullPane")->Zoom(), 2.0);
        QCOMPARE(d.findChild<PicturePane*>("reducedPane")->Zoom(), 2.0);
        SaveShot(&d, "reduce-colors-zoomed");
        QTest::mouseClick(d.findChild<QToolButton*>("actualSize"), Qt::LeftButton);
        QCOMPARE(d.findChild<PicturePane*>("reducedPane")->Zoom(), 1.0);
        // Play runs on a timer and moves on by itself.
        QTest::mouseClick(d.findChild<QToolButton*>("first"), Qt::LeftButton);
        QTest::mouseClick(d.findChild<QToolButton*>("play"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(d.findChild<QSlider*>("trackbar")->value() > 1, 3000);
        d.reject();
    }

    void HandlerRefusesPalettesOfTwoColours() {
        PreferenceBlock prefs;
        ScriptedUiHost host;
        MemoryClipboard clip;
        Engine engine(prefs, host, clip);
        auto a = NewAnimation();
        a->width = a->height = 4;
        Palette pal;
        pal.entries = {{0, 0, 0}, {255, 255, 255}};
        SetGlobalPalette(*a, pal);
        auto f = std::make_unique<Frame>();
        SetBitmap(*f, std::move(*FrameBitmap::Create(4, 4)));
        a->blocks.push_back(std::move(f));
        engine.SetDocument(std::move(a), "", false);
        CommandContext ctx{nullptr, engine};
        const CommandHandler* h = FindCommandHandler(CommandId::ReduceColors);
        QVERIFY(h);
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QCOMPARE(host.messages.size(), size_t(1));
        QVERIFY(host.messages[0].starts_with("Non-reducible Palette: "));
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::ReduceColorsDialogTest)
#include "reduce_colors_dialog_test.moc"
