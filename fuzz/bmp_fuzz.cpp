#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/bmp_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cinemill::SilentUiHost host;
    cinemill::PreferenceBlock prefs;
    (void)cinemill::ImportBmp({data, size}, host, prefs);
    return 0;
}
