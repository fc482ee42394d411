#include "branchwork/ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDrag>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "branchwork/base/file_url.h"
#include "branchwork/base/texts.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/project/loader.h"
#include "branchwork/qtwidgets/tolv_edit_widget.h"
#include "branchwork/ui/dialogs.h"

namespace branchwork {
namespace {

constexpr const char* kNodeMime = "application/x-branchwork-node";
constexpr const char* kPageFilter = "HTML files (*.htm, *.html)|*.htm;*.html|All Files|*.*";
constexpr const char* kImageFilter = "Image files (*.gif, *.jpg)|*.gif;*.jpg|All Files|*.*";
constexpr const char* kGifFilter = "Gif Files (*.gif)|*.gif";
constexpr const char* kProjectFilter = "Arborly Files (*.bwk)|*.bwk";
constexpr const char* kLogoUrl = "https://tolvane.example/applets/";

// The core's questions during one Send, with the output options already
// answered in the Send's own dialog; everything else goes to the window's host.
class AnsweredOutputOptions : public BwUiHost {
public:
    AnsweredOutputOptions(BwUiHost& ui, bool node_info_in_applet) : ui_(ui), inside_(node_info_in_applet) {}
    void Message(const std::string& text, MessageIcon icon) override { ui_.Message(text, icon); }
    bool ConfirmOkCancel(const std::string& text) override { return ui_.ConfirmOkCancel(text); }
    std::optional<bool> AskOutputOptions() override { return inside_; }
    std::string AskGraphicsDirectory(const std::string& page_dir) override {
        return ui_.AskGraphicsDirectory(page_dir);
    }
    std::optional<std::string> AskPageFileName() override { return ui_.AskPageFileName(); }
    void SetBusy(bool on) override { ui_.SetBusy(on); }
    void MinimizeWindow() override { ui_.MinimizeWindow(); }
    void RestoreWindow() override { ui_.RestoreWindow(); }

private:
    BwUiHost& ui_;
    bool inside_;
};

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QColor ToQColor(Color c) {
    const Color r = ResolveColor(c);
    return QColor(RedOf(r), GreenOf(r), BlueOf(r));
}

TreeNode* NodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<TreeNode*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QComboBox* TargetCombo(const QString& name) {
    auto* c = new QComboBox;
    c->setObjectName(name);
    c->setEditable(true);
    c->addItems({"_blank", "_self", "_top", "_parent"});
    c->setCurrentText("");
    return c;
}

QLineEdit* Edit(const QString& name, const QString& hint) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setToolTip(hint);
    return e;
}

QToolButton* SmallButton(const QString& name, const QString& text, const QString& hint = {}) {
    auto* b = new QToolButton;
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint.isEmpty() ? text : hint);
    return b;
}

// A new widget of type T with an object name (the control's name, which the
// tests look up); the other arguments go to T's constructor.
template <class T, class... A>
T* Named(const char* name, A&&... args) {
    auto* w = new T(std::forward<A>(args)...);
    w->setObjectName(name);
    return w;
}

// A row of push buttons: (object name, caption) each.
QHBoxLayout* PushButtonRow(std::initializer_list<std::pair<const char*, const char*>> buttons) {
    auto* row = new QHBoxLayout;
    for (auto [name, text] : buttons) {
        auto* b = new QPushButton(text);
        b->setObjectName(name);
        row->addWidget(b);
    }
    return row;
}

// The link fields of a tab or a node.
struct LinkFields {
    QLineEdit *statusText, *url1, *url2;
    QComboBox *target1, *target2;
};

// Adds the link rows both editing pages have to a form: the status text,
// then two links, each with its "..." file button and its target frame.
// `infix` follows the prefix of each control's name ("Tab": txtTabURL,
// btnTabLoadURL, cmbTabTarget; "": txtURL, btnLoadURL, cmbTarget).
LinkFields AddLinkRows(QFormLayout* f, const QString& infix) {
    LinkFields l;
    l.statusText = Edit("txt" + infix + "StatusText", "Status Bar Text");
    f->addRow("Status Bar Text", l.statusText);
    auto link = [&](const QString& suffix, const QString& number, QLineEdit*& url, QComboBox*& target) {
        url = Edit("txt" + infix + "URL" + suffix, "Link URL " + number);
        target = TargetCombo("cmb" + infix + "Target" + suffix);
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(url);
        h->addWidget(SmallButton("btn" + infix + "LoadURL" + suffix, "...", "Select File"));
        f->addRow("Link URL " + number, row);
        f->addRow("Target Frame " + number, target);
    };
    link("", "1", l.url1, l.target1);
    link("2", "2", l.url2, l.target2);
    return l;
}

QLabel* ImageSlotLabel(const char* name) {
    auto* l = new QLabel;
    l->setObjectName(name);
    l->setFixedSize(20, 20);
    l->setFrameShape(QFrame::StyledPanel);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// The tool bar glyphs, drawn rather than shipped as files.
QIcon Glyph(const QString& what) {
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    QPen pen(QColor(40, 60, 90), 2);
    p.setPen(pen);
    if (what == "new") {
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygon({{8, 3}, {20, 3}, {26, 9}, {26, 29}, {8, 29}}));
        p.drawLine(20, 3, 20, 9);
        p.drawLine(20, 9, 26, 9);
    } else if (what == "load") {
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(4, 10, 24, 17);
        p.drawRect(4, 7, 10, 3);
    } else if (what == "save") {
        p.setBrush(QColor(70, 110, 180));
        p.drawRect(5, 5, 22, 22);
        p.setBrush(Qt::white);
        p.drawRect(10, 5, 12, 8);
        p.drawRect(9, 18, 14, 9);
    } else if (what == "send") {
        p.setBrush(QColor(90, 170, 90));
        p.drawPolygon(QPolygon({{3, 16}, {28, 4}, {20, 28}, {15, 19}}));
    } else if (what == "help") {
        p.setBrush(QColor(80, 130, 210));
        p.drawEllipse(4, 4, 24, 24);
        p.setPen(QPen(Qt::white, 3));
        p.drawArc(11, 8, 10, 10, 180 * 16, -250 * 16);
        p.drawPoint(16, 24);
    } else if (what == "exit") {
        p.setPen(QPen(QColor(190, 40, 40), 4));
        p.drawLine(8, 8, 24, 24);
        p.drawLine(24, 8, 8, 24);
    } else {  // logo: a small branching tree
        p.setPen(QPen(QColor(30, 110, 60), 2.5));
        p.drawLine(16, 28, 16, 6);
        p.drawLine(16, 14, 7, 7);
        p.drawLine(16, 18, 26, 10);
        p.setBrush(QColor(60, 170, 90));
        p.drawEllipse(QPointF(7, 7), 3, 3);
        p.drawEllipse(QPointF(26, 10), 3, 3);
        p.drawEllipse(QPointF(16, 6), 3, 3);
    }
    return QIcon(pm);
}

}  // namespace

// ---- tree view with node drag and drop ----------------------------------

TNodeTreeView::TNodeTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
}

DropZone TNodeTreeView::ZoneAt(QPoint pos) const {
    QTreeWidgetItem* item = itemAt(pos);
    if (!item) return DropZone::Elsewhere;
    const QRect r = visualItemRect(item);  // starts after the indentation
    const int icon = item->icon(0).isNull() ? 0 : iconSize().width() + 4;
    const int text = fontMetrics().horizontalAdvance(item->text(0)) + 8;
    return DropZoneAt(pos.x(), r.left(), r.left() + icon + text);
}

void TNodeTreeView::mousePressEvent(QMouseEvent* e) {
    pressed_ = e->button() == Qt::LeftButton && topLevelItemCount() > 0;
    pressPos_ = e->pos();
    QTreeWidget::mousePressEvent(e);
}

void TNodeTreeView::mouseMoveEvent(QMouseEvent* e) {
    if (pressed_ && (e->buttons() & Qt::LeftButton) &&
        (e->pos() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        pressed_ = false;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(kNodeMime, QByteArray::number(reinterpret_cast<quintptr>(this)));
        drag->setMimeData(mime);
        drag->exec(Qt::MoveAction);
        return;
    }
    QTreeWidget::mouseMoveEvent(e);
}

void TNodeTreeView::dragEnterEvent(QDragEnterEvent* e) {
    // Only a drag started in a preview tree view is taken.
    if (e->mimeData()->hasFormat(kNodeMime) && qobject_cast<TNodeTreeView*>(e->source()) == this)
        e->acceptProposedAction();
    else
        e->ignore();
}

void TNodeTreeView::dragMoveEvent(QDragMoveEvent* e) {
    if (qobject_cast<TNodeTreeView*>(e->source()) == this) e->acceptProposedAction();
    else e->ignore();
}

void TNodeTreeView::dropEvent(QDropEvent* e) {
    if (qobject_cast<TNodeTreeView*>(e->source()) != this) return e->ignore();
    e->setDropAction(Qt::IgnoreAction);  // the window rebuilds the tree itself
    e->accept();
    if (onDrop) onDrop(e->position().toPoint());
}

// ---- main window --------------------------------------------------------

TfrmMain::TfrmMain(BwUiHost& ui, BwPrompts& prompts, std::string page, std::string program_dir, QWidget* parent)
    : QMainWindow(parent), ui_(ui), prompts_(prompts), programDir_(std::move(program_dir)),
      project_(std::make_unique<NavigationProject>()) {
    page_.path = std::move(page);
    setObjectName("frmMain");
    setWindowTitle(texts::kAppTitle);
    hostFactoryFor = [](const std::string& p) { return PageFileHostFactory(p); };

    std::vector<std::string> fonts;
    for (const QString& f : QFontDatabase::families()) fonts.push_back(S(f));
    project_->SetFontNames(fonts);

    BuildToolBar();
    auto* central = new QWidget;
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);
    scrollPreview_ = Named<QScrollArea>("scrollPreview");
    pgeTree_ = Named<QTabWidget>("pgeTree");
    scrollPreview_->setWidget(pgeTree_);
    scrollPreview_->setMinimumWidth(212);
    row->addWidget(scrollPreview_, 1);
    pages_ = Named<QTabWidget>("pgeEditor");
    pages_->setFixedWidth(360);
    // Each editing page: its groups from top to bottom, the space below.
    auto editor_page = [this](void (TfrmMain::*build)(QVBoxLayout*)) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        (this->*build)(v);
        v->addStretch();
        return w;
    };
    pageTab_ = editor_page(&TfrmMain::BuildTabPage);
    pageTree_ = editor_page(&TfrmMain::BuildTreePage);
    pageStyle_ = editor_page(&TfrmMain::BuildStylePage);
    pages_->addTab(pageTab_, "Tab");
    pages_->addTab(pageTree_, "Tree");
    pages_->addTab(pageStyle_, "Applet Style");
    pages_->setStyleSheet("QTabBar::tab { min-width: 70px; }");
    row->addWidget(pages_);
    setCentralWidget(central);
    Wire();
    project_->AddTab(texts::kNewTab);
    RefreshAll();
    setFixedSize(sizeHint().expandedTo(QSize(529, 416)));
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildToolBar() {
    auto* bar = Named<QToolBar>("tlbMain");
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setFixedHeight(48);
    struct B {
        const char *name, *text, *hint, *glyph;
    };
    const B buttons[] = {{"btnNew", "New", "New", "new"},          {"btnLoad", "Load", "Load", "load"},
                         {"btnSave", "Save", "Save", "save"},      {"btnCompile", "Send", "Send to Harborline", "send"},
                         {"btnHelp", "Help", "Help", "help"},      {"btnExit", "Exit", "Exit", "exit"}};
    for (const B& b : buttons) {
        auto* tb = new QToolButton;
        tb->setObjectName(b.name);
        tb->setText(b.text);
        tb->setToolTip(b.hint);
        tb->setIcon(Glyph(b.glyph));
        tb->setIconSize(QSize(32, 32));
        bar->addWidget(tb);
    }
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    auto* logo = Named<QToolButton>("btnLogo");
    logo->setAutoRaise(true);
    logo->setIcon(Glyph("logo"));
    logo->setIconSize(QSize(32, 32));
    logo->setToolTip("Branchwork");
    bar->addWidget(logo);
    addToolBar(Qt::TopToolBarArea, bar);
}

void TfrmMain::BuildTabPage(QVBoxLayout* v) {
    grpTabs_ = Named<QGroupBox>("grpTabs", "Tabs");
    auto* f = new QFormLayout(grpTabs_);
    txtTabName_ = Edit("txtTabName", "Tab Caption");
    posTab_ = Named<QSpinBox>("posTab");
    posTab_->setToolTip("Tab Position");
    f->addRow("Tab Caption", txtTabName_);
    f->addRow("Tab Position", posTab_);
    const LinkFields links = AddLinkRows(f, "Tab");
    txtTabStatusText_ = links.statusText;
    txtTabURL_ = links.url1;
    txtTabURL2_ = links.url2;
    cmbTabTarget_ = links.target1;
    cmbTabTarget2_ = links.target2;
    f->addRow(PushButtonRow({{"btnAddTab", "Add Tab"}, {"btnDeleteTab", "Remove Tab"}}));
    v->addWidget(grpTabs_);
    auto* lbl = new QLabel("Select the tab you wish to use as the default tab.");
    lbl->setWordWrap(true);
    v->addWidget(lbl);
    cmbDefaultTab_ = Named<QComboBox>("cmbDefaultTab");
    v->addWidget(cmbDefaultTab_);
}

void TfrmMain::BuildTreePage(QVBoxLayout* v) {
    grpTree_ = Named<QGroupBox>("grpTree", "Tree");
    auto* f = new QFormLayout(grpTree_);
    txtNodeText_ = Edit("txtNodeText", "Node Text");
    f->addRow("Node Text", txtNodeText_);
    const LinkFields links = AddLinkRows(f, "");
    txtStatusText_ = links.statusText;
    txtURL_ = links.url1;
    txtURL2_ = links.url2;
    cmbTarget_ = links.target1;
    cmbTarget2_ = links.target2;
    f->addRow(PushButtonRow(
        {{"btnAddNode", "Add Node"}, {"btnAddChildNode", "Add Child Node"}, {"btnDeleteNode", "Remove Node"}}));
    // image browser
    auto* browser = new QHBoxLayout;
    static const char* slot_names[5] = {"imgPrev1", "imgPrev2", "imgPrev3", "imgPrev4", "imgPrev5"};
    for (int i = 0; i < 5; ++i) {
        imgPrev_[i] = ImageSlotLabel(slot_names[i]);
        if (i == 2) imgPrev_[i]->setStyleSheet("QLabel { border: 2px solid #3060c0; }");
        browser->addWidget(imgPrev_[i]);
    }
    browser->addStretch();
    auto* addImg = SmallButton("btnAddImage", "Add...", "Add images to list");
    browser->addWidget(addImg);
    f->addRow(browser);
    scrollImgPrev_ = Named<QScrollBar>("scrollImgPrev", Qt::Horizontal);
    scrollImgPrev_->setPageStep(ImageBrowser::kLargeStep);
    f->addRow(scrollImgPrev_);
    v->addWidget(grpTree_);

    auto* imgs = new QHBoxLayout;
    auto* def = Named<QGroupBox>("grpDefaultImages", "Default Images");
    auto* dg = new QGridLayout(def);
    imgDefCollapsed_ = ImageSlotLabel("imgDefCollapsed");
    imgDefExpanded_ = ImageSlotLabel("imgDefExpanded");
    imgDefChild_ = ImageSlotLabel("imgDefChild");
    const std::tuple<QLabel*, const char*, const char*> defs[] = {
        {imgDefCollapsed_, "btnSetDefCollapsed", "Collapsed"},
        {imgDefExpanded_, "btnSetDefExpanded", "Expanded"},
        {imgDefChild_, "btnSetDefChild", "Child"}};
    int col = 0;
    for (auto [img, name, text] : defs) {
        dg->addWidget(new QLabel(text), 0, col, Qt::AlignCenter);
        dg->addWidget(img, 1, col, Qt::AlignCenter);
        dg->addWidget(SmallButton(name, "Set", QString("Set default ") + text), 2, col, Qt::AlignCenter);
        ++col;
    }
    imgs->addWidget(def);
    auto* node = Named<QGroupBox>("grpNodeImages", "Node Images");
    auto* ng = new QGridLayout(node);
    label7_ = Named<QLabel>("Label7", "Collapsed");
    label8_ = Named<QLabel>("Label8", "Expanded");
    imgCollapsed_ = ImageSlotLabel("imgCollapsed");
    imgExpanded_ = ImageSlotLabel("imgExpanded");
    btnSetExpanded_ = SmallButton("btnSetExpanded", "Set", "Set expanded image");
    ng->addWidget(label7_, 0, 0, Qt::AlignCenter);
    ng->addWidget(imgCollapsed_, 1, 0, Qt::AlignCenter);
    ng->addWidget(SmallButton("btnSetCollapsed", "Set", "Set collapsed image"), 2, 0, Qt::AlignCenter);
    ng->addWidget(label8_, 0, 1, Qt::AlignCenter);
    ng->addWidget(imgExpanded_, 1, 1, Qt::AlignCenter);
    ng->addWidget(btnSetExpanded_, 2, 1, Qt::AlignCenter);
    imgs->addWidget(node);
    v->addLayout(imgs);
}

void TfrmMain::BuildStylePage(QVBoxLayout* v) {
    grpSize_ = Named<QGroupBox>("grpSize", "Applet Style");
    auto* sg = new QGridLayout(grpSize_);
    txtAppletWidth_ = Named<TTolvEdit>("txtAppletWidth");
    txtAppletWidth_->settings = WidthFieldSettings();
    txtAppletHeight_ = Named<TTolvEdit>("txtAppletHeight");
    txtAppletHeight_->settings = HeightFieldSettings();
    sg->addWidget(new QLabel("Width"), 0, 0);
    sg->addWidget(txtAppletWidth_, 0, 1);
    sg->addWidget(new QLabel("Height"), 0, 2);
    sg->addWidget(txtAppletHeight_, 0, 3);
    auto* apply = Named<QPushButton>("btnApply", "&Apply");
    sg->addWidget(apply, 0, 4);
    auto* bg = Named<QPushButton>("btnBGImage", "Background Image");
    sg->addWidget(bg, 1, 0, 1, 3);
    chkBorder_ = Named<QCheckBox>("chkBorder", "Show Border");
    sg->addWidget(chkBorder_, 1, 3, 1, 2);
    v->addWidget(grpSize_);

    auto swatch = [this](Swatch s) {
        auto* l = new QLabel;
        l->setObjectName(SwatchName(s));
        l->setToolTip("Click to change color");
        l->setFixedSize(22, 18);
        l->setFrameShape(QFrame::Box);
        l->setAutoFillBackground(true);
        l->installEventFilter(this);
        swatches_[static_cast<int>(s)] = l;
        return l;
    };
    auto example = [](const char* panel, const char* label, const QString& text) {
        auto* p = new QFrame;
        p->setObjectName(panel);
        p->setFrameShape(QFrame::StyledPanel);
        p->setAutoFillBackground(true);
        auto* h = new QHBoxLayout(p);
        h->setContentsMargins(4, 1, 4, 1);
        auto* l = new QLabel(text);
        l->setObjectName(label);
        h->addWidget(l);
        return p;
    };

    grpTabStyle_ = Named<QGroupBox>("grpTabStyle", "Tab Style");
    auto* tg = new QGridLayout(grpTabStyle_);
    cmbTabFont_ = Named<QComboBox>("cmbTabFont");
    cmbTabFontSize_ = Named<QComboBox>("cmbTabFontSize");
    tg->addWidget(cmbTabFont_, 0, 0, 1, 3);
    tg->addWidget(cmbTabFontSize_, 0, 3);
    tg->addWidget(new QLabel("Caption"), 1, 0);
    tg->addWidget(swatch(Swatch::TabCaptionFG), 1, 1);
    tg->addWidget(new QLabel("Background"), 2, 0);
    tg->addWidget(swatch(Swatch::TabCaptionBG), 2, 1);
    tg->addWidget(new QLabel("Mouse Over"), 3, 0);
    tg->addWidget(swatch(Swatch::TabMouseOver), 3, 1);
    tg->addWidget(example("pnlTabExample", "lblTabExample", "Tab Caption Example"), 1, 2, 1, 2);
    optTabOnTop_ = Named<QRadioButton>("optTabOnTop", "Tabs on top");
    optTabOnBottom_ = Named<QRadioButton>("optTabOnBottom", "Tabs on bottom");
    tg->addWidget(optTabOnTop_, 2, 2, 1, 2);
    tg->addWidget(optTabOnBottom_, 3, 2, 1, 2);
    v->addWidget(grpTabStyle_);

    grpTreeStyle_ = Named<QGroupBox>("grpTreeStyle", "Tree Style");
    auto* rg = new QGridLayout(grpTreeStyle_);
    cmbTreeFont_ = Named<QComboBox>("cmbTreeFont");
    cmbTreeFontSize_ = Named<QComboBox>("cmbTreeFontSize");
    rg->addWidget(cmbTreeFont_, 0, 0, 1, 4);
    rg->addWidget(cmbTreeFontSize_, 0, 4);
    rg->addWidget(new QLabel("Branch"), 1, 0);
    rg->addWidget(swatch(Swatch::TreeBranchFG), 1, 1);
    rg->addWidget(swatch(Swatch::TreeBranchBG), 1, 2);
    rg->addWidget(example("pnlTreeBranchExample", "lblTreeBranchExample", "Example"), 1, 3, 1, 2);
    rg->addWidget(new QLabel("Selected"), 2, 0);
    rg->addWidget(swatch(Swatch::TreeSelectedFG), 2, 1);
    rg->addWidget(swatch(Swatch::TreeSelectedBG), 2, 2);
    rg->addWidget(example("pnlTreeSelectedBrach", "lblTreeSelectedBrach", "Example"), 2, 3, 1, 2);
    rg->addWidget(new QLabel("Mouse Over"), 3, 0);
    rg->addWidget(swatch(Swatch::TreeMouseOver), 3, 1);
    rg->addWidget(example("pnlMouseOver", "lblMouseOver", "Mouse Over"), 3, 3, 1, 2);
    chkAutoExpand_ = Named<QCheckBox>("chkAutoExpand", "Auto Expand");
    chkDoubleClick_ = Named<QCheckBox>("chkDoubleClick", "Double Click");
    rg->addWidget(chkAutoExpand_, 4, 0, 1, 2);
    rg->addWidget(chkDoubleClick_, 4, 3, 1, 2);
    v->addWidget(grpTreeStyle_);
}

void TfrmMain::Wire() {
    auto button = [this](const char* name) { return findChild<QAbstractButton*>(name); };
    connect(button("btnNew"), &QAbstractButton::clicked, this, &TfrmMain::OnNew);
    connect(button("btnLoad"), &QAbstractButton::clicked, this, &TfrmMain::OnLoad);
    connect(button("btnSave"), &QAbstractButton::clicked, this, &TfrmMain::OnSave);
    connect(button("btnCompile"), &QAbstractButton::clicked, this, &TfrmMain::OnSend);
    connect(button("btnExit"), &QAbstractButton::clicked, this, &QWidget::close);
    connect(button("btnHelp"), &QAbstractButton::clicked, this,
            [this] { prompts_.OpenUrl(FileUrl(HelpPagePath())); });
    connect(button("btnLogo"), &QAbstractButton::clicked, this, [this] { prompts_.OpenUrl(kLogoUrl); });

    connect(pgeTree_, &QTabWidget::currentChanged, this, &TfrmMain::OnTabChanged);
    connect(button("btnAddTab"), &QAbstractButton::clicked, this, [this] {
        project_->AddTab(texts::kNewTab);
        RefreshAll();
    });
    connect(button("btnDeleteTab"), &QAbstractButton::clicked, this, [this] {
        if (project_->RemoveTab(project_->currentPage, ui_)) RefreshAll();
    });
    connect(txtTabName_, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (filling_ || project_->currentPage < 0) return;
        project_->SetTabCaption(project_->currentPage, S(t));
        pgeTree_->setTabText(project_->currentPage, t);
        RefreshDefaultTabCombo();
    });
    connect(posTab_, &QSpinBox::valueChanged, this, [this](int to) {
        if (filling_ || project_->currentPage < 0 || to == project_->currentPage) return;
        if (project_->MoveTab(project_->currentPage, to)) RefreshAll();
    });
    for (QLineEdit* e : {txtTabStatusText_, txtTabURL_, txtTabURL2_})
        connect(e, &QLineEdit::textChanged, this, &TfrmMain::OnTabFieldsEdited);
    for (QComboBox* c : {cmbTabTarget_, cmbTabTarget2_})
        connect(c, &QComboBox::currentTextChanged, this, &TfrmMain::OnTabFieldsEdited);
    connect(cmbDefaultTab_, &QComboBox::activated, this, [this](int i) { project_->SelectDefaultTab(i); });
    auto url_button = [this](const char* name, QLineEdit* field) {
        connect(findChild<QAbstractButton*>(name), &QAbstractButton::clicked, this, [this, field] {
            if (auto f = prompts_.AskOpenFile("Select File", kPageFilter, "")) field->setText(Q(*f));
        });
    };
    url_button("btnTabLoadURL", txtTabURL_);
    url_button("btnTabLoadURL2", txtTabURL2_);
    url_button("btnLoadURL", txtURL_);
    url_button("btnLoadURL2", txtURL2_);

    connect(button("btnAddNode"), &QAbstractButton::clicked, this, [this] {
        if (project_->AddNode()) RefreshPreview();
    });
    connect(button("btnAddChildNode"), &QAbstractButton::clicked, this, [this] {
        if (project_->AddChildNode()) RefreshPreview();
    });
    connect(button("btnDeleteNode"), &QAbstractButton::clicked, this, [this] {
        if (project_->DeleteSelectedNode(ui_)) RefreshPreview();
    });
    for (QLineEdit* e : {txtNodeText_, txtStatusText_, txtURL_, txtURL2_})
        connect(e, &QLineEdit::textChanged, this, &TfrmMain::OnNodeFieldsEdited);
    for (QComboBox* c : {cmbTarget_, cmbTarget2_})
        connect(c, &QComboBox::currentTextChanged, this, &TfrmMain::OnNodeFieldsEdited);

    connect(button("btnAddImage"), &QAbstractButton::clicked, this, &TfrmMain::OnAddImages);
    connect(scrollImgPrev_, &QScrollBar::valueChanged, this, [this](int v) {
        if (filling_) return;
        project_->ScrollBrowser(v);
        RefreshBrowser();
    });
    auto node_image = [this](const char* name, ImageSlot slot) {
        connect(findChild<QAbstractButton*>(name), &QAbstractButton::clicked, this, [this, slot] {
            if (project_->SetNodeImage(slot)) RefreshPreview();
        });
    };
    node_image("btnSetCollapsed", ImageSlot::Collapsed);
    node_image("btnSetExpanded", ImageSlot::Expanded);
    auto def_image = [this](const char* name, DefaultImageSlot slot) {
        connect(findChild<QAbstractButton*>(name), &QAbstractButton::clicked, this, [this, slot] {
            if (project_->SetDefaultImage(slot)) RefreshBrowser();
        });
    };
    def_image("btnSetDefCollapsed", DefaultImageSlot::Collapsed);
    def_image("btnSetDefExpanded", DefaultImageSlot::Expanded);
    def_image("btnSetDefChild", DefaultImageSlot::Leaf);

    connect(button("btnBGImage"), &QAbstractButton::clicked, this, [this] {
        if (auto f = prompts_.AskOpenFile("Select File", kImageFilter, project_->backgroundImage))
            project_->backgroundImage = *f;
    });
    connect(button("btnApply"), &QAbstractButton::clicked, this, &TfrmMain::ApplyPreviewSize);
    connect(txtAppletWidth_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!filling_) project_->styles.width = S(t);
    });
    connect(txtAppletHeight_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!filling_) project_->styles.height = S(t);
    });
    connect(optTabOnBottom_, &QRadioButton::toggled, this, [this](bool on) {
        if (filling_) return;
        project_->styles.tabsOnBottom = on;
        pgeTree_->setTabPosition(on ? QTabWidget::South : QTabWidget::North);
    });
    auto text_setting = [this](QComboBox* c, std::string StyleSettings::*field) {
        connect(c, &QComboBox::currentTextChanged, this, [this, field](const QString& t) {
            if (!filling_) project_->styles.*field = S(t);
        });
    };
    text_setting(cmbTabFont_, &StyleSettings::tabFont);
    text_setting(cmbTabFontSize_, &StyleSettings::tabFontSize);
    text_setting(cmbTreeFont_, &StyleSettings::treeFont);
    text_setting(cmbTreeFontSize_, &StyleSettings::treeFontSize);
    auto flag_setting = [this](QCheckBox* c, bool StyleSettings::*field) {
        connect(c, &QCheckBox::toggled, this, [this, field](bool on) {
            if (!filling_) project_->styles.*field = on;
        });
    };
    flag_setting(chkBorder_, &StyleSettings::showBorder);
    flag_setting(chkAutoExpand_, &StyleSettings::autoExpand);
    flag_setting(chkDoubleClick_, &StyleSettings::doubleClick);
}

bool TfrmMain::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease) {
        for (Swatch s : AllSwatches())
            if (o == swatches_[static_cast<int>(s)]) {
                OnSwatch(s);
                return true;
            }
    }
    return QMainWindow::eventFilter(o, e);
}

// ---- showing the project -------------------------------------------------

void TfrmMain::RefreshAll() {
    ApplyKind();
    RefreshPreview();
    RefreshStyle();
    RefreshBrowser();
}

void TfrmMain::ApplyKind() {
    const EditorLayout l = project_->ApplyKindToEditor();
    pages_->setTabVisible(pages_->indexOf(pageTab_), l.tabPageShown);
    pages_->setTabVisible(pages_->indexOf(pageTree_), l.treePageShown);
    grpTabs_->setEnabled(l.grpTabsEnabled);
    grpTree_->setEnabled(l.grpTreeEnabled);
    for (auto* g : pageTree_->findChildren<QGroupBox*>()) g->setEnabled(l.grpTreeEnabled);
    grpTreeStyle_->setEnabled(l.grpTreeStyleEnabled);
    grpTabStyle_->setEnabled(l.grpTabStyleEnabled);
    pages_->setCurrentWidget(std::string(l.pageBroughtForward) == "Tree" ? pageTree_ : pageTab_);
}

QPixmap TfrmMain::ImagePixmap(int index) const {
    if (!project_->images.Valid(index)) return {};
    const NodeImage& img = project_->images.At(index);
    QImage q(img.rgba.data(), img.width, img.height, img.width * 4, QImage::Format_RGBA8888);
    return QPixmap::fromImage(q.copy());
}

QIcon TfrmMain::ImageIcon(int index) const {
    const QPixmap pm = ImagePixmap(index);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

void TfrmMain::UpdateItemIcon(QTreeWidgetItem* item) {
    if (TreeNode* n = NodeOf(item)) item->setIcon(0, ImageIcon(NodeDisplayImage(*n)));
}

void TfrmMain::FillTree(TNodeTreeView* view, TAppletPage& page) {
    view->clear();
    QTreeWidgetItem* selected = nullptr;
    // Iterative walk, parents before children.
    std::vector<std::pair<TreeNode*, QTreeWidgetItem*>> stack;
    for (auto it = page.tree.roots.rbegin(); it != page.tree.roots.rend(); ++it) stack.push_back({it->get(), nullptr});
    std::vector<QTreeWidgetItem*> expand;
    while (!stack.empty()) {
        auto [node, parent] = stack.back();
        stack.pop_back();
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(view);
        item->setText(0, Q(node->caption));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
        item->setIcon(0, ImageIcon(NodeDisplayImage(*node)));
        if (node->expanded) expand.push_back(item);
        if (node == page.tree.selected) selected = item;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) stack.push_back({it->get(), item});
    }
    for (QTreeWidgetItem* i : expand) i->setExpanded(true);
    if (selected) {
        view->setCurrentItem(selected);
        view->scrollToItem(selected);
    }
}

void TfrmMain::RefreshPreview() {
    const bool was = filling_;
    filling_ = true;
    const EditorLayout l = EditorLayoutFor(project_->kind);
    while (pgeTree_->count() > 0) {
        QWidget* w = pgeTree_->widget(0);
        pgeTree_->removeTab(0);
        delete w;
    }
    for (int i = 0; i < project_->TabCount(); ++i) {
        TAppletPage& page = project_->Page(i);
        auto* view = new TNodeTreeView;
        view->setObjectName(QString("tvwTab%1").arg(i));
        view->setVisible(l.treeViewsShown);
        FillTree(view, page);
        view->onDrop = [this, view](QPoint pos) { return DropAt(view, pos); };
        connect(view, &QTreeWidget::currentItemChanged, this, [this, &page](QTreeWidgetItem* cur) {
            if (filling_) return;
            page.tree.selected = NodeOf(cur);
            ShowNode(page.tree.selected);
        });
        connect(view, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* it) {
            if (TreeNode* n = NodeOf(it)) n->expanded = true;
            UpdateItemIcon(it);
        });
        connect(view, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* it) {
            if (TreeNode* n = NodeOf(it)) n->expanded = false;
            UpdateItemIcon(it);
        });
        auto* sheet = new QWidget;
        auto* lay = new QVBoxLayout(sheet);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(view);
        if (!l.treeViewsShown) lay->addStretch();
        pgeTree_->addTab(sheet, Q(page.caption));
    }
    pgeTree_->tabBar()->setVisible(l.tabButtonsShown);
    pgeTree_->setTabPosition(project_->styles.tabsOnBottom ? QTabWidget::South : QTabWidget::North);
    pgeTree_->resize(std::max(project_->previewWidth, 1), std::max(project_->previewHeight, 1));
    if (project_->currentPage >= 0) pgeTree_->setCurrentIndex(project_->currentPage);
    filling_ = was;
    OnTabChanged(pgeTree_->currentIndex());
}

void TfrmMain::OnTabChanged(int index) {
    if (filling_ || index < 0 || index >= project_->TabCount()) return;
    project_->ShowTab(index);
    RefreshTabFields();
    ShowNode(project_->Current()->tree.selected);
}

void TfrmMain::RefreshTabFields() {
    filling_ = true;
    TAppletPage* p = project_->Current();
    posTab_->setMaximum(std::max(0, project_->TabCount() - 1));
    if (p) {
        txtTabName_->setText(Q(p->caption));
        posTab_->setValue(project_->currentPage);
        txtTabStatusText_->setText(Q(p->tab.statusText));
        txtTabURL_->setText(Q(p->tab.url1));
        cmbTabTarget_->setCurrentText(Q(p->tab.target1));
        txtTabURL2_->setText(Q(p->tab.url2));
        cmbTabTarget2_->setCurrentText(Q(p->tab.target2));
    }
    filling_ = false;
    RefreshDefaultTabCombo();
}

void TfrmMain::RefreshDefaultTabCombo() {
    project_->RefreshDefaultTabList();
    const bool was = filling_;
    filling_ = true;
    cmbDefaultTab_->clear();
    for (const std::string& c : project_->DefaultTabList()) cmbDefaultTab_->addItem(Q(c));
    cmbDefaultTab_->setCurrentIndex(project_->defaultTabSelection);
    filling_ = was;
}

void TfrmMain::ShowNode(TreeNode* node) {
    if (project_->kind == AppletKind::Tab) return;
    filling_ = true;
    auto set = [](QLineEdit* e, const std::string& s) { e->setText(Q(s)); };
    set(txtNodeText_, node ? node->caption : "");
    set(txtStatusText_, node ? node->data.statusText : "");
    set(txtURL_, node ? node->data.url1 : "");
    cmbTarget_->setCurrentText(node ? Q(node->data.target1) : QString());
    set(txtURL2_, node ? node->data.url2 : "");
    cmbTarget2_->setCurrentText(node ? Q(node->data.target2) : QString());
    imgCollapsed_->setPixmap(node ? ImagePixmap(node->data.collapsedImage) : QPixmap());
    const bool expanded_on = node && NodeImagePanelFor(*node).expandedEnabled;
    label8_->setEnabled(expanded_on);
    imgExpanded_->setEnabled(expanded_on);
    btnSetExpanded_->setEnabled(expanded_on);
    label7_->setText(node ? NodeImagePanelFor(*node).collapsedLabel : "Child");
    imgExpanded_->setPixmap(expanded_on ? ImagePixmap(node->data.expandedImage) : QPixmap());
    filling_ = false;
}

void TfrmMain::RefreshBrowser() {
    filling_ = true;
    const ImageBrowser& b = project_->browser;
    scrollImgPrev_->setEnabled(b.enabled);
    scrollImgPrev_->setMaximum(b.max);
    scrollImgPrev_->setValue(b.position);
    const auto shown = BrowserSlots(b.position, project_->images.Count());
    for (int i = 0; i < 5; ++i) imgPrev_[i]->setPixmap(ImagePixmap(shown[static_cast<size_t>(i)]));
    imgDefCollapsed_->setPixmap(ImagePixmap(project_->defaultCollapsed));
    imgDefExpanded_->setPixmap(ImagePixmap(project_->defaultExpanded));
    imgDefChild_->setPixmap(ImagePixmap(project_->defaultLeaf));
    filling_ = false;
}

void TfrmMain::RefreshStyle() {
    filling_ = true;
    const StyleSettings& s = project_->styles;
    txtAppletWidth_->setText(Q(s.width));
    txtAppletHeight_->setText(Q(s.height));
    auto fill = [](QComboBox* c, const std::vector<std::string>& items, const std::string& cur) {
        c->clear();
        for (const auto& i : items) c->addItem(Q(i));
        if (c->findText(Q(cur)) < 0 && !cur.empty()) c->addItem(Q(cur));
        c->setCurrentText(Q(cur));
    };
    fill(cmbTabFont_, project_->fonts.tabFonts, s.tabFont);
    fill(cmbTabFontSize_, project_->fonts.tabSizes, s.tabFontSize);
    fill(cmbTreeFont_, project_->fonts.treeFonts, s.treeFont);
    fill(cmbTreeFontSize_, project_->fonts.treeSizes, s.treeFontSize);
    optTabOnTop_->setChecked(!s.tabsOnBottom);
    optTabOnBottom_->setChecked(s.tabsOnBottom);
    chkBorder_->setChecked(s.showBorder);
    chkAutoExpand_->setChecked(s.autoExpand);
    chkDoubleClick_->setChecked(s.doubleClick);
    for (Swatch w : AllSwatches()) {
        const QColor c = ToQColor(SwatchColor(s, w));
        QLabel* l = swatches_[static_cast<int>(w)];
        QPalette pal = l->palette();
        pal.setColor(QPalette::Window, c);
        l->setPalette(pal);
        for (const SwatchExample& ex : SwatchExamples(w)) {
            QWidget* e = findChild<QWidget*>(ex.element);
            if (!e) continue;
            QPalette ep = e->palette();
            ep.setColor(ex.textColor ? QPalette::WindowText : QPalette::Window, c);
            e->setPalette(ep);
        }
    }
    filling_ = false;
}

// ---- edits ----------------------------------------------------------------

void TfrmMain::OnTabFieldsEdited() {
    if (filling_ || !project_->Current()) return;
    project_->SetCurrentTabFields({S(txtTabStatusText_->text()), S(txtTabURL_->text()),
                                   S(cmbTabTarget_->currentText()), S(txtTabURL2_->text()),
                                   S(cmbTabTarget2_->currentText())});
}

void TfrmMain::OnNodeFieldsEdited() {
    if (filling_ || !project_->Current()) return;
    TreeNode* n = project_->Current()->tree.selected;
    if (!project_->SetSelectedNodeFields(S(txtNodeText_->text()), S(txtStatusText_->text()), S(txtURL_->text()),
                                         S(cmbTarget_->currentText()), S(txtURL2_->text()),
                                         S(cmbTarget2_->currentText())))
        return;
    if (QTreeWidgetItem* item = ItemOf(n)) item->setText(0, Q(n->caption));
}

TNodeTreeView* TfrmMain::TreeOfTab(int index) const {
    QWidget* sheet = pgeTree_->widget(index);
    return sheet ? sheet->findChild<TNodeTreeView*>() : nullptr;
}

QTreeWidgetItem* TfrmMain::ItemOf(const TreeNode* node) const {
    TNodeTreeView* view = TreeOfTab(project_->currentPage);
    if (!view || !node) return nullptr;
    for (QTreeWidgetItemIterator it(view); *it; ++it)
        if (NodeOf(*it) == node) return *it;
    return nullptr;
}

bool TfrmMain::DropAt(TNodeTreeView* view, QPoint pos) {
    TAppletPage* page = project_->Current();
    if (!page || TreeOfTab(project_->currentPage) != view) return false;
    TreeNode* target = NodeOf(view->itemAt(pos));
    TreeNode* dragged = page->tree.selected;
    if (!DropAllowed(dragged, target)) return false;
    if (!project_->MoveNode(dragged, target, view->ZoneAt(pos))) return false;
    if (target) target->expanded = true;
    RefreshPreview();
    return true;
}

void TfrmMain::OnAddImages() {
    const auto files = prompts_.AskOpenFiles(kGifFilter, programDir_);
    if (files.empty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    project_->AddImages(files, ui_);
    QApplication::restoreOverrideCursor();
    RefreshBrowser();
}

void TfrmMain::OnSwatch(Swatch s) {
    if (ApplyPickedColor(project_->styles, s, prompts_.PickColor(SwatchColor(project_->styles, s)))) RefreshStyle();
}

void TfrmMain::ApplyPreviewSize() {
    project_->styles.width = S(txtAppletWidth_->text());
    project_->styles.height = S(txtAppletHeight_->text());
    project_->ApplyPreviewSize();
    pgeTree_->resize(std::max(project_->previewWidth, 1), std::max(project_->previewHeight, 1));
}

void TfrmMain::OnNew() {
    if (!ConfirmNew(ui_)) return;
    project_->ResetForNew(prompts_.AskNewAppletKind());
    RefreshAll();
}

void TfrmMain::OnLoad() {
    const auto f = prompts_.AskOpenFile("Load", kProjectFilter, "");
    if (!f) return;
    LoadProjectFile(*project_, *f, ui_);
    if (project_->TabCount() == 0) project_->AddTab(texts::kNewTab);
    RefreshAll();
}

void TfrmMain::OnSave() {
    auto f = prompts_.AskSaveFile(kProjectFilter);
    if (!f) return;
    if (QFileInfo(Q(*f)).suffix().isEmpty()) *f += ".bwk";
    SaveProjectFile(*project_, *f, ui_);
    RefreshAll();
}

void TfrmMain::OnSend() {
    // The page is asked once per session (unless named on the command line).
    if (!page_.Known()) {
        auto name = ui_.AskPageFileName();
        if (!name) return;
        page_.path = *name;
    }
    // The form is chosen at every Send, starting from the last Send's.
    const auto choice = prompts_.AskSendChoice(project_->kind, StoredSendChoice());
    if (!choice) return;
    StoreSendChoice(*choice);
    AnsweredOutputOptions ui(ui_, choice->nodeInfoInApplet);
    SendToHost(*project_, ui, hostFactoryFor(page_.path), programDir_, choice->options);
    RefreshAll();
}

std::string TfrmMain::HelpPagePath() const {
    const QString exe_dir = QCoreApplication::applicationDirPath();
    for (const QString& c : {exe_dir + "/../share/branchwork/help/start.htm", exe_dir + "/help/start.htm"})
        if (QFileInfo::exists(c)) return S(QFileInfo(c).absoluteFilePath());
    return S(exe_dir + "/help/start.htm");
}

void TfrmMain::Startup() {
    started_ = true;
    bool imported = false;
    if (page_.Known()) imported = ImportFromHost(*project_, ui_, hostFactoryFor(page_.path)).imported;
    if (!imported) project_->ResetForNew(prompts_.AskNewAppletKind());
    if (project_->TabCount() == 0) project_->AddTab(texts::kNewTab);
    RefreshAll();
}

void TfrmMain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!started_) {
        started_ = true;
        QMetaObject::invokeMethod(this, &TfrmMain::Startup, Qt::QueuedConnection);
    }
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    if (prompts_.AskQuit()) e->accept();
    else e->ignore();
}

}  // namespace branchwork
