// cinemill-cli commands of the optimizer, frame geometry and palette editing:
// optimize, unoptimize, rotate, reverse, drop-every, crop, crop-frame,
// resize, set-color.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/app/number_text.h"
#include "cinemill/app/optimize_dialog.h"
#include "cinemill/app/resize_dialog.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/palette_edit.h"
#include "cinemill/imaging/resize.h"

namespace cinemill::cli {
namespace {

// A whole decimal (or 0x hexadecimal with `hex`) number; none otherwise.
std::optional<long long> ParseInt(const std::string& s, bool hex = false) {
    if (s.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == s.c_str() || *end != '\0') return std::nullopt;
    return v;
}

std::optional<int> ParseIntIn(const std::string& s, long long lo, long long hi) {
    const auto v = ParseInt(s);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    return static_cast<int>(*v);
}

// Writes bytes to a temporary file and puts it in place of `path`.
bool WriteBytesReplacing(const std::string& path, const std::vector<uint8_t>& bytes, UiHost& host) {
    const WriteProblem p = WriteFileAtomically(path, bytes.data(), bytes.size());
    TellWriteProblem(host, p, path);
    return p == WriteProblem::None;
}

// A byte count: digits, then optionally k (1024) or M (1024 * 1024).
std::optional<int64_t> ParseByteCount(const std::string& s) {
    if (s.empty()) return std::nullopt;
    std::string digits = s;
    int64_t unit = 1;
    if (s.back() == 'k' || s.back() == 'K') unit = 1024;
    if (s.back() == 'm' || s.back() == 'M') unit = 1024 * 1024;
    if (unit != 1) digits.pop_back();
    if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int64_t v = std::stoll(digits) * unit;
    if (v <= 0) return std::nullopt;
    return v;
}

// The optimized animation written at a lossy level, or the input's own
// bytes where those are no larger. Empty when writing failed.
std::vector<uint8_t> EncodeAt(Animation& a, int level, const std::vector<uint8_t>& original) {
    VectorSink sink;
    SilentProgress progress;
    if (WriteGif(sink, a, progress, level) != Result::Done) return {};
    return sink.bytes.size() < original.size() ? std::move(sink.bytes) : original;
}

// The least lossy level (0 = lossless) whose file fits in `target` bytes,
// by bisection over the levels: the file shrinks as the level grows. None
// when even level 200 does not fit; `smallest` then holds its size.
std::optional<int> LeastLossFitting(Animation& a, int64_t target, const std::vector<uint8_t>& original,
                                    std::vector<uint8_t>& bytes, int64_t& smallest) {
    bytes = EncodeAt(a, 0, original);
    if (!bytes.empty() && static_cast<int64_t>(bytes.size()) <= target) return 0;
    std::vector<uint8_t> fit = EncodeAt(a, 200, original);
    smallest = static_cast<int64_t>(fit.size());
    if (fit.empty() || smallest > target) return std::nullopt;
    int lo = 1, hi = 200;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        std::vector<uint8_t> b = EncodeAt(a, mid, original);
        if (!b.empty() && static_cast<int64_t>(b.size()) <= target) {
            hi = mid;
            fit = std::move(b);
        } else {
            lo = mid + 1;
        }
    }
    bytes = std::move(fit);
    return hi;
}

// --target-size: writes the least lossy result that fits and says which
// level it took and its PSNR against the optimized (lossless) pictures.
int OptimizeToTarget(Animation& a, int64_t target, const std::vector<uint8_t>& original, const std::string& out,
                     UiHost& host) {
    std::vector<uint8_t> bytes;
    int64_t smallest = 0;
    const std::optional<int> level = LeastLossFitting(a, target, original, bytes, smallest);
    if (!level) {
        host.Error(FormatString(StringId::TargetSizeUnreachable, GroupedNumber(smallest)));
        return kExitFailed;
    }
    double psnr = 100.0;
    if (*level > 0) {
        SilentUiHost quiet;
        SilentProgress progress;
        const ReadOutcome back = ReadGif(bytes, quiet, progress, Prefs());
        if (back.animation && back.animation->FrameCount() == a.FrameCount()) psnr = MeanPsnr(a, *back.animation);
    }
    std::cout << "Target Size: " << FormatString(StringId::BytesFormat, GroupedNumber(target)) << "\n"
              << "Chosen: " << (*level == 0 ? std::string("lossless") : "lossy level " + std::to_string(*level))
              << ", " << FormatString(StringId::BytesFormat, GroupedNumber(static_cast<int64_t>(bytes.size())))
              << ", PSNR " << (psnr >= 100.0 ? std::string("100") : std::to_string(psnr).substr(0, 6)) << " dB\n";
    return WriteBytesReplacing(out, bytes, host) ? kExitOk : kExitFailed;
}

int Optimize(const Args& args) {
    std::string in, out;
    // The editor's first choice of techniques, and unchanged pixels turned
    // into transparency where that makes a frame smaller: a batch run has
    // no dialog in which to tick it, and it is where most of the savings
    // of an animation with a still background come from.
    uint32_t flags = optimize_flags::kDefault | optimize_flags::kTransparency;
    int lossy = 0;
    std::optional<int64_t> target;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) {
            out = args.rest[++i];
        } else if (a == "--flags" && i + 1 < args.rest.size()) {
            const auto v = ParseInt(args.rest[++i], true);
            if (!v || *v < 0 || *v > 0xFFFFFFFFLL) return UsageError("optimize: bad --flags value");
            flags = static_cast<uint32_t>(*v);
        } else if (a == "--lossy" && i + 1 < args.rest.size()) {
            const auto v = ParseInt(args.rest[++i], false);
            if (!v || *v < 0 || *v > 200) return UsageError("optimize: --lossy takes a level from 0 to 200");
            lossy = static_cast<int>(*v);
        } else if (a == "--target-size" && i + 1 < args.rest.size()) {
            target = ParseByteCount(args.rest[++i]);
            if (!target) return UsageError("optimize: --target-size takes a byte count such as 500000, 500k or 8M");
        } else if (in.empty() && !a.starts_with("-")) {
            in = a;
        } else {
            return UsageError("optimize: unexpected argument " + a);
        }
    }
    if (in.empty() || out.empty()) return UsageError("optimize IN -o OUT [--flags HEX] [--lossy N | --target-size SIZE]");
    if (target && lossy > 0) return UsageError("optimize: --lossy and --target-size exclude each other");
    RecordingHost host(true);
    std::vector<uint8_t> original;
    if (!ReadWholeFile(in, original)) {
        host.Error(std::string(LoadString(StringId::ReadFailed)));
        return kExitFailed;
    }
    SilentProgress progress;
    ReadOutcome r = ReadGif(original, host, progress, Prefs());
    if (!r.animation) return kExitFailed;
    if (!IsGifSignature(original)) {
        host.Error(FormatString(StringId::NotValidGif, in));
        return kExitFailed;
    }
    Animation& a = *r.animation;
    const Result opt = cinemill::Optimize(a, flags, host, progress, Prefs());
    // A failed optimization (it has said why) writes nothing.
    if (opt != Result::Done) return kExitFailed;
    if (target) {
        if (OptimizeToTarget(a, *target, original, out, host) != kExitOk) return kExitFailed;
        return r.result == Result::Done ? kExitOk : kExitPartial;
    }
    VectorSink sink;
    // Room for a result as large as the input, so that growing the buffer
    // does not hold two copies of it at once.
    sink.bytes.reserve(original.size());
    if (WriteGif(sink, a, progress, lossy) != Result::Done) {
        host.Error(FormatString(StringId::ErrorSaving, out));
        return kExitFailed;
    }
    const int64_t before = static_cast<int64_t>(original.size());
    const int64_t after = sink.Total();
    const SavingsTexts t = MakeSavingsTexts(before, after);
    std::cout << "Current Size: " << FormatString(StringId::BytesFormat, GroupedNumber(before)) << "\n"
              << "Optimized Size: " << t.optimizedSize << "\n"
              << "Savings: " << t.savings << (t.percent.empty() ? "" : " ") << t.percent << "\n";
    bool ok;
    if (after < before) {
        ok = WriteBytesReplacing(out, sink.bytes, host);
    } else {
        std::cout << "The optimized animation is not smaller; " << out << " gets the bytes of " << in
                  << " unchanged.\n";
        ok = WriteBytesReplacing(out, original, host);
    }
    if (!ok) return kExitFailed;
    return r.result == Result::Done ? kExitOk : kExitPartial;
}

// Reads IN, applies `edit`, writes OUT. `edit` answers an exit status.
template <typename Edit>
int EditFile(const std::string& in, const std::string& out, Edit edit) {
    RecordingHost host(true);
    auto r = LoadAnimation(in, host);
    if (!r.animation) return kExitFailed;
    const int rc = edit(*r.animation, host);
    if (rc != kExitOk) return rc;
    return SaveOutput(out, *r.animation, host, r.result);
}

// Splits "IN ... -o OUT": positional words and the output path.
bool SplitInOut(const Args& args, std::vector<std::string>& words, std::string& out,
                std::vector<std::pair<std::string, std::vector<std::string>>>& options,
                const std::vector<std::pair<std::string, int>>& known) {
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o") {
            if (i + 1 >= args.rest.size()) return false;
            out = args.rest[++i];
            continue;
        }
        bool matched = false;
        for (const auto& [name, count] : known) {
            if (a != name) continue;
            if (i + static_cast<size_t>(count) >= args.rest.size()) return false;
            std::vector<std::string> vals(args.rest.begin() + static_cast<ptrdiff_t>(i) + 1,
                                          args.rest.begin() + static_cast<ptrdiff_t>(i) + 1 + count);
            options.emplace_back(name, vals);
            i += static_cast<size_t>(count);
            matched = true;
        }
        if (matched) continue;
        if (a.size() > 1 && a[0] == '-' && !ParseInt(a)) return false;
        words.push_back(a);
    }
    return !out.empty() && !words.empty();
}

int Unoptimize(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
    if (!SplitInOut(args, w, out, opts, {}) || w.size() != 1) return UsageError("unoptimize IN -o OUT");
    return EditFile(w[0], out, [](Animation& a, UiHost& host) {
        SilentProgress p;
        int changed = 0;
        if (cinemill::Unoptimize(a, host, p, &changed) != Result::Done) return kExitFailed;
        const size_t frames = a.Frames().size();
        if (changed == 0)
            std::cout << "Delays and disposals kept on all " << frames << " frames.\n";
        else
            std::cout << "Delays kept; disposal changed to 2 on " << changed << " of " << frames
                      << " frames, whose leftovers would otherwise show where the next frame is transparent.\n";
        return kExitOk;
    });
}

int Rotate(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
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
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
    if (!SplitInOut(args, w, out, opts, {}) || w.size() != 1) return UsageError("reverse IN -o OUT");
    return EditFile(w[0], out, [](Animation& a, UiHost&) {
        ReverseOrder(a);
        return kExitOk;
    });
}

int DropEvery(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
    if (!SplitInOut(args, w, out, opts, {}) || w.size() != 2) return UsageError("drop-every IN N -o OUT");
    const auto n = ParseIntIn(w[1], INT32_MIN, INT32_MAX);
    if (!n) return UsageError("drop-every: N must be a number");
    return EditFile(w[0], out, [&](Animation& a, UiHost& host) {
        if (!DeletionIntervalValid(*n, a.FrameCount())) {
            host.Error(std::string(LoadString(StringId::DeletionIntervalInvalid)));
            return kExitFailed;
        }
        DeleteEveryNth(a, *n);
        return kExitOk;
    });
}

int Crop(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
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
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
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
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
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

int SetColor(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    std::vector<std::pair<std::string, std::vector<std::string>>> opts;
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

const CommandRegistrar kOptimize("optimize", "optimize IN -o OUT [--flags HEX] [--lossy N | --target-size SIZE]",
                                 Optimize);
const CommandRegistrar kUnoptimize("unoptimize", "unoptimize IN -o OUT", Unoptimize);
const CommandRegistrar kRotate("rotate", "rotate IN {90cw|180|90ccw|fliph|flipv} -o OUT [--frame N]", Rotate);
const CommandRegistrar kReverse("reverse", "reverse IN -o OUT", Reverse);
const CommandRegistrar kDropEvery("drop-every", "drop-every IN N -o OUT", DropEvery);
const CommandRegistrar kCrop("crop", "crop IN (LEFT TOP RIGHT BOTTOM | --auto) -o OUT", Crop);
const CommandRegistrar kCropFrame("crop-frame", "crop-frame IN N LEFT TOP RIGHT BOTTOM -o OUT [--move X Y]",
                                  CropFrame);
const CommandRegistrar kResize("resize", "resize IN W H -o OUT [--bicubic] [--keep-aspect]", Resize);
const CommandRegistrar kSetColor("set-color", "set-color IN INDEX R G B -o OUT [--frame N]", SetColor);

}  // namespace
}  // namespace cinemill::cli
