#include "cinemill/ui/comments_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "cinemill/app/comments.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/property_widgets.h"

namespace cinemill {

// ---- the comment editor -------------------------------------------------------------------------

CommentEditor::CommentEditor(UiHost& host, const std::string& text, QWidget* parent)
    : QDialog(parent), host_(host) {
    setWindowTitle(Tr(StringId::CommentEditorCaption));
    setObjectName("115");
    edit = new QPlainTextEdit(this);
    edit->setObjectName("1048");
    edit->setPlainText(FromBytes(text));
    edit->document()->setModified(false);
    edit->setMinimumSize(edit->fontMetrics().averageCharWidth() * 50, edit->fontMetrics().lineSpacing() * 8);
    auto* buttons = new QDialogButtonBox(this);
    okButton = buttons->addButton(Tr(StringId::ButtonOk), QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(Tr(StringId::ButtonCancel), QDialogButtonBox::RejectRole);
    okButton->setObjectName("1");
    cancelButton->setObjectName("2");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    edit->setFocus();
}

std::string CommentEditor::Text() const { return ToBytes(edit->toPlainText()); }

void CommentEditor::accept() {
    const CommentEditorOutcome o = CommentEditorOk(Text(), edit->document()->isModified());
    if (o.message) {
        host_.Message(std::string(LoadString(*o.message)), std::string(LoadString(*o.caption)));
        edit->setFocus();
        return;
    }
    changed_ = o.changed;
    QDialog::accept();
}

// ---- the comments dialog ------------------------------------------------------------------------

CommentsDialog::CommentsDialog(Engine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setWindowTitle(Tr(StringId::CommentsCaption));
    setObjectName("114");
    list = new QListWidget(this);
    list->setObjectName("1045");
    // One pixel more above and below each entry than a plain list has.
    list->setStyleSheet("QListWidget::item { padding-top: 1px; padding-bottom: 1px; }");
    list->setMinimumSize(list->fontMetrics().averageCharWidth() * 40, list->fontMetrics().lineSpacing() * 10);
    addButton = new QPushButton(Tr(StringId::ButtonAdd), this);
    editButton = new QPushButton(Tr(StringId::LabelEditButton), this);
    removeButton = new QPushButton(Tr(StringId::ButtonRemove), this);
    doneButton = new QPushButton(Tr(StringId::ButtonDone), this);
    addButton->setObjectName("1051");
    editButton->setObjectName("1046");
    removeButton->setObjectName("1047");
    doneButton->setObjectName("1");
    doneButton->setDefault(true);
    auto* side = new QVBoxLayout;
    side->addWidget(addButton);
    side->addWidget(editButton);
    side->addWidget(removeButton);
    side->addStretch(1);
    side->addWidget(doneButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(side);

    connect(addButton, &QPushButton::clicked, this, &CommentsDialog::Add);
    connect(editButton, &QPushButton::clicked, this, &CommentsDialog::Edit);
    connect(removeButton, &QPushButton::clicked, this, &CommentsDialog::Remove);
    connect(doneButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { Edit(); });
    connect(list, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    Reload(-1);
}

void CommentsDialog::Reload(int select) {
    list->clear();
    for (const std::string& e : engine_.CommentEntries()) list->addItem(FromBytes(e));
    list->setCurrentRow(select < list->count() ? select : -1);
    UpdateButtons();
}

void CommentsDialog::UpdateButtons() {
    const bool selected = list->currentRow() >= 0 && list->currentItem() && list->currentItem()->isSelected();
    editButton->setEnabled(selected);
    removeButton->setEnabled(selected);
}

void CommentsDialog::Note(const CommandResult& r) {
    if (r.result != Result::Done || !r.refresh) return;
    outcome_.result = Result::Done;
    outcome_.refresh |= r.refresh;
}

bool CommentsDialog::RunEditor(const std::string& initial, std::string& out) {
    CommentEditor editor(engine_.Host(), initial, this);
    if (editor.exec() != QDialog::Accepted || !editor.Changed()) return false;
    out = editor.Text();
    return true;
}

void CommentsDialog::Add() {
    std::string text;
    if (!RunEditor({}, text)) return;
    const int selected = editButton->isEnabled() ? list->currentRow() : -1;
    int entry = -1;
    const CommandResult r = engine_.InsertComment(selected, text, &entry);
    Note(r);
    if (r.Ok()) Reload(entry);
}

void CommentsDialog::Edit() {
    const int row = list->currentRow();
    if (row < 0 || !editButton->isEnabled()) return;
    std::string text;
    if (!RunEditor(engine_.CommentTextAt(row), text)) return;
    Note(engine_.EditComment(row, text));
    Reload(row);
}

void CommentsDialog::Remove() {
    const int row = list->currentRow();
    if (row < 0 || !removeButton->isEnabled()) return;
    Note(engine_.RemoveComment(row));
    Reload(row);
}

void CommentsDialog::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        Remove();
        return;
    }
    QDialog::keyPressEvent(e);
}

CommandResult RunCommentsDialog(QWidget* parent, Engine& engine) {
    if (!engine.Doc()) return {Result::Failed, 0};
    CommentsDialog dialog(engine, parent);
    dialog.exec();
    return dialog.Outcome();
}

namespace {
const bool registered = RegisterCommandHandler(
    CommandId::GifComments, [](CommandContext& c) { return RunCommentsDialog(c.parent, c.engine); });
}  // namespace

}  // namespace cinemill
