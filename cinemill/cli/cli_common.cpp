#include "cinemill/cli/cli_common.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cinemill/base/file_io.h"
#include "cinemill/base/memory.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill::cli {

const PreferenceBlock& Prefs() {
    static PreferenceBlock prefs;
    return prefs;
}

ReadOutcome LoadAnimation(const std::string& path, UiHost& host, bool count_usage) {
    SilentProgress progress;
    return OpenGifFile(path, host, progress, Prefs(), count_usage);
}

bool CanvasesFit(const Animation& a, int canvases, UiHost& host) {
    const uint64_t one = Compositor::CanvasBytes(a);
    if (one <= MemoryBudget() / static_cast<uint64_t>(canvases)) return true;
    Tell(host, StringId::FrameImageNoMemory);
    return false;
}

double MeanPsnr(const Animation& a, const Animation& b) {
    Compositor ca(a), cb(b);
    const auto fa = a.Frames();
    const auto fb = b.Frames();
    double sum = 0;
    const bool by_time = fa.size() != fb.size();
    uint64_t ta = 0, tb = 0;  // start of a's frame i and of b's next frame
    size_t j = 0;
    for (size_t i = 0; i < fa.size(); ++i) {
        const RgbaImage& x = ca.Draw(*fa[i]);
        if (by_time) {
            // Every frame of b that has started by now is drawn.
            while (j < fb.size() && tb <= ta) {
                cb.Draw(*fb[j]);
                tb += fb[j]->delay;
                ++j;
            }
            ta += fa[i]->delay;
        } else if (i < fb.size()) {
            cb.Draw(*fb[i]);
        }
        const RgbaImage& y = cb.Picture();
        double se = 0;
        for (size_t p = 0; p + 3 < x.rgba.size() && p + 3 < y.rgba.size(); p += 4)
            for (size_t c = 0; c < 3; ++c) {
                const int vx = x.rgba[p + 3] ? x.rgba[p + c] : 0;
                const int vy = y.rgba[p + 3] ? y.rgba[p + c] : 0;
                se += double(vx - vy) * double(vx - vy);
            }
        const double mse = se / std::max<double>(1, double(x.rgba.size() / 4 * 3));
        sum += mse == 0 ? 100.0 : std::min(100.0, 10.0 * std::log10(255.0 * 255.0 / mse));
    }
    return fa.empty() ? 100.0 : sum / double(fa.size());
}

int SaveOutput(const std::string& path, Animation& a, UiHost& host, Result read_result) {
    SilentProgress progress;
    const Result r = SaveGif(path, a, host, progress);
    if (r != Result::Done) return kExitFailed;
    return read_result == Result::Done ? kExitOk : kExitPartial;
}

bool ParseInt(const std::string& s, int& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

int TakeMergeOption(const Args& args, size_t& i, uint32_t& merging, const std::string& command) {
    const std::string& a = args.rest[i];
    const bool has_value = i + 1 < args.rest.size();
    if (a == "--dither") {
        merging |= merge::kDither;
        return 1;
    }
    if (a == "--method" && has_value) {
        const std::string m = args.rest[++i];
        uint32_t bit = 0;
        if (m == "self-adapting") bit = merge::kSelfAdapting;
        else if (m == "merge") bit = merge::kMergeGlobal;
        else if (m == "map") bit = merge::kMapGlobal;
        else if (m == "web") bit = merge::kWeb;
        else if (m == "local") bit = merge::kLocal;
        else {
            UsageError(command + ": unknown --method " + m);
            return -1;
        }
        merging = (merging & ~merge::kMethodMask) | bit;
        return 1;
    }
    if ((a == "--colors" || a == "--truecolor-colors") && has_value) {
        // The limit is stored as its bit count: 8 to 256 colours, a power of two.
        int n = 0, bits = 3;
        const bool number = ParseInt(args.rest[++i], n);
        while (number && bits <= 8 && n != 1 << bits) ++bits;
        if (!number || bits > 8) {
            UsageError(command + ": " + a + " takes 8, 16, 32, 64, 128 or 256");
            return -1;
        }
        const int shift = a == "--colors" ? 16 : 20;
        merging = (merging & ~(0xFu << shift)) | (static_cast<uint32_t>(bits) << shift);
        return 1;
    }
    return 0;
}

bool WritePam(const std::string& path, const RgbaImage& img) {
    AtomicFile f;
    if (f.Open(path) != WriteProblem::None) return false;
    char header[160];
    const int n = std::snprintf(header, sizeof header,
                                "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                                img.width, img.height);
    const bool ok = n > 0 && f.Write(header, static_cast<size_t>(n)) && f.Write(img.rgba.data(), img.rgba.size());
    return ok && f.Commit() == WriteProblem::None;
}

}  // namespace cinemill::cli
