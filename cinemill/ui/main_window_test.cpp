#include "cinemill/ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <unistd.h>

#include "cinemill/app/command_id.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/ui/about_box.h"
#include "cinemill/ui/frame_strip_view.h"
#include "cinemill/ui/frame_toolbar_widget.h"
#include "cinemill/ui/main_actions.h"
#include "cinemill/ui/qt_settings_store.h"
#include "cinemill/ui/shots.h"
#include "cinemill/ui/status_bar_widget.h"

namespace cinemill {

namespace {

const QString kSample = QString(CM_TESTDATA_DIR) + "/sample.gif";
const QString kCorpusGif = QString(CM_CORPUS_DIR) + "/giflib/pic/fire.gif";

// A window with its own settings file and dialogs that answer from scripts
// and record what they were asked.
struct Harness {
    QTemporaryDir dir;
    std::unique_ptr<QtSettingsStore> settings;
    std::unique_ptr<MainWindow> w;
    std::vector<MessageRequest> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QStringList> opens;
    std::deque<QString> saves;
    std::vector<OpenRequest> openRequests;
    std::vector<SaveRequest> saveRequests;

    explicit Harness(const QString& settings_file = {}) {
        settings = std::make_unique<QtSettingsStore>(settings_file.isEmpty() ? dir.filePath("cm.ini")
                                                                             : settings_file);
        w = std::make_unique<MainWindow>(*settings);
        QtUiHost& h = w->host();
        h.runBox = [this](const MessageRequest& r) {
            boxes.push_back(r);
            if (answers.empty()) return QMessageBox::Cancel;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        };
        h.runOpen = [this](const OpenRequest& r) {
            openRequests.push_back(r);
            if (opens.empty()) return QStringList();
            auto a = opens.front();
            opens.pop_front();
            return a;
        };
        h.runSave = [this](const SaveRequest& r) {
            saveRequests.push_back(r);
            if (saves.empty()) return QString();
            auto a = saves.front();
            saves.pop_front();
            return a;
        };
        if (settings_file.isEmpty()) w->resize(900, 560);
        w->show();
    }
    // Chooses frame `i` (-1 none) in the frame selector, as a click does.
    void Select(int i) {
        QComboBox* sel = w->frameToolBar()->selector();
        sel->setCurrentIndex(i + 1);
        emit sel->activated(i + 1);
    }
    Engine& e() { return w->engine(); }
    QAction* act(CommandId id) { return w->actions().Action(id); }
    QString pane(int i) { return w->statusPanes()->PaneText(i); }
    void Open(const QString& path) {
        opens.push_back({path});
        act(CommandId::Open)->trigger();
    }
};

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void EmptyWindowShowsReadyToAnimateAndGraysDocumentItems() {
        Harness h;
        QCOMPARE(h.w->windowTitle(), QString("Untitled - Cinemill"));
        QVERIFY(h.w->statusPanes()->Simple());
        QCOMPARE(h.w->statusPanes()->SimpleText(), QString("Ready to Animate"));
        // Every command of the menu bar carries its id.
        for (CommandId id : {CommandId::New, CommandId::Open, CommandId::Insert, CommandId::ImportAvi,
                             CommandId::Revert, CommandId::SaveAs, CommandId::ExportCursor, CommandId::Html,
                             CommandId::Exit, CommandId::Undo, CommandId::Preferences, CommandId::MoveCrop,
                             CommandId::RotateAllFlipV, CommandId::GifComments, CommandId::Zoom20,
                             CommandId::Zoom400, CommandId::TransparencyCustom, CommandId::About}) {
            QAction* a = h.act(id);
            QVERIFY2(a, CommandName(Id(id)));
            QCOMPARE(a->data().toInt(), Id(id));
        }
        QCOMPARE(h.act(CommandId::Open)->shortcut(), QKeySequence(QKeySequence::Open));
        QVERIFY(h.act(CommandId::SaveAs)->shortcuts().contains(QKeySequence("Ctrl+A")));
        QVERIFY(h.act(CommandId::ZoomIn)->shortcuts().contains(QKeySequence("Ctrl+Space")));
        // The File menu grays what needs a document when it opens.
        emit h.w->actions().fileMenu->aboutToShow();
        QVERIFY(!h.act(CommandId::SaveAs)->isEnabled());
        QVERIFY(!h.act(CommandId::Save)->isEnabled());
        QVERIFY(h.act(CommandId::Open)->isEnabled());
        QVERIFY(!h.w->actions().exportAsMenu->isEnabled());
        QVERIFY(!h.w->frameToolBar()->delayEdit()->isEnabled());
        QVERIFY(!h.w->frameToolBar()->playCountEdit()->isEnabled());
        // Tool tips from the string table.
        QCOMPARE(h.act(CommandId::New)->toolTip(), QString("New Animation"));
        QCOMPARE(h.w->frameToolBar()->selector()->toolTip(), QString("Frame Name"));
        QCOMPARE(h.w->frameToolBar()->delayEdit()->toolTip(), QString("Delay (1/100th seconds)"));
        QCOMPARE(h.w->frameToolBar()->Button(CommandId::DisposalPrevious)->toolTip(),
                 QString("Removal: Restore Previous"));
        SaveShot(h.w.get(), "main-empty");
    }

    void OpenTheSampleAndACorpusFile() {
        Harness h;
        h.Open(kSample);
        QCOMPARE(h.openRequests.size(), size_t(1));
        QCOMPARE(h.openRequests[0].title, QString("Open File(s)"));
        QCOMPARE(h.openRequests[0].filters.front(),
                 QString("All Supported Formats (*.gif *.avi *.bmp *.dib *.jpg *.ani *.psd)"));
        QCOMPARE(h.openRequests[0].filters.back(), QString("All Files (*.*)"));
        QCOMPARE(h.w->windowTitle(), QString("sample.gif - Cinemill"));
        QVERIFY(!h.w->statusPanes()->Simple());
        QCOMPARE(h.pane(0), QString("  None of 3 frames"));
        QCOMPARE(h.pane(1), QString::fromUtf8("  48 × 32"));
        QCOMPARE(h.w->frameToolBar()->selector()->count(), 4);
        QCOMPARE(h.w->frameToolBar()->playCountEdit()->text(),
                 QString::number(h.e().Doc()->playCount));
        // The recent entry is in the File menu and in the settings.
        QCOMPARE(h.w->actions().RecentActions().size(), 2);  // the entry and its separator
        QCOMPARE(h.w->actions().RecentActions()[0]->text(), "&1: " + QFileInfo(kSample).absoluteFilePath());
        QCOMPARE(QString::fromStdString(*h.settings->ReadString("File1")), QFileInfo(kSample).absoluteFilePath());
        // The size pane follows the size task.
        h.e().WaitTasks();
        QTRY_VERIFY(h.pane(3).contains("bytes"));
        SaveShot(h.w.get(), "main-sample");
        emit h.w->actions().fileMenu->aboutToShow();
        QVERIFY(h.act(CommandId::SaveAs)->isEnabled());
        QVERIFY(h.w->actions().exportAsMenu->isEnabled());

        if (!QFileInfo::exists(kCorpusGif)) QSKIP("corpus file missing");
        h.w->OpenFiles({kCorpusGif});
        QCOMPARE(h.w->windowTitle(), QString("fire.gif - Cinemill"));
        QVERIFY(h.e().State().FrameCount() > 1);
        QCOMPARE(h.pane(0), QString("  None of %1 frames").arg(h.e().State().FrameCount()));
        QCOMPARE(h.w->actions().RecentActions()[1]->text(), "&2: " + QFileInfo(kSample).absoluteFilePath());
    }

    void SelectorDeleteAndUndo() {
        Harness h;
        h.w->OpenFiles({kSample});
        QComboBox* sel = h.w->frameToolBar()->selector();
        sel->setFocus();
        QTest::keyClick(sel, Qt::Key_Down);
        QCOMPARE(h.e().State().selected, 0);
        QCOMPARE(h.pane(0), QString("  Frame #1 of 3"));
        QVERIFY(h.act(CommandId::Delete)->isEnabled());
        QCOMPARE(h.w->frameToolBar()->delayEdit()->text(),
                 QString::number(h.e().Doc()->FrameAt(0)->delay));
        QTest::keyClick(sel, Qt::Key_Down);
        QCOMPARE(h.e().State().selected, 1);
        const std::string secondName = h.e().Doc()->FrameAt(2)->name;

        h.act(CommandId::Delete)->trigger();
        QCOMPARE(h.e().State().FrameCount(), 2);
        QCOMPARE(sel->count(), 3);
        QCOMPARE(h.pane(0), QString("  Frame #2 of 2"));
        QVERIFY(h.e().State().modified);
        QVERIFY(h.act(CommandId::Save)->isEnabled());
        emit h.w->actions().Menus()[1]->aboutToShow();
        QVERIFY(h.act(CommandId::Undo)->isEnabled());
        QCOMPARE(h.act(CommandId::Undo)->text(), QString("&Undo Delete Frame"));  // the shortcut shows the key
        QCOMPARE(h.act(CommandId::Undo)->shortcut(), QKeySequence(QKeySequence::Undo));

        h.act(CommandId::Undo)->trigger();
        QCOMPARE(h.e().State().FrameCount(), 3);
        QCOMPARE(sel->count(), 4);
        QCOMPARE(h.e().Doc()->FrameAt(2)->name, secondName);
        QCOMPARE(h.pane(0).right(4), QString("of 3"));
    }

    // The strip in the window: a click selects (the selector and the panes
    // follow), a drag reorders as one undo step, a zoom lays the cells out
    // anew and a double click opens the frame's properties.
    void StripViewSelectsReordersAndZoomsInTheWindow() {
        Harness h;
        h.w->OpenFiles({kSample});
        FrameStripView* view = h.w->stripView();
        QVERIFY(QTest::qWaitForWindowExposed(h.w.get()));
        QCOMPARE(view->CurrentLayout().frameCount, 3);
        auto point = [&](int k) {
            const strip::Rect r = CellImageRect(view->CurrentLayout(), k);
            return QPoint(r.x + r.w / 2, r.y + r.h / 2) -
                   QPoint(view->CurrentLayout().HorizontalBar().pos, view->CurrentLayout().VerticalBar().pos);
        };
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point(1));
        QCOMPARE(h.e().State().selected, 1);
        QCOMPARE(h.w->frameToolBar()->selector()->currentIndex(), 2);
        QCOMPARE(h.pane(0), QString("  Frame #2 of 3"));

        const std::string first = h.e().Doc()->FrameAt(0)->name;
        const std::string last = h.e().Doc()->FrameAt(2)->name;
        const QPoint from = point(0);
        const QPoint to = point(2) + QPoint(0, view->CurrentLayout().metrics.cellLength / 2 - 2);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= 6; ++i) {
            QMouseEvent move(QEvent::MouseMove, QPointF(from + (to - from) * i / 6),
                             QPointF(view->viewport()->mapToGlobal(from + (to - from) * i / 6)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &move);
        }
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(h.e().Doc()->FrameAt(2)->name, first);
        QVERIFY(h.e().State().modified);
        QVERIFY(h.w->windowTitle().contains('*') || h.act(CommandId::Save)->isEnabled());
        emit h.w->actions().Menus()[1]->aboutToShow();
        QVERIFY(h.act(CommandId::Undo)->text().remove(QChar('&')).startsWith("Undo Frame Move"));
        h.act(CommandId::Undo)->trigger();
        QCOMPARE(h.e().Doc()->FrameAt(0)->name, first);
        QCOMPARE(h.e().Doc()->FrameAt(2)->name, last);

        const int small = view->CurrentLayout().metrics.cellLength;
        h.act(CommandId::ZoomIn)->trigger();
        QVERIFY(view->CurrentLayout().metrics.cellLength > small);
        QCOMPARE(h.pane(4), QString("  200%"));
        h.e().WaitTasks();
        QTRY_VERIFY(h.pane(3).contains("bytes"));
        SaveShot(h.w.get(), "main-zoomed");

        // A double click on a frame asks for its properties.
        bool asked = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->isVisible() && top != h.w.get() && top->inherits("QDialog")) {
                    asked = true;
                    top->close();
                }
        });
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, point(0));
        QVERIFY(asked);
    }

    // The harness's 150-frame screen recording, when the benchmark corpus
    // is there (the pictures are made with it; the case checks the layout).
    void LargeRecordingOpensInTheStrip() {
        const QString rec = qEnvironmentVariable("CM_SCREENREC");
        if (rec.isEmpty() || !QFileInfo::exists(rec)) QSKIP("CM_SCREENREC names no file");
        Harness h;
        h.w->OpenFiles({rec});
        QCOMPARE(h.w->stripView()->CurrentLayout().frameCount, 150);
        h.act(CommandId::Zoom20)->trigger();
        h.e().WaitTasks();
        QTRY_VERIFY(h.pane(3).contains("bytes"));
        SaveShot(h.w.get(), "main-screenrec");
    }

    void DelayFieldChangesTheTotalTimeAndRefusesTooLargeValues() {
        Harness h;
        h.w->OpenFiles({kSample});
        h.e().Select(0);
        h.w->Refresh(refresh::kSelection);
        QLineEdit* delay = h.w->frameToolBar()->delayEdit();
        QVERIFY(delay->isEnabled());
        const QString before = h.pane(2);
        const uint32_t others = h.e().Doc()->FrameAt(1)->delay + h.e().Doc()->FrameAt(2)->delay;
        delay->selectAll();
        QTest::keyClicks(delay, "250");
        QCOMPARE(h.e().Doc()->FrameAt(0)->delay, 250u);
        QVERIFY(h.pane(2) != before);
        QCOMPARE(h.pane(2), QString("  %1 secs").arg((250 + others) / 100.0, 0, 'f', 2));
        QVERIFY(h.e().State().modified);
        QVERIFY(h.boxes.empty());

        delay->selectAll();
        QTest::keyClicks(delay, "70000");
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].caption, QString("Invalid Delay Value"));
        QCOMPARE(h.boxes[0].text, QString("The delay must be in the range from 0 to 65535."));
        QCOMPARE(h.boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(h.e().Doc()->FrameAt(0)->delay, 65535u);
        QCOMPARE(delay->text(), QString("65535"));

        // The play count: out of range warns and 0 is kept.
        QLineEdit* loops = h.w->frameToolBar()->playCountEdit();
        loops->selectAll();
        QTest::keyClicks(loops, "70000");
        QCOMPARE(h.boxes.back().caption, QString("Bad Iteration Value"));
        QCOMPARE(h.e().Doc()->playCount, 0u);
        QCOMPARE(loops->text(), QString("0"));
    }

    void FrameButtonsChangeTheSelectedFrame() {
        Harness h;
        h.w->OpenFiles({kSample});
        h.e().Select(1);
        h.w->Refresh(refresh::kSelection);
        QAction* restore = h.w->frameToolBar()->Button(CommandId::DisposalPrevious);
        QVERIFY(restore->isEnabled());
        restore->trigger();
        QCOMPARE(h.e().Doc()->FrameAt(1)->Disposal(), 3);
        QVERIFY(restore->isChecked());
        QVERIFY(!h.w->frameToolBar()->Button(CommandId::DisposalLeave)->isChecked());
        QAction* interlace = h.w->frameToolBar()->Button(CommandId::Interlace);
        const bool was = h.e().Doc()->FrameAt(1)->Interlaced();
        interlace->trigger();
        QCOMPARE(h.e().Doc()->FrameAt(1)->Interlaced(), !was);
        QCOMPARE(interlace->isChecked(), !was);
        // With no selection the frame buttons are off.
        h.e().Select(-1);
        h.w->Refresh(refresh::kSelection);
        QVERIFY(!restore->isEnabled());
        QVERIFY(!restore->isChecked());
        QVERIFY(h.w->frameToolBar()->delayEdit()->text().isEmpty());
    }

    void SaveAndReopen() {
        Harness h;
        h.w->OpenFiles({kSample});
        h.e().Select(0);
        h.w->Refresh(refresh::kSelection);
        QTest::keyClicks(h.w->frameToolBar()->delayEdit(), "7");  // appends: a new delay
        const uint32_t delay = h.e().Doc()->FrameAt(0)->delay;
        const QString out = h.dir.filePath("saved.gif");
        h.saves.push_back(out);
        h.act(CommandId::SaveAs)->trigger();
        QCOMPARE(h.saveRequests.size(), size_t(1));
        QCOMPARE(h.saveRequests[0].title, QString("Save Animation As"));
        QCOMPARE(h.saveRequests[0].filter, QString("GIF File (*.gif)"));
        QVERIFY(QFileInfo::exists(out));
        QVERIFY(!h.e().State().modified);
        QCOMPARE(h.w->windowTitle(), QString("saved.gif - Cinemill"));
        QVERIFY(!h.act(CommandId::Save)->isEnabled());

        Harness again;
        again.w->OpenFiles({out});
        QCOMPARE(again.e().State().FrameCount(), 3);
        QCOMPARE(again.e().Doc()->FrameAt(0)->delay, delay);
        QVERIFY(!again.e().State().modified);
    }

    void AFailedSaveKeepsTheOldFileAndTheDocumentModified() {
        Harness h;
        h.w->OpenFiles({kSample});
        h.Select(0);
        h.act(CommandId::Delete)->trigger();
        QVERIFY(h.e().State().modified);
        // A folder stands where the file should go: the final copy fails.
        const QString blocked = h.dir.filePath("blocked.gif");
        QVERIFY(QDir().mkpath(blocked));
        h.saves.push_back(blocked);
        h.act(CommandId::SaveAs)->trigger();
        QVERIFY(!h.boxes.empty());
        QCOMPARE(h.boxes.back().caption, QString("Error"));
        QVERIFY(h.boxes.back().text.contains("blocked.gif"));
        QVERIFY(QFileInfo(blocked).isDir());
        QVERIFY(h.e().State().modified);
        QCOMPARE(h.w->windowTitle(), QString("sample.gif - Cinemill"));

        // A read-only folder with an old file in it (only without root
        // rights, which ignore file modes).
        if (geteuid() == 0) return;
        const QString ro = h.dir.filePath("ro");
        QDir().mkpath(ro);
        const QString old = ro + "/old.gif";
        QVERIFY(QFile::copy(kSample, old));
        const QByteArray oldBytes = FileBytes(old);
        QFile::setPermissions(old, QFileDevice::ReadOwner);
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        h.saves.push_back(old);
        const size_t boxes = h.boxes.size();
        h.act(CommandId::SaveAs)->trigger();
        QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(h.boxes.size() > boxes);
        QCOMPARE(FileBytes(old), oldBytes);
        QVERIFY(h.e().State().modified);
    }

    void CopyInOneWindowPastesIntoAnother() {
        Harness a;
        a.w->OpenFiles({kSample});
        a.Select(1);
        a.act(CommandId::Copy)->trigger();
        const Frame* src = a.e().Doc()->FrameAt(1);
        Harness b;
        // The second window sees the clipboard when it comes to the front.
        QEvent activate(QEvent::ActivationChange);
        QApplication::sendEvent(b.w.get(), &activate);
        b.w->RunCommand(Id(CommandId::Paste));
        QVERIFY(b.e().Doc() != nullptr);
        QCOMPARE(b.e().State().FrameCount(), 1);
        const Frame* got = b.e().Doc()->FrameAt(0);
        QCOMPARE(got->delay, src->delay);
        QCOMPARE(got->name, src->name);
        QCOMPARE(got->left, src->left);
        QCOMPARE(got->top, src->top);
        QCOMPARE(b.w->windowTitle(), QString("Untitled - Cinemill"));
        QVERIFY(b.pane(0).endsWith(" of 1"));
        // Both forms are on the system clipboard.
        const QMimeData* m = QGuiApplication::clipboard()->mimeData();
        QVERIFY(m->hasFormat(QtClipboard::kFrameMime));
        QVERIFY(m->data(QtClipboard::kBmpMime).startsWith("BM"));
    }

    void DroppedFilesOpenAndInsert() {
        Harness h;
        auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(h.w.get(), &enter);
            QDropEvent ev(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(h.w.get(), &ev);
            return enter.isAccepted() && ev.isAccepted();
        };
        QVERIFY(drop({QUrl::fromLocalFile(kSample)}));
        // One file on an empty window: it becomes the named document.
        QCOMPARE(h.w->windowTitle(), QString("sample.gif - Cinemill"));
        QCOMPARE(h.e().State().FrameCount(), 3);
        QVERIFY(!h.e().State().modified);
        // Two more: inserted, modified.
        QVERIFY(drop({QUrl::fromLocalFile(kSample), QUrl::fromLocalFile(kSample)}));
        QCOMPARE(h.e().State().FrameCount(), 9);
        QVERIFY(h.e().State().modified);
        QCOMPARE(h.pane(0), QString("  None of 9 frames"));
        // Not files: refused.
        QVERIFY(!drop({QUrl("https://example.com/a.gif")}));
    }

    void SaveQuestionOnClose() {
        Harness h;
        h.w->OpenFiles({kSample});
        h.Select(0);
        h.act(CommandId::Delete)->trigger();
        h.answers.push_back(QMessageBox::Cancel);
        QVERIFY(!h.w->close());
        QVERIFY(h.w->isVisible());
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].caption, QString("Cinemill"));
        QCOMPARE(h.boxes[0].text, "Save changes to " + QFileInfo(kSample).absoluteFilePath() + "?");
        QCOMPARE(h.boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(h.e().State().FrameCount(), 2);
        const QByteArray sampleBytes = FileBytes(kSample);
        h.answers.push_back(QMessageBox::No);
        QVERIFY(h.w->close());
        QCOMPARE(FileBytes(kSample), sampleBytes);
        // The placement was kept for the next start.
        QVERIFY(h.settings->ReadBinary("Placement").has_value());
    }

    void BadInputGetsTheMessageAndLeavesTheDocument() {
        Harness h;
        h.w->OpenFiles({kSample});
        const QString fake = h.dir.filePath("fake.gif");
        {
            QFile f(fake);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a picture at all");
        }
        h.opens.push_back({fake});
        h.act(CommandId::Insert)->trigger();
        QCOMPARE(h.openRequests.back().title, QString("Insert Frame(s) Into Animation"));
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].caption, QString("Error"));
        QVERIFY2(h.boxes[0].text.contains("not a valid GIF File"), qPrintable(h.boxes[0].text));
        QCOMPARE(h.e().State().FrameCount(), 3);
        QVERIFY(!h.e().State().modified);
        QCOMPARE(h.w->windowTitle(), QString("sample.gif - Cinemill"));
        // An unknown kind of file.
        const QString txt = h.dir.filePath("notes.txt");
        QVERIFY(QFile::copy(kSample, txt));
        h.opens.push_back({txt});
        h.act(CommandId::Insert)->trigger();
        QCOMPARE(h.boxes.back().text, QString("Unable to read this type of file."));
        QCOMPARE(h.e().State().FrameCount(), 3);
        QVERIFY(!h.e().State().modified);
    }

    void RecentFilesAndPlacementComeBackAtTheNextStart() {
        QTemporaryDir dir;
        const QString ini = dir.filePath("shared.ini");
        {
            Harness h(ini);
            h.w->OpenFiles({kSample});
            h.w->resize(700, 450);
            QVERIFY(h.w->close());
        }
        Harness h(ini);
        QCOMPARE(h.w->size(), QSize(700, 450));
        QCOMPARE(h.w->actions().RecentActions().size(), 2);
        // The entry opens its file.
        h.w->actions().RecentActions()[0]->trigger();
        QCOMPARE(h.w->windowTitle(), QString("sample.gif - Cinemill"));
    }

    void HelpAndAbout() {
        Harness h;
        QUrl opened;
        h.w->openUrl = [&](const QUrl& u) {
            opened = u;
            return true;
        };
        h.act(CommandId::HelpContents)->trigger();
        QVERIFY(opened.isLocalFile());
        QVERIFY(opened.toLocalFile().endsWith("help/index.html"));
        QVERIFY(FileBytes(opened.toLocalFile()).contains("Cinemill"));
        // A browser that cannot be started is told.
        h.w->openUrl = [](const QUrl&) { return false; };
        h.act(CommandId::HelpContents)->trigger();
        QCOMPARE(h.boxes.size(), size_t(1));

        QString title;
        int framesSeen = 0;
        h.w->runAbout = [&](AboutBox& box) {
            box.show();
            title = box.findChild<QLabel*>("aboutTitle")->text();
            auto* anim = box.findChild<AboutAnimation*>("aboutAnimation");
            const QImage first = anim->grab().toImage();
            anim->SetFrame(AboutAnimation::kFrameCount / 4);
            const QImage later = anim->grab().toImage();
            framesSeen = first != later ? 2 : 1;
            QVERIFY(anim->Timer()->isActive());
            SaveShot(&box, "about");
        };
        h.act(CommandId::About)->trigger();
        QCOMPARE(title, QString::fromUtf8("Cinemill\u2122 2.6"));
        QCOMPARE(framesSeen, 2);
    }


    void AcceleratorsDownloadTimeAndFlatLook() {
        Harness h;
        h.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.w.get()));
        // Ctrl+O runs Open through the accelerator.
        h.opens.push_back({kSample});
        QTest::keySequence(h.w.get(), QKeySequence(QKeySequence::Open));
        QCOMPARE(h.openRequests.size(), size_t(1));
        QCOMPARE(h.e().State().FrameCount(), 3);
        // Del deletes the selected frame, Ctrl+Z brings it back.
        h.Select(2);
        h.w->setFocus();
        QTest::keyClick(h.w.get(), Qt::Key_Delete);
        QCOMPARE(h.e().State().FrameCount(), 2);
        QTest::keySequence(h.w.get(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(h.e().State().FrameCount(), 3);
        // The main tool bar's Save button follows the modified flag.
        QCOMPARE(h.act(CommandId::Save)->isEnabled(), h.e().State().modified);
        QVERIFY(h.act(CommandId::Redo)->isEnabled());

        // View > Download Time: the items show the times; choosing one
        // changes the speed the size pane names.
        h.e().WaitTasks();
        QTRY_VERIFY(h.pane(3).contains("28.8K"));
        emit h.w->actions().downloadMenu->aboutToShow();
        const QList<QAction*> items = h.w->actions().downloadMenu->actions();
        QCOMPARE(items.size(), 6);
        QVERIFY(items[1]->isChecked());
        QVERIFY(items[0]->text().startsWith("14.4K"));
        items[3]->trigger();
        QCOMPARE(h.w->prefs().Get(PreferenceBlock::kDownloadSpeed), 3u);
        h.e().WaitTasks();
        QTRY_VERIFY(h.pane(3).contains("at 56K"));

        // The flat-look preference applies to both tool bars at start.
        auto raised = [](QToolBar* bar) {
            int n = 0;
            for (QToolButton* b : bar->findChildren<QToolButton*>()) n += b->autoRaise() ? 0 : 1;
            return n;
        };
        h.w->prefs().SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagFlatToolbars, false);
        Harness raisedWindow(h.dir.filePath("cm.ini"));
        QVERIFY(raised(raisedWindow.w->mainToolBar()) > 10);
        QVERIFY(raised(raisedWindow.w->frameToolBar()) > 5);
        h.w->prefs().SetBits(PreferenceBlock::kProgramFlags, PreferenceBlock::kFlagFlatToolbars, true);
        Harness flatWindow(h.dir.filePath("cm.ini"));
        QCOMPARE(raised(flatWindow.w->mainToolBar()), 0);
        QCOMPARE(raised(flatWindow.w->frameToolBar()), 0);
    }

    void ExitAndMenuPicture() {
        Harness h;
        h.w->OpenFiles({kSample});
        QMenu* file = h.w->actions().fileMenu;
        file->popup(h.w->mapToGlobal(QPoint(0, 20)));
        QTRY_VERIFY(file->isVisible());
        SaveShot(file, "main-file-menu");
        file->hide();
        h.act(CommandId::Exit)->trigger();
        QVERIFY(!h.w->isVisible());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::MainWindowTest)
#include "main_window_test.moc"
