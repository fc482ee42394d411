#include "cinemill/ui/resize_animation_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace testing;

namespace {
QSpinBox* Spin(QWidget* d, const char* name) { return d->findChild<QSpinBox*>(name); }
void Type(QSpinBox* s, const char* text) {
    s->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(s->findChild<QLineEdit*>(), text);
}
}  // namespace

class ResizeDialogTest : public QObject {
    Q_OBJECT
private slots:
    void LinkedFieldsFollowTypingAndTheAspectLock() {
        Session s(kWaves);  // 268 x 86
        ResizeAnimationDialog d(s.engine);
        d.show();
        QCOMPARE(d.findChild<QLabel*>("currentWidth")->text(), QString("268"));
        QCOMPARE(Spin(&d, "width")->value(), 268);
        QCOMPARE(Spin(&d, "widthPercent")->value(), 100);
        auto* aspect = d.findChild<QCheckBox*>("maintainAspectRatio");
        QVERIFY(!aspect->isChecked());
        Type(Spin(&d, "width"), "134");
        QCOMPARE(Spin(&d, "widthPercent")->value(), 50);
        QCOMPARE(Spin(&d, "height")->value(), 86);
        // Ticking the lock re-applies the width.
        QTest::mouseClick(aspect, Qt::LeftButton, {}, QPoint(6, aspect->height() / 2));
        QCOMPARE(Spin(&d, "height")->value(), 43);
        QCOMPARE(Spin(&d, "heightPercent")->value(), 50);
        Type(Spin(&d, "heightPercent"), "200");
        QCOMPARE(Spin(&d, "height")->value(), 172);
        QCOMPARE(Spin(&d, "width")->value(), 536);
        QCOMPARE(Spin(&d, "widthPercent")->value(), 200);
        SaveShot(&d, "resize");
    }

    void OkResizesAsTheEngineDoesAndUndoRestores() {
        Session s(kWaves);
        const auto before = s.Bytes();
        ResizeAnimationDialog d(s.engine);
        d.show();
        Type(Spin(&d, "width"), "201");
        Type(Spin(&d, "height"), "60");
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        QCOMPARE(s.engine.Doc()->width, 201u);
        Session oracle(kWaves);
        oracle.engine.Resize(201, 60, ResizeMethod::Nearest);
        QCOMPARE(s.Bytes(), oracle.Bytes());
        QCOMPARE(s.engine.State().history.CurrentKind(), UndoKind::Scale);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void BicubicWarningNoReturnsToTheDialog() {
        Session s(kWelcome);
        const auto before = s.Bytes();
        ResizeAnimationDialog d(s.engine);
        d.show();
        auto* bicubic = d.findChild<QRadioButton*>("bicubic");
        QTest::mouseClick(bicubic, Qt::LeftButton, {}, QPoint(6, bicubic->height() / 2));
        Type(Spin(&d, "widthPercent"), "50");
        const bool warns = BicubicNeedsWarning(*s.engine.Doc());
        s.host.answers = {false};
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        if (warns) {
            QCOMPARE(s.host.questions.size(), size_t(1));
            QVERIFY(d.isVisible());
            QCOMPARE(s.Bytes(), before);
            s.host.answers = {true};
            QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        }
        QVERIFY(!d.isVisible());
        QVERIFY(d.Outcome().Ok());
        QVERIFY(s.prefs.Flag(PreferenceBlock::kFlagBicubic));
        Session oracle(kWelcome);
        oracle.engine.Resize(145, 48, ResizeMethod::Bicubic);
        QCOMPARE(s.Bytes(), oracle.Bytes());
    }

    void CancelAndUnchangedSizeLeaveTheDocument() {
        Session s(kWaves);
        const auto before = s.Bytes();
        {
            ResizeAnimationDialog d(s.engine);
            d.show();
            Type(Spin(&d, "width"), "100");
            QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
            QCOMPARE(d.Outcome().result, Result::Stopped);
        }
        {
            ResizeAnimationDialog d(s.engine);
            d.show();
            QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
            QCOMPARE(d.Outcome().result, Result::Stopped);
        }
        QCOMPARE(s.Bytes(), before);
        QVERIFY(!s.engine.State().history.CanUndo());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::ResizeDialogTest)
#include "resize_animation_dialog_test.moc"
