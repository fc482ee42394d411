#include "cinemill/ui/move_crop_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "cinemill/imaging/geometry.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace testing;

namespace {
QSpinBox* Spin(QWidget* d, const char* name) { return d->findChild<QSpinBox*>(name); }
}  // namespace

class MoveCropDialogTest : public QObject {
    Q_OBJECT
private slots:
    void FieldsDragsAndAlignmentChangeTheStateWithinTheLimits() {
        Session s(kWaves);
        s.engine.Select(3);
        const Frame& f = *s.engine.Doc()->FrameAt(3);
        MoveCropDialog d(s.engine, MoveCropDialog::Mode::Frame);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(Spin(&d, "1016")->value(), f.width);
        QCOMPARE(Spin(&d, "1018")->value(), f.left);
        QVERIFY(!d.findChild<QPushButton*>("reset")->isEnabled());
        // A typed value applies 700 ms after the last key.
        QSpinBox* left = Spin(&d, "1017");
        left->setFocus();
        left->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(left->findChild<QLineEdit*>(), "10");
        QCOMPARE(d.State().crop.left, 0);
        QTRY_COMPARE_WITH_TIMEOUT(d.State().crop.left, 10, 2000);
        QVERIFY(d.findChild<QPushButton*>("reset")->isEnabled());
        // A spin step applies at once.
        QTest::keyClick(Spin(&d, "1020"), Qt::Key_Up);
        QCOMPARE(d.State().crop.top, 1);
        QCOMPARE(d.findChild<QLabel*>("cropSize")->text(),
                 QString("%1\u00d7%2").arg(f.width - 10).arg(f.height - 1));
        // Dragging the bottom-right handle in the view moves two edges.
        MoveCropView* view = d.View();
        const QPointF corner = view->ToView(d.State().x + d.State().crop.right, d.State().y + d.State().crop.bottom);
        const QPoint from = corner.toPoint() - QPoint(1, 1);
        const double scale = view->Scale();
        const QPoint to = from - QPoint(int(20 * scale), int(10 * scale));
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, {}, to);
        QVERIFY(qAbs(d.State().crop.right - (f.width - 20)) <= 1);
        QVERIFY(qAbs(d.State().crop.bottom - (f.height - 10)) <= 1);
        QCOMPARE(Spin(&d, "1016")->value(), d.State().crop.right);
        // A limit: the left edge never passes the right one.
        left->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(left->findChild<QLineEdit*>(), "9999");
        // Leaving the field applies it (Return would press OK).
        left->interpretText();
        QCOMPARE(d.State().crop.left, d.State().crop.right - 1);
        QCOMPARE(left->value(), d.State().crop.right - 1);
        QVERIFY(d.isVisible());
        QTest::mouseClick(d.findChild<QPushButton*>("reset"), Qt::LeftButton);
        QCOMPARE(d.State(), MoveCropStart(*s.engine.Doc(), f));
        // Alignment.
        d.findChild<QAction*>("alignRight")->trigger();
        QCOMPARE(d.State().x, static_cast<int>(s.engine.Doc()->width) - d.State().crop.right);
        d.findChild<QAction*>("alignLeft")->trigger();
        QCOMPARE(d.State().x, 0);
        auto* prev = d.findChild<QCheckBox*>("showPrevious");
        QTest::mouseClick(prev, Qt::LeftButton, {}, QPoint(6, prev->height() / 2));
        QVERIFY(prev->isChecked());
        SaveShot(&d, "move-crop");
        d.reject();
    }

    void OkIsTheEngineCallAndUndoRestores() {
        Session s(kWaves);
        s.engine.Select(2);
        const auto before = s.Bytes();
        MoveCropDialog d(s.engine, MoveCropDialog::Mode::Frame);
        d.show();
        QTest::keyClick(Spin(&d, "1017"), Qt::Key_Up);
        QTest::keyClick(Spin(&d, "1017"), Qt::Key_Up);
        QTest::keyClick(Spin(&d, "1021"), Qt::Key_Down);
        QTest::keyClick(Spin(&d, "1018"), Qt::Key_Up);
        auto* cropped = d.findChild<QCheckBox*>("showCropped");
        QTest::mouseClick(cropped, Qt::LeftButton, {}, QPoint(6, cropped->height() / 2));
        const MoveCropState state = d.State();
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        QVERIFY(s.prefs.Flag(PreferenceBlock::kFlagShowFrameCropped));
        Session oracle(kWaves);
        oracle.engine.Select(2);
        QVERIFY(oracle.engine.MoveCropFrame(state).Ok());
        QCOMPARE(s.Bytes(), oracle.Bytes());
        QVERIFY(s.Bytes() != before);
        QCOMPARE(s.engine.State().history.CurrentKind(), UndoKind::CropMoveFrame);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void CropAnimationAutoAndOk() {
        Session s(kWaves);
        const auto before = s.Bytes();
        MoveCropDialog d(s.engine, MoveCropDialog::Mode::Animation);
        d.show();
        QVERIFY(!d.findChild<QSpinBox*>("1018"));
        QTest::mouseClick(d.findChild<QPushButton*>("auto"), Qt::LeftButton);
        QCOMPARE(d.State().crop, AutoCropRect(*s.engine.Doc()));
        QTest::keyClick(Spin(&d, "1017"), Qt::Key_Up);
        QTest::keyClick(Spin(&d, "1021"), Qt::Key_Down);
        SaveShot(&d, "crop-animation");
        const Rect r = d.State().crop;
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(d.Outcome().Ok());
        Session oracle(kWaves);
        QVERIFY(oracle.engine.Crop(r).Ok());
        QCOMPARE(s.Bytes(), oracle.Bytes());
        QCOMPARE(s.engine.State().history.CurrentKind(), UndoKind::CropAnimation);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void CancelLeavesTheDocument() {
        Session s(kWaves);
        s.engine.Select(1);
        const auto before = s.Bytes();
        for (auto mode : {MoveCropDialog::Mode::Frame, MoveCropDialog::Mode::Animation}) {
            MoveCropDialog d(s.engine, mode);
            d.show();
            QTest::keyClick(Spin(&d, "1017"), Qt::Key_Up);
            QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
            QCOMPARE(d.Outcome().result, Result::Stopped);
        }
        QCOMPARE(s.Bytes(), before);
        QVERIFY(!s.engine.State().history.CanUndo());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::MoveCropDialogTest)
#include "move_crop_dialog_test.moc"
