// cinemill-cli commands on palettes: set-color.
#include <optional>
#include <string>
#include <vector>

#include "cinemill/cli/cli_common.h"
#include "cinemill/cli/edit_file.h"
#include "cinemill/imaging/palette_edit.h"

namespace cinemill::cli {
namespace {

int SetColor(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    const char* usage = "set-color IN INDEX R G B -o OUT [--frame N]";
    if (!SplitInOut(args, w, out, opts, {{"--frame", 1}}) || w.size() != 5) return UsageError(usage);
    const auto idx = ParseIntIn(w[1], 0, 255);
    const auto r = ParseIntIn(w[2], 0, 255), g = ParseIntIn(w[3], 0, 255), b = ParseIntIn(w[4], 0, 255);
    if (!idx || !r || !g || !b) return UsageError(usage);
    std::optional<int> frame;
    for (const auto& [name, vals] : opts) {
        frame = ParseIntIn(vals[0], 0, 1 << 30);
        if (!frame) return UsageError(usage);
    }
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        Palette* p = nullptr;
        Frame* f = nullptr;
        if (frame) {
            f = a.FrameAt(*frame);
            if (!f) {
                host.Error("There is no frame " + std::to_string(*frame) + ".");
                return kExitFailed;
            }
            if (!f->localPalette) {
                host.Error("Frame " + std::to_string(*frame) + " has no local palette.");
                return kExitFailed;
            }
            p = &*f->localPalette;
        } else {
            if (!a.globalPalette) {
                host.Error("The animation has no global palette.");
                return kExitFailed;
            }
            p = &*a.globalPalette;
        }
        if (*idx >= p->size()) {
            host.Error("The palette has only " + std::to_string(p->size()) + " entries.");
            return kExitFailed;
        }
        std::vector<Rgb> entries = p->entries;
        entries[static_cast<size_t>(*idx)] = Rgb{static_cast<uint8_t>(*r), static_cast<uint8_t>(*g),
                                                 static_cast<uint8_t>(*b)};
        if (f) ApplyLocalPaletteEdit(*f, entries);
        else ApplyGlobalPaletteEdit(a, entries);
        return kExitOk;
    });
}

const CommandRegistrar kSetColor("set-color", "set-color IN INDEX R G B -o OUT [--frame N]", SetColor);

}  // namespace
}  // namespace cinemill::cli
