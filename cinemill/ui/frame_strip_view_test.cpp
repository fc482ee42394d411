#include "cinemill/ui/frame_strip_view.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

using namespace strip;

namespace {

// welcome2: 290 x 48, six frames with local palettes (wider than high:
// vertical strips). animated-red-blue: 64 x 48, four frames, transparency.
const std::string kWelcome = std::string(CM_CORPUS_DIR) + "/giflib/pic/welcome2.gif";
const std::string kRedBlue = std::string(CM_CORPUS_DIR) + "/wuffs/test/data/animated-red-blue.gif";

struct Rig {
    PreferenceBlock prefs;
    SilentUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    FrameStripView view{engine};

    bool Open(const std::string& path, QSize size = {600, 400}) {
        view.resize(size);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view)) return false;
        const CommandResult r = engine.Open({path});
        view.Refresh(r.refresh | refresh::kNewDocument);
        QApplication::processEvents();
        return r.Ok() && engine.Doc() != nullptr;
    }
    void Run(CommandId id) { view.Refresh(engine.Execute(id).refresh); }
    QWidget* Port() { return view.viewport(); }
    const StripLayout& L() { return view.CurrentLayout(); }
    // The centre of frame k's picture in viewport coordinates.
    QPoint FramePoint(int k, QPoint offset = {-1, -1}) {
        const strip::Rect r = CellImageRect(L(), k);
        const QPoint d = offset.x() < 0 ? QPoint(r.w / 2, r.h / 2) : offset;
        return QPoint(r.x, r.y) + d - QPoint(L().HorizontalBar().pos, L().VerticalBar().pos);
    }
    QColor PixelAt(QPoint p) {
        QApplication::processEvents();
        const QImage img = Port()->grab().toImage();
        const qreal dpr = img.devicePixelRatio();
        return img.pixelColor(QPoint(int(p.x() * dpr + dpr / 2), int(p.y() * dpr + dpr / 2)));
    }
    // A move with the left button held (QTest's moves carry no buttons).
    void MoveHeld(QPoint p) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(Port()->mapToGlobal(p)), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(Port(), &e);
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(Port(), Qt::LeftButton, {}, from);
        const int steps = 6;
        for (int i = 1; i <= steps; ++i) MoveHeld(from + (to - from) * i / steps);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (int i = 0; i < engine.State().FrameCount(); ++i) out.push_back(engine.Doc()->FrameAt(i)->name);
        return out;
    }
    QColor PaletteColor(int frame, int index) {
        const Frame* f = engine.Doc()->FrameAt(frame);
        const Palette* p = PaletteInEffect(*engine.Doc(), *f);
        const Rgb c = (*p)[index];
        return QColor(c.r, c.g, c.b);
    }
};

bool CorpusHas(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

}  // namespace

class FrameStripViewTest : public QObject {
    Q_OBJECT
private slots:
    void EmptyViewHasNoCellsAndNoScrollRange() {
        Rig rig;
        rig.view.resize(300, 200);
        rig.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.view));
        QVERIFY(!rig.L().hasAnimation);
        QCOMPARE(rig.view.horizontalScrollBar()->maximum(), 0);
        QSignalSpy sel(&rig.view, &FrameStripView::selectionChanged);
        QTest::mouseClick(rig.Port(), Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(sel.count(), 0);
        QCOMPARE(rig.engine.State().selected, -1);
        SaveShot(&rig.view, "strip-empty");
    }

    void ClickSelectsTheFrameUnderThePointAndDrawsItInRed() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QCOMPARE(rig.engine.State().FrameCount(), 6);
        QCOMPARE(Direction(rig.view.Orientation()), kVertical);  // wider than high
        QSignalSpy sel(&rig.view, &FrameStripView::selectionChanged);
        QTest::mouseClick(rig.Port(), Qt::LeftButton, {}, rig.FramePoint(2));
        QCOMPARE(rig.engine.State().selected, 2);
        QCOMPARE(sel.count(), 1);
        QCOMPARE(sel.at(0).at(0).toInt(), 2);
        // The 2-pixel ring at origin + 1 is red for the selected cell only.
        const Point o2 = CellOrigin(rig.L(), 2), o1 = CellOrigin(rig.L(), 1);
        QCOMPARE(rig.PixelAt(QPoint(o2.x + 1, o2.y + 10)), QColor(255, 0, 0));
        QCOMPARE(rig.PixelAt(QPoint(o2.x + 2, o2.y + 10)), QColor(255, 0, 0));
        QCOMPARE(rig.PixelAt(QPoint(o2.x + 3, o2.y + 10)), QColor(Qt::black));
        QVERIFY(rig.PixelAt(QPoint(o1.x + 1, o1.y + 10)) != QColor(255, 0, 0));
        SaveShot(&rig.view, "strip-vertical");
        // The sprocket band is no frame: the selection goes.
        QTest::mouseClick(rig.Port(), Qt::LeftButton, {}, QPoint(rig.L().metrics.bandExtent - 2, o2.y + 10));
        QCOMPARE(rig.engine.State().selected, -1);
        QCOMPARE(sel.count(), 2);
        QVERIFY(rig.PixelAt(QPoint(o2.x + 1, o2.y + 10)) != QColor(255, 0, 0));
        // The right button selects too.
        QTest::mousePress(rig.Port(), Qt::RightButton, {}, rig.FramePoint(4));
        QCOMPARE(rig.engine.State().selected, 4);
        QTimer::singleShot(0, [] {
            if (auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) m->close();
        });
        QTest::mouseRelease(rig.Port(), Qt::RightButton, {}, rig.FramePoint(4));
    }

    void FramesAreDrawnFromTheirPixelsAndPalette() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        const Frame* f = rig.engine.Doc()->FrameAt(0);
        const strip::Rect area = CellImageRect(rig.L(), 0);
        int checked = 0;
        for (int y = 0; y < f->bitmap->height; y += 7)
            for (int x = 0; x < f->bitmap->width; x += 23) {
                if (f->Transparent() && f->bitmap->At(x, y) == f->transparentIndex) continue;
                const QPoint at(area.x + f->left + x, area.y + f->top + y);
                QCOMPARE(rig.PixelAt(at), rig.PaletteColor(0, f->bitmap->At(x, y)));
                ++checked;
            }
        QVERIFY(checked > 20);
    }

    void ZoomScalesNearestNeighbour() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome, {900, 500}));
        rig.Run(CommandId::ZoomIn);
        QCOMPARE(rig.L().metrics.zw, 2 * 290);
        QCOMPARE(rig.L().metrics.zh, 2 * 48);
        const Frame* f = rig.engine.Doc()->FrameAt(0);
        const strip::Rect area = CellImageRect(rig.L(), 0);
        // Both screen pixels of each frame pixel show its colour.
        int checked = 0;
        for (int x = 3; x < f->bitmap->width; x += 7) {
            const int y = 20;
            if (f->Transparent() && f->bitmap->At(x, y) == f->transparentIndex) continue;
            ++checked;
            const QColor want = rig.PaletteColor(0, f->bitmap->At(x, y));
            for (int dx = 0; dx < 2; ++dx)
                for (int dy = 0; dy < 2; ++dy)
                    QCOMPARE(rig.PixelAt(QPoint(area.x + 2 * (f->left + x) + dx, area.y + 2 * (f->top + y) + dy)), want);
        }
        QVERIFY(checked > 5);
        SaveShot(&rig.view, "strip-zoom200");
        rig.Run(static_cast<CommandId>(40063));
        QCOMPARE(rig.L().metrics.zw, 145);
        QCOMPARE(rig.L().metrics.cellLength, 24 + 8);
        rig.Run(CommandId::ActualSize);
        QCOMPARE(rig.L().metrics.zw, 290);
    }

    void OrientationFollowsTheChoiceAndDefaultReturnsToTheShape() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome, {700, 400}));
        const Point v1 = CellOrigin(rig.L(), 1), v0 = CellOrigin(rig.L(), 0);
        QCOMPARE(v1.x, v0.x);
        QVERIFY(v1.y > v0.y);
        rig.Run(CommandId::OrientHorizontal);
        QCOMPARE(rig.view.Orientation(), kChooseHorizontal);
        QCOMPARE(rig.L().metrics.direction, kHorizontal);
        const Point h1 = CellOrigin(rig.L(), 1), h0 = CellOrigin(rig.L(), 0);
        QCOMPARE(h1.y, h0.y);
        QCOMPARE(h1.x - h0.x, 290 + 8);
        // Frames run left to right: a click lands on the frame there.
        QTest::mouseClick(rig.Port(), Qt::LeftButton, {}, rig.FramePoint(1));
        QCOMPARE(rig.engine.State().selected, 1);
        SaveShot(&rig.view, "strip-horizontal");
        rig.Run(CommandId::OrientDefault);
        QCOMPARE(rig.L().metrics.direction, kVertical);
        rig.Run(CommandId::OrientVertical);
        QCOMPARE(rig.view.Orientation(), kChooseVertical);
    }

    void DragReorderMovesTheFrameWithTheMarkerAndUndoPutsItBack() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QCOMPARE(rig.L().cellsPerStrip, 6);  // one strip
        const auto before = rig.Names();
        QSignalSpy changed(&rig.view, &FrameStripView::documentChanged);
        const int cell = rig.L().metrics.cellLength;
        // From frame 0 to the gap before frame 3.
        const QPoint from = rig.FramePoint(0);
        const QPoint gap(from.x(), rig.L().metrics.margin + 3 * cell + 2);
        const QPoint onLine(rig.L().metrics.bandExtent + 4 + rig.L().metrics.zw / 2, rig.L().metrics.margin + 3 * cell);
        const QColor plain = rig.PixelAt(onLine);
        rig.Drag(from, gap);
        QVERIFY(rig.view.Dragging());
        QCOMPARE(rig.view.InsertionShown(), 3);
        QCOMPARE(rig.view.MarkerShown(), QRect(rig.L().metrics.bandExtent + 4, rig.L().metrics.margin + 3 * cell,
                                                rig.L().metrics.zw, 2));
        // The marker inverts what it covers.
        QCOMPARE(rig.PixelAt(onLine), QColor(255 - plain.red(), 255 - plain.green(), 255 - plain.blue()));
        QTest::mouseRelease(rig.Port(), Qt::LeftButton, {}, gap);
        QVERIFY(!rig.view.Dragging());
        QCOMPARE(changed.count(), 1);
        const auto after = rig.Names();
        QCOMPARE(after[2], before[0]);
        QCOMPARE(after[0], before[1]);
        QCOMPARE(rig.engine.State().selected, 2);
        QVERIFY(rig.engine.State().modified);
        QCOMPARE(rig.view.MarkerShown(), QRect());
        rig.Run(CommandId::Undo);
        QCOMPARE(rig.Names(), before);
        // A drop onto the frame's own gaps moves nothing.
        rig.Drag(rig.FramePoint(1), rig.FramePoint(1) + QPoint(0, cell / 2 - 4));
        QTest::mouseRelease(rig.Port(), Qt::LeftButton, {}, rig.FramePoint(1) + QPoint(0, cell / 2 - 4));
        QCOMPARE(rig.Names(), before);
        QCOMPARE(changed.count(), 1);
        // Esc ends a drag without moving.
        rig.Drag(rig.FramePoint(0), gap);
        QVERIFY(rig.view.Dragging());
        QTest::keyClick(&rig.view, Qt::Key_Escape);
        QVERIFY(!rig.view.Dragging());
        QTest::mouseRelease(rig.Port(), Qt::LeftButton, {}, gap);
        QCOMPARE(rig.Names(), before);
    }

    void DragPastTheEdgeAutoScrollsAcrossTheStrips() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome, {400, 150}));
        QVERIFY(rig.L().stripCount > 1);
        QScrollBar* bar = rig.view.horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), 0);
        const QPoint from = rig.FramePoint(0);
        rig.Drag(from, QPoint(rig.Port()->width() + 20, from.y()));
        QVERIFY(rig.view.AutoScrolling());
        QCOMPARE(rig.view.InsertionShown(), -1);
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), bar->maximum(), 5000);
        // At the end the last strip takes the gap and the scrolling stops.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.view.AutoScrolling(), 1000);
        QVERIFY(rig.view.InsertionShown() >= 0);
        rig.Drag(rig.FramePoint(5), QPoint(-20, 40));  // back towards the start
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 0, 5000);
        QTest::keyClick(&rig.view, Qt::Key_Escape);
        QTest::mouseRelease(rig.Port(), Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(!rig.view.AutoScrolling());
    }

    void KeysScrollTheBars() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome, {400, 150}));
        rig.view.setFocus();
        QScrollBar* h = rig.view.horizontalScrollBar();
        const int width = rig.Port()->width();
        QTest::keyClick(&rig.view, Qt::Key_Right);
        QCOMPARE(h->value(), width / 16 + 1);
        QTest::keyClick(&rig.view, Qt::Key_Left);
        QCOMPARE(h->value(), 0);
        QTest::keyClick(&rig.view, Qt::Key_PageDown);
        QCOMPARE(h->value(), std::min(width / 2 + 1, h->maximum()));
        QTest::keyClick(&rig.view, Qt::Key_End);
        QCOMPARE(h->value(), h->maximum());
        QCOMPARE(rig.L().across.pos, h->maximum());
        // What shows follows the bar: a click hits the last strip's frames.
        QTest::mouseClick(rig.Port(), Qt::LeftButton, {}, rig.FramePoint(5));
        QCOMPARE(rig.engine.State().selected, 5);
        QTest::keyClick(&rig.view, Qt::Key_Home);
        QCOMPARE(h->value(), 0);
        // Selecting elsewhere scrolls the selected frame's strip into view.
        rig.engine.Select(5);
        rig.view.Refresh(refresh::kSelection);
        QVERIFY(CellInView(rig.L(), {rig.Port()->width(), rig.Port()->height()}, 5) || h->value() == h->maximum());
        QVERIFY(h->value() > 0);
    }

    void TransparencyModesChangeTransparentPixels() {
        if (!CorpusHas(kRedBlue)) QSKIP("corpus file missing");
        Rig rig;
        QVERIFY(rig.Open(kRedBlue, {500, 400}));
        // A transparent pixel of some frame.
        int frame = -1;
        QPoint px;
        for (int k = 0; k < rig.engine.State().FrameCount() && frame < 0; ++k) {
            const Frame* f = rig.engine.Doc()->FrameAt(k);
            if (!f->Transparent()) continue;
            for (int y = 0; y < f->bitmap->height && frame < 0; ++y)
                for (int x = 0; x < f->bitmap->width; ++x)
                    if (f->bitmap->At(x, y) == f->transparentIndex) {
                        frame = k;
                        px = QPoint(x, y);
                        break;
                    }
        }
        QVERIFY(frame >= 0);
        const Frame* f = rig.engine.Doc()->FrameAt(frame);
        const strip::Rect area = CellImageRect(rig.L(), frame);
        const QPoint at(area.x + f->left + px.x() - rig.L().HorizontalBar().pos,
                        area.y + f->top + px.y() - rig.L().VerticalBar().pos);
        QCOMPARE(rig.PixelAt(at), rig.view.palette().color(QPalette::Button));
        SaveShot(&rig.view, "strip-transparency-window");
        rig.Run(CommandId::TransparencyFrameColor);
        QCOMPARE(rig.PixelAt(at), rig.PaletteColor(frame, f->transparentIndex));
        SaveShot(&rig.view, "strip-transparency-frame");
        rig.prefs.Set(PreferenceBlock::kTransparencyDisplay, 0x02u << 24 | 0x00C08040u);  // red 0x40
        rig.Run(CommandId::TransparencyCustom);
        QCOMPARE(rig.PixelAt(at), QColor(0x40, 0x80, 0xC0));
        SaveShot(&rig.view, "strip-transparency-custom");
        rig.Run(CommandId::TransparencyWindow);
        QCOMPARE(rig.PixelAt(at), rig.view.palette().color(QPalette::Button));
    }

    void ViewMenuHandlersStoreTheSettingsAndCustomColorAsksForTheColour() {
        if (!CorpusHas(kRedBlue)) QSKIP("corpus file missing");
        Rig rig;
        QVERIFY(rig.Open(kRedBlue, {500, 400}));
        CommandContext ctx{&rig.view, rig.engine};
        auto run = [&](CommandId id) {
            const CommandHandler* h = FindCommandHandler(id);
            if (!h) return CommandResult{Result::Failed, 0};
            const CommandResult r = (*h)(ctx);
            rig.view.Refresh(r.refresh);
            return r;
        };
        // Cancelling the colour dialog changes nothing.
        QTimer::singleShot(100, [] {
            if (auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        QCOMPARE(run(CommandId::TransparencyCustom).result, Result::Stopped);
        QCOMPARE(rig.engine.State().transparencyDisplay, 0);
        QTimer::singleShot(100, [] {
            if (auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                d->setCurrentColor(QColor(0x10, 0xA0, 0x30));
                d->accept();
            }
        });
        QCOMPARE(run(CommandId::TransparencyCustom).result, Result::Done);
        QCOMPARE(rig.engine.State().transparencyDisplay, 2);
        QCOMPARE(rig.prefs.Get(PreferenceBlock::kTransparencyDisplay), 0x0230A010u);
        run(CommandId::TransparencyFrameColor);
        QCOMPARE(rig.prefs.Get(PreferenceBlock::kTransparencyDisplay), 0x0130A010u);
        run(CommandId::OrientHorizontal);
        QCOMPARE(rig.view.Orientation(), kChooseHorizontal);
        QCOMPARE(rig.prefs.Get(PreferenceBlock::kProgramFlags) & 0x30u, 0x20u);
        run(CommandId::OrientDefault);
        QCOMPARE(rig.prefs.Get(PreferenceBlock::kProgramFlags) & 0x30u, 0u);
        QCOMPARE(rig.view.Orientation(), kVertical);
    }

    void DoubleClickAsksForFrameOrAnimationProperties() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QSignalSpy cmd(&rig.view, &FrameStripView::commandRequested);
        QTest::mouseDClick(rig.Port(), Qt::LeftButton, {}, rig.FramePoint(3));
        QCOMPARE(cmd.count(), 1);
        QCOMPARE(cmd.at(0).at(0).value<CommandId>(), CommandId::FrameProperties);
        QCOMPARE(rig.engine.State().selected, 3);
        QTest::mouseDClick(rig.Port(), Qt::LeftButton, {}, QPoint(rig.Port()->width() - 5, 5));
        QCOMPARE(cmd.count(), 2);
        QCOMPARE(cmd.at(1).at(0).value<CommandId>(), CommandId::AnimationProperties);
        QCOMPARE(rig.engine.State().selected, -1);
    }

    void ContextMenuItemsRequestTheirCommands() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QSignalSpy cmd(&rig.view, &FrameStripView::commandRequested);
        bool pasteGrayed = false, sawRotate = false;
        QTimer::singleShot(50, [&] {
            auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!m) return;
            if (auto* paste = m->findChild<QAction*>("cmd40004")) pasteGrayed = !paste->isEnabled();
            sawRotate = m->findChild<QAction*>("cmd40073") != nullptr;
            if (auto* del = m->findChild<QAction*>("cmd40012")) {
                m->setActiveAction(del);
                QTest::keyClick(m, Qt::Key_Return);
            } else {
                m->close();
            }
        });
        QTest::mouseClick(rig.Port(), Qt::RightButton, {}, rig.FramePoint(1));
        QCOMPARE(rig.engine.State().selected, 1);
        QTRY_COMPARE(cmd.count(), 1);
        QCOMPARE(cmd.at(0).at(0).value<CommandId>(), CommandId::Delete);
        QVERIFY(pasteGrayed);
        QVERIFY(sawRotate);
        // Outside the frames: the document's menu.
        QTimer::singleShot(50, [&] {
            auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!m) return;
            if (auto* a = m->findChild<QAction*>("cmd40008")) {
                m->setActiveAction(a);
                QTest::keyClick(m, Qt::Key_Return);
            } else {
                m->close();
            }
        });
        QTest::mouseClick(rig.Port(), Qt::RightButton, {}, QPoint(rig.Port()->width() - 5, 5));
        QTRY_COMPARE(cmd.count(), 2);
        QCOMPARE(cmd.at(1).at(0).value<CommandId>(), CommandId::AnimationProperties);
    }

    void DroppedFilesAreSignalledWithTheFrameUnderThePoint() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QSignalSpy dropped(&rig.view, &FrameStripView::filesDropped);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile("/tmp/a.gif"), QUrl::fromLocalFile("/tmp/b.bmp")});
        const QPoint at = rig.FramePoint(2);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.Port(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.Port(), &drop);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.at(0).at(0).toStringList(), (QStringList{"/tmp/a.gif", "/tmp/b.bmp"}));
        QCOMPARE(dropped.at(0).at(1).toInt(), 2);
        // Text is not a file.
        QMimeData text;
        text.setText("hello");
        QDragEnterEvent refuse(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        refuse.setAccepted(false);
        QApplication::sendEvent(rig.Port(), &refuse);
        QVERIFY(!refuse.isAccepted());
    }

    void OneFrameRefreshRedrawsOnlyThatFrame() {
        Rig rig;
        QVERIFY(rig.Open(kWelcome));
        QApplication::processEvents();
        QVERIFY(rig.view.CachedPictures() >= 6);
        rig.engine.Select(0);
        rig.view.Refresh(rig.engine.Execute(CommandId::FlipH).refresh);
        const Frame* f = rig.engine.Doc()->FrameAt(0);
        const strip::Rect area = CellImageRect(rig.L(), 0);
        int x = 0, y = 20;
        while (x < f->bitmap->width && f->Transparent() && f->bitmap->At(x, y) == f->transparentIndex) ++x;
        QVERIFY(x < f->bitmap->width);
        QCOMPARE(rig.PixelAt(QPoint(area.x + f->left + x, area.y + f->top + y)), rig.PaletteColor(0, f->bitmap->At(x, y)));
    }

    void ScreenRecordingShot() {
        const std::string path = "/tmp/cm-bench-corpus/c06_screenrec_1280x720x150.gif";
        if (!CorpusHas(path)) QSKIP("the harness file is not there");
        Rig rig;
        QVERIFY(rig.Open(path, {900, 600}));
        QCOMPARE(rig.engine.State().FrameCount(), 150);
        rig.Run(static_cast<CommandId>(40062));
        SaveShot(&rig.view, "strip-screenrec");
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::FrameStripViewTest)
#include "frame_strip_view_test.moc"
