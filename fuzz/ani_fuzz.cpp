#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cinemill::SilentUiHost host;
    cinemill::PreferenceBlock prefs;
    auto a = cinemill::ImportAni({data, size}, host, prefs).animation;
    if (a) (void)cinemill::BuildAni(*a, host);
    return 0;
}
