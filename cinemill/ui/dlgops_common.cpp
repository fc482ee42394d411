#include "cinemill/ui/dlgops_common.h"

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <chrono>
#include <thread>

#include "cinemill/app/number_text.h"

namespace cinemill {

QString Grouped(int64_t n) { return QString::fromStdString(GroupedNumber(n)); }

QIcon DlgIcon(const char* name) { return QIcon(QString(":/dlgops/icons/%1.svg").arg(name)); }

QImage ToQImage(const RgbaImage& img) {
    if (img.width <= 0 || img.height <= 0) return {};
    QImage q(img.rgba.data(), img.width, img.height, img.width * 4, QImage::Format_RGBA8888);
    return q.copy();
}

void SharedProgress::ShowIn(QProgressBar* bar, QLabel* status) const {
    const int64_t range = range_.load();
    const int64_t pos = pos_.load();
    bar->setRange(0, range > 0 ? static_cast<int>(std::min<int64_t>(range, 1 << 30)) : 1);
    bar->setValue(range > 0 ? static_cast<int>(std::clamp<int64_t>(pos, 0, range)) : 0);
    const int text = text_.load();
    status->setText(text ? Tr(static_cast<StringId>(text)) : QString());
}

void DeferredHost::Error(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
}

std::vector<std::string> DeferredHost::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(messages_, {});
}

bool WaitForEngineTasks(const JobControl& jobs, uint32_t own_bit) {
    while (jobs.IsRunning(job::kSize | job::kUsage)) {
        if (jobs.AbortRequested(own_bit)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !jobs.AbortRequested(own_bit);
}

PicturePane::PicturePane(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PicturePane::SetPicture(QImage img) {
    image_ = std::move(img);
    update();
}

void PicturePane::SetZoom(double z) {
    zoom_ = z;
    update();
}

void PicturePane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull()) return;
    double scale = zoom_;
    if (scale <= 0) {
        scale = std::min(double(width()) / image_.width(), double(height()) / image_.height());
        scale = std::min(scale, 1.0);
    }
    const QSizeF size(image_.width() * scale, image_.height() * scale);
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    // Nearest-neighbour enlarging keeps pixels sharp; reductions are smoothed.
    p.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1.0);
    p.drawImage(target, image_);
}

}  // namespace cinemill
