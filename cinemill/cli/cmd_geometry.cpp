// cinemill-cli commands on the frames' geometry and order: rotate, reverse,
// drop-every, crop, crop-frame, resize.
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/app/resize_dialog.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/cli/edit_file.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/resize.h"

namespace cinemill::cli {
namespace {

int Rotate(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    const char* usage = "rotate IN {90cw|180|90ccw|fliph|flipv} -o OUT [--frame N]";
    if (!SplitInOut(args, w, out, opts, {{"--frame", 1}}) || w.size() != 2) return UsageError(usage);
    std::optional<RotateOp> op;
    if (w[1] == "90cw") op = RotateOp::Cw90;
    else if (w[1] == "180") op = RotateOp::Turn180;
    else if (w[1] == "90ccw") op = RotateOp::Ccw90;
    else if (w[1] == "fliph") op = RotateOp::FlipH;
    else if (w[1] == "flipv") op = RotateOp::FlipV;
    if (!op) return UsageError(usage);
    std::optional<int> frame;
    for (const auto& [name, vals] : opts) {
        frame = ParseIntIn(vals[0], 0, 1 << 30);
        if (!frame) return UsageError("rotate: bad frame number");
    }
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        if (frame) {
            Frame* f = a.FrameAt(*frame);
            if (!f) {
                host.Error("There is no frame " + std::to_string(*frame) + ".");
                return kExitFailed;
            }
            return RotateFrame(a, *f, *op) == RotateResult::Failed ? kExitFailed : kExitOk;
        }
        return RotateAllFrames(a, *op) == RotateResult::Failed ? kExitFailed : kExitOk;
    });
}

int Reverse(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    if (!SplitInOut(args, w, out, opts, {}) || w.size() != 1) return UsageError("reverse IN -o OUT");
    return EditFile(w[0], out, [](Animation& a, UiHost&) {
        ReverseOrder(a);
        return kExitOk;
    });
}

int DropEvery(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    if (!SplitInOut(args, w, out, opts, {}) || w.size() != 2) return UsageError("drop-every IN N -o OUT");
    const auto n = ParseIntIn(w[1], INT32_MIN, INT32_MAX);
    if (!n) return UsageError("drop-every: N must be a number");
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        if (!DeletionIntervalValid(*n, a.FrameCount())) {
            Tell(host, StringId::DeletionIntervalInvalid);
            return kExitFailed;
        }
        DeleteEveryNth(a, *n);
        return kExitOk;
    });
}

int Crop(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    const char* usage = "crop IN (LEFT TOP RIGHT BOTTOM | --auto) -o OUT";
    if (!SplitInOut(args, w, out, opts, {{"--auto", 0}})) return UsageError(usage);
    const bool automatic = !opts.empty();
    if ((automatic && w.size() != 1) || (!automatic && w.size() != 5)) return UsageError(usage);
    Rect r;
    if (!automatic) {
        const auto l = ParseIntIn(w[1], -65535, 65535), t = ParseIntIn(w[2], -65535, 65535),
                   rr = ParseIntIn(w[3], -65535, 65535), b = ParseIntIn(w[4], -65535, 65535);
        if (!l || !t || !rr || !b) return UsageError(usage);
        r = Rect{*l, *t, *rr, *b};
    }
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        Rect c = automatic ? AutoCropRect(a) : r;
        if (!CropRectValid(a, c)) {
            host.Error("The crop rectangle must lie on the screen and hold at least one pixel.");
            return kExitFailed;
        }
        return CropAnimation(a, c) ? kExitOk : kExitFailed;
    });
}

int CropFrame(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    const char* usage = "crop-frame IN N LEFT TOP RIGHT BOTTOM -o OUT [--move X Y]";
    if (!SplitInOut(args, w, out, opts, {{"--move", 2}}) || w.size() != 6) return UsageError(usage);
    const auto n = ParseIntIn(w[1], 0, 1 << 30);
    const auto l = ParseIntIn(w[2], -65535, 65535), t = ParseIntIn(w[3], -65535, 65535),
               rr = ParseIntIn(w[4], -65535, 65535), b = ParseIntIn(w[5], -65535, 65535);
    if (!n || !l || !t || !rr || !b) return UsageError(usage);
    std::optional<std::pair<int, int>> move;
    for (const auto& [name, vals] : opts) {
        const auto x = ParseIntIn(vals[0], -65535, 65535), y = ParseIntIn(vals[1], -65535, 65535);
        if (!x || !y) return UsageError(usage);
        move = std::make_pair(*x, *y);
    }
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        Frame* f = a.FrameAt(*n);
        if (!f) {
            host.Error("There is no frame " + std::to_string(*n) + ".");
            return kExitFailed;
        }
        MoveCropState s = MoveCropStart(a, *f);
        s.crop = Rect{*l, *t, *rr, *b};
        if (move) {
            s.x = move->first;
            s.y = move->second;
        }
        const MoveCropState limited = ApplyMoveCropLimits(s);
        if (!(limited.crop == s.crop) || limited.x != s.x || limited.y != s.y) {
            host.Error("The crop rectangle or position is outside the allowed range.");
            return kExitFailed;
        }
        return ApplyMoveCrop(a, *f, limited) == MoveCropResult::Failed ? kExitFailed : kExitOk;
    });
}

int Resize(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
    const char* usage = "resize IN W H -o OUT [--bicubic] [--keep-aspect]";
    if (!SplitInOut(args, w, out, opts, {{"--bicubic", 0}, {"--keep-aspect", 0}}) || w.size() != 3)
        return UsageError(usage);
    bool bicubic = false, keep = false;
    for (const auto& [name, vals] : opts) {
        if (name == "--bicubic") bicubic = true;
        if (name == "--keep-aspect") keep = true;
    }
    const auto nw = ParseIntIn(w[1], 1, 10000), nh = ParseIntIn(w[2], 1, 10000);
    if (!nw || !nh) return UsageError("resize: W and H must be from 1 to 10000");
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        int tw = *nw, th = *nh;
        if (keep) {
            ResizeFields f = ResizeFieldsStart(static_cast<int>(a.width), static_cast<int>(a.height));
            f.keepAspect = true;
            f = TypeWidth(f, tw);
            th = f.height;
        }
        SilentProgress p;
        PreferenceBlock prefs = Prefs();
        const Result res = ResizeAnimation(a, tw, th, bicubic ? ResizeMethod::Bicubic : ResizeMethod::Nearest,
                                           host, p, prefs);
        return res == Result::Done ? kExitOk : kExitFailed;
    });
}

const CommandRegistrar kRotate("rotate", "rotate IN {90cw|180|90ccw|fliph|flipv} -o OUT [--frame N]", Rotate);
const CommandRegistrar kReverse("reverse", "reverse IN -o OUT", Reverse);
const CommandRegistrar kDropEvery("drop-every", "drop-every IN N -o OUT", DropEvery);
const CommandRegistrar kCrop("crop", "crop IN (LEFT TOP RIGHT BOTTOM | --auto) -o OUT", Crop);
const CommandRegistrar kCropFrame("crop-frame", "crop-frame IN N LEFT TOP RIGHT BOTTOM -o OUT [--move X Y]",
                                  CropFrame);
const CommandRegistrar kResize("resize", "resize IN W H -o OUT [--bicubic] [--keep-aspect]", Resize);

}  // namespace
}  // namespace cinemill::cli
