#pragma once

#include <QColor>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <string>
#include <string_view>

#include "cinemill/base/strings.h"

class QLabel;
class QWidget;

// Small pieces the Properties sheet, the GIF Comments dialog and the
// Preferences sheet share.
namespace cinemill {

// Texts of the document (frame names, comments, the signature) are bytes:
// UTF-8 where they are valid UTF-8, else Latin-1 (as older files hold them).
QString FromBytes(std::string_view bytes);
// What the editor writes back: UTF-8.
std::string ToBytes(const QString& text);
// The object name of a dialog control: its control id ("1002").
QString ControlName(int id);
// A word-wrapped label that keeps the height its text needs at `width`
// pixels (0: about 36 average characters).
QLabel* WrappedLabel(const QString& text, QWidget* parent, int width = 0);

// An edit with an up-down control beside it. Any whole number can be typed
// (the page's check decides what is in range); the arrows step only within
// [low, high].
class UpDownEdit : public QSpinBox {
    Q_OBJECT
public:
    UpDownEdit(int low, int high, QWidget* parent = nullptr);
    void stepBy(int steps) override;
    // The text as typed.
    QString Typed() const;
    void SetTyped(const QString& text);

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    // The spin box rewrites its text from its value when it loses the focus:
    // the typed text stands for that value, so it is kept as typed.
    QString textFromValue(int value) const override;

private:
    int low_, high_;
    QString typed_;
};

// A button that shows a colour (the GIF Bk Color button).
class SwatchButton : public QPushButton {
    Q_OBJECT
public:
    explicit SwatchButton(const QString& text, QWidget* parent = nullptr);
    void SetColor(QColor c);
    QColor Color() const { return color_; }

private:
    QColor color_;
};

}  // namespace cinemill
