#include "cinemill/cli/cli_common.h"

#include <cstdio>

#include "cinemill/gif/gif_writer.h"

namespace cinemill::cli {

const PreferenceBlock& Prefs() {
    static PreferenceBlock prefs;
    return prefs;
}

GifReadOutcome LoadAnimation(const std::string& path, UiHost& host, bool count_usage) {
    SilentProgress progress;
    return OpenGifFile(path, host, progress, Prefs(), count_usage);
}

int SaveOutput(const std::string& path, Animation& a, UiHost& host, Result read_result) {
    SilentProgress progress;
    const Result r = SaveGif(path, a, host, progress);
    if (r != Result::Done) return kExitFailed;
    return read_result == Result::Done ? kExitOk : kExitPartial;
}

bool WritePam(const std::string& path, const RgbaImage& img) {
    // Written beside the target and renamed over it, so a file is never left half-written.
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                 img.width, img.height);
    bool ok = std::fwrite(img.rgba.data(), 1, img.rgba.size(), f) == img.rgba.size();
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace cinemill::cli
