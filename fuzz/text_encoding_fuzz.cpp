// Feeds arbitrary bytes to the page-encoding detector: whatever it accepts
// must be written back byte for byte, and whatever text is encoded must read
// back in the encoding it was written in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "branchwork/base/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace branchwork;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto d = DecodeText(bytes)) {
        if (EncodeText(d->text, d->encoding) != bytes) std::abort();
    }
    for (const TextEncoding e : {TextEncoding::Utf8WithBom, TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
        // UTF-16LE text that starts with U+0000 begins FF FE 00 00, the
        // UTF-32LE mark, and is read as such (refused).
        if (e == TextEncoding::Utf16Le && !bytes.empty() && bytes[0] == '\0') continue;
        const auto back = DecodeText(EncodeText(bytes, e));
        if (!back || back->encoding != e) std::abort();
        if (EncodeText(back->text, e) != EncodeText(bytes, e)) std::abort();
    }
    (void)AsciiWithReferences(bytes);
    return 0;
}
