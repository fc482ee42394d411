#include "cinemill/app/transfer_dialogs.h"

#include <algorithm>

#include "cinemill/base/strings.h"

namespace cinemill::transfer {

std::string FilmstripOfTotalText(int frame_count) {
    return ReplaceToken(std::string(LoadString(StringId::FilmstripOfTotal)), "%d", std::to_string(frame_count));
}

std::string FilmstripResultText(int frame_count, int64_t width, int64_t height, const FilmstripExportOptions& o) {
    if (o.framesPerStrip < 1 || frame_count < 1) return {};
    const int64_t k = o.framesPerStrip;
    const int64_t strips = (frame_count + k - 1) / k;
    const int64_t w = o.vertical ? strips * width : k * width;
    const int64_t h = o.vertical ? k * height : strips * height;
    std::string t(LoadString(StringId::FilmstripResultLine));
    for (int64_t v : {strips, w, h}) t = ReplaceToken(std::move(t), "%d", std::to_string(v));
    return t;
}

int ClampFramesPerStrip(long long typed, int frame_count, bool& beep) {
    beep = typed > frame_count;
    if (beep) return frame_count;
    return static_cast<int>(std::max<long long>(typed, -99999));
}

int ClampHotspotField(long long typed, int limit) {
    return static_cast<int>(std::clamp<long long>(typed, 0, std::max(limit, 0)));
}

}  // namespace cinemill::transfer
