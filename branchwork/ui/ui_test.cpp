// Offscreen tests of the builder's window and dialogs. Modal questions are
// answered by ScriptedPrompts and BwScriptedUiHost, so no test waits on a
// dialog.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "branchwork/base/texts.h"
#include "branchwork/model/test_support.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/project/loader.h"
#include "branchwork/qtwidgets/color_picker.h"
#include "branchwork/qtwidgets/tolv_edit_widget.h"
#include "branchwork/ui/dialogs.h"
#include "branchwork/ui/main_window.h"
#include "branchwork/ui/startup_files.h"

using namespace branchwork;

namespace {

struct Harness {
    BwScriptedUiHost ui;
    ScriptedPrompts prompts;
    std::unique_ptr<TfrmMain> w;
    explicit Harness(AppletKind kind, const std::string& page = {}) {
        prompts.kinds.push_back(kind);
        w = std::make_unique<TfrmMain>(ui, prompts, page, "/nonexistent/");
        w->Startup();
    }
    template <class T>
    T* Find(const char* name) {
        T* c = w->findChild<T*>(name);
        if (!c) qFatal("no control %s", name);
        return c;
    }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    QTabWidget* Preview() { return Find<QTabWidget>("pgeTree"); }
    QTabWidget* Pages() { return Find<QTabWidget>("pgeEditor"); }
};

void TypeInto(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}

// Edits, through the window, a project worth sending: an image on the first
// node, its caption and link, a child node, and a second tab "Products".
void EditProjectToSend(Harness& h, const testing::ScratchDir& dir, const QString& caption) {
    testing::WriteTestGif(dir.File("leaf.gif"), 16, 16);
    h.prompts.openManyFiles.push_back({dir.File("leaf.gif")});
    h.Click("btnAddImage");
    h.Click("btnSetCollapsed");
    TypeInto(h.Find<QLineEdit>("txtNodeText"), caption);
    TypeInto(h.Find<QLineEdit>("txtURL"), "home.html");
    h.Click("btnAddChildNode");
    TypeInto(h.Find<QLineEdit>("txtNodeText"), "News");
    h.Click("btnAddTab");
    TypeInto(h.Find<QLineEdit>("txtTabName"), "Products");
}

}  // namespace

class BuilderUiTest : public QObject {
    Q_OBJECT
    QTemporaryDir settingsDir_;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir_.path());
    }

    // Every test starts from the applet form: a stored HTML-menu choice would
    // change what the next Send writes.
    void init() {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit");
        s.remove("Arborly/SendHtmlMenu");
        s.remove("Arborly/SendHtmlMenuExternal");
    }

    void newProjectOfEachKindShowsTheRightPages() {
        for (AppletKind k : {AppletKind::Tab, AppletKind::Tree, AppletKind::TabAndTree}) {
            Harness h(k);
            QCOMPARE(h.w->Project().kind, k);
            QCOMPARE(h.Preview()->count(), 1);
            QCOMPARE(h.Preview()->tabText(0), QString("New Tab"));
            const EditorLayout l = EditorLayoutFor(k);
            QCOMPARE(h.Pages()->isTabVisible(0), l.tabPageShown);
            QCOMPARE(h.Pages()->isTabVisible(1), l.treePageShown);
            QCOMPARE(h.Find<QWidget>("grpTree")->isEnabled(), l.grpTreeEnabled);
            QCOMPARE(h.Find<QWidget>("grpTabStyle")->isEnabled(), l.grpTabStyleEnabled);
            QCOMPARE(h.Find<QWidget>("btnSetCollapsed")->isEnabled(), l.grpTreeEnabled);  // nested control
            QCOMPARE(h.Preview()->tabBar()->isVisibleTo(h.w.get()), l.tabButtonsShown);
            QCOMPARE(h.prompts.log.front(), std::string("new-applet"));
        }
        // New asks first; Cancel keeps everything.
        Harness h(AppletKind::Tree);
        h.Click("btnAddNode");
        h.Click("btnNew");
        QCOMPARE(h.ui.confirmations.back(), std::string(texts::kClearProject));
        QCOMPARE(h.w->Project().Page(0).tree.Count(), 2);
        h.ui.confirmAnswers.push_back(true);
        h.prompts.kinds.push_back(AppletKind::Tab);
        h.Click("btnNew");
        QCOMPARE(h.w->Project().kind, AppletKind::Tab);
        QCOMPARE(h.w->Project().Page(0).tree.Count(), 1);
        QVERIFY(!h.Pages()->isTabVisible(1));
    }

    void tabsAreAddedRenamedMovedAndRemoved() {
        Harness h(AppletKind::TabAndTree);
        h.Click("btnDeleteTab");
        QCOMPARE(h.ui.Texts().back(), std::string(texts::kCannotDeleteLastTab));
        h.Click("btnAddTab");
        h.Click("btnAddTab");
        QCOMPARE(h.Preview()->count(), 3);
        QCOMPARE(h.Preview()->currentIndex(), 2);
        TypeInto(h.Find<QLineEdit>("txtTabName"), "Third");
        QCOMPARE(h.Preview()->tabText(2), QString("Third"));
        QCOMPARE(h.Find<QComboBox>("cmbDefaultTab")->itemText(2), QString("Third"));
        TypeInto(h.Find<QLineEdit>("txtTabURL"), "a.html");
        QCOMPARE(h.w->Project().Page(2).tab.url1, std::string("a.html"));
        h.Find<QSpinBox>("posTab")->setValue(0);
        QCOMPARE(h.Preview()->tabText(0), QString("Third"));
        QCOMPARE(h.w->Project().Page(0).caption, std::string("Third"));
        QCOMPARE(h.Find<QLineEdit>("txtTabURL")->text(), QString("a.html"));
        // Removing tab n > 0 shows tab n - 1.
        h.Preview()->setCurrentIndex(2);
        h.Click("btnDeleteTab");
        QCOMPARE(h.Preview()->count(), 2);
        QCOMPARE(h.Preview()->currentIndex(), 1);
        QCOMPARE(h.Find<QLineEdit>("txtTabName")->text(), QString("New Tab"));
    }

    void nodesAreAddedEditedAndDeleted() {
        Harness h(AppletKind::Tree);
        h.Click("btnAddChildNode");
        TypeInto(h.Find<QLineEdit>("txtNodeText"), "Child");
        TypeInto(h.Find<QLineEdit>("txtURL"), "c.html");
        const TreeNode* sel = h.w->Project().Page(0).tree.selected;
        QCOMPARE(sel->caption, std::string("Child"));
        QCOMPARE(sel->data.url1, std::string("c.html"));
        QCOMPARE(sel->Depth(), 1);
        QCOMPARE(h.w->ItemOf(sel)->text(0), QString("Child"));
        // Selecting the parent fills the fields from it and enables its expanded image.
        TNodeTreeView* view = h.w->TreeOfTab(0);
        view->setCurrentItem(view->topLevelItem(0));
        QCOMPARE(h.Find<QLineEdit>("txtNodeText")->text(), QString("New Node"));
        QVERIFY(h.Find<QWidget>("btnSetExpanded")->isEnabled());
        QCOMPARE(h.Find<QLabel>("Label7")->text(), QString("Collapsed"));
        // Deleting a node with children asks; Cancel keeps it.
        h.Click("btnDeleteNode");
        QCOMPARE(h.ui.confirmations.back(), std::string(texts::kDeleteSubtree));
        QCOMPARE(h.w->Project().Page(0).tree.Count(), 2);
        h.ui.confirmAnswers.push_back(true);
        h.Click("btnDeleteNode");
        QCOMPARE(h.w->Project().Page(0).tree.Count(), 0);
        QCOMPARE(h.Find<QLineEdit>("txtNodeText")->text(), QString());
        h.Click("btnAddNode");  // an empty tree gets a top-level node
        QCOMPARE(h.w->Project().Page(0).tree.Count(), 1);
        h.Click("btnDeleteNode");
        QCOMPARE(h.ui.Texts().back(), std::string(texts::kCannotDeleteRootNode));
    }

    void draggingANodeMovesItToAnotherParent() {
        Harness h(AppletKind::Tree);
        NodeTree& tree = h.w->Project().Page(0).tree;
        h.Click("btnAddNode");  // B: second top-level node, selected
        TreeNode* a = tree.roots[0].get();
        TreeNode* b = tree.roots[1].get();
        h.w->RefreshAll();
        TNodeTreeView* view = h.w->TreeOfTab(0);
        view->resize(200, 200);
        QRect ra = view->visualItemRect(h.w->ItemOf(a));
        // Onto A's label: B becomes A's last child.
        QVERIFY(view->onDrop(QPoint(ra.left() + 2, ra.center().y())));
        QCOMPARE(tree.roots.size(), size_t(1));
        QCOMPARE(a->children.size(), size_t(1));
        QCOMPARE(a->children[0].get(), b);
        // Dropping A onto its own child changes nothing.
        view = h.w->TreeOfTab(0);
        view->resize(200, 200);
        view->setCurrentItem(h.w->ItemOf(a));
        QRect rb = view->visualItemRect(h.w->ItemOf(b));
        QVERIFY(!view->onDrop(QPoint(rb.left() + 2, rb.center().y())));
        QCOMPARE(a->children[0].get(), b);
        // B dropped onto A's indentation... A has none at the top level, so
        // drop B before A by its row's left margin, which needs indentation:
        view->setCurrentItem(h.w->ItemOf(b));
        h.Click("btnAddNode");  // C: sibling of B under A
        TreeNode* c = a->children[1].get();
        view = h.w->TreeOfTab(0);
        view->resize(200, 200);
        view->setCurrentItem(h.w->ItemOf(c));
        rb = view->visualItemRect(h.w->ItemOf(b));
        QVERIFY(rb.left() > 2);
        QCOMPARE(view->ZoneAt(QPoint(rb.left() - 2, rb.center().y())), DropZone::Indentation);
        QVERIFY(view->onDrop(QPoint(rb.left() - 2, rb.center().y())));
        QCOMPARE(a->children[0].get(), c);
        QCOMPARE(a->children[1].get(), b);
        // Far right of a row is elsewhere: nothing happens.
        view = h.w->TreeOfTab(0);
        view->resize(400, 200);
        rb = view->visualItemRect(h.w->ItemOf(b));
        QCOMPARE(view->ZoneAt(QPoint(395, rb.center().y())), DropZone::Elsewhere);
    }

    void imagesColoursAndFontsGoIntoTheProject() {
        testing::ScratchDir dir("ui_images");
        testing::WriteTestGif(dir.File("a.gif"), 16, 16);
        testing::WriteTestGif(dir.File("b.gif"), 16, 16, 10, 200, 10);
        testing::WriteTestGif(dir.File("big.gif"), 32, 32);
        Harness h(AppletKind::TabAndTree);
        h.prompts.openManyFiles.push_back({dir.File("a.gif"), dir.File("big.gif"), dir.File("b.gif"), dir.File("a.gif")});
        h.Click("btnAddImage");
        QCOMPARE(h.w->Project().images.Count(), 2);
        QCOMPARE(h.ui.Texts().back(), std::string("Image: ") + dir.File("big.gif") + " must be 16x16.");
        QVERIFY(h.Find<QScrollBar>("scrollImgPrev")->isEnabled());
        QCOMPARE(h.Find<QScrollBar>("scrollImgPrev")->value(), 1);
        QVERIFY(!h.Find<QLabel>("imgPrev3")->pixmap().isNull());
        QVERIFY(h.Find<QLabel>("imgPrev4")->pixmap().isNull());
        h.Click("btnSetCollapsed");
        QCOMPARE(h.w->Project().Page(0).tree.selected->data.collapsedImage, 1);
        QVERIFY(!h.Find<QLabel>("imgCollapsed")->pixmap().isNull());
        QVERIFY(!h.w->ItemOf(h.w->Project().Page(0).tree.selected)->icon(0).isNull());
        h.Find<QScrollBar>("scrollImgPrev")->setValue(0);
        h.Click("btnSetDefChild");
        QCOMPARE(h.w->Project().defaultLeaf, 0);
        QVERIFY(!h.Find<QLabel>("imgDefChild")->pixmap().isNull());

        // A swatch takes the picked colour and its examples follow; Cancel keeps it.
        h.prompts.colors.push_back(MakeColor(10, 20, 30));
        QTest::mouseClick(h.Find<QLabel>("lblTreeBranchBG"), Qt::LeftButton);
        QCOMPARE(h.w->Project().styles.treeBranchBG, MakeColor(10, 20, 30));
        QCOMPARE(h.Find<QWidget>("pnlMouseOver")->palette().color(QPalette::Window), QColor(10, 20, 30));
        QCOMPARE(h.Find<QWidget>("pnlTreeBranchExample")->palette().color(QPalette::Window), QColor(10, 20, 30));
        QTest::mouseClick(h.Find<QLabel>("lblTreeBranchBG"), Qt::LeftButton);
        QCOMPARE(h.w->Project().styles.treeBranchBG, MakeColor(10, 20, 30));

        auto* size = h.Find<QComboBox>("cmbTreeFontSize");
        size->setCurrentIndex(size->findText("14"));
        QCOMPARE(h.w->Project().styles.treeFontSize, std::string("14"));
        auto* font = h.Find<QComboBox>("cmbTabFont");
        if (font->count() > 1) {
            font->setCurrentIndex(1);
            QCOMPARE(h.w->Project().styles.tabFont, font->itemText(1).toStdString());
        }
        h.Find<QRadioButton>("optTabOnBottom")->setChecked(true);
        QVERIFY(h.w->Project().styles.tabsOnBottom);
        QCOMPARE(h.Preview()->tabPosition(), QTabWidget::South);
    }

    void saveLoadAndCompare() {
        testing::ScratchDir dir("ui_save");
        testing::WriteTestGif(dir.File("a.gif"), 16, 16);
        Harness h(AppletKind::TabAndTree);
        h.prompts.openManyFiles.push_back({dir.File("a.gif")});
        h.Click("btnAddImage");
        h.Click("btnSetCollapsed");
        h.Click("btnAddTab");
        TypeInto(h.Find<QLineEdit>("txtTabName"), "Second");
        h.Click("btnAddChildNode");
        TypeInto(h.Find<QLineEdit>("txtNodeText"), "Leaf");
        h.prompts.colors.push_back(MakeColor(1, 2, 3));
        QTest::mouseClick(h.Find<QLabel>("lblTabCaptionFG"), Qt::LeftButton);
        h.prompts.saveFiles.push_back(dir.File("menu"));  // the extension is added
        h.Click("btnSave");
        QVERIFY(QFile::exists(QString::fromStdString(dir.File("menu.bwk"))));
        const std::string saved = ProjectFileText(h.w->Project());

        Harness g(AppletKind::Tab);
        g.prompts.openFiles.push_back(dir.File("menu.bwk"));
        g.Click("btnLoad");
        QCOMPARE(g.w->Project().kind, AppletKind::TabAndTree);
        QCOMPARE(g.Preview()->count(), 2);
        QCOMPARE(g.Preview()->tabText(1), QString("Second"));
        QCOMPARE(g.w->Project().styles.tabCaptionFG, MakeColor(1, 2, 3));
        QCOMPARE(ProjectFileText(g.w->Project()), saved);
        QVERIFY(g.ui.messages.empty());
    }

    void aDamagedProjectFileSaysSoAndTheFileIsKept() {
        testing::ScratchDir dir("ui_damaged");
        const std::string bad =
            "<APPLET CODE=\"Voltar.class\" WIDTH=200 HEIGHT=300>\r\n"
            "\t<PARAM NAME=\"I0\" VALUE=\"A; None; None; 0;  ;  ; ; None; None\">\r\n"
            "\t<PARAM NAME=\"I1\" VALUE=\"B; None; None; deep;  ;  ; ; None; None\">\r\n</APPLET>\r\n";
        testing::WriteAll(dir.File("bad.bwk"), bad);
        Harness h(AppletKind::Tab);
        h.prompts.openFiles.push_back(dir.File("bad.bwk"));
        h.Click("btnLoad");
        QCOMPARE(h.ui.Texts().back(), std::string("'deep' is not a valid integer value"));
        QCOMPARE(testing::ReadAll(dir.File("bad.bwk")), bad);
        QVERIFY(h.Preview()->count() >= 1);
        QCOMPARE(h.w->Project().Page(0).tree.First()->caption, std::string("A"));
        // A load cancelled in the file dialog changes nothing.
        h.Click("btnLoad");
        QCOMPARE(h.w->Project().Page(0).tree.First()->caption, std::string("A"));
    }

    void sendIntoAPageAndStartAgainWithThatPage() {
        testing::ScratchDir dir("ui_send");
        const std::string page = dir.File("index.html");
        testing::WriteAll(page, "<html><body>\r\n<!-- branchwork -->\r\n</body></html>\r\n");
        std::string sent;
        {
            Harness h(AppletKind::TabAndTree, page);
            EditProjectToSend(h, dir, "Home");
            h.Click("btnCompile");
            QCOMPARE(h.ui.Texts().back(), std::string(texts::kInserted));
            sent = ProjectFileText(h.w->Project());
            // A second Send replaces the block instead of adding one.
            h.Click("btnCompile");
            const std::string text = testing::ReadAll(page);
            QCOMPARE(text.find("<APPLET"), text.rfind("<APPLET"));
            QVERIFY(QFile::exists(QString::fromStdString(page + ".bak")));
        }
        Harness again(AppletKind::Tab, page);
        QVERIFY(again.prompts.log.empty() || again.prompts.log.front() != "new-applet");
        QCOMPARE(again.w->Project().kind, AppletKind::TabAndTree);
        QCOMPARE(again.Preview()->count(), 2);
        QCOMPARE(again.Preview()->tabText(1), QString("Products"));
        QCOMPARE(again.w->Project().Page(0).tree.First()->caption, std::string("Home"));
        QCOMPARE(ProjectFileText(again.w->Project()), sent);
    }

    void sendWithoutAPageAsksForItOnceASession() {
        testing::ScratchDir dir("ui_send_ask");
        const std::string page = dir.File("p.html");
        testing::WriteAll(page, "<html><body></body></html>");
        Harness h(AppletKind::Tab);
        h.Click("btnCompile");  // no answer: nothing sent
        QCOMPARE(h.ui.log.back(), std::string("page-file"));
        QVERIFY(h.w->SessionPagePath().empty());
        h.ui.pageFileAnswers.push_back(page);
        h.Click("btnCompile");
        QCOMPARE(h.w->SessionPagePath(), page);
        QVERIFY(testing::ReadAll(page).find("VoltanR.class") != std::string::npos);
        const size_t asked = std::count(h.ui.log.begin(), h.ui.log.end(), "page-file");
        h.Click("btnCompile");
        QCOMPARE(size_t(std::count(h.ui.log.begin(), h.ui.log.end(), "page-file")), asked);
        // The Tab kind never asks where the node information goes, but
        // every Send asks for the form.
        QCOMPARE(std::count(h.ui.log.begin(), h.ui.log.end(), "output-options"), 0);
        QCOMPARE(std::count(h.prompts.log.begin(), h.prompts.log.end(), "send-form"), 2);
    }

    void sendAsHtmlMenuIntoAPageAndLoadItBack() {
        for (const bool external : {false, true}) {
            testing::ScratchDir dir(external ? "ui_html_ext" : "ui_html_inline");
            const std::string page = dir.File("index.html");
            const std::string before = "<html><body>\r\n<h1>Site</h1>\r\n<!-- branchwork -->\r\n</body></html>\r\n";
            testing::WriteAll(page, before);
            std::string sent;
            {
                Harness h(AppletKind::TabAndTree, page);
                EditProjectToSend(h, dir, "Home & <Start>");
                SendChoice html;
                html.options.htmlMenu = true;
                html.options.externalFiles = external;
                h.prompts.sendChoices.push_back(html);
                h.Click("btnCompile");
                QCOMPARE(h.prompts.log.back(), std::string("send-form"));
                QCOMPARE(h.ui.Texts().back(), std::string(texts::kInserted));
                // The HTML menu never asks where the node information goes.
                QCOMPARE(std::count(h.ui.log.begin(), h.ui.log.end(), "output-options"), 0);
                sent = ProjectFileText(h.w->Project());
                std::string text = testing::ReadAll(page);
                QVERIFY(text.find(kHtmlMenuBegin) != std::string::npos);
                QVERIFY(text.find("<APPLET") == std::string::npos);
                QVERIFY(text.find("<h1>Site</h1>") != std::string::npos);
                QVERIFY(text.find("src=\"leaf.gif\"") != std::string::npos);  // the node image
                QCOMPARE(QFile::exists(QString::fromStdString(dir.File(kHtmlMenuScriptFile))), external);
                QCOMPARE(QFile::exists(QString::fromStdString(dir.File(kHtmlMenuStyleFile))), external);
                QCOMPARE(text.find("<script src=\"branchwork-menu.js\">") != std::string::npos, external);
                QCOMPARE(text.find("<style>") != std::string::npos, !external);
                // The choice is kept: the next Send's dialog starts from it,
                // and OK on it replaces the block instead of adding one.
                QCOMPARE(StoredSendChoice(), html);
                h.Click("btnCompile");
                QCOMPARE(h.ui.Texts().back(), std::string(texts::kInserted));
                text = testing::ReadAll(page);
                QCOMPARE(text.find(kHtmlMenuBegin), text.rfind(kHtmlMenuBegin));
                QCOMPARE(text.find(kHtmlMenuEnd), text.rfind(kHtmlMenuEnd));
                QVERIFY(QFile::exists(QString::fromStdString(page + ".bak")));
                QVERIFY(testing::ReadAll(page + ".bak").find(kHtmlMenuBegin) != std::string::npos);
            }
            // Starting again with the page loads the HTML menu back.
            Harness again(AppletKind::Tab, page);
            QVERIFY(again.prompts.log.empty() || again.prompts.log.front() != "new-applet");
            QCOMPARE(again.w->Project().kind, AppletKind::TabAndTree);
            QCOMPARE(again.Preview()->tabText(1), QString("Products"));
            QCOMPARE(again.w->Project().Page(0).tree.First()->caption, std::string("Home & <Start>"));
            QCOMPARE(ProjectFileText(again.w->Project()), sent);
            // Back to the applet form: the HTML menu is replaced by one applet.
            again.prompts.sendChoices.push_back(SendChoice{});
            again.Click("btnCompile");
            const std::string text = testing::ReadAll(page);
            QVERIFY(text.find(kHtmlMenuBegin) == std::string::npos);
            QCOMPARE(text.find("<APPLET"), text.rfind("<APPLET"));
            QVERIFY(text.find("<APPLET") != std::string::npos);
            QCOMPARE(StoredSendChoice(), SendChoice{});
        }
    }

    void cancelledOutputOptionsSendNothing() {
        testing::ScratchDir dir("ui_send_cancel");
        const std::string page = dir.File("index.html");
        const std::string before = "<html><body></body></html>";
        testing::WriteAll(page, before);
        SendChoice html;
        html.options.htmlMenu = true;
        StoreSendChoice(html);
        Harness h(AppletKind::Tree, page);
        h.prompts.sendChoices.push_back(std::nullopt);
        h.Click("btnCompile");
        QCOMPARE(h.prompts.log.back(), std::string("send-form"));
        QVERIFY(h.ui.messages.empty());
        QCOMPARE(testing::ReadAll(page), before);
        QVERIFY(!QFile::exists(QString::fromStdString(page + ".bak")));
        QCOMPARE(StoredSendChoice(), html);  // a cancelled dialog keeps the last choice
    }

    void appletNodeInformationInFilesIsChosenInTheSameDialog() {
        testing::ScratchDir dir("ui_send_files");
        const std::string page = dir.File("index.html");
        testing::WriteAll(page, "<html><body></body></html>");
        Harness h(AppletKind::Tree, page);
        SendChoice files;
        files.nodeInfoInApplet = false;
        h.prompts.sendChoices.push_back(files);
        h.Click("btnCompile");
        QCOMPARE(h.ui.Texts().back(), std::string(texts::kInserted));
        QVERIFY(QFile::exists(QString::fromStdString(dir.File("Content.txt"))));
        QVERIFY(testing::ReadAll(page).find("\"CONTENT\" VALUE=\"Content.txt\"") != std::string::npos);
        QVERIFY(!h.w->Project().nodeInfoInApplet);
        // The node information is not remembered: the next dialog starts inside.
        QCOMPARE(StoredSendChoice(), SendChoice{});
    }

    void outputOptionsEnableOnlyTheChosenFormsOptions() {
        TfrmOutputOptions o;
        o.show();
        QVERIFY(o.optAppletForm->isChecked());
        QVERIFY(o.optApplet->isChecked());
        QVERIFY(o.optInline->isChecked());
        QVERIFY(o.grpNodeInfo->isEnabled());
        QVERIFY(!o.grpHtmlMenuFiles->isEnabled());
        QCOMPARE(o.Choice(), SendChoice{});
        // The two groups are each their own choice.
        QTest::mouseClick(o.optFile, Qt::LeftButton);
        QVERIFY(o.optAppletForm->isChecked());
        QVERIFY(!o.Choice().nodeInfoInApplet);
        QTest::mouseClick(o.optHtmlMenu, Qt::LeftButton);
        QVERIFY(!o.grpNodeInfo->isEnabled());
        QVERIFY(o.grpHtmlMenuFiles->isEnabled());
        QTest::mouseClick(o.optExternalFiles, Qt::LeftButton);
        QVERIFY(o.optHtmlMenu->isChecked());
        SendChoice c = o.Choice();
        QVERIFY(c.options.htmlMenu && c.options.externalFiles);
        // The Tab kind keeps its nodes in the applet.
        TfrmOutputOptions t;
        SendChoice start;
        start.nodeInfoInApplet = false;
        t.SetChoice(AppletKind::Tab, start);
        QVERIFY(!t.grpNodeInfo->isEnabled());
        QVERIFY(t.optApplet->isChecked());
        QVERIFY(t.Choice().nodeInfoInApplet);
        // SetChoice shows a stored HTML-menu choice.
        start.options = {true, true};
        t.SetChoice(AppletKind::Tree, start);
        QVERIFY(t.optHtmlMenu->isChecked());
        QVERIFY(t.optExternalFiles->isChecked());
        QVERIFY(t.optFile->isChecked());
        QCOMPARE(t.Choice(), start);
        // Cancel rejects.
        t.show();
        t.findChild<QAbstractButton*>("btnCancel")->click();
        QCOMPARE(t.result(), int(QDialog::Rejected));
    }

    void aPageThatCannotBeWrittenKeepsItsContent() {
        testing::ScratchDir dir("ui_send_fail");
        const std::string page = dir.File("index.html");
        const std::string before = "<html><body>\r\n<!-- branchwork -->\r\n</body></html>\r\n";
        testing::WriteAll(page, before);
        // The backup cannot be made: a directory stands where PAGE.bak goes.
        std::filesystem::create_directories(page + ".bak");
        testing::WriteAll(page + ".bak/keep.txt", "kept");
        Harness h(AppletKind::Tab, page);
        h.Click("btnCompile");
        // The message names the page that could not be written.
        QVERIFY(h.ui.Texts().back().rfind(texts::kPageNotWritten, 0) == 0);
        QCOMPARE(testing::ReadAll(page), before);
        QCOMPARE(testing::ReadAll(page + ".bak/keep.txt"), std::string("kept"));
    }

    void startUpExtractsTheAppletClasses() {
        BwScriptedUiHost host;
        const std::string data = PrepareDataFolder(host);
        QVERIFY(host.messages.empty());
        for (const char* c : {"VoltarixR.class", "VoltanR.class", "VoltarR.class"})
            QVERIFY(QFile::exists(QString::fromStdString(data + "help/JClass/" + c)));
        QVERIFY(QString::fromStdString(data).contains("qttest"));  // the test location, not the user's
    }

    void quitQuestionDecidesTheClose() {
        Harness h(AppletKind::Tree);
        h.w->show();
        QVERIFY(!h.w->close());
        QCOMPARE(h.prompts.log.back(), std::string("quit"));
        QVERIFY(h.w->isVisible());
        h.prompts.quitAnswers.push_back(true);
        h.Click("btnExit");
        QVERIFY(!h.w->isVisible());
    }

    void helpAndLogoOpenTheBrowser() {
        Harness h(AppletKind::Tree);
        h.Click("btnHelp");
        QVERIFY(h.prompts.urls.back().starts_with("file:///"));
        QVERIFY(h.prompts.urls.back().ends_with("help/start.htm"));
        h.Click("btnLogo");
        QVERIFY(h.prompts.urls.back().starts_with("https://"));
    }

    void tolvEditTypingCases() {
        TTolvEdit e;
        e.settings = WidthFieldSettings();
        e.show();
        QTest::keyClicks(&e, "12a.");
        QCOMPARE(e.text(), QString("12"));
        e.setText("90");
        e.Leave();
        QCOMPARE(e.text(), QString("110"));
        e.setText("120");
        e.Leave();
        QCOMPARE(e.text(), QString("120"));
        TTolvEdit m;
        m.settings = {true, false, 0, 255, 0};
        m.show();
        QTest::keyClicks(&m, "259");
        QCOMPARE(m.text(), QString("25"));  // 259 exceeds Max
        m.selectAll();
        QTest::keyClicks(&m, "9");
        QCOMPARE(m.text(), QString("9"));  // the selection is replaced first
        QTest::keyClick(&m, Qt::Key_Backspace);
        QCOMPARE(m.text(), QString());
        TTolvEdit hex;
        hex.hexOnly = true;
        hex.setMaxLength(2);
        hex.show();
        QTest::keyClicks(&hex, "g1Fz3");
        QCOMPARE(hex.text(), QString("1F"));
        // The size fields of the window keep the rules and Apply reads them.
        Harness h(AppletKind::Tree);
        auto* width = h.Find<TTolvEdit>("txtAppletWidth");
        TypeInto(width, "3x00");
        QCOMPARE(width->text(), QString("300"));
        h.Find<QLineEdit>("txtAppletHeight")->setText("");
        h.Click("btnApply");
        QCOMPARE(h.w->Project().previewWidth, 300);
        QCOMPARE(h.w->Project().previewHeight, 0);
    }

    void getFileNameDialogChecksTheName() {
        BwScriptedUiHost host;
        TfrmGetFilename d(host);
        d.show();
        d.findChild<QAbstractButton*>("btnOk")->click();
        QCOMPARE(host.Texts().back(), std::string(texts::kEnterFileName));
        QVERIFY(d.isVisible());
        d.txtFileName->setText("/nonexistent/page.html");
        d.findChild<QAbstractButton*>("btnOk")->click();
        QCOMPARE(host.Texts().back(), std::string("Unable to find /nonexistent/page.html\nPlease check the filename and try again."));
        QVERIFY(d.isVisible());
        testing::ScratchDir dir("ui_getfile");
        testing::WriteAll(dir.File("x.html"), "x");
        d.txtFileName->setText(QString::fromStdString(dir.File("x.html")));
        d.findChild<QAbstractButton*>("btnOk")->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(host.messages.size(), size_t(2));
    }

    void dialogsStartFromTheirDefaults() {
        for (int i = 0; i < 2; ++i) {
            TfrmNewApplet n;
            QVERIFY(n.optTabAndTree->isChecked());
            QCOMPARE(n.Kind(), AppletKind::TabAndTree);
            n.optTree->setChecked(true);
            QCOMPARE(n.Kind(), AppletKind::Tree);
        }
        TfrmOutputOptions o;
        QVERIFY(o.optApplet->isChecked());
        TfrmGraphicsDir g("/srv/web/");
        QCOMPARE(g.lblSaveDir->text(), QString("/srv/web/"));
        QVERIFY(!g.txtSaveDir->isEnabled());
        QCOMPARE(g.Directory(), std::string("/srv/web/"));
    }

    void splashChoiceIsRemembered() {
        QSettings("Tolvane", "Wrightkit").remove("Arborly");
        QVERIFY(SplashWanted());
        {
            TfrmSplash s;
            s.show();
            s.findChild<QAbstractButton*>("btnOk")->click();
        }
        QVERIFY(SplashWanted());
        {
            TfrmSplash s;
            s.show();
            s.chkShow->setChecked(true);
            s.findChild<QAbstractButton*>("btnOk")->click();
        }
        QVERIFY(!SplashWanted());
        QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit")
                     .value("Arborly/Splash2").toBool(), false);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit").remove("Arborly/Splash2");
        QVERIFY(SplashWanted());
    }

    void colorPickerFieldsGridAndPaste() {
        BwScriptedUiHost host;
        TfrmColorPicker p(host);
        p.SetColor(MakeColor(255, 128, 0));
        QCOMPARE(p.findChild<QLineEdit*>("txtHexGreen")->text(), QString("80"));
        auto* hexRed = p.findChild<TTolvEdit*>("txtHexRed");
        hexRed->setText("1F");
        QCOMPARE(p.findChild<QLineEdit*>("txtRed")->text(), QString("31"));
        p.PasteInto(hexRed, "\"#00FF7f\"");
        QCOMPARE(p.PickedColor(), MakeColor(0, 255, 127));
        p.PasteInto(hexRed, "#12345");
        QCOMPARE(host.Texts().back(), std::string("12345 is not a valid HTML color code."));
        QCOMPARE(p.PickedColor(), MakeColor(0, 255, 127));
        p.PasteInto(p.findChild<TTolvEdit*>("txtRed"), "10,20,30");
        QCOMPARE(p.PickedColor(), MakeColor(10, 20, 30));
        // The web-safe palette fills the grid; a cell makes its colour current.
        QCOMPARE(p.Grid()->cells[0], (PickerRgb{0, 0, 0}));
        QCOMPARE(p.Grid()->cells[215], (PickerRgb{255, 255, 255}));
        QTest::mouseClick(p.Grid(), Qt::LeftButton, {}, p.Grid()->CellCentre(1));
        QCOMPARE(p.PickedColor(), MakeColor(0, 0, 51));
        p.SetColor(MakeColor(250, 250, 250));
        p.FindNearest();
        QCOMPARE(p.Grid()->selected, 215);
        QCOMPARE(p.PickedColor(), kWhite);
        // With Fade off the grid changes in one step.
        testing::ScratchDir dir("ui_pal");
        testing::WriteAll(dir.File("two.pal"), "JASC-PAL\r\n0100\r\n2\r\n1 2 3\r\n4 5 6\r\n");
        p.LoadPaletteFile(dir.File("two.pal"));
        QCOMPARE(p.Grid()->cells[1], (PickerRgb{4, 5, 6}));
        QCOMPARE(p.Grid()->cells[2], (PickerRgb{0, 0, 0}));
        QCOMPARE(p.findChild<QComboBox*>("cmbPal")->currentText(), QString("two.pal"));
        // A GIF without a global colour table keeps the grid and says so.
        testing::WriteAll(dir.File("nogct.gif"), std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00", 13));
        p.LoadPaletteFile(dir.File("nogct.gif"));
        QCOMPARE(host.Texts().back(), std::string(texts::kGifPaletteError));
        QCOMPARE(p.Grid()->cells[1], (PickerRgb{4, 5, 6}));
        // Screen sampling where the desktop forbids it says so.
        QVERIFY(!p.SampleAt(QPoint(1, 1)));
        QVERIFY(!host.Texts().back().empty());
        p.findChild<QAbstractButton*>("btnSample")->click();
        QCOMPARE(host.messages.size(), size_t(4));
    }

    void colorPickerKeepsCustomColours() {
        {
            BwScriptedUiHost host;
            TfrmColorPicker p(host);
            p.SetCustom(3, MakeColor(1, 2, 3));
            QCOMPARE(p.findChild<QLabel*>("shCustom3")->toolTip(), QString("#010203\n1,2,3"));
            p.show();
            p.findChild<QAbstractButton*>("btnOK")->click();
        }
        BwScriptedUiHost host;
        TfrmColorPicker p(host);
        QCOMPARE(p.customColors[3], MakeColor(1, 2, 3));
        QCOMPARE(p.customColors[4], kWhite);
        QTest::mouseClick(p.findChild<QLabel*>("shCustom3"), Qt::LeftButton);
        QCOMPARE(p.PickedColor(), MakeColor(1, 2, 3));
    }
};

QTEST_MAIN(BuilderUiTest)
#include "ui_test.moc"
