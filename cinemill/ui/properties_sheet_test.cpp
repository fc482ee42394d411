#include "cinemill/ui/properties_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/shots.h"

namespace cinemill {
namespace {

const std::string kGif = testing::Corpus(testing::kRedBlue);

// An engine with the sample open and frame `selected` selected.
struct Editor : testing::Session {
    explicit Editor(int selected = 1) : Session(testing::kRedBlue) { engine.Select(selected); }
};

template <class W>
W* Child(QWidget* page, int id) {
    W* w = page->findChild<W*>(QString::number(id));
    if (!w) qFatal("control %d missing", id);
    return w;
}

void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}

void ClickBox(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); }

}  // namespace

class PropertiesSheetTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(Editor().engine.Doc() != nullptr, "the sample GIF must open"); }

    void FramePageOkWritesWhatTheEngineCallWrites() {
        Editor ed, twin;
        const auto before = ed.Bytes();
        PropertiesSheet sheet(ed.engine, CommandId::FrameProperties);
        sheet.show();
        QCOMPARE(sheet.windowTitle(), QString("Properties"));
        QCOMPARE(sheet.tabs->count(), 3);
        QWidget* page = sheet.framePage;
        QCOMPARE(sheet.tabs->currentWidget(), page);
        QCOMPARE(Child<QLineEdit>(page, 1014)->text(), QString::number(ed.engine.Doc()->FrameAt(1)->width));
        QVERIFY(Child<QLineEdit>(page, 1014)->isReadOnly());
        SaveShot(&sheet, "properties-frame");

        Type(Child<QLineEdit>(page, 1002), "walker");
        Type(Child<QLineEdit>(page, 1008), "3");
        Type(Child<QLineEdit>(page, 1000), "45");
        const bool wasInterlaced = ed.engine.Doc()->FrameAt(1)->Interlaced();
        ClickBox(Child<QCheckBox>(page, 1005));
        Child<QComboBox>(page, 1018)->setCurrentIndex(3);
        const FramePageFields fields = sheet.framePage->FrameFields();
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.Outcome().result, Result::Done);
        QVERIFY(sheet.Outcome().refresh & refresh::kTotalTime);

        const Frame& f = *ed.engine.Doc()->FrameAt(1);
        QCOMPARE(f.name, std::string("walker"));
        QCOMPARE(f.left, 3);
        QCOMPARE(f.delay, 45u);
        QCOMPARE(f.Interlaced(), !wasInterlaced);
        QCOMPARE(f.Disposal(), 3);
        // The same values through the engine give the same file.
        FramePageFields same = fields;
        QVERIFY(twin.engine.ApplyFramePage(1, same).Ok());
        QCOMPARE(ed.Bytes(), twin.Bytes());
        // One step; Undo gives the file back.
        QCOMPARE(ed.engine.State().history.CurrentKind(), UndoKind::FrameProperties);
        QVERIFY(ed.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(ed.Bytes(), before);
    }

    void CancelLeavesTheDocumentByteIdentical() {
        Editor ed;
        const auto before = ed.Bytes();
        for (CommandId id : {CommandId::FrameProperties, CommandId::GlobalProperties, CommandId::AnimationProperties}) {
            PropertiesSheet sheet(ed.engine, id);
            sheet.show();
            QWidget* page = sheet.tabs->currentWidget();
            if (page == sheet.animationPage) {
                Type(Child<QLineEdit>(page, 1025), "7");
                Type(Child<QLineEdit>(page, 1021), "10");
            } else {
                Type(Child<QLineEdit>(page, 1000), "99");
                ClickBox(Child<QCheckBox>(page, 1005));
            }
            QTest::mouseClick(sheet.cancelButton, Qt::LeftButton);
            QVERIFY(!sheet.isVisible());
            QCOMPARE(sheet.Outcome().result, Result::Stopped);
        }
        QCOMPARE(ed.Bytes(), before);
        QCOMPARE(ed.engine.State().history.Count(), 0);
        QVERIFY(!ed.engine.State().modified);
    }

    void GlobalPageShowsBlanksAndGrayedBoxesAndWritesTypedValues() {
        Editor ed;
        // Make the frames differ in delay and interlacing.
        FramePageFields p = LoadFramePage(*ed.engine.Doc()->FrameAt(1));
        p.delay = "77";
        p.interlaced = !p.interlaced;
        QVERIFY(ed.engine.ApplyFramePage(1, p).Ok());
        const int frames = ed.engine.Doc()->FrameCount();
        QVERIFY(frames >= 2);
        std::vector<int32_t> tops;
        for (const Frame* f : ed.engine.Doc()->Frames()) tops.push_back(f->top);
        const auto before = ed.Bytes();

        PropertiesSheet sheet(ed.engine, CommandId::GlobalProperties);
        sheet.show();
        QCOMPARE(sheet.tabs->count(), 2);
        QWidget* page = sheet.globalPage;
        QCOMPARE(sheet.tabs->currentWidget(), page);
        QVERIFY(page->findChild<QLineEdit*>("1002") == nullptr);  // no Name
        QCOMPARE(Child<QLineEdit>(page, 1000)->text(), QString());
        QCheckBox* inter = Child<QCheckBox>(page, 1005);
        QVERIFY(inter->isTristate());
        QCOMPARE(inter->checkState(), Qt::PartiallyChecked);
        SaveShot(&sheet, "properties-global-frame");

        // Typing a delay sets it on every frame; X typed, Y left as it was.
        Type(Child<QLineEdit>(page, 1000), "5");
        Type(Child<QLineEdit>(page, 1008), "2");
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QCOMPARE(sheet.Outcome().result, Result::Done);
        int i = 0;
        for (const Frame* f : ed.engine.Doc()->Frames()) {
            QCOMPARE(f->delay, 5u);
            QCOMPARE(f->left, 2);
            QCOMPARE(f->top, tops[static_cast<size_t>(i++)]);
        }
        // The grayed box left grayed kept each frame's interlacing.
        QVERIFY(ed.engine.Doc()->FrameAt(1)->Interlaced() != ed.engine.Doc()->FrameAt(0)->Interlaced());
        QCOMPARE(ed.engine.State().history.CurrentKind(), UndoKind::GlobalFrameProperties);
        QVERIFY(ed.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(ed.engine.Doc()->FrameAt(1)->delay, 77u);
        QCOMPARE(ed.Bytes(), before);
    }

    void GlobalPageLookedAtDoesNotUndoTheFramePage() {
        Editor ed;
        // All frames of the sample share disposal 1 and no interlacing: the
        // Global Frame page loads them as values of its own.
        QCOMPARE(ed.engine.Doc()->FrameAt(0)->Disposal(), 1);
        const uint32_t otherDelay = ed.engine.Doc()->FrameAt(0)->delay;
        PropertiesSheet sheet(ed.engine, CommandId::FrameProperties);
        sheet.show();
        Type(Child<QLineEdit>(sheet.framePage, 1000), "33");
        Child<QComboBox>(sheet.framePage, 1018)->setCurrentIndex(3);
        ClickBox(Child<QCheckBox>(sheet.framePage, 1005));
        sheet.tabs->setCurrentIndex(1);
        QCOMPARE(sheet.tabs->currentWidget(), sheet.globalPage);
        QCOMPARE(Child<QComboBox>(sheet.globalPage, 1018)->currentIndex(), 1);
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QCOMPARE(sheet.Outcome().result, Result::Done);
        const Frame& f = *ed.engine.Doc()->FrameAt(1);
        QCOMPARE(f.delay, 33u);
        QCOMPARE(f.Disposal(), 3);
        QVERIFY(f.Interlaced());
        QCOMPARE(ed.engine.Doc()->FrameAt(0)->delay, otherDelay);
        QCOMPARE(ed.engine.Doc()->FrameAt(0)->Disposal(), 1);
        QCOMPARE(ed.engine.State().history.Count(), 1);
    }

    void BadValuesGetTheirMessageAndChangeNothing() {
        Editor ed;
        const auto before = ed.Bytes();
        PropertiesSheet sheet(ed.engine, CommandId::FrameProperties);
        sheet.show();
        QLineEdit* x = Child<QLineEdit>(sheet.framePage, 1008);
        Type(x, "-70000");
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(sheet.isVisible());
        QCOMPARE(ed.host.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ed.host.messages[0]),
                 QString("Bad Offset Value: Offset values must be in the range from -65535 to 65535."));
        QCOMPARE(sheet.focusWidget(), x);
        // Leaving the page is refused the same way: the page stays.
        sheet.tabs->setCurrentIndex(2);
        QCOMPARE(sheet.tabs->currentWidget(), sheet.framePage);
        QCOMPARE(ed.host.messages.size(), size_t(2));
        Type(x, "0");
        Type(Child<QLineEdit>(sheet.framePage, 1000), "70000");
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(sheet.isVisible());
        QCOMPARE(QString::fromStdString(ed.host.messages.back()),
                 QString("Invalid Delay Value: The delay must be in the range from 0 to 65535."));
        QTest::mouseClick(sheet.cancelButton, Qt::LeftButton);
        QCOMPARE(ed.Bytes(), before);
    }

    void AnimationPageChecksIterationsAndClipping() {
        Editor ed;
        const auto before = ed.Bytes();
        PropertiesSheet sheet(ed.engine, CommandId::AnimationProperties);
        sheet.show();
        QCOMPARE(sheet.tabs->count(), 2);
        QWidget* page = sheet.animationPage;
        QCOMPARE(sheet.tabs->currentWidget(), page);
        QCOMPARE(Child<QLineEdit>(page, 1020)->text(), QString::fromStdString(kGif));
        QCOMPARE(Child<QLineEdit>(page, 1023)->text(), QString::number(ed.engine.Doc()->FrameCount()));
        QVERIFY(!Child<QCheckBox>(page, 1066)->isEnabled());
        SaveShot(&sheet, "properties-animation");

        Type(Child<QLineEdit>(page, 1025), "65537");
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(sheet.isVisible());
        QCOMPARE(QString::fromStdString(ed.host.messages.back()),
                 QString("Bad Iteration Value: The number of iterations must be in the range from 0 to 65536."));
        // A width that clips a frame asks; No keeps the page.
        Type(Child<QLineEdit>(page, 1025), "65536");
        Type(Child<QLineEdit>(page, 1021), "1");
        ed.host.answers = {false};
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(sheet.isVisible());
        QCOMPARE(QString::fromStdString(ed.host.questions.back()),
                 QString("This width will clip some frames. Are you sure that you want to do this?"));
        QCOMPARE(ed.Bytes(), before);
        // Auto Size gives back the holding size; OK writes the iterations.
        QTest::mouseClick(Child<QPushButton>(page, 1063), Qt::LeftButton);
        const auto [w, h] = MaxFrameEdges(*ed.engine.Doc());
        QCOMPARE(Child<QLineEdit>(page, 1021)->text(), QString::number(w));
        QCOMPARE(Child<QLineEdit>(page, 1022)->text(), QString::number(h));
        QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(ed.engine.Doc()->playCount, 65536u);
        QCOMPARE(ed.engine.Doc()->width, uint32_t(w));
        QVERIFY(sheet.Outcome().refresh & refresh::kAnimationFields);
        QVERIFY(ed.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(ed.Bytes(), before);
    }

    void TransparencyGoesThroughThePickerAsOneStep() {
        Editor ed(0);
        int opened = 0;
        RegisterTransparencyPicker([&](QWidget*, const Animation&, const Frame&, PreferenceBlock&, TransparencyChoice& c) {
            ++opened;
            c = ChoiceOf({3, 5, 9});
            return true;
        });
        const auto before = ed.Bytes();
        {
            PropertiesSheet sheet(ed.engine, CommandId::FrameProperties);
            sheet.show();
            QCheckBox* t = Child<QCheckBox>(sheet.framePage, 1004);
            QPushButton* edit = Child<QPushButton>(sheet.framePage, 1065);
            QVERIFY(edit->isEnabled());
            QTest::mouseClick(edit, Qt::LeftButton);
            QCOMPARE(opened, 1);
            QVERIFY(t->isChecked());
            QTest::mouseClick(sheet.okButton, Qt::LeftButton);
        }
        const Frame& f = *ed.engine.Doc()->FrameAt(0);
        QVERIFY(f.Transparent());
        QCOMPARE(int(f.transparentIndex), 3);
        for (int y = 0; y < f.bitmap->height; ++y)
            for (int x = 0; x < f.bitmap->width; ++x) QVERIFY(f.bitmap->At(x, y) != 5 && f.bitmap->At(x, y) != 9);
        QCOMPARE(ed.engine.State().history.CurrentKind(), UndoKind::EditTransparency);
        QVERIFY(ed.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(ed.Bytes(), before);
        // A picker cancelled after checking the box unchecks it again.
        RegisterTransparencyPicker([&](QWidget*, const Animation&, const Frame&, PreferenceBlock&, TransparencyChoice&) { return false; });
        {
            PropertiesSheet sheet(ed.engine, CommandId::FrameProperties);
            sheet.show();
            QCheckBox* t = Child<QCheckBox>(sheet.framePage, 1004);
            if (t->isChecked()) ClickBox(t);
            ClickBox(t);
            QVERIFY(!t->isChecked());
        }
        RegisterTransparencyPicker(nullptr);
    }

    void HandlersOpenTheSheetOnTheirPage() {
        Editor ed;
        for (CommandId id : {CommandId::FrameProperties, CommandId::GlobalProperties, CommandId::AnimationProperties}) {
            const CommandHandler* h = FindCommandHandler(id);
            QVERIFY(h != nullptr);
            QString seen;
            QTimer::singleShot(0, [&] {
                auto* sheet = qobject_cast<PropertiesSheet*>(QApplication::activeModalWidget());
                QVERIFY(sheet != nullptr);
                seen = sheet->tabs->currentWidget()->objectName();
                QTest::mouseClick(sheet->okButton, Qt::LeftButton);
            });
            CommandContext ctx{nullptr, ed.engine};
            const CommandResult r = (*h)(ctx);
            QCOMPARE(r.result, Result::Done);
            QCOMPARE(r.refresh, 0u);  // nothing changed
            QCOMPARE(seen, QString(id == CommandId::FrameProperties    ? "103"
                                                 : id == CommandId::GlobalProperties ? "165"
                                                                                     : "105"));
        }
        // Without a selected frame Frame Properties only beeps.
        ed.engine.Select(-1);
        CommandContext ctx{nullptr, ed.engine};
        QCOMPARE((*FindCommandHandler(CommandId::FrameProperties))(ctx).result, Result::Failed);
        QCOMPARE(ed.host.beeps, 1);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::PropertiesSheetTest)
#include "properties_sheet_test.moc"
