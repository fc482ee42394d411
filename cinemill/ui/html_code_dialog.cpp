#include "cinemill/ui/html_code_dialog.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/html_tag.h"
#include "cinemill/ui/command_handlers.h"

namespace cinemill {

namespace {
// Every text field holds at most 259 characters.
constexpr int kFieldLimit = 259;
// The border's up-down steps within 0..100 only; typed values stand as typed.
constexpr int kBorderMax = 100;
}  // namespace

HtmlCodeDialog::HtmlCodeDialog(const Animation& doc, const std::string& current_path, UiHost& host, QWidget* parent)
    : QDialog(parent), width_(doc.width), height_(doc.height), host_(host) {
    setWindowTitle(tr("HTML Code"));
    setObjectName("HtmlCode");
    auto edit = [this](const char* id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(id);
        e->setMaxLength(kFieldLimit);
        connect(e, &QLineEdit::textChanged, this, &HtmlCodeDialog::Rebuild);
        return e;
    };
    fileName_ = edit("1073");
    link_ = edit("1069");
    description_ = edit("1072");
    border_ = edit("1070");
    border_->setText("0");
    border_->setMaximumWidth(60);
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    auto* spin = new QWidget(this);
    spin->setObjectName("1099");
    auto* spinLay = new QHBoxLayout(spin);
    spinLay->setContentsMargins(0, 0, 0, 0);
    spinLay->setSpacing(0);
    spinLay->addWidget(up);
    spinLay->addWidget(down);
    connect(up, &QToolButton::clicked, this, [this] { StepBorder(1); });
    connect(down, &QToolButton::clicked, this, [this] { StepBorder(-1); });

    code_ = new QPlainTextEdit(this);
    code_->setObjectName("1085");
    code_->setReadOnly(true);
    code_->setMinimumHeight(80);
    auto* copy = new QPushButton(tr("&Copy Code"), this);
    copy->setObjectName("1171");
    copy->setDefault(true);
    copy->setAutoDefault(true);
    connect(copy, &QPushButton::clicked, this, &HtmlCodeDialog::CopyCode);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("2");
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("File Name:"), this), 0, 0);
    grid->addWidget(fileName_, 0, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Link to:"), this), 1, 0);
    grid->addWidget(link_, 1, 1, 1, 3);
    grid->addWidget(new QLabel(tr("Description:"), this), 2, 0);
    grid->addWidget(description_, 2, 1, 1, 2);
    grid->addWidget(new QLabel(tr("(ALT tag)"), this), 2, 3);
    grid->addWidget(new QLabel(tr("Border:"), this), 3, 0);
    auto* borderRow = new QHBoxLayout;
    borderRow->addWidget(border_);
    borderRow->addWidget(spin);
    borderRow->addWidget(new QLabel(tr("width in pixels"), this));
    borderRow->addStretch(1);
    grid->addLayout(borderRow, 3, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(grid);
    lay->addWidget(new QLabel(tr("HTML Code:"), this));
    lay->addWidget(code_, 1);
    lay->addLayout(buttons);
    setMinimumWidth(440);

    const std::string name = HtmlFileNameOf(current_path);
    if (!name.empty()) {
        fileName_->setText(QString::fromStdString(name));
        fileName_->setReadOnly(true);
        link_->setFocus();
    } else {
        fileName_->setFocus();
    }
    Rebuild();
}

QString HtmlCodeDialog::Code() const { return code_->toPlainText(); }

void HtmlCodeDialog::Rebuild() {
    // The fields fill in before the code edit exists.
    if (!code_) return;
    const HtmlTagFields f{fileName_->text().toStdString(), link_->text().toStdString(),
                          description_->text().toStdString(), border_->text().toStdString()};
    code_->setPlainText(QString::fromStdString(BuildHtmlTag(f, width_, height_)));
}

void HtmlCodeDialog::StepBorder(int delta) {
    const long long v = std::clamp<long long>(HtmlBorderValue(border_->text().toStdString()), 0, kBorderMax);
    border_->setText(QString::number(std::clamp<long long>(v + delta, 0, kBorderMax)));
}

void HtmlCodeDialog::CopyCode() {
    if (fileName_->text().isEmpty()) {
        Tell(host_, StringId::HtmlNeedName);
        fileName_->setFocus();
        return;
    }
    QGuiApplication::clipboard()->setText(Code());
}

CommandResult RunHtmlCode(QWidget* parent, Engine& engine) {
    if (!engine.Doc()) return {Result::Failed, 0};
    HtmlCodeDialog dlg(*engine.Doc(), engine.State().path, engine.Host(), parent);
    dlg.exec();
    return {Result::Done, 0};
}

namespace {
const bool registered =
    RegisterCommandHandler(CommandId::Html, [](CommandContext& c) { return RunHtmlCode(c.parent, c.engine); });
}  // namespace

}  // namespace cinemill
