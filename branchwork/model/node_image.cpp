// Node images: small GIFs read through cinemill's reader and drawn once.
#include "branchwork/model/node_image.h"

#include <filesystem>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"

namespace branchwork {

namespace {
constexpr std::uintmax_t kMaxNodeImageFileBytes = 16u << 20;
}  // namespace

std::optional<NodeImage> LoadNodeImage(const std::string& path) {
    // Node images are tiny; anything huge (or a special file claiming to
    // be) is not read at all.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxNodeImageFileBytes) return std::nullopt;
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
        img.rgba.assign(pic.rgba.begin(), pic.rgba.end());
    }
    return img;
}

}  // namespace branchwork
