// cinemill-cli commands on colour reduction and palette merging: reduce, join.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill::cli {
namespace {


int Reduce(const Args& args) {
    std::string in, out;
    int colors = 0;
    bool dither = false;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) out = args.rest[++i];
        else if (a == "--colors" && i + 1 < args.rest.size()) {
            if (!ParseInt(args.rest[++i], colors) || colors < 2 || colors > 256)
                return UsageError("reduce: --colors takes a number from 2 to 256");
        } else if (a == "--dither") dither = true;
        else if (in.empty() && !a.starts_with("-")) in = a;
        else return UsageError("reduce: unexpected argument " + a);
    }
    if (in.empty() || out.empty() || colors == 0) return UsageError("reduce IN -o OUT --colors N [--dither]");
    RecordingHost host(true);
    auto r = LoadAnimation(in, host);
    if (!r.animation) return kExitFailed;
    SilentProgress progress;
    if (ReduceAnimation(*r.animation, colors, dither, progress, host) != Result::Done) return kExitFailed;
    return SaveOutput(out, *r.animation, host, r.result);
}


int Join(const Args& args) {
    std::vector<std::string> inputs;
    std::string out;
    PreferenceBlock prefs;
    uint32_t merging = prefs.Get(PreferenceBlock::kPaletteMerging) & ~merge::kAsk;
    uint32_t size_choice = 0;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        const bool has_value = i + 1 < args.rest.size();
        if (a == "-o" && has_value) {
            out = args.rest[++i];
        } else if (const int took = TakeMergeOption(args, i, merging, "join"); took != 0) {
            if (took < 0) return kExitUsage;
        } else if (a == "--grow") {
            size_choice = PreferenceBlock::kSizeGrow;
        } else if (a == "--clip") {
            size_choice = PreferenceBlock::kSizeClip;
        } else if (!a.starts_with("-")) {
            inputs.push_back(a);
        } else {
            return UsageError("join: unexpected argument " + a);
        }
    }
    if (inputs.empty() || out.empty())
        return UsageError("join IN... -o OUT [--method M] [--dither] [--colors N] [--truecolor-colors N] [--grow|--clip]");
    prefs.Set(PreferenceBlock::kPaletteMerging, merging);
    prefs.Set(PreferenceBlock::kFrameSizeConflict, size_choice ? size_choice : PreferenceBlock::kSizeGrow);

    RecordingHost host(true);
    SilentProgress progress;
    Result read_result = Result::Done;
    auto first = LoadAnimation(inputs[0], host);
    if (!first.animation) return kExitFailed;
    if (first.result != Result::Done) read_result = first.result;
    std::unique_ptr<Animation> doc = std::move(first.animation);
    // Opening runs the merge without a target (true-colour frames need it).
    if (MergePalettes(nullptr, *doc, 0, host, progress, prefs) != Result::Done) return kExitFailed;
    for (size_t i = 1; i < inputs.size(); ++i) {
        auto next = LoadAnimation(inputs[i], host);
        if (!next.animation) return kExitFailed;
        if (next.result != Result::Done) read_result = next.result;
        if (InsertAnimation(*doc, *next.animation, -1, host, progress, prefs) != Result::Done) return kExitFailed;
    }
    if (size_choice == PreferenceBlock::kSizeClip)
        for (Frame* f : doc->Frames()) ClipFrameToScreen(*f, doc->width, doc->height);
    return SaveOutput(out, *doc, host, read_result);
}

// The mean PSNR of two animations of the same screen size and frame count.
int Psnr(const Args& args) {
    if (args.rest.size() != 2) return UsageError("psnr A B");
    RecordingHost host(true);
    auto a = LoadAnimation(args.rest[0], host);
    auto b = LoadAnimation(args.rest[1], host);
    if (!a.animation || !b.animation) return kExitFailed;
    if (a.animation->width != b.animation->width || a.animation->height != b.animation->height) {
        std::cerr << "cinemill-cli: psnr: the animations differ in screen size\n";
        return kExitFailed;
    }
    if (!CanvasesFit(*a.animation, 4, host)) return kExitFailed;
    std::printf("%.3f\n", MeanPsnr(*a.animation, *b.animation));
    return kExitOk;
}

const CommandRegistrar kPsnr("psnr", "psnr A B", Psnr);
const CommandRegistrar kReduce("reduce", "reduce IN -o OUT --colors N [--dither]", Reduce);
const CommandRegistrar kJoin("join",
                             "join IN... -o OUT [--method self-adapting|merge|map|web|local] [--dither] "
                             "[--colors N] [--truecolor-colors N] [--grow|--clip]",
                             Join);

}  // namespace
}  // namespace cinemill::cli
