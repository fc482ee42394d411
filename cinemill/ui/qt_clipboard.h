#pragma once

#include <QString>

#include "cinemill/app/engine.h"

class QClipboard;
class QMimeData;

namespace cinemill {

// The frame clipboard over the system clipboard: the frame record under
// "application/x-cinemill-frame-v2" with its exact bytes, and the packed
// DIB as a BMP file ("image/bmp", the DIB behind a 14-byte file header), so
// that a frame copied in one running cinemill pastes into another and
// image programs can take the picture. An image another program put there
// in another form is offered to the engine as a BMP's DIB too.
class QtClipboard : public Clipboard {
public:
    static constexpr const char* kFrameMime = "application/x-cinemill-frame-v2";
    static constexpr const char* kBmpMime = "image/bmp";

    explicit QtClipboard(QClipboard* clipboard = nullptr);

    bool Put(std::vector<uint8_t> frame_record, std::vector<uint8_t> packed_dib) override;
    std::optional<std::vector<uint8_t>> FrameRecord() const override;
    std::optional<std::vector<uint8_t>> PackedDib() const override;

    // The BMP file of a packed DIB and back (none when the bytes are no BMP
    // with a DIB header the offset points past).
    static QByteArray BmpFileOf(const std::vector<uint8_t>& packed_dib);
    static std::optional<std::vector<uint8_t>> PackedDibOfBmp(const QByteArray& bmp);

private:
    const QMimeData* Data() const;
    QClipboard* clipboard_;
};

}  // namespace cinemill
