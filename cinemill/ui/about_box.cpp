#include "cinemill/ui/about_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "cinemill/base/strings.h"
#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

AboutAnimation::AboutAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setObjectName("aboutAnimation");
    setMinimumSize(sizeHint());
    timer_->setInterval(80);
    connect(timer_, &QTimer::timeout, this, [this] { SetFrame((frame_ + 1) % kFrameCount); });
}

void AboutAnimation::SetFrame(int frame) {
    frame_ = ((frame % kFrameCount) + kFrameCount) % kFrameCount;
    update();
}

void AboutAnimation::showEvent(QShowEvent*) { timer_->start(); }
void AboutAnimation::hideEvent(QHideEvent*) { timer_->stop(); }

void AboutAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    // The film: a dark band with sprocket holes that move one step a frame.
    const QColor film(0x2b, 0x2f, 0x3a);
    p.setPen(Qt::NoPen);
    p.setBrush(film);
    p.drawRoundedRect(r, 6, 6);
    const double hole = 8, gap = 16, band = 12;
    const double shift = gap * frame_ / kFrameCount;
    p.setBrush(QColor(0xf4, 0xf1, 0xe8));
    for (double x = r.left() - gap + shift + 4; x + hole < r.right() - 3; x += gap) {
        if (x < r.left() + 2) continue;
        p.drawRoundedRect(QRectF(x, r.top() + 2, hole, band - 5), 1.5, 1.5);
        p.drawRoundedRect(QRectF(x, r.bottom() - band + 3, hole, band - 5), 1.5, 1.5);
    }
    // The picture: sky, ground, and a ball on a bounce curve.
    const QRectF pic(r.left() + 10, r.top() + band, r.width() - 20, r.height() - 2 * band);
    QLinearGradient sky(pic.topLeft(), pic.bottomLeft());
    sky.setColorAt(0, QColor(0x8f, 0xd3, 0xff));
    sky.setColorAt(1, QColor(0xe6, 0xf6, 0xff));
    p.setBrush(sky);
    p.drawRect(pic);
    const double groundY = pic.bottom() - 10;
    p.setBrush(QColor(0x4c, 0xaf, 0x50));
    p.drawRect(QRectF(pic.left(), groundY, pic.width(), pic.bottom() - groundY));
    const double t = double(frame_) / kFrameCount;
    const double radius = 9;
    const double x = pic.left() + radius + 4 + (pic.width() - 2 * radius - 8) * t;
    const double height = (groundY - pic.top() - 2 * radius - 2) * std::abs(std::sin(t * 2 * M_PI));
    const double y = groundY - radius - height;
    // Squashed a little where it meets the ground.
    const double squash = height < 4 ? 0.8 : 1.0;
    p.setBrush(QColor(0, 0, 0, 50));
    p.drawEllipse(QPointF(x, groundY + 2), radius * (1.2 - height / 80), 2.5);
    QRadialGradient ball(QPointF(x - 3, y - 3), radius * 1.4);
    ball.setColorAt(0, QColor(0xff, 0xd0, 0x70));
    ball.setColorAt(1, QColor(0xe0, 0x4a, 0x2a));
    p.setBrush(ball);
    p.drawEllipse(QPointF(x, y + radius * (1 - squash)), radius / squash, radius * squash);
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutBox");
    setWindowTitle("About Cinemill");
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QString(Tr(StringId::AboutTitle)).replace("%s", Tr(StringId::AboutVersion)), this);
    title->setObjectName("aboutTitle");
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 4 / 3);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* anim = new AboutAnimation(this);
    layout->addWidget(anim, 0, Qt::AlignHCenter);
    auto* text = new QLabel(Tr(StringId::AboutText), this);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace cinemill
