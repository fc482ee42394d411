// The GIF writer on documents decoded from arbitrary bytes; what it writes
// must read back with as many frames.
#include <cstdlib>

#include "cinemill/gif/gif_writer.h"
#include "decode_gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cinemill;
    auto a = fuzz::DecodeGif(data, size);
    if (!a) return 0;
    VectorSink sink;
    SilentProgress progress;
    if (WriteGif(sink, *a, progress) != Result::Done) return 0;
    auto back = fuzz::DecodeGif(sink.bytes.data(), sink.bytes.size());
    if (!back || back->FrameCount() != a->FrameCount()) std::abort();
    return 0;
}
