#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"
#include "branchwork/model/project.h"

namespace branchwork {

std::optional<NodeImage> LoadNodeImage(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!cinemill::ReadWholeFile(path, bytes)) return std::nullopt;
    if (!cinemill::IsGifSignature(bytes)) return std::nullopt;
    cinemill::SilentUiHost quiet;
    cinemill::SilentProgress progress;
    cinemill::PreferenceBlock prefs;
    auto outcome = cinemill::ReadGif(bytes, quiet, progress, prefs);
    if (!outcome.animation) return std::nullopt;
    const cinemill::Animation& a = *outcome.animation;
    NodeImage img;
    img.path = path;
    img.width = static_cast<int>(a.width);
    img.height = static_cast<int>(a.height);
    // The picture only matters for node-sized images; others are measured
    // and refused without drawing them.
    if (img.width == 16 && img.height == 16 && a.FrameCount() > 0) {
        cinemill::Compositor comp(a);
        const cinemill::RgbaImage& pic = comp.Draw(*a.FrameAt(0));
        img.rgba = pic.rgba;
    }
    return img;
}

}  // namespace branchwork
