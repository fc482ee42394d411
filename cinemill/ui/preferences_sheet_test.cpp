#include "cinemill/ui/preferences_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "cinemill/app/file_association.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/property_widgets.h"
#include "cinemill/ui/shots.h"

namespace cinemill {
namespace {

struct FakeAssociation : FileAssociation {
    bool present = false, canSet = true;
    int sets = 0, removes = 0;
    bool Present() override { return present; }
    bool Set() override {
        ++sets;
        if (canSet) present = true;
        return canSet;
    }
    bool Remove() override {
        ++removes;
        present = false;
        return true;
    }
};

struct Setup {
    MemorySettingsStore store;
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    FakeAssociation association;
    Engine engine{prefs, host, clipboard};
    Setup() { prefs.Load(&store); }
};

void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}

void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); }

uint32_t Slot(const MemorySettingsStore& store, int slot) {
    const auto& bytes = store.values.at("Pref").bytes;
    const size_t i = static_cast<size_t>(slot) * 4;
    return bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 | uint32_t(bytes[i + 3]) << 24;
}

}  // namespace

class PreferencesSheetTest : public QObject {
    Q_OBJECT
private slots:
    void DefaultsPageChecksAndPersists() {
        Setup s;
        PreferencesDialog dlg(s.engine, &s.association);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("Preferences"));
        QCOMPARE(dlg.tabs->count(), 4);
        QCOMPARE(dlg.tabs->currentWidget(), dlg.defaultsPage);
        QCOMPARE(dlg.delay->Typed(), QString("10"));
        QVERIFY(dlg.changeSize->isChecked());
        QVERIFY(dlg.alwaysAsk->isChecked());
        SaveShot(&dlg, "preferences-defaults");
        // The arrows stay within 0 to 32767; typing can go beyond and is checked.
        dlg.delay->SetTyped("32767");
        dlg.delay->stepBy(1);
        QCOMPARE(dlg.delay->Typed(), QString("32767"));

        Type(dlg.delay->findChild<QLineEdit*>(), "70000");
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(QString::fromStdString(s.host.messages.back()),
                 QString("Invalid Delay Value: The delay must be in the range from 0 to 65535."));
        dlg.tabs->setCurrentIndex(2);  // leaving is refused too
        QCOMPARE(dlg.tabs->currentWidget(), dlg.defaultsPage);
        QCOMPARE(s.host.messages.size(), size_t(2));
        // A blank field is refused as well, and keeps its text when left.
        Type(dlg.delay->findChild<QLineEdit*>(), "");
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.delay->Typed(), QString());
        QCOMPARE(s.host.messages.size(), size_t(3));
        Type(dlg.delay->findChild<QLineEdit*>(), "25");
        Type(dlg.iterations->findChild<QLineEdit*>(), "65537");
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QCOMPARE(QString::fromStdString(s.host.messages.back()),
                 QString("Bad Iteration Value: The number of iterations must be in the range from 0 to 65536."));
        QVERIFY(!s.store.values.count("Pref"));  // nothing written yet
        Type(dlg.iterations->findChild<QLineEdit*>(), "65536");
        Click(dlg.clipInserted);
        Click(dlg.alwaysAsk);
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.Outcome().result, Result::Done);
        QCOMPARE(Slot(s.store, 0), 25u);
        QCOMPARE(Slot(s.store, 1), 65536u);
        QCOMPARE(Slot(s.store, 2), 0x10u);
        QCOMPARE(s.store.values.at("NPref").dword, 13u);

        // A new run reads them back.
        PreferenceBlock again;
        again.Load(&s.store);
        ScriptedUiHost host;
        MemoryClipboard clip;
        Engine engine(again, host, clip);
        PreferencesDialog next(engine, &s.association);
        QCOMPARE(next.delay->Typed(), QString("25"));
        QCOMPARE(next.iterations->Typed(), QString("65536"));
        QVERIFY(next.clipInserted->isChecked());
        QVERIFY(!next.alwaysAsk->isChecked());
    }

    void PalettesPageWritesSlot10() {
        Setup s;
        PreferencesDialog dlg(s.engine, &s.association);
        dlg.show();
        dlg.tabs->setCurrentIndex(1);
        QCOMPARE(dlg.tabs->currentWidget(), dlg.palettesPage);
        QVERIFY(dlg.methods[0]->isChecked());
        QVERIFY(dlg.askMerge->isChecked());
        QCOMPARE(dlg.maxColors->currentText(), QString("256 colors"));
        SaveShot(&dlg, "preferences-palettes");
        Click(dlg.methods[2]);
        dlg.maxColors->setCurrentIndex(2);     // 64
        dlg.trueColorMax->setCurrentIndex(5);  // 8
        Click(dlg.dither);
        Click(dlg.askMerge);
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(Slot(s.store, 10), 0x4u | 0x100u | (6u << 16) | (3u << 20));
        // Pages that were never shown write nothing of theirs.
        QCOMPARE(Slot(s.store, 0), 10u);
        PreferenceBlock again;
        again.Load(&s.store);
        MemoryClipboard clip;
        Engine engine(again, s.host, clip);
        PreferencesDialog next(engine, &s.association);
        QVERIFY(next.methods[2]->isChecked());
        QCOMPARE(next.maxColors->currentIndex(), 2);
        QVERIFY(next.dither->isChecked());
        QVERIFY(!next.askMerge->isChecked());
    }

    void ProgramPageFlagsAssociationAndUndoLevels() {
        Setup s;
        s.prefs.SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagVerticalStrips, true);
        bool flatSeen = false;
        SetFlatLookListener([&](bool flat) { flatSeen = flat; });
        PreferencesDialog dlg(s.engine, &s.association);
        dlg.show();
        dlg.tabs->setCurrentIndex(2);
        QCOMPARE(dlg.undoLevels->text(), QString("100"));
        QVERIFY(!dlg.associate->isChecked());
        SaveShot(&dlg, "preferences-program");
        Type(dlg.undoLevels, "-1");
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(QString::fromStdString(s.host.messages.back()),
                 QString("Bad Undo Levels Value: The number of undo levels must be a whole number from 0 to "
                         "4294967295."));
        Type(dlg.undoLevels, "5");
        Click(dlg.flatLook);
        Click(dlg.associate);
        s.association.canSet = false;
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(s.host.errors.back(), std::string("Error setting GIF file association. Association not set."));
        QCOMPARE(s.association.sets, 1);
        QVERIFY(flatSeen);
        QCOMPARE(Slot(s.store, 12), 5u);
        // The flat look is set and the orientation bit of another writer kept.
        QCOMPARE(Slot(s.store, 6), PreferenceBlock::kFlagFlatToolbars | PreferenceBlock::kFlagVerticalStrips);
        SetFlatLookListener(nullptr);
    }

    void SignaturePageTextFollowsTheBoxAndMarksTheDocument() {
        Setup s;
        s.engine.SetDocument(NewAnimation(4, 4, s.prefs), "", false);
        PreferencesDialog dlg(s.engine, &s.association);
        dlg.show();
        dlg.tabs->setCurrentIndex(3);
        QCOMPARE(dlg.signature->toPlainText(), QString("Built with Cinemill 2.6"));
        QVERIFY(dlg.signature->isEnabled());
        SaveShot(&dlg, "preferences-signature");
        dlg.signature->selectAll();
        QTest::keyClicks(dlg.signature, QString(256, 's'));
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(QString::fromStdString(s.host.messages.back()),
                 QString("Comment Too Long: The comment string must be shorter than 255 characters. Use multiple "
                         "comment blocks if necessary."));
        QTest::keyClick(dlg.signature, Qt::Key_Backspace);
        Click(dlg.addSignature);
        QVERIFY(!dlg.signature->isEnabled());
        QTest::mouseClick(dlg.okButton, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.Outcome().refresh & refresh::kModified);
        QVERIFY(s.engine.State().modified);
        QCOMPARE(s.store.values.at("Sig").text, std::string(255, 's'));
        QVERIFY(Slot(s.store, 6) & PreferenceBlock::kFlagNoSignature);
        PreferenceBlock again;
        again.Load(&s.store);
        MemoryClipboard clip;
        Engine engine(again, s.host, clip);
        PreferencesDialog next(engine, &s.association);
        QVERIFY(!next.addSignature->isChecked());
        QVERIFY(!next.signature->isEnabled());
        QCOMPARE(next.signature->toPlainText(), QString(255, 's'));
    }

    void CancelWritesNothingAndTheHandlerIsRegistered() {
        Setup s;
        SetPreferencesAssociation(&s.association);
        const CommandHandler* h = FindCommandHandler(CommandId::Preferences);
        QVERIFY(h != nullptr);
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
            if (!dlg) qFatal("no preferences sheet");
            dlg->delay->SetTyped("3");
            QTest::mouseClick(dlg->cancelButton, Qt::LeftButton);
        });
        CommandContext ctx{nullptr, s.engine};
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QVERIFY(s.store.values.empty());
        QCOMPARE(s.prefs.Get(PreferenceBlock::kDefaultDelay), 10u);
        SetPreferencesAssociation(nullptr);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::PreferencesSheetTest)
#include "preferences_sheet_test.moc"
