#include "cinemill/ui/reduce_count_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace testing;

class ReduceCountDialogTest : public QObject {
    Q_OBJECT
private slots:
    void FiguresFollowTheFieldAndOkDeletesEveryNth() {
        Session s(kWaves);  // 10 frames
        const auto before = s.Bytes();
        ReduceCountDialog d(s.engine);
        d.show();
        auto* spin = d.findChild<QSpinBox*>("interval");
        auto* edit = spin->findChild<QLineEdit*>();
        auto* after = d.findChild<QLabel*>("countAfter");
        QCOMPARE(d.findChild<QLabel*>("currentCount")->text(), QString("10"));
        QCOMPARE(spin->value(), 2);
        QCOMPARE(after->text(), QString("5"));
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(after->text(), QString("7"));
        SaveShot(&d, "reduce-count");
        edit->selectAll();
        QTest::keyClicks(edit, "1");
        QCOMPARE(after->text(), QString("?"));
        // OK with an interval outside 2..10: the message, and the dialog stays.
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QCOMPARE(s.host.messages.size(), size_t(1));
        QVERIFY(s.host.messages[0].starts_with("Invalid Deletion Interval: "));
        QVERIFY(d.isVisible());
        QCOMPARE(s.Bytes(), before);
        edit->selectAll();
        QTest::keyClicks(edit, "3");
        QCOMPARE(after->text(), QString("7"));
        QTest::mouseClick(d.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QVERIFY(d.Outcome().Ok());
        Session oracle(kWaves);
        oracle.engine.ReduceFrameCount(3);
        QCOMPARE(s.Bytes(), oracle.Bytes());
        QCOMPARE(s.engine.Doc()->FrameCount(), 7);
        QVERIFY(s.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(s.Bytes(), before);
    }

    void CancelLeavesTheDocument() {
        Session s(kWaves);
        const auto before = s.Bytes();
        ReduceCountDialog d(s.engine);
        d.show();
        QTest::keyClick(d.findChild<QSpinBox*>("interval"), Qt::Key_Up);
        QTest::mouseClick(d.findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QCOMPARE(d.Outcome().result, Result::Stopped);
        QCOMPARE(s.Bytes(), before);
        QVERIFY(!s.engine.State().history.CanUndo());
        // The handler is registered for the command.
        QVERIFY(FindCommandHandler(CommandId::ReduceCount));
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::ReduceCountDialogTest)
#include "reduce_count_dialog_test.moc"
