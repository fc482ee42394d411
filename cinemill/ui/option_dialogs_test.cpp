// The import and export option dialogs and HTML Code: each answers what its
// controls say.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/ui/avi_compression_dialog.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dlgops_testing.h"
#include "cinemill/ui/filmstrip_export_dialog.h"
#include "cinemill/ui/filmstrip_import_dialog.h"
#include "cinemill/ui/hotspot_dialog.h"
#include "cinemill/ui/html_code_dialog.h"
#include "cinemill/ui/palette_widgets.h"
#include "cinemill/ui/psd_layers_dialog.h"
#include "cinemill/ui/shots.h"

namespace cinemill {

namespace {

template <class T>
T* Child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}

void ClickButton(QWidget* dlg, const char* name) { Child<QAbstractButton>(dlg, name)->click(); }

void Type(QSpinBox* s, const QString& text) {
    s->setFocus();
    s->selectAll();
    QTest::keyClicks(s, text);
    QTest::keyClick(s, Qt::Key_Tab);
}

void Show(QWidget* w) {
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

}  // namespace

class OptionDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void PsdLayersAnswersTheChosenMode() {
        PsdLayersDialog dlg(PsdLayerChoice{});
        Show(&dlg);
        // The blend choices wait for "Layers as multiple frames".
        QVERIFY(!Child<QRadioButton>(&dlg, "BlendWithComposite")->isEnabled());
        QVERIFY(!Child<QCheckBox>(&dlg, "KeepBackground")->isEnabled());
        QCOMPARE(dlg.Choice(), PsdLayerChoice{});
        Child<QRadioButton>(&dlg, "LayersAsFrames")->click();
        QVERIFY(Child<QCheckBox>(&dlg, "KeepBackground")->isEnabled());
        Child<QCheckBox>(&dlg, "KeepBackground")->click();
        QCOMPARE(dlg.Choice(), (PsdLayerChoice{PsdLayerChoice::Mode::BlendWithBackground, true}));
        SaveShot(&dlg, "psd-layers");
        Child<QRadioButton>(&dlg, "BlendWithComposite")->click();
        QVERIFY(!Child<QCheckBox>(&dlg, "KeepBackground")->isEnabled());
        QCOMPARE(dlg.Choice().mode, PsdLayerChoice::Mode::BlendWithComposite);
        // A preset shows as checked controls.
        PsdLayersDialog preset(PsdLayerChoice{PsdLayerChoice::Mode::BlendWithComposite, false});
        QVERIFY(Child<QRadioButton>(&preset, "BlendWithComposite")->isChecked());
        QCOMPARE(preset.Choice().mode, PsdLayerChoice::Mode::BlendWithComposite);
        // Cancel answers none.
        QTimer::singleShot(0, [] { ClickButton(QApplication::activeModalWidget(), "IDCANCEL"); });
        QVERIFY(!AskPsdLayersDialog(nullptr, PsdLayerChoice{}).has_value());
    }

    void FilmstripImportRefusesAGridThatDoesNotDivide() {
        ScriptedUiHost host;
        FilmstripImportDialog dlg(FilmstripImportOptions{}, 100, 40, &host);
        Show(&dlg);
        SaveShot(&dlg, "import-filmstrip");
        Type(Child<QSpinBox>(&dlg, "FramesPerRow"), "3");
        ClickButton(&dlg, "IDOK");
        QVERIFY(dlg.isVisible());
        QCOMPARE(host.errors.back(), std::string("Horizontal doesn't divide right."));
        QCOMPARE(dlg.focusWidget(), Child<QSpinBox>(&dlg, "FramesPerRow"));
        Type(Child<QSpinBox>(&dlg, "FramesPerRow"), "4");
        Type(Child<QSpinBox>(&dlg, "FramesPerColumn"), "3");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(host.errors.back(), std::string("Vertical doesn't divide right."));
        QCOMPARE(dlg.focusWidget(), Child<QSpinBox>(&dlg, "FramesPerColumn"));
        Type(Child<QSpinBox>(&dlg, "FramesPerColumn"), "0");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(host.errors.size(), size_t(3));
        Type(Child<QSpinBox>(&dlg, "FramesPerColumn"), "2");
        Child<QRadioButton>(&dlg, "VerticalDirection")->click();
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Options(), (FilmstripImportOptions{4, 2, true}));
    }

    void FilmstripExportShowsTheStripsAndTakesBackTooManyFrames() {
        ScriptedUiHost host;
        FilmstripExportDialog dlg(FilmstripExportOptions{false, 5}, 5, 20, 10, &host);
        Show(&dlg);
        QCOMPARE(Child<QLabel>(&dlg, "OfTotal")->text(), QString("(of 5 total)"));
        QCOMPARE(dlg.ResultLine(), QString("for total of 1 strip(s) and 100x10 pixels."));
        Type(Child<QSpinBox>(&dlg, "FramesPerStrip"), "9");
        QCOMPARE(Child<QSpinBox>(&dlg, "FramesPerStrip")->value(), 5);
        QVERIFY(host.beeps >= 1);
        Type(Child<QSpinBox>(&dlg, "FramesPerStrip"), "2");
        QCOMPARE(dlg.ResultLine(), QString("for total of 3 strip(s) and 40x30 pixels."));
        Child<QRadioButton>(&dlg, "Vertical")->click();
        QCOMPARE(dlg.ResultLine(), QString("for total of 3 strip(s) and 60x20 pixels."));
        SaveShot(&dlg, "export-filmstrip");
        ClickButton(&dlg, "IDOK");
        QCOMPARE(dlg.Options(), (FilmstripExportOptions{true, 2}));
    }

    void AviCompressionAnswersTheChoice() {
        AviCompressionDialog dlg({"mpeg4", "ffv1"});
        Show(&dlg);
        QCOMPARE(dlg.Choice().kind, AviCompressionChoice::Kind::Rle8);
        QVERIFY(!Child<QComboBox>(&dlg, "Codec")->isEnabled());
        Child<QRadioButton>(&dlg, "SpecifyCompression")->click();
        QVERIFY(Child<QComboBox>(&dlg, "Codec")->isEnabled());
        Child<QComboBox>(&dlg, "Codec")->setCurrentIndex(1);
        QCOMPARE(dlg.Choice().kind, AviCompressionChoice::Kind::Codec);
        QCOMPARE(dlg.Choice().codec, std::string("ffv1"));
        SaveShot(&dlg, "avi-compression");
        Child<QRadioButton>(&dlg, "NoCompression")->click();
        QCOMPARE(dlg.Choice().kind, AviCompressionChoice::Kind::None);
        // Without encoders the advanced choice is not offered.
        AviCompressionDialog bare({});
        QVERIFY(!Child<QRadioButton>(&bare, "SpecifyCompression")->isEnabled());
        QTimer::singleShot(0, [] { ClickButton(QApplication::activeModalWidget(), "IDCANCEL"); });
        QVERIFY(!AskAviCompressionDialog(nullptr, {}).has_value());
    }

    void HotspotFollowsTheClickAndTheFields() {
        testing::Session session(testing::kWelcome);
        QVERIFY(session.ok);
        const Animation& doc = *session.engine.Doc();
        HotspotDialog dlg(int(doc.width) / 2, int(doc.height) / 2, int(doc.width), int(doc.height), &doc);
        Show(&dlg);
        QCOMPARE(dlg.Point(), std::make_pair(int(doc.width) / 2, int(doc.height) / 2));
        FrameView* v = dlg.Picture();
        const Frame& f0 = *doc.FrameAt(0);
        QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, v->PixelCenter(QPoint(7, 3)));
        QCOMPARE(dlg.Point(), std::make_pair(7 + f0.left, 3 + f0.top));
        SaveShot(&dlg, "define-cursor-hotspot");
        // Typed values are held to the screen.
        Type(Child<QSpinBox>(&dlg, "x"), "999");
        QVERIFY(Child<QSpinBox>(&dlg, "x")->value() <= int(doc.width));
        // Cancel keeps the point as well.
        QTimer::singleShot(0, [] {
            QWidget* w = QApplication::activeModalWidget();
            Type(Child<QSpinBox>(w, "y"), "5");
            ClickButton(w, "IDCANCEL");
        });
        QCOMPARE(AskHotspotDialog(nullptr, 1, 1, 40, 40, &doc), std::make_pair(1, 5));
    }

    void HtmlCodeBuildsTheTagAndCopiesIt() {
        testing::Session session(testing::kWelcome);
        QVERIFY(session.ok);
        const Animation& doc = *session.engine.Doc();
        HtmlCodeDialog dlg(doc, "/srv/web/anim.gif", session.host);
        Show(&dlg);
        const QString size = QString(" width=%1 height=%2").arg(doc.width).arg(doc.height);
        QVERIFY(Child<QLineEdit>(&dlg, "1073")->isReadOnly());
        QCOMPARE(dlg.Code(), "<img src=\"anim.gif\"" + size + " border=0>");
        QTest::keyClicks(Child<QLineEdit>(&dlg, "1069"), "index.html");
        QTest::keyClicks(Child<QLineEdit>(&dlg, "1072"), "Logo");
        Child<QLineEdit>(&dlg, "1070")->setText("250");
        const QString code = "<a href=\"index.html\"><img src=\"anim.gif\"" + size + " border=250 alt=\"Logo\"></a>";
        QCOMPARE(Child<QPlainTextEdit>(&dlg, "1085")->toPlainText(), code);
        SaveShot(&dlg, "html-code");
        ClickButton(&dlg, "1171");
        QCOMPARE(QGuiApplication::clipboard()->text(), code);
        QVERIFY(dlg.isVisible());

        // Untitled: no code until a name is typed; Copy Code says why.
        HtmlCodeDialog untitled(doc, "", session.host);
        Show(&untitled);
        QVERIFY(!Child<QLineEdit>(&untitled, "1073")->isReadOnly());
        QCOMPARE(untitled.Code(), QString());
        ClickButton(&untitled, "1171");
        QCOMPARE(session.host.errors.back(), std::string("A file name is needed to generate the HTML code"));
        QTest::keyClicks(Child<QLineEdit>(&untitled, "1073"), "x.gif");
        QVERIFY(untitled.Code().startsWith("<img src=\"x.gif\""));

        // The command's handler opens it; Close ends it.
        const CommandHandler* h = FindCommandHandler(CommandId::Html);
        QVERIFY(h);
        CommandContext ctx{nullptr, session.engine};
        QTimer::singleShot(0, [] { ClickButton(QApplication::activeModalWidget(), "2"); });
        QVERIFY((*h)(ctx).Ok());
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::OptionDialogsTest)
#include "option_dialogs_test.moc"
