#include "cinemill/ui/property_widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStringDecoder>
#include <algorithm>
#include <limits>

namespace cinemill {

QString FromBytes(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text) { return text.toStdString(); }

QString ControlName(int id) { return QString::number(id); }

QLabel* WrappedLabel(const QString& text, QWidget* parent, int width) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (width <= 0) width = l->fontMetrics().averageCharWidth() * 36;
    l->setMinimumWidth(width);
    l->setMinimumHeight(l->heightForWidth(width));
    return l;
}

// ---- UpDownEdit ------------------------------------------------------------------------

UpDownEdit::UpDownEdit(int low, int high, QWidget* parent) : QSpinBox(parent), low_(low), high_(high) {
    setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { typed_ = t; });
}

QString UpDownEdit::textFromValue(int value) const {
    if (valueFromText(typed_) == value) return typed_;
    return QString::number(value);
}

void UpDownEdit::stepBy(int steps) {
    bool ok = false;
    const long long now = Typed().trimmed().toLongLong(&ok);
    const long long next = std::clamp<long long>((ok ? now : low_) + steps, low_, high_);
    SetTyped(QString::number(next));
}

QAbstractSpinBox::StepEnabled UpDownEdit::stepEnabled() const {
    bool ok = false;
    const long long now = Typed().trimmed().toLongLong(&ok);
    if (!ok) return StepUpEnabled | StepDownEnabled;
    StepEnabled e = StepNone;
    if (now < high_) e |= StepUpEnabled;
    if (now > low_) e |= StepDownEnabled;
    return e;
}

// Whatever is typed stays as typed (blank, signs, numbers beyond the int
// range): the page's check tells the user what is wrong with it.
QValidator::State UpDownEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

int UpDownEdit::valueFromText(const QString& text) const {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) return 0;
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

QString UpDownEdit::Typed() const { return lineEdit()->text(); }

void UpDownEdit::SetTyped(const QString& text) {
    typed_ = text;
    lineEdit()->setText(text);
}

// ---- SwatchButton -----------------------------------------------------------------------

SwatchButton::SwatchButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void SwatchButton::SetColor(QColor c) {
    color_ = c;
    if (!c.isValid()) {
        setIcon(QIcon());
        return;
    }
    // A swatch as the button's icon, drawn at the screen's pixel ratio.
    const qreal dpr = devicePixelRatioF();
    const QSize side = iconSize();
    QPixmap pm(side * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(c);
    QPainter p(&pm);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(QRectF(0, 0, side.width() - 1, side.height() - 1));
    p.end();
    setIcon(QIcon(pm));
}

}  // namespace cinemill
