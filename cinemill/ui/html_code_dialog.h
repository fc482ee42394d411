#pragma once

#include <QDialog>

#include <string>

#include "cinemill/app/engine.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace cinemill {

// "HTML Code": the image element for the animation, rebuilt on every change
// of File Name, Link to, Description and Border; Copy Code puts it on the
// clipboard as text and the dialog stays open until Close.
class HtmlCodeDialog : public QDialog {
    Q_OBJECT
public:
    // Messages go to `host` (the engine's).
    HtmlCodeDialog(const Animation& doc, const std::string& current_path, UiHost& host, QWidget* parent = nullptr);
    QString Code() const;
    void CopyCode();

private:
    void Rebuild();
    void StepBorder(int delta);
    unsigned width_, height_;
    UiHost& host_;
    QLineEdit* fileName_ = nullptr;
    QLineEdit* link_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* border_ = nullptr;
    QPlainTextEdit* code_ = nullptr;
};

// File > HTML...: the dialog on the current document.
CommandResult RunHtmlCode(QWidget* parent, Engine& engine);

}  // namespace cinemill
