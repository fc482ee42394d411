#pragma once

#include <QDialog>
#include <string>

#include "cinemill/app/engine.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace cinemill {

class UiHost;

// "Edit Comment" (dialog 115): a multi-line edit (1048) with OK and Cancel.
// OK with an unedited text closes without a change; an edited text longer
// than 254 characters gets "Comment Too Long" and the dialog stays.
class CommentEditor : public QDialog {
    Q_OBJECT
public:
    CommentEditor(UiHost& host, const std::string& text, QWidget* parent = nullptr);
    QPlainTextEdit* edit;
    QPushButton *okButton, *cancelButton;
    // After OK: whether the text changed, and the text (UTF-8).
    bool Changed() const { return changed_; }
    std::string Text() const;
    void accept() override;

private:
    UiHost& host_;
    bool changed_ = false;
};

// "Edit GIF Comments" (dialog 114): the list (1045) of the document's
// comments with Add... (1051), Edit... (1046), Remove (1047) and Done (1).
// Every change goes to the document at once, each as one undo step.
class CommentsDialog : public QDialog {
    Q_OBJECT
public:
    CommentsDialog(Engine& engine, QWidget* parent = nullptr);
    QListWidget* list;
    QPushButton *addButton, *editButton, *removeButton, *doneButton;

    // Done with the refresh flags when anything was added, edited or removed,
    // else Stopped.
    CommandResult Outcome() const { return outcome_; }

    void Add();
    void Edit();
    void Remove();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Reload(int select);
    void Note(const CommandResult& r);
    void UpdateButtons();
    // Runs the comment editor; false for Cancel or an unedited text.
    bool RunEditor(const std::string& initial, std::string& out);

    Engine& engine_;
    CommandResult outcome_{Result::Stopped, 0};
};

// The GIF Comments command's handler.
CommandResult RunCommentsDialog(QWidget* parent, Engine& engine);

}  // namespace cinemill
