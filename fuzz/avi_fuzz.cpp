// Our own AVI parser and decoders on arbitrary bytes (through a temporary
// file, since the reader seeks in files).
#include <cstdio>
#include <string>
#include <unistd.h>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/avi_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/cm_avi_fuzz_" + std::to_string(getpid()) + ".avi";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    cinemill::SilentUiHost host;
    cinemill::SilentProgress progress;
    cinemill::PreferenceBlock prefs;
    cinemill::ImportAviWith(path, host, progress, prefs, false);
    return 0;
}
