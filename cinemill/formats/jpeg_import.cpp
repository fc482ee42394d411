#include "cinemill/formats/jpeg_import.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "cinemill/base/memory.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

// The standard error manager with an exit routine that jumps back instead
// of ending the process.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings are ignored, except that a file ending before its image data
// does: its picture would be half made up.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

// Larger images are refused as out of memory rather than allocated.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

// Runs the decoder. Everything that owns memory lives in the caller, since a
// library error jumps out of this function. False on failure.
bool Decode(jpeg_decompress_struct& cinfo, ErrorManager& err, std::span<const uint8_t> file,
            std::vector<uint8_t>& plane, std::vector<uint8_t>& row, int& width, int& height,
            bool& no_memory) {
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    // The size is checked before the decoder starts: a progressive image
    // makes it allocate coefficients for the whole picture (two bytes per
    // sample) as it starts, beside the picture we build (three per pixel).
    const uint64_t pixels = uint64_t{cinfo.image_width} * cinfo.image_height;
    const uint64_t per_pixel = 3 + (cinfo.progressive_mode ? 2 * uint64_t(cinfo.num_components) : 0);
    if (pixels > kMaxPixels || pixels * per_pixel > MemoryBudget()) {
        no_memory = true;
        return false;
    }
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    try {
        plane.assign(stride * static_cast<size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        no_memory = true;
        return false;
    }
    row.assign(static_cast<size_t>(width) * static_cast<size_t>(cinfo.output_components), 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        const int y = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
        uint8_t* d = plane.data() + stride * static_cast<size_t>(y);
        if (cinfo.output_components == 1) {
            for (int x = 0; x < width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = row[x];
        } else {
            std::copy_n(row.data(), 3 * static_cast<size_t>(width), d);
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

bool IsJpegHeader(std::span<const uint8_t> b) { return b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8; }

ReadOutcome ImportJpeg(std::span<const uint8_t> file, UiHost& host, const PreferenceBlock& prefs) {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    std::vector<uint8_t> plane, row;
    int width = 0, height = 0;
    bool no_memory = false;
    const bool ok = Decode(cinfo, err, file, plane, row, width, height, no_memory);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        if (no_memory)
            Tell(host, StringId::JpegNoMemory);
        else
            host.Error(FormatString(StringId::JpegReadFailed, err.message));
        return {};
    }
    auto a = NewAnimation(static_cast<uint32_t>(width), static_cast<uint32_t>(height), prefs);
    a->FrameAt(0)->trueColor = std::move(plane);
    return ReadDone(std::move(a));
}

}  // namespace cinemill
