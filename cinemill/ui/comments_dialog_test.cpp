#include "cinemill/ui/comments_dialog.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
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

// An engine with the sample open.
struct Editor : testing::Session {
    Editor() : Session(testing::kRedBlue) {}
};

// Answers the comment editor that opens next: types `text` (unless empty)
// and presses OK (or Cancel). `shot` names a picture of it.
void AnswerEditor(const QString& text, bool ok = true, const QString& shot = {}) {
    QTimer::singleShot(0, [=] {
        auto* editor = qobject_cast<CommentEditor*>(QApplication::activeModalWidget());
        if (!editor) qFatal("no comment editor");
        if (!text.isEmpty()) {
            editor->edit->selectAll();
            const QStringList lines = text.split('\n');
            for (int i = 0; i < lines.size(); ++i) {
                if (i) QTest::keyClick(editor->edit, Qt::Key_Return);
                QTest::keyClicks(editor->edit, lines[i]);
            }
        }
        if (!shot.isEmpty()) SaveShot(editor, shot);
        QTest::mouseClick(ok ? editor->okButton : editor->cancelButton, Qt::LeftButton);
    });
}

QStringList Entries(QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
    return out;
}

}  // namespace

class CommentsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void AddEditRemoveAreOneStepEach() {
        Editor ed;
        const auto before = ed.Bytes();
        const int existing = static_cast<int>(ed.engine.CommentEntries().size());
        CommentsDialog dlg(ed.engine);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QString("Edit GIF Comments"));
        QCOMPARE(dlg.list->count(), existing);
        QVERIFY(!dlg.editButton->isEnabled());
        QVERIFY(!dlg.removeButton->isEnabled());

        // Two lines, abc and def: listed as abc followed by " ...".
        AnswerEditor("abc\ndef", true, "comment-editor");
        QTest::mouseClick(dlg.addButton, Qt::LeftButton);
        QCOMPARE(dlg.list->count(), existing + 1);
        QCOMPARE(dlg.list->currentItem()->text(), QString("abc ..."));
        QVERIFY(dlg.editButton->isEnabled());
        QCOMPARE(ed.engine.State().history.CurrentKind(), UndoKind::EditComments);
        const int steps = ed.engine.State().history.Count();

        // Edit by double click.
        AnswerEditor("second");
        const QRect r = dlg.list->visualItemRect(dlg.list->currentItem());
        QTest::mouseClick(dlg.list->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(dlg.list->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(dlg.list->currentItem()->text(), QString("second"));
        QCOMPARE(ed.engine.State().history.Count(), steps + 1);
        SaveShot(&dlg, "comments");

        // An unedited OK and a Cancel change nothing.
        AnswerEditor({}, true);
        QTest::mouseClick(dlg.editButton, Qt::LeftButton);
        AnswerEditor("ignored", false);
        QTest::mouseClick(dlg.addButton, Qt::LeftButton);
        QCOMPARE(ed.engine.State().history.Count(), steps + 1);
        QVERIFY(Entries(dlg.list).contains("second"));
        QVERIFY(!Entries(dlg.list).contains("ignored"));

        // Remove with the Delete key; the same index stays selected when it exists.
        const int row = dlg.list->currentRow();
        QTest::keyClick(&dlg, Qt::Key_Delete);
        QCOMPARE(dlg.list->count(), existing);
        QCOMPARE(ed.engine.State().history.Count(), steps + 2);
        QCOMPARE(dlg.removeButton->isEnabled(), row < dlg.list->count());
        QTest::mouseClick(dlg.doneButton, Qt::LeftButton);
        QCOMPARE(dlg.Outcome().result, Result::Done);
        QVERIFY(dlg.Outcome().refresh & refresh::kSize);
        // Undo of the three steps gives the file back.
        for (int i = 0; i < 3; ++i) QVERIFY(ed.engine.Execute(CommandId::Undo).Ok());
        QCOMPARE(ed.Bytes(), before);
    }

    void CommentsLongerThan254AreRefusedWithTheirMessage() {
        Editor ed;
        const auto before = ed.Bytes();
        CommentEditor editor(ed.host, "");
        editor.show();
        QTest::keyClicks(editor.edit, QString(255, 'x'));
        QTest::mouseClick(editor.okButton, Qt::LeftButton);
        QVERIFY(editor.isVisible());
        QCOMPARE(ed.host.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ed.host.messages[0]),
                 QString("Comment Too Long: The comment string must be shorter than 255 characters. Use multiple "
                         "comment blocks if necessary."));
        QTest::keyClick(editor.edit, Qt::Key_Backspace);
        QTest::mouseClick(editor.okButton, Qt::LeftButton);
        QVERIFY(!editor.isVisible());
        QVERIFY(editor.Changed());
        QCOMPARE(editor.Text().size(), size_t(254));
        QCOMPARE(ed.Bytes(), before);  // the editor alone changes nothing
    }

    void HandlerReportsNoChangeWhenNothingChanged() {
        Editor ed;
        const CommandHandler* h = FindCommandHandler(CommandId::GifComments);
        QVERIFY(h != nullptr);
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<CommentsDialog*>(QApplication::activeModalWidget());
            if (!dlg) qFatal("no comments dialog");
            QTest::mouseClick(dlg->doneButton, Qt::LeftButton);
        });
        CommandContext ctx{nullptr, ed.engine};
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QVERIFY(!ed.engine.State().modified);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::CommentsDialogTest)
#include "comments_dialog_test.moc"
