// cinemill-cli commands of the optimizer: optimize, unoptimize.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cinemill/app/number_text.h"
#include "cinemill/app/optimize_dialog.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/cli/edit_file.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/unoptimize.h"

namespace cinemill::cli {
namespace {

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
            const auto v = ParseWhole(args.rest[++i], true);
            if (!v || *v < 0 || *v > 0xFFFFFFFFLL) return UsageError("optimize: bad --flags value");
            flags = static_cast<uint32_t>(*v);
        } else if (a == "--lossy" && i + 1 < args.rest.size()) {
            const auto v = ParseWhole(args.rest[++i], false);
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
    // The same checks as every other reader: a regular file within the
    // memory budget, its header read first.
    const FileRead fr = ReadFileChecked(in, original, 6, IsGifSignature);
    if (fr != FileRead::Ok) {
        TellFileReadFailure(host, fr, in);
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

int Unoptimize(const Args& args) {
    std::vector<std::string> w;
    std::string out;
    OptionValues opts;
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

const CommandRegistrar kOptimize("optimize", "optimize IN -o OUT [--flags HEX] [--lossy N | --target-size SIZE]",
                                 Optimize);
const CommandRegistrar kUnoptimize("unoptimize", "unoptimize IN -o OUT", Unoptimize);

}  // namespace
}  // namespace cinemill::cli
