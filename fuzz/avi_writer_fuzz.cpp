// The AVI writer (uncompressed or RLE8, chosen by the first byte) on
// documents decoded from arbitrary bytes, into a file in /tmp.
#include <string>

#include <unistd.h>

#include "cinemill/formats/avi.h"
#include "decode_gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    if (size < 1) return 0;
    auto a = fuzz::DecodeGif(data + 1, size - 1);
    if (!a || AviExportProblem(*a)) return 0;
    static const std::string path = "/tmp/cm_avi_writer_fuzz_" + std::to_string(getpid()) + ".avi";
    AviCompressionChoice choice;
    choice.kind = (data[0] & 1) ? AviCompressionChoice::Kind::Rle8 : AviCompressionChoice::Kind::None;
    SilentUiHost host;
    SilentProgress progress;
    WriteAvi(path, *a, choice, host, progress);
    ::unlink(path.c_str());
    return 0;
}
