#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/psd_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cinemill::SilentUiHost host;
    cinemill::SilentProgress progress;
    cinemill::PreferenceBlock prefs;
    // The first byte picks the layer handling, so every path is reached.
    if (size > 0) {
        const uint32_t bits[] = {0, cinemill::kPsdFlagLayersAsFrames,
                                 cinemill::kPsdFlagLayersAsFrames | cinemill::kPsdFlagKeepBackground,
                                 cinemill::kPsdFlagLayersAsFrames | cinemill::kPsdFlagBlendComposite};
        prefs.SetBits(cinemill::PreferenceBlock::kProgramFlags, bits[data[0] & 3], true);
        ++data;
        --size;
    }
    (void)cinemill::ImportPsd({data, size}, host, progress, prefs);
    return 0;
}
