#include "cinemill/ui/merge_questions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "cinemill/ui/shots.h"

namespace cinemill {

namespace {

// Runs `act` on the modal dialog once it is shown (the question's own loop
// is running then).
void WhenShown(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* d = QApplication::activeModalWidget();
        QVERIFY(d != nullptr);
        act(d);
    });
}

template <class T>
T* Child(QWidget* d, const char* name) {
    T* w = d->findChild<T*>(name);
    if (!w) qFatal("no control %s", name);
    return w;
}

// Clicks near the left edge: on a check box or radio that is the indicator,
// whatever the width the layout gave the control.
void Click(QWidget* d, const char* name) {
    auto* b = Child<QAbstractButton>(d, name);
    const QPoint at = qobject_cast<QPushButton*>(b) ? b->rect().center() : QPoint(6, b->height() / 2);
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

}  // namespace

class MergeQuestionsTest : public QObject {
    Q_OBJECT
private slots:
    void PaletteMergeStartsFromThePreference() {
        // Web palette, dither, 32 colours (5 bits), hi-colour 128 (7 bits), not asking.
        QuestionDialog* d = MakePaletteMergeDialog(nullptr, 0x00750108);
        QVERIFY(Child<QRadioButton>(d, "1200")->isChecked());
        QVERIFY(!Child<QRadioButton>(d, "1197")->isChecked());
        QCOMPARE(Child<QComboBox>(d, "1202")->currentText(), QString("32"));
        QCOMPARE(Child<QComboBox>(d, "1203")->currentText(), QString("128"));
        QVERIFY(Child<QCheckBox>(d, "1204")->isChecked());
        QVERIFY(Child<QCheckBox>(d, "dontShowAgain")->isChecked());
        QCOMPARE(d->Answer(), 0x00750108u);
        delete d;
        // The first preference: self-adapting, ask, 256 and 256.
        d = MakePaletteMergeDialog(nullptr, 0x880201);
        d->show();
        QVERIFY(Child<QRadioButton>(d, "1197")->isChecked());
        QCOMPARE(Child<QComboBox>(d, "1202")->currentText(), QString("256"));
        QVERIFY(!Child<QCheckBox>(d, "dontShowAgain")->isChecked());
        SaveShot(d, "palette-merge-question");
        delete d;
    }

    void PaletteMergeAnswersTheChosenWord() {
        WhenShown([](QWidget* d) {
            Click(d, "1199");  // map new to current global palette
            Child<QComboBox>(d, "1202")->setCurrentIndex(2);  // 64 colours
            Click(d, "1204");
            Click(d, "dontShowAgain");
            Click(d, "IDOK");
        });
        // 0x4 map, 0x100 dither, no ask bit, 6 bits, hi-colour stays 8 bits.
        QCOMPARE(AskPaletteMergeDialog(nullptr, 0x880201), 0x00860104u);

        WhenShown([](QWidget* d) {
            Click(d, "1201");  // local palettes
            Child<QComboBox>(d, "1203")->setCurrentIndex(5);  // 8 colours
            Click(d, "IDOK");
        });
        // Asked again next time: 0x200 stays.
        QCOMPARE(AskPaletteMergeDialog(nullptr, 0x880201), 0x00380210u);

        WhenShown([](QWidget* d) {
            Click(d, "1198");
            Click(d, "IDCANCEL");
        });
        QCOMPARE(AskPaletteMergeDialog(nullptr, 0x880201), 0u);

        WhenShown([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(AskPaletteMergeDialog(nullptr, 0x880201), 0u);
    }

    void FrameSizeConflictStartsFromThePreference() {
        QuestionDialog* d = MakeFrameSizeConflictDialog(nullptr, 0x24);
        QVERIFY(Child<QRadioButton>(d, "1112")->isChecked());
        QVERIFY(!Child<QCheckBox>(d, "1083")->isChecked());
        d->show();
        SaveShot(d, "frame-size-question");
        delete d;
        d = MakeFrameSizeConflictDialog(nullptr, 0x14);
        QVERIFY(Child<QRadioButton>(d, "1111")->isChecked());
        QCOMPARE(d->Answer(), 0x14u);
        delete d;
    }

    void FrameSizeConflictAnswersEachChoice() {
        WhenShown([](QWidget* d) { Click(d, "IDOK"); });
        QCOMPARE(AskFrameSizeConflictDialog(nullptr, 0x24), 0x24u);

        WhenShown([](QWidget* d) {
            Click(d, "1111");
            Click(d, "1083");
            Click(d, "IDOK");
        });
        QCOMPARE(AskFrameSizeConflictDialog(nullptr, 0x24), 0x10u);

        WhenShown([](QWidget* d) {
            Click(d, "1112");
            Click(d, "IDOK");
        });
        QCOMPARE(AskFrameSizeConflictDialog(nullptr, 0x14), 0x24u);

        WhenShown([](QWidget* d) { Click(d, "IDCANCEL"); });
        QCOMPARE(AskFrameSizeConflictDialog(nullptr, 0x24), 0u);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::MergeQuestionsTest)
#include "merge_questions_test.moc"
