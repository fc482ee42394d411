// The palette editor, the background picker and the transparency picker
// driven through their controls on a real file.
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/palette_edit.h"
#include "cinemill/ui/background_picker_dialog.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/palette_dialog.h"
#include "cinemill/ui/palette_widgets.h"
#include "cinemill/ui/shots.h"
#include "cinemill/ui/transparency_picker_dialog.h"

namespace cinemill {

namespace {

const std::string kFile = testing::Corpus(testing::kFire);

std::vector<uint8_t> GifBytes(Engine& e) {
    e.WaitTasks();
    return testing::GifBytes(*e.Doc());
}

// An engine with the test file open.
struct Fixture : testing::Session {
    Fixture() : Session(testing::kFire) {}
};

// A mouse move delivered to the widget itself (QTest::mouseMove goes
// through the window and misplaces the point under QT_SCALE_FACTOR).
void Hover(QWidget* w, QPoint p) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint p) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, p); }

void ClickButton(QWidget* dlg, const char* name) {
    auto* b = dlg->findChild<QAbstractButton*>(name);
    QVERIFY2(b, name);
    b->click();
}

void Type(QSpinBox* s, const QString& text) {
    s->setFocus();
    s->selectAll();
    QTest::keyClicks(s, text);
    QTest::keyClick(s, Qt::Key_Tab);
}

// Runs `then` on the modal dialog a handler opens.
void WhenModal(std::function<void(QWidget*)> then) {
    QTimer::singleShot(0, [then] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        // Clicks reach the widget under the point only once the window is laid out.
        if (!QTest::qWaitForWindowExposed(w)) return;
        then(w);
    });
}

QRgb PixelAt(QWidget* w, QPoint p) { return w->grab().toImage().pixel(p * w->devicePixelRatioF()); }

}  // namespace

class PaletteDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(QFile::exists(QString::fromStdString(kFile))); }

    void EditGlobalPaletteOkIsTheEngineCallAndUndoRestores() {
        Fixture f;
        QVERIFY(f.engine.Doc());
        const auto original = GifBytes(f.engine);
        EditPaletteDialog dlg(*f.engine.Doc(), -1, -1, f.prefs);
        QVERIFY(dlg.HasPalette());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* r = dlg.findChild<QSpinBox*>("R");
        QVERIFY(r && !r->isEnabled());
        SaveShot(&dlg, "edit-palette");
        // A click on entry 5 fills the fields with its colour and flashes it.
        Click(dlg.Grid(), dlg.Grid()->CellCenter(5));
        QVERIFY(r->isEnabled());
        const Rgb c5 = f.engine.Doc()->globalPalette->entries[5];
        QCOMPARE(r->value(), int(c5.r));
        QCOMPARE(dlg.findChild<QSpinBox*>("G")->value(), int(c5.g));
        const Rgb flash = FlashColor(c5);
        QCOMPARE(QColor(PixelAt(dlg.Grid(), dlg.Grid()->CellCenter(5))), ToQColor(flash));
        QTest::qWait(150);
        QCOMPARE(QColor(PixelAt(dlg.Grid(), dlg.Grid()->CellCenter(5))), ToQColor(c5));
        // The tip over a cell.
        Hover(dlg.Grid(), dlg.Grid()->CellCenter(17));
        const Rgb c17 = f.engine.Doc()->globalPalette->entries[17];
        QCOMPARE(dlg.Grid()->LastTip(), QString("#18: R=%1, G=%2, B=%3").arg(c17.r).arg(c17.g).arg(c17.b));
        // 300 typed into R shows 255.
        Type(r, "300");
        QCOMPARE(r->value(), 255);
        Type(dlg.findChild<QSpinBox*>("B"), "7");
        SaveShot(&dlg, "edit-palette-selected");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(dlg.Entries().has_value());
        QVERIFY(f.engine.EditPalette(-1, *dlg.Entries()).Ok());
        const auto edited = GifBytes(f.engine);

        // The engine's own call with the same values.
        Fixture g;
        auto s = OpenGlobalPaletteEditor(*g.engine.Doc(), -1);
        SelectEntry(*s, 5);
        TypeChannel(*s, 0, 255);
        TypeChannel(*s, 2, 7);
        QVERIFY(g.engine.EditPalette(-1, *PaletteEditorResult(*s)).Ok());
        QVERIFY(GifBytes(g.engine) == edited);

        QVERIFY(f.engine.Execute(CommandId::Undo).Ok());
        QVERIFY(GifBytes(f.engine) == original);
    }

    void EditPaletteCancelAndUnchangedOkLeaveTheDocument() {
        Fixture f;
        const auto original = GifBytes(f.engine);
        const CommandHandler* h = FindCommandHandler(CommandId::EditGlobalPalette);
        QVERIFY(h);
        CommandContext ctx{nullptr, f.engine};
        // Cancel after an edit, with "Show colors in use" ticked: stored anyway.
        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<EditPaletteDialog*>(w);
            Click(d->Grid(), d->Grid()->CellCenter(2));
            Type(d->findChild<QSpinBox*>("G"), "1");
            d->findChild<QCheckBox*>("ShowColorsInUse")->setChecked(true);
            ClickButton(w, "IDCANCEL");
        });
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QVERIFY(GifBytes(f.engine) == original);
        QVERIFY(f.prefs.Get(PreferenceBlock::kProgramFlags) & PreferenceBlock::kFlagShowColorsInUse);
        // OK without a change records nothing.
        WhenModal([](QWidget* w) { ClickButton(w, "IDOK"); });
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QVERIFY(!f.engine.State().history.CanUndo());
        // Through the handler with a change: one step.
        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<EditPaletteDialog*>(w);
            Click(d->Grid(), d->Grid()->CellCenter(0));
            Type(d->findChild<QSpinBox*>("R"), "12");
            ClickButton(w, "IDOK");
        });
        QVERIFY((*h)(ctx).Ok());
        QCOMPARE(f.engine.Doc()->globalPalette->entries[0].r, uint8_t(12));
        QCOMPARE(f.engine.State().history.UndoText(), std::string("&Undo Edit Palette\tCtrl-Z"));
        // Edit Local Palette does nothing on a frame without one.
        f.engine.Select(0);
        QCOMPARE(RunEditLocalPalette(nullptr, f.engine).refresh, 0u);
    }

    void PreviewClickSelectsThePixelsEntry() {
        Fixture f;
        EditPaletteDialog dlg(*f.engine.Doc(), -1, 0, f.prefs);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        FrameView* v = dlg.Preview();
        const QPoint px(10, 7);
        const int index = v->IndexAt(px);
        Click(v, v->PixelCenter(px));
        QCOMPARE(dlg.State().selected, index);
        QCOMPARE(dlg.Grid()->Selected(), index);
        // Zoom in doubles the picture.
        const QSize before = v->size();
        ClickButton(&dlg, "40038");
        QCOMPARE(v->size(), before * 2);
        ClickButton(&dlg, "40069");
        QCOMPARE(v->size(), before);
    }

    void BackgroundPickerAnswersTheClickedEntryOrMinusOne() {
        Fixture f;
        BackgroundPickerDialog dlg(*f.engine.Doc(), 3);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.Grid()->Selected(), 3);
        Click(dlg.Grid(), dlg.Grid()->CellCenter(9));
        SaveShot(&dlg, "pick-background-color");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.Result(), 9);
        BackgroundPickerDialog cancelled(*f.engine.Doc(), 3);
        cancelled.show();
        Click(cancelled.Grid(), cancelled.Grid()->CellCenter(9));
        ClickButton(&cancelled, "IDCANCEL");
        QCOMPARE(cancelled.Result(), -1);
    }

    void TransparencyPickerAddModeMergesAsTheEngineDoes() {
        Fixture f;
        f.engine.Select(0);
        const auto original = GifBytes(f.engine);
        const Frame& frame = *f.engine.State().SelectedFrame();
        TransparencyPickerDialog dlg(*f.engine.Doc(), frame, ChoiceFromFrame(frame), f.prefs);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(dlg.findChild<QToolButton*>("127")->isChecked());
        // Pick 4, then add 6: both show the display colour in the grid and image.
        Click(dlg.Grid(), dlg.Grid()->CellCenter(4));
        ClickButton(&dlg, "128");
        QVERIFY(dlg.findChild<QToolButton*>("128")->isChecked());
        Click(dlg.Grid(), dlg.Grid()->CellCenter(6));
        QTest::qWait(150);
        QCOMPARE(dlg.Picker().chosen(), (std::vector<uint8_t>{4, 6}));
        const QColor shown = dlg.DisplayColor();
        QCOMPARE(QColor(PixelAt(dlg.Grid(), dlg.Grid()->CellCenter(6))), shown);
        QCOMPARE(QColor(dlg.Image()->Image().color(6)), shown);
        // Remove 4 again, then add it back.
        ClickButton(&dlg, "129");
        Click(dlg.Grid(), dlg.Grid()->CellCenter(4));
        QTest::qWait(150);
        const Rgb own4 = f.engine.Doc()->globalPalette->entries[4];
        QCOMPARE(QColor(dlg.Image()->Image().color(4)), ToQColor(own4));
        ClickButton(&dlg, "128");
        Click(dlg.Grid(), dlg.Grid()->CellCenter(4));
        // Tips only while 1083 is ticked.
        dlg.findChild<QCheckBox*>("1083")->setChecked(true);
        Hover(dlg.Grid(), dlg.Grid()->CellCenter(1));
        QVERIFY(dlg.Grid()->LastTip().startsWith("#2: R="));
        SaveShot(&dlg, "pick-transparency-index");
        ClickButton(&dlg, "IDOK");
        QVERIFY(dlg.Changed());
        QCOMPARE(dlg.Choice(), ChoiceOf({6, 4}));
        QVERIFY(f.prefs.Get(PreferenceBlock::kProgramFlags) & PreferenceBlock::kFlagPickerInfo);
        QVERIFY(f.engine.ApplyTransparencyChoice(dlg.Choice()).Ok());

        Fixture g;
        g.engine.Select(0);
        QVERIFY(g.engine.ApplyTransparencyChoice(ChoiceOf({6, 4})).Ok());
        QVERIFY(GifBytes(g.engine) == GifBytes(f.engine));
        QVERIFY(f.engine.Execute(CommandId::Undo).Ok());
        QVERIFY(GifBytes(f.engine) == original);
    }

    void TransparencyPickerCancelChangesNothing() {
        Fixture f;
        f.engine.Select(0);
        const auto original = GifBytes(f.engine);
        const CommandHandler* h = FindCommandHandler(CommandId::PickTransparency);
        QVERIFY(h);
        CommandContext ctx{nullptr, f.engine};
        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<TransparencyPickerDialog*>(w);
            Click(d->Grid(), d->Grid()->CellCenter(3));
            ClickButton(w, "IDCANCEL");
        });
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QVERIFY(GifBytes(f.engine) == original);
        QVERIFY(!f.engine.State().history.CanUndo());
        // Through the handler with a pick: the frame becomes transparent.
        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<TransparencyPickerDialog*>(w);
            Click(d->Image(), d->Image()->PixelCenter(QPoint(5, 5)));
            ClickButton(w, "IDOK");
        });
        QVERIFY((*h)(ctx).Ok());
        const Frame& frame = *f.engine.State().SelectedFrame();
        QVERIFY(frame.Transparent());
        QCOMPARE(int(frame.transparentIndex), int(frame.bitmap->At(5, 5)));
        QVERIFY(f.engine.State().history.CanUndo());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::PaletteDialogsTest)
#include "palette_dialogs_test.moc"
