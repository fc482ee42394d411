#include "branchwork/ui/dialogs.h"

#include <algorithm>
#include <functional>

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include "branchwork/base/texts.h"
#include "branchwork/host/send.h"
#include "branchwork/widgets/startup.h"

namespace branchwork {
namespace {

constexpr Qt::WindowFlags kNoCloseBox = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

QPushButton* OkButton(QDialog* d, const char* text = "&Ok") {
    auto* b = new QPushButton(text);
    b->setObjectName("btnOk");
    b->setDefault(true);
    QObject::connect(b, &QPushButton::clicked, d, &QDialog::accept);
    return b;
}

enum class Buttons { Ok, OkCancel };

// The row of buttons at the foot of a dialog: `leading` (when given) at the
// left, then OK (the default button) and, with OkCancel, Cancel at the right.
void AddButtonRow(QDialog* d, QVBoxLayout* v, Buttons which, QWidget* leading = nullptr) {
    auto* row = new QHBoxLayout;
    if (leading) row->addWidget(leading);
    row->addStretch();
    row->addWidget(OkButton(d));
    if (which == Buttons::OkCancel) {
        auto* cancel = new QPushButton("&Cancel");
        cancel->setObjectName("btnCancel");
        QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
        row->addWidget(cancel);
    }
    v->addLayout(row);
}

// A line edit followed by the "..." button (btnBrowse) that runs `browse`.
void AddBrowseRow(QDialog* d, QVBoxLayout* v, QLineEdit* edit, std::function<void()> browse) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    auto* b = new QToolButton;
    b->setObjectName("btnBrowse");
    b->setText("...");
    QObject::connect(b, &QToolButton::clicked, d, std::move(browse));
    row->addWidget(b);
    v->addLayout(row);
}

// A dialog of a fixed width, as high as its contents want.
void FixWidth(QDialog* d, int width) {
    d->setFixedWidth(width);
    d->setFixedHeight(d->sizeHint().height());
}

// The small pictures of the splash and the new-applet dialog: a sketch of
// each applet kind.
QPixmap KindPicture(int kind, QSize size) {
    QPixmap pm(size);
    pm.fill(QColor(245, 245, 240));
    QPainter p(&pm);
    p.setPen(QColor(80, 80, 80));
    const int w = size.width(), h = size.height();
    if (kind != 1) {
        for (int i = 0; i < 3; ++i) {
            p.setBrush(i == 0 ? QColor(190, 205, 230) : QColor(220, 220, 220));
            p.drawRect(4 + i * (w / 4), 4, w / 4 - 2, h / 6);
        }
    }
    if (kind == 0) {
        p.setBrush(QColor(235, 238, 245));
        p.drawRect(4, 4 + h / 6, w - 9, h - 9 - h / 6);
    }
    if (kind != 0) {
        const int top = kind == 1 ? 6 : 6 + h / 6;
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 4; ++i) {
            const int y = top + 4 + i * (h / 6);
            const int x = 8 + (i % 2) * 10;
            p.fillRect(x, y, 6, 6, QColor(200, 170, 60));
            p.drawLine(x + 9, y + 3, x + 9 + w / 3, y + 3);
        }
    }
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 1, h - 1);
    return pm;
}

QLabel* Wrapped(const QString& text) {
    auto* l = new QLabel(text);
    l->setWordWrap(true);
    return l;
}

}  // namespace

bool SplashWanted() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit");
    const QString key = QString("Arborly/") + kSplashValue;
    std::optional<bool> stored;
    if (s.contains(key)) stored = s.value(key).toBool();
    return ShouldShowSplash(stored);
}

void StoreSplashChoice(bool dont_show_again) {
    if (auto v = SplashValueToStore(dont_show_again)) {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit");
        s.setValue(QString("Arborly/") + kSplashValue, *v);
    }
}

namespace {

constexpr const char* kSendHtmlMenuValue = "SendHtmlMenu";
constexpr const char* kSendExternalFilesValue = "SendHtmlMenuExternal";

}  // namespace

SendChoice StoredSendChoice() {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit");
    SendChoice c;
    c.options.htmlMenu = s.value(QString("Arborly/") + kSendHtmlMenuValue, false).toBool();
    c.options.externalFiles = s.value(QString("Arborly/") + kSendExternalFilesValue, false).toBool();
    return c;
}

void StoreSendChoice(const SendChoice& c) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Tolvane", "Wrightkit");
    s.setValue(QString("Arborly/") + kSendHtmlMenuValue, c.options.htmlMenu);
    s.setValue(QString("Arborly/") + kSendExternalFilesValue, c.options.externalFiles);
}

TfrmSplash::TfrmSplash(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSplash");
    setWindowTitle(texts::kAppTitle);
    auto* v = new QVBoxLayout(this);
    auto* pic = new QLabel;
    pic->setObjectName("imgSplash");
    QPixmap pm = KindPicture(2, QSize(480, 320));
    {
        QPainter p(&pm);
        QFont f = p.font();
        f.setPointSize(28);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(30, 90, 60));
        p.drawText(QRect(0, 250, 480, 64), Qt::AlignCenter, texts::kAppTitle);
    }
    pic->setPixmap(pm);
    v->addWidget(pic);
    chkShow = new QCheckBox("Don't show this screen again");
    chkShow->setObjectName("chkShow");
    AddButtonRow(this, v, Buttons::Ok, chkShow);
    connect(this, &QDialog::accepted, this, [this] { StoreSplashChoice(chkShow->isChecked()); });
    setFixedSize(sizeHint());
}

TfrmNewApplet::TfrmNewApplet(QWidget* parent) : QDialog(parent, kNoCloseBox) {
    setObjectName("frmNewApplet");
    setWindowTitle("New Applet");
    auto* v = new QVBoxLayout(this);
    auto* title = new QLabel("Select the Pathlace Applet style below.");
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    v->addWidget(title);
    auto* h = new QHBoxLayout;
    const char* names[3] = {"optTab", "optTree", "optTabAndTree"};
    const char* texts_[3] = {"Tab Only", "Tree Only", "Tab and Tree"};
    QRadioButton* opts[3];
    for (int i = 0; i < 3; ++i) {
        auto* col = new QVBoxLayout;
        auto* pic = new QLabel;
        pic->setPixmap(KindPicture(i, QSize(110, 90)));
        opts[i] = new QRadioButton(texts_[i]);
        opts[i]->setObjectName(names[i]);
        col->addWidget(pic);
        col->addWidget(opts[i]);
        h->addLayout(col);
    }
    optTab = opts[0];
    optTree = opts[1];
    optTabAndTree = opts[2];
    optTabAndTree->setChecked(true);
    v->addLayout(h);
    AddButtonRow(this, v, Buttons::Ok);
    setFixedSize(sizeHint());
}

AppletKind TfrmNewApplet::Kind() const {
    if (optTab->isChecked()) return AppletKind::Tab;
    if (optTree->isChecked()) return AppletKind::Tree;
    return AppletKind::TabAndTree;
}

TfrmOutputOptions::TfrmOutputOptions(QWidget* parent) : QDialog(parent, kNoCloseBox) {
    setObjectName("frmOutputOptions");
    setWindowTitle("Output to HTML");
    auto* v = new QVBoxLayout(this);
    auto radio = [](const char* name, const QString& text, QVBoxLayout* into) {
        auto* r = new QRadioButton(text);
        r->setObjectName(name);
        into->addWidget(r);
        return r;
    };
    auto* form = new QGroupBox(texts::kOutputFormGroup);
    form->setObjectName("grpOutputForm");
    auto* fv = new QVBoxLayout(form);
    optAppletForm = radio("optAppletForm", texts::kOutputFormApplet, fv);
    optHtmlMenu = radio("optHtmlMenu", texts::kOutputFormHtmlMenu, fv);
    optAppletForm->setChecked(true);
    v->addWidget(form);

    grpNodeInfo = new QGroupBox(texts::kNodeInfoGroup);
    grpNodeInfo->setObjectName("grpNodeInfo");
    auto* nv = new QVBoxLayout(grpNodeInfo);
    nv->addWidget(Wrapped("Do you want to include the node information within the applet code or read it from an "
                          "external file. Note: The applet will load slower if the information is specified "
                          "externally."));
    optApplet = radio("optApplet", "Node information contained within applet code", nv);
    optApplet->setChecked(true);
    optFile = radio("optFile", "Node information imported from external file", nv);
    v->addWidget(grpNodeInfo);

    grpHtmlMenuFiles = new QGroupBox(texts::kHtmlMenuFilesGroup);
    grpHtmlMenuFiles->setObjectName("grpHtmlMenuFiles");
    auto* hv = new QVBoxLayout(grpHtmlMenuFiles);
    optInline = radio("optInline", texts::kHtmlMenuInline, hv);
    optInline->setChecked(true);
    optExternalFiles = radio("optExternalFiles", texts::kHtmlMenuExternal, hv);
    v->addWidget(grpHtmlMenuFiles);

    connect(optHtmlMenu, &QRadioButton::toggled, this, &TfrmOutputOptions::UpdateEnabled);
    UpdateEnabled();
    AddButtonRow(this, v, Buttons::OkCancel);
    // At least wide enough for the longest option; the wrapped note then
    // decides the height at that width.
    const int width = std::max(460, v->totalMinimumSize().width());
    setFixedWidth(width);
    setFixedHeight(v->hasHeightForWidth() ? v->totalHeightForWidth(width) : sizeHint().height());
}

void TfrmOutputOptions::SetChoice(AppletKind kind, const SendChoice& c) {
    kind_ = kind;
    (c.options.htmlMenu ? optHtmlMenu : optAppletForm)->setChecked(true);
    (c.options.externalFiles ? optExternalFiles : optInline)->setChecked(true);
    (c.nodeInfoInApplet || kind == AppletKind::Tab ? optApplet : optFile)->setChecked(true);
    UpdateEnabled();
}

SendChoice TfrmOutputOptions::Choice() const {
    SendChoice c;
    c.options.htmlMenu = optHtmlMenu->isChecked();
    c.options.externalFiles = optExternalFiles->isChecked();
    c.nodeInfoInApplet = kind_ == AppletKind::Tab || optApplet->isChecked();
    return c;
}

void TfrmOutputOptions::UpdateEnabled() {
    const bool html = optHtmlMenu->isChecked();
    grpNodeInfo->setEnabled(!html && kind_ != AppletKind::Tab);
    grpHtmlMenuFiles->setEnabled(html);
}

TfrmGraphicsDir::TfrmGraphicsDir(const std::string& page_dir, QWidget* parent) : QDialog(parent, kNoCloseBox) {
    setObjectName("frmGraphicsDir");
    setWindowTitle("Select Graphics Directory");
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel("The current file in Harborline is saved in:"));
    lblSaveDir = new QLabel(QString::fromStdString(page_dir));
    lblSaveDir->setObjectName("lblSaveDir");
    QFont f = lblSaveDir->font();
    f.setBold(true);
    lblSaveDir->setFont(f);
    v->addWidget(lblSaveDir);
    v->addWidget(new QLabel("Which directory would you like the graphics files copied to?"));
    txtSaveDir = new QLineEdit(QString::fromStdString(page_dir));
    txtSaveDir->setObjectName("txtSaveDir");
    txtSaveDir->setReadOnly(true);
    txtSaveDir->setEnabled(false);
    AddBrowseRow(this, v, txtSaveDir, [this] {
        const QString d = QFileDialog::getExistingDirectory(this, "Browse for Folder", txtSaveDir->text());
        if (!d.isEmpty()) txtSaveDir->setText(d.endsWith('/') ? d : d + '/');
    });
    AddButtonRow(this, v, Buttons::Ok);
    FixWidth(this, 420);
}

std::string TfrmGraphicsDir::Directory() const { return txtSaveDir->text().toStdString(); }

TfrmGetFilename::TfrmGetFilename(BwUiHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("frmGetFilename");
    setWindowTitle("Enter Save Directory");
    auto* v = new QVBoxLayout(this);
    v->addWidget(Wrapped("Please enter the full path of the HTML file that this applet will be inserted into. This "
                         "information is needed for relative references to work correctly."));
    txtFileName = new QLineEdit;
    txtFileName->setObjectName("txtFileName");
    AddBrowseRow(this, v, txtFileName, [this] {
        const QString f = QFileDialog::getOpenFileName(this, "Select File", txtFileName->text(),
                                                       "HTML Files (*.htm *.html);;All Files (*)");
        if (!f.isEmpty()) txtFileName->setText(f);
    });
    AddButtonRow(this, v, Buttons::Ok);
    FixWidth(this, 440);
}

void TfrmGetFilename::accept() {
    const std::string problem = CheckPageFileName(txtFileName->text().toStdString());
    if (!problem.empty()) {
        host_.Message(problem, MessageIcon::Error);
        return;
    }
    QDialog::accept();
}

}  // namespace branchwork
