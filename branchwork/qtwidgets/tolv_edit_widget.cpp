#include "branchwork/qtwidgets/tolv_edit_widget.h"

#include <QKeyEvent>

#include <cctype>

namespace branchwork {

TTolvEdit::TTolvEdit(QWidget* parent) : QLineEdit(parent) {}

int TTolvEdit::Value() const { return TolvValue(text().toStdString()); }

void TTolvEdit::keyPressEvent(QKeyEvent* e) {
    const QString t = e->text();
    const bool ctrl = e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    // Only printable characters are filtered; editing and moving keys and
    // the clipboard shortcuts keep their ordinary meaning.
    if (!ctrl && t.size() == 1 && t[0].isPrint()) {
        const char16_t ch = t[0].unicode();
        bool pass;
        if (hexOnly) {
            pass = ch < 128 && std::isxdigit(static_cast<unsigned char>(ch));
        } else {
            const std::string text8 = text().toStdString();
            const int start = hasSelectedText() ? selectionStart() : cursorPosition();
            const int len = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
            pass = ch < 128 && TolvKeyAccepted(settings, text8, static_cast<size_t>(start), static_cast<size_t>(len),
                                               static_cast<char>(ch));
        }
        if (!pass) {
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TTolvEdit::focusOutEvent(QFocusEvent* e) {
    Leave();
    QLineEdit::focusOutEvent(e);
}

void TTolvEdit::Leave() {
    const std::string after = TolvOnExit(settings, text().toStdString());
    if (after != text().toStdString()) setText(QString::fromStdString(after));
}

}  // namespace branchwork
