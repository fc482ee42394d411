#include "cinemill/ui/optimize_animation_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "cinemill/app/optimize_dialog.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace testing;

namespace {

QString Text(QWidget* d, const char* name) { return d->findChild<QLabel*>(name)->text(); }
QAbstractButton* Button(QWidget* d, const char* name) { return d->findChild<QAbstractButton*>(name); }
void Click(QWidget* d, const char* name) {
    QAbstractButton* b = Button(d, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

int64_t OracleSize(const Animation& doc, uint32_t flags, const PreferenceBlock& prefs) {
    auto copy = CopyAnimation(doc);
    SilentProgress p;
    SilentUiHost host;
    Optimize(*copy, flags, host, p, prefs);
    return EncodedSize(*copy, true, p, prefs);
}

std::vector<uint8_t> EngineOptimized(const char* file, uint32_t flags) {
    Session s(file);
    s.engine.Optimize(flags);
    return s.Bytes();
}

}  // namespace

class OptimizeDialogTest : public QObject {
    Q_OBJECT
private slots:
    void OpensWithSlotFiveAndTheDependentControlRules() {
        Session s(kWaves);  // no local palettes
        s.prefs.Set(PreferenceBlock::kOptimizer, 0x46A);
        OptimizeAnimationDialog d(s.engine);
        QVERIFY(Button(&d, "1121")->isChecked());
        QVERIFY(!Button(&d, "1122")->isChecked());
        QVERIFY(Button(&d, "1124")->isChecked());
        QVERIFY(Button(&d, "1075")->isChecked());
        QVERIFY(Button(&d, "1083")->isChecked());
        QVERIFY(Button(&d, "1125")->isChecked());
        // Without local palettes the removal box and the radios are off.
        QVERIFY(!Button(&d, "1124")->isEnabled());
        QVERIFY(!Button(&d, "1073")->isEnabled());
        QVERIFY(Button(&d, "1122")->isEnabled());
        QCOMPARE(d.EffectiveFlags(), 0x062u);

        Session w(kWelcome);  // local palettes
        OptimizeAnimationDialog e(w.engine);
        QVERIFY(Button(&e, "1124")->isEnabled());
        QVERIFY(Button(&e, "1074")->isEnabled());
        Click(&e, "1124");
        QVERIFY(!Button(&e, "1124")->isChecked());
        QVERIFY(!Button(&e, "1074")->isEnabled());
        Click(&e, "1121");
        QVERIFY(!Button(&e, "1122")->isEnabled());
        QVERIFY(!Button(&e, "1125")->isEnabled());
    }

    void ExperimentShowsSizesAndOkIsTheEngineOptimization() {
        Session s(kWelcome);
        const auto before = s.Bytes();
        OptimizeAnimationDialog d(s.engine);
        d.show();
        QVERIFY(d.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        const int64_t docSize = s.engine.FileSize();
        QCOMPARE(Text(&d, "currentSize"), QString("%1 bytes").arg(Grouped(docSize)));
        int64_t size = OracleSize(*s.engine.Doc(), d.EffectiveFlags(), s.prefs);
        SavingsTexts t = MakeSavingsTexts(docSize, size);
        QCOMPARE(Text(&d, "optimizedSize"), QString::fromStdString(t.optimizedSize));
        QCOMPARE(Text(&d, "savings"), QString::fromStdString(t.savings));
        QCOMPARE(Text(&d, "percent"), QString::fromStdString(t.percent));
        SaveShot(&d, "optimize");
        // A change starts a new experiment with the new flags.
        Click(&d, "1122");
        QVERIFY(Button(&d, "1122")->isChecked());
        QVERIFY(d.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        QCOMPARE(d.ExperimentFlags(), d.EffectiveFlags());
        size = OracleSize(*s.engine.Doc(), d.EffectiveFlags(), s.prefs);
        QCOMPARE(Text(&d, "optimizedSize"), QString::fromStdString(MakeSavingsTexts(docSize, size).optimizedSize));
        const uint32_t all = d.ControlFlags();
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        QCOMPARE(s.prefs.Get(PreferenceBlock::kOptimizer), all);
        const auto after = s.Bytes();
        QCOMPARE(after, EngineOptimized(kWelcome, all));
        QCOMPARE(s.engine.State().history.CurrentKind(), UndoKind::Optimize);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void LossyLevelIsRememberedAndItsExperimentIsWhatOkKeeps() {
        Session s(kWaves);
        namespace of = optimize_flags;
        s.prefs.Set(PreferenceBlock::kOptimizer, of::WithLossyLevel(of::kDefault, 120));
        OptimizeAnimationDialog d(s.engine);
        auto* level = d.findChild<QSpinBox*>("lossyLevel");
        QVERIFY(level);
        // Off, with the remembered level shown but not used.
        QVERIFY(!Button(&d, "lossy")->isChecked());
        QCOMPARE(level->value(), 120);
        QVERIFY(!level->isEnabled());
        QCOMPARE(of::LossyLevel(d.EffectiveFlags()), 0);
        d.show();
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        const QString exact = Text(&d, "optimizedSize");
        Click(&d, "lossy");
        QVERIFY(level->isEnabled());
        level->setValue(80);
        QCOMPARE(of::LossyLevel(d.EffectiveFlags()), 80);
        QTRY_VERIFY_WITH_TIMEOUT(!d.Busy(), 10000);
        QCOMPARE(d.ExperimentFlags(), d.EffectiveFlags());
        const int64_t size = OracleSize(*s.engine.Doc(), d.EffectiveFlags(), s.prefs);
        QCOMPARE(Text(&d, "optimizedSize"), QString::fromStdString(MakeSavingsTexts(0, size).optimizedSize));
        QVERIFY(Text(&d, "optimizedSize") != exact);
        SaveShot(&d, "optimize-lossy");
        const uint32_t all = d.ControlFlags();
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        QCOMPARE(s.prefs.Get(PreferenceBlock::kOptimizer), all);
        QCOMPARE(of::LossyLevel(all), 80);
        QCOMPARE(s.Bytes(), EngineOptimized(kWaves, all));
        // The next dialog opens with lossy compression on at that level.
        OptimizeAnimationDialog again(s.engine);
        QVERIFY(Button(&again, "lossy")->isChecked());
        QCOMPARE(again.findChild<QSpinBox*>("lossyLevel")->value(), 80);
    }

    void OkWhileTheExperimentRunsWaitsForIt() {
        Session s(kWaves);
        OptimizeAnimationDialog d(s.engine);
        d.show();
        Click(&d, "1122");
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        QCOMPARE(s.Bytes(), EngineOptimized(kWaves, s.prefs.Get(PreferenceBlock::kOptimizer)));
    }

    void CancelLeavesTheDocumentByteIdentical() {
        Session s(kWaves);
        const auto before = s.Bytes();
        OptimizeAnimationDialog d(s.engine);
        d.show();
        Click(&d, "1125");
        QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QCOMPARE(d.Outcome().result, Result::Stopped);
        QCOMPARE(s.Bytes(), before);
        QVERIFY(!s.engine.State().history.CanUndo());
        QVERIFY(!s.engine.State().modified);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::OptimizeDialogTest)
#include "optimize_animation_dialog_test.moc"
