// JPEG import (libjpeg-turbo behind our error handling) on arbitrary bytes.
#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/jpeg_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cinemill::SetMemoryBudget(uint64_t{64} << 20);
    cinemill::SilentUiHost host;
    cinemill::PreferenceBlock prefs;
    (void)cinemill::ImportJpeg({data, size}, host, prefs);
    return 0;
}
