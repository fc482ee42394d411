#include "cinemill/ui/qt_clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace cinemill {

namespace {

void PutLe(QByteArray& b, int at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t GetLe(const QByteArray& b, int at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(uint8_t(b[at + i])) << (8 * i);
    return v;
}

std::vector<uint8_t> Bytes(const QByteArray& b) {
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(b.constData()),
                                reinterpret_cast<const uint8_t*>(b.constData()) + b.size());
}

// The palette entries that follow the header of a packed DIB: the used
// count, else the full table of 8 bits or less, plus the three masks of a
// BI_BITFIELDS header of 40 bytes.
uint32_t TableBytes(const std::vector<uint8_t>& d) {
    if (d.size() < 40) return 0;
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(d[at + i]) << (8 * i);
        return v;
    };
    const uint32_t header = le(0, 4);
    const uint32_t bits = le(14, 2);
    const uint32_t compression = le(16, 4);
    uint32_t used = le(32, 4);
    if (used == 0 && bits <= 8) used = 1u << bits;
    uint32_t extra = (header == 40 && compression == 3) ? 12 : 0;
    return used * 4 + extra;
}

}  // namespace

QtClipboard::QtClipboard(QClipboard* clipboard)
    : clipboard_(clipboard ? clipboard : QGuiApplication::clipboard()) {}

QByteArray QtClipboard::BmpFileOf(const std::vector<uint8_t>& dib) {
    QByteArray b(14, '\0');
    b[0] = 'B';
    b[1] = 'M';
    const uint32_t header = dib.size() >= 4 ? uint32_t(dib[0]) | uint32_t(dib[1]) << 8 |
                                                  uint32_t(dib[2]) << 16 | uint32_t(dib[3]) << 24
                                            : 0;
    PutLe(b, 2, static_cast<uint32_t>(14 + dib.size()), 4);
    PutLe(b, 10, 14 + header + TableBytes(dib), 4);
    b.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size()));
    return b;
}

std::optional<std::vector<uint8_t>> QtClipboard::PackedDibOfBmp(const QByteArray& bmp) {
    if (bmp.size() < 14 + 40 || bmp[0] != 'B' || bmp[1] != 'M') return std::nullopt;
    const uint32_t header = GetLe(bmp, 14, 4);
    const uint32_t offset = GetLe(bmp, 10, 4);
    if (header < 12 || header > uint32_t(bmp.size()) - 14 || offset < 14 + header ||
        offset > uint32_t(bmp.size()))
        return std::nullopt;
    return Bytes(bmp.mid(14));
}

const QMimeData* QtClipboard::Data() const { return clipboard_ ? clipboard_->mimeData() : nullptr; }

bool QtClipboard::Put(std::vector<uint8_t> frame_record, std::vector<uint8_t> packed_dib) {
    if (!clipboard_) return false;
    auto* m = new QMimeData;
    m->setData(kFrameMime, QByteArray(reinterpret_cast<const char*>(frame_record.data()),
                                      static_cast<qsizetype>(frame_record.size())));
    m->setData(kBmpMime, BmpFileOf(packed_dib));
    clipboard_->setMimeData(m);  // the clipboard owns it from here
    return true;
}

std::optional<std::vector<uint8_t>> QtClipboard::FrameRecord() const {
    const QMimeData* m = Data();
    if (!m || !m->hasFormat(kFrameMime)) return std::nullopt;
    return Bytes(m->data(kFrameMime));
}

std::optional<std::vector<uint8_t>> QtClipboard::PackedDib() const {
    const QMimeData* m = Data();
    if (!m) return std::nullopt;
    if (m->hasFormat(kBmpMime)) {
        if (auto d = PackedDibOfBmp(m->data(kBmpMime))) return d;
    }
    if (m->hasImage()) {
        // A picture of another program: as a 24-bit BMP.
        const QImage img = qvariant_cast<QImage>(m->imageData()).convertToFormat(QImage::Format_RGB888);
        if (img.isNull()) return std::nullopt;
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        if (!img.save(&buf, "BMP")) return std::nullopt;
        return PackedDibOfBmp(bytes);
    }
    return std::nullopt;
}

}  // namespace cinemill
