// cinemill-cli commands of the optimizer: optimize, unoptimize.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
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
#include "cinemill/cli/terminal_progress.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/resize.h"
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
// bytes where those are no larger (when `original` is given). Empty when
// writing failed.
std::vector<uint8_t> EncodeAt(Animation& a, int level, const std::vector<uint8_t>* original) {
    VectorSink sink;
    SilentProgress progress;
    if (WriteGif(sink, a, progress, level) != Result::Done) return {};
    if (original && original->size() <= sink.bytes.size()) return *original;
    return std::move(sink.bytes);
}

// 2nd, 3rd, 4th, ...
std::string Ordinal(int n) {
    const char* suffix = n % 100 / 10 == 1 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    return std::to_string(n) + suffix;
}

bool Fits(const std::vector<uint8_t>& bytes, int64_t target) {
    return !bytes.empty() && static_cast<int64_t>(bytes.size()) <= target;
}

// The palettes of `a` reduced to `colors`, from its colours' usage as the
// frames now hold them (a copy carries no counts).
bool ReduceColors(Animation& a, int colors) {
    SilentUiHost quiet;
    SilentProgress silent;
    return RecountColorUsage(a, true) && ReduceAnimation(a, colors, false, silent, quiet) == Result::Done;
}

// One result of the --target-size search: the file, what was done to get
// it and its PSNR against the input's pictures.
struct Trial {
    std::vector<uint8_t> bytes;
    std::string what;
    double psnr = 0;
    // Nothing beyond the step's own change was needed: no loss, no fewer
    // colours, no further frames dropped. A step stops at its first clean fit.
    bool clean = true;
};

// The most entries of the animation's palettes.
int LargestPalette(const Animation& a) {
    int most = a.globalPalette ? a.globalPalette->size() : 0;
    for (const Frame* f : a.Frames())
        if (f->localPalette) most = std::max(most, f->localPalette->size());
    return most;
}

// --target-size: tries, in this order, lossless optimizing, lossy levels,
// fewer colours, dropping every n-th frame and scaling down, and takes the
// first step that gives a file within the target; of that step's results
// within the target the one with the best PSNR.
class TargetSearch {
public:
    TargetSearch(const Animation& input, const std::vector<uint8_t>& original, uint32_t flags, int64_t target,
                 ProgressReporter& bar)
        : input_(input), original_(original), flags_(flags), target_(target), bar_(bar) {}

    // The chosen result; none when even the smallest is above the target
    // (Smallest then tells its size).
    std::optional<Trial> Run(Animation& optimized);
    int64_t Smallest() const { return smallest_; }

private:
    // Step `step` (0-4) of kSteps, `part` of `parts` done.
    void Show(int step, StringId text, int part, int parts) {
        bar_.SetText(text);
        bar_.SetPosition(int64_t{step} * 100 + (parts > 0 ? int64_t{part} * 100 / parts : 0));
    }
    // The least lossy level (0 = lossless) at which `a` fits, by bisection
    // over the levels (the file shrinks as the level grows), with the
    // file's bytes; none when even level 200 does not fit.
    std::optional<Trial> LeastLoss(Animation& a, const std::vector<uint8_t>* original, const std::string& what);
    // The input's pictures after `prepare` (none when it could not be done),
    // optimized, and written at the least loss that fits; with
    // `fewer_colors` the least reduction of colours that then fits, too.
    std::optional<Trial> Fit(const std::function<bool(Animation&)>& prepare, const std::string& what,
                             bool fewer_colors);
    // The input's pictures as full frames with every n-th dropped, its time
    // given to the frame before.
    static bool DropEvery(Animation& a, int n);
    double Psnr(const std::vector<uint8_t>& bytes) const;
    // Measures the trial's PSNR and adds it to `trials`; true when it is
    // clean, so the step need look no further.
    bool Keep(std::vector<Trial>& trials, Trial t) const;
    // The trial with the best PSNR, none when there is none.
    static std::optional<Trial> Best(std::vector<Trial>& trials);

    const Animation& input_;
    const std::vector<uint8_t>& original_;
    uint32_t flags_;
    int64_t target_;
    ProgressReporter& bar_;
    int64_t smallest_ = INT64_MAX;
};

static constexpr int kColorCounts[] = {128, 64, 32, 16, 8, 4, 2};
static constexpr int kDropIntervals[] = {5, 4, 3, 2};
static constexpr int kScalePercents[] = {75, 50, 35, 25};

std::optional<Trial> TargetSearch::LeastLoss(Animation& a, const std::vector<uint8_t>* original,
                                             const std::string& what) {
    auto label = [&](int level) {
        std::string s = what;
        if (level > 0) s += std::string(s.empty() ? "" : ", ") + "lossy level " + std::to_string(level);
        return s.empty() ? std::string("lossless") : s;
    };
    std::vector<uint8_t> fit = EncodeAt(a, 0, original);
    if (Fits(fit, target_)) return Trial{std::move(fit), label(0), 0, true};
    fit = EncodeAt(a, 200, original);
    if (!fit.empty()) smallest_ = std::min<int64_t>(smallest_, static_cast<int64_t>(fit.size()));
    if (!Fits(fit, target_)) return std::nullopt;
    int lo = 1, hi = 200;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        std::vector<uint8_t> b = EncodeAt(a, mid, original);
        if (Fits(b, target_)) {
            hi = mid;
            fit = std::move(b);
        } else {
            lo = mid + 1;
        }
    }
    return Trial{std::move(fit), label(hi), 0, false};
}

std::optional<Trial> TargetSearch::Fit(const std::function<bool(Animation&)>& prepare, const std::string& what,
                                       bool fewer_colors) {
    SilentUiHost quiet;
    SilentProgress silent;
    std::unique_ptr<Animation> base = CopyAnimation(input_);
    if (!base || !prepare(*base)) return std::nullopt;
    const int most = LargestPalette(*base);
    for (int i = -1; i < static_cast<int>(std::size(kColorCounts)); ++i) {
        const int colors = i < 0 ? 256 : kColorCounts[i];
        if (i >= 0 && (!fewer_colors || colors >= most)) continue;
        std::unique_ptr<Animation> a = CopyAnimation(*base);
        if (!a) return std::nullopt;
        if (i >= 0 && !ReduceColors(*a, colors)) return std::nullopt;
        if (cinemill::Optimize(*a, flags_, quiet, silent, Prefs()) != Result::Done) return std::nullopt;
        std::string label = what;
        if (i >= 0) label += ", " + std::to_string(colors) + " colours";
        if (auto t = LeastLoss(*a, nullptr, label)) {
            t->clean = t->clean && i < 0;
            return t;
        }
    }
    return std::nullopt;
}

bool TargetSearch::DropEvery(Animation& a, int n) {
    SilentUiHost quiet;
    SilentProgress silent;
    if (!DeletionIntervalValid(n, a.FrameCount())) return false;
    if (cinemill::Unoptimize(a, quiet, silent) != Result::Done) return false;
    const auto frames = a.Frames();
    for (size_t i = static_cast<size_t>(n) - 1; i < frames.size(); i += static_cast<size_t>(n))
        frames[i - 1]->delay = std::min<uint32_t>(65535, frames[i - 1]->delay + frames[i]->delay);
    DeleteEveryNth(a, n);
    // Every frame is now the whole picture: where the next one has
    // transparent pixels, the one before must be cleared away first.
    const auto kept = a.Frames();
    for (size_t i = 0; i + 1 < kept.size(); ++i)
        if (kept[i + 1]->Transparent()) SetDisposal(*kept[i], 2);
    return true;
}

double TargetSearch::Psnr(const std::vector<uint8_t>& bytes) const {
    SilentUiHost quiet;
    SilentProgress progress;
    ReadOutcome back = ReadGif(bytes, quiet, progress, Prefs());
    if (!back.animation) return 0;
    Animation& b = *back.animation;
    if (b.width != input_.width || b.height != input_.height) {
        // A scaled result is compared as a viewer enlarging it would show it.
        PreferenceBlock prefs = Prefs();
        if (ResizeAnimation(b, static_cast<int>(input_.width), static_cast<int>(input_.height),
                            ResizeMethod::Nearest, quiet, progress, prefs) != Result::Done)
            return 0;
    }
    return MeanPsnr(input_, b);
}

bool TargetSearch::Keep(std::vector<Trial>& trials, Trial t) const {
    t.psnr = Psnr(t.bytes);
    const bool clean = t.clean;
    trials.push_back(std::move(t));
    return clean;
}

std::optional<Trial> TargetSearch::Best(std::vector<Trial>& trials) {
    if (trials.empty()) return std::nullopt;
    size_t best = 0;
    for (size_t i = 1; i < trials.size(); ++i)
        if (trials[i].psnr > trials[best].psnr) best = i;
    return std::move(trials[best]);
}

std::optional<Trial> TargetSearch::Run(Animation& optimized) {
    // 1 and 2: the optimized animation, lossless, then at the least loss that fits.
    bar_.SetText(StringId::OptimizingFrames);
    bar_.SetRange(500);
    if (auto t = LeastLoss(optimized, &original_, "")) {
        t->psnr = Psnr(t->bytes);
        return t;
    }
    std::vector<Trial> trials;
    // 3: fewer colours, from the most; more colours at a greater loss may
    // still beat fewer at less, so every count down to the first that fits
    // losslessly is tried.
    const int most = LargestPalette(input_);
    for (size_t i = 0; i < std::size(kColorCounts); ++i) {
        Show(2, StringId::ReducingPalettes, static_cast<int>(i), static_cast<int>(std::size(kColorCounts)));
        const int colors = kColorCounts[i];
        if (colors >= most) continue;
        SilentUiHost quiet;
        SilentProgress silent;
        std::unique_ptr<Animation> a = CopyAnimation(input_);
        if (!a || !ReduceColors(*a, colors) ||
            cinemill::Optimize(*a, flags_, quiet, silent, Prefs()) != Result::Done)
            break;
        auto t = LeastLoss(*a, nullptr, std::to_string(colors) + " colours");
        if (t && Keep(trials, std::move(*t))) break;
    }
    if (auto t = Best(trials)) return t;
    // 4: every n-th frame dropped, from the fewest dropped, each with the
    // least reduction of colours and loss that fits.
    for (size_t i = 0; i < std::size(kDropIntervals); ++i) {
        Show(3, StringId::CheckingRemovable, static_cast<int>(i), static_cast<int>(std::size(kDropIntervals)));
        const int n = kDropIntervals[i];
        auto t = Fit([n](Animation& a) { return DropEvery(a, n); }, "every " + Ordinal(n) + " frame dropped",
                     true);
        if (t && Keep(trials, std::move(*t))) break;
    }
    if (auto t = Best(trials)) return t;
    // 5: scaled down, with all frames and then with every second dropped.
    for (size_t i = 0; i < std::size(kScalePercents); ++i) {
        Show(4, StringId::ResizingAnimation, static_cast<int>(i), static_cast<int>(std::size(kScalePercents)));
        const int pc = kScalePercents[i];
        const int w = std::max<int>(1, static_cast<int>((int64_t{input_.width} * pc + 50) / 100));
        const int h = std::max<int>(1, static_cast<int>((int64_t{input_.height} * pc + 50) / 100));
        auto scale = [w, h](Animation& a) {
            SilentUiHost quiet;
            SilentProgress silent;
            PreferenceBlock prefs = Prefs();
            return ResizeAnimation(a, w, h, ResizeMethod::Nearest, quiet, silent, prefs) == Result::Done;
        };
        const std::string what = "scaled to " + std::to_string(w) + " x " + std::to_string(h);
        auto t = Fit(scale, what, true);
        if (!t && input_.FrameCount() >= 2) {
            t = Fit([&](Animation& a) { return DropEvery(a, 2) && scale(a); }, what + ", every 2nd frame dropped",
                    true);
            if (t) t->clean = false;
        }
        if (t && Keep(trials, std::move(*t))) break;
    }
    return Best(trials);
}

// --target-size: writes the search's result and says what it chose and its
// PSNR against the input's pictures.
int OptimizeToTarget(const Animation& input, Animation& a, uint32_t flags, int64_t target,
                     const std::vector<uint8_t>& original, const std::string& out, UiHost& host) {
    TerminalProgress bar(2);
    TargetSearch search(input, original, flags, target, bar);
    std::optional<Trial> t = search.Run(a);
    bar.End();
    if (!t) {
        host.Error(FormatString(StringId::TargetSizeUnreachable,
                                GroupedNumber(search.Smallest() == INT64_MAX ? 0 : search.Smallest())));
        return kExitFailed;
    }
    char db[32];
    std::snprintf(db, sizeof db, "%.2f", t->psnr);
    std::cout << "Target Size: " << FormatString(StringId::BytesFormat, GroupedNumber(target)) << "\n"
              << "Chosen: " << t->what << ", "
              << FormatString(StringId::BytesFormat, GroupedNumber(static_cast<int64_t>(t->bytes.size())))
              << ", PSNR " << (t->psnr >= 100.0 ? std::string("100") : std::string(db)) << " dB\n";
    return WriteBytesReplacing(out, t->bytes, host) ? kExitOk : kExitFailed;
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
    // The search compares its results with the pictures as read.
    std::unique_ptr<Animation> input = target ? CopyAnimation(a) : nullptr;
    if (target && !input) {
        Tell(host, StringId::FrameImageNoMemory);
        return kExitFailed;
    }
    const Result opt = cinemill::Optimize(a, flags, host, progress, Prefs());
    // A failed optimization (it has said why) writes nothing.
    if (opt != Result::Done) return kExitFailed;
    if (target) {
        if (OptimizeToTarget(*input, a, flags, *target, original, out, host) != kExitOk) return kExitFailed;
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
