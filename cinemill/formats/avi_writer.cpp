// Writing AVI files: an 8-bit video stream, uncompressed or RLE8 by our own
// encoder, or through an FFmpeg encoder.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "cinemill/base/bytes.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/tell.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/avi_internal.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill {
namespace {

void Id(std::vector<uint8_t>& out, const char* s) { out.insert(out.end(), s, s + 4); }

// Rows bottom-up, each padded to 4 bytes.
std::vector<uint8_t> BottomUpRows(const FrameBitmap& b) {
    std::vector<uint8_t> out;
    out.reserve(size_t(b.stride) * b.height);
    for (int y = b.height - 1; y >= 0; --y) {
        out.insert(out.end(), b.Row(y), b.Row(y) + b.width);
        out.insert(out.end(), size_t(b.stride - b.width), 0);
    }
    return out;
}

}  // namespace

std::optional<StringId> AviExportProblem(const Animation& a) {
    for (const Frame* f : a.Frames())
        if (f->left != 0 || f->top != 0 || f->width != int64_t{a.width} ||
            f->height != int64_t{a.height} || !f->bitmap)
            return StringId::AviNotFullSized;
    for (const Frame* f : a.Frames())
        if (f->localPalette || f->Transparent()) return StringId::AviTransparency;
    return std::nullopt;
}

uint32_t AviDelayUnit(const std::vector<uint32_t>& delays) {
    if (delays.empty()) return 1;
    uint32_t m = UINT32_MAX;
    for (uint32_t d : delays) m = std::min(m, std::max(d, 1u));
    for (uint32_t j = 1; j <= m / 2 || j == 1; ++j) {
        if (m % j) continue;
        const uint32_t g = m / j;
        bool all = true;
        for (uint32_t d : delays)
            if (std::max(d, 1u) % g) {
                all = false;
                break;
            }
        if (all) return g;
        if (j > m / 2) break;
    }
    return 1;
}

AviTimeline PlanAviTimeline(const std::vector<uint32_t>& delays) {
    AviTimeline t;
    t.unit = AviDelayUnit(delays);
    uint64_t sum = 0;
    for (uint32_t d : delays) {
        t.positions.push_back(static_cast<uint32_t>(sum / t.unit));
        sum += std::max(d, 1u);
    }
    t.length = static_cast<uint32_t>(sum / t.unit);
    if (!delays.empty()) {
        const uint32_t rep = static_cast<uint32_t>((sum - 1) / t.unit);
        if (rep != t.positions.back()) t.repeatAt = rep;
    }
    return t;
}

std::vector<uint8_t> EncodeRle8(const FrameBitmap& b) {
    std::vector<uint8_t> out;
    for (int y = b.height - 1; y >= 0; --y) {
        const uint8_t* r = b.Row(y);
        const int w = b.width;
        auto run_at = [&](int x) {
            int n = 1;
            while (x + n < w && n < 255 && r[x + n] == r[x]) ++n;
            return n;
        };
        int x = 0;
        while (x < w) {
            const int run = run_at(x);
            if (run >= 2) {
                out.push_back(static_cast<uint8_t>(run));
                out.push_back(r[x]);
                x += run;
                continue;
            }
            // Literal pixels up to the next run of 3 or more.
            const int start = x;
            while (x < w && x - start < 255 && (x == start || run_at(x) < 3)) ++x;
            const int len = x - start;
            if (len >= 3) {
                out.push_back(0);
                out.push_back(static_cast<uint8_t>(len));
                out.insert(out.end(), r + start, r + x);
                if (len & 1) out.push_back(0);
            } else {
                for (int k = start; k < x; ++k) {
                    out.push_back(1);
                    out.push_back(r[k]);
                }
            }
        }
        out.push_back(0);
        out.push_back(y == 0 ? 1 : 0);
    }
    if (b.height == 0) out.insert(out.end(), {0, 1});
    return out;
}

namespace {

// The whole file for the uncompressed or RLE8 stream. Empty when it would
// not fit a RIFF file (4 GB) or memory runs out.
std::vector<uint8_t> BuildAviFile(const Animation& a, bool rle, ProgressReporter& progress,
                                  bool& stopped) {
    stopped = false;
    std::vector<uint32_t> delays;
    for (const Frame* f : a.Frames()) delays.push_back(f->delay);
    const AviTimeline tl = PlanAviTimeline(delays);
    const auto frames = a.Frames();
    const Palette* pal = a.globalPalette ? &*a.globalPalette : nullptr;
    const uint32_t entries = pal ? static_cast<uint32_t>(pal->size()) : 0;
    const uint32_t w = a.width, h = a.height;
    const uint32_t image_size = static_cast<uint32_t>(FrameBitmap::StrideFor(static_cast<int>(w)) * uint64_t{h});

    // Samples in position order: the frames, then the repeat.
    std::vector<std::pair<uint32_t, const Frame*>> samples;
    for (size_t i = 0; i < frames.size(); ++i) samples.push_back({tl.positions[i], frames[i]});
    if (tl.repeatAt) samples.push_back({*tl.repeatAt, frames.back()});

    std::vector<uint8_t> movi;
    std::vector<uint8_t> idx;
    uint32_t max_chunk = 0;
    uint32_t pos = 0;
    progress.SetText(StringId::AviConverting);
    progress.SetRange(static_cast<int64_t>(samples.size()));
    auto chunk = [&](const std::vector<uint8_t>& data, bool key) {
        const uint64_t offset = 4 + movi.size();
        if (offset + data.size() > 0xF0000000u) throw std::bad_alloc();
        Id(movi, rle ? "00dc" : "00db");
        AppendLE32(movi, static_cast<uint32_t>(data.size()));
        movi.insert(movi.end(), data.begin(), data.end());
        if (data.size() & 1) movi.push_back(0);
        Id(idx, rle ? "00dc" : "00db");
        AppendLE32(idx, key ? 0x10 : 0);
        AppendLE32(idx, static_cast<uint32_t>(offset));
        AppendLE32(idx, static_cast<uint32_t>(data.size()));
        max_chunk = std::max(max_chunk, static_cast<uint32_t>(data.size()));
    };
    for (const auto& [at, f] : samples) {
        // Samples between written positions stay empty.
        for (; pos < at; ++pos) chunk({}, false);
        chunk(rle ? EncodeRle8(*f->bitmap) : BottomUpRows(*f->bitmap), true);
        ++pos;
        if (!progress.Step()) {
            stopped = true;
            return {};
        }
    }

    std::vector<uint8_t> strf;
    AppendLE32(strf, 40);
    AppendLE32(strf, w);
    AppendLE32(strf, h);
    AppendLE16(strf, 1);
    AppendLE16(strf, 8);
    AppendLE32(strf, rle ? 1 : 0);
    AppendLE32(strf, rle ? max_chunk : image_size);
    AppendLE32(strf, 0);
    AppendLE32(strf, 0);
    AppendLE32(strf, entries);
    AppendLE32(strf, 0);
    for (int i = 0; i < static_cast<int>(entries); ++i) {
        const Rgb c = (*pal)[i];
        strf.insert(strf.end(), {c.b, c.g, c.r, 0});
    }

    std::vector<uint8_t> strh;
    Id(strh, "vids");
    Id(strh, rle ? "mrle" : "msvc");
    for (uint32_t v : {0u, 0u, 0u, tl.unit, 100u, 0u, tl.length, 0u, 10000u, 0u}) AppendLE32(strh, v);
    AppendLE16(strh, 0);
    AppendLE16(strh, 0);
    AppendLE16(strh, w);
    AppendLE16(strh, h);

    std::vector<uint8_t> strl;
    Id(strl, "strl");
    Id(strl, "strh");
    AppendLE32(strl, static_cast<uint32_t>(strh.size()));
    strl.insert(strl.end(), strh.begin(), strh.end());
    Id(strl, "strf");
    AppendLE32(strl, static_cast<uint32_t>(strf.size()));
    strl.insert(strl.end(), strf.begin(), strf.end());

    std::vector<uint8_t> hdrl;
    Id(hdrl, "hdrl");
    Id(hdrl, "avih");
    AppendLE32(hdrl, 56);
    const uint32_t usec = tl.unit * 10000;
    for (uint32_t v : {usec, 0u, 0u, 0x10u, tl.length, 0u, 1u, max_chunk, w, h, 0u, 0u, 0u, 0u})
        AppendLE32(hdrl, v);
    Id(hdrl, "LIST");
    AppendLE32(hdrl, static_cast<uint32_t>(strl.size()));
    hdrl.insert(hdrl.end(), strl.begin(), strl.end());

    const uint64_t riff = 4 + 8 + hdrl.size() + 12 + movi.size() + 8 + idx.size();
    if (riff > 0xFFFFFFF0u) throw std::bad_alloc();
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(riff) + 8);
    Id(out, "RIFF");
    AppendLE32(out, static_cast<uint32_t>(riff));
    Id(out, "AVI ");
    Id(out, "LIST");
    AppendLE32(out, static_cast<uint32_t>(hdrl.size()));
    out.insert(out.end(), hdrl.begin(), hdrl.end());
    Id(out, "LIST");
    AppendLE32(out, static_cast<uint32_t>(movi.size() + 4));
    Id(out, "movi");
    out.insert(out.end(), movi.begin(), movi.end());
    Id(out, "idx1");
    AppendLE32(out, static_cast<uint32_t>(idx.size()));
    out.insert(out.end(), idx.begin(), idx.end());
    return out;
}

}  // namespace

namespace {
// FFmpeg's errors are negated errno values; these mean the file could not
// be written, whatever the codec.
bool IsWriteFailure(int error) {
    switch (-error) {
        case ENOSPC: case EDQUOT: case EFBIG: case EIO: case EROFS: case EACCES: case EPERM:
            return true;
        default:
            return false;
    }
}
}  // namespace

Result WriteAvi(const std::string& path, const Animation& a, const AviCompressionChoice& c,
                UiHost& host, ProgressReporter& progress) {
    if (a.FrameCount() < 1) {
        host.Error(FormatString(StringId::AviCreateFailed, path));
        return Result::Failed;
    }
    if (auto problem = AviExportProblem(a)) {
        Tell(host, *problem);
        return Result::Failed;
    }
    if (!a.globalPalette) {
        Tell(host, StringId::AviSetFormatFailed);
        return Result::Failed;
    }
    if (c.kind == AviCompressionChoice::Kind::Codec) {
        // The encoder writes its own file: it goes straight into the
        // temporary file beside the target, which then replaces the target.
        AtomicFile file;
        if (const WriteProblem p = file.Open(path); p != WriteProblem::None) {
            TellWriteProblem(host, p, path);
            return Result::Failed;
        }
        int error = 0;
        const Result r = EncodeAviWithFfmpeg(file.TempPath(), a, c.codec, progress, error);
        if (r == Result::Done) {
            if (file.Commit() != WriteProblem::None) {
                host.Error(FormatString(StringId::WriteToFailed, path));
                return Result::Failed;
            }
            return Result::Done;
        }
        file.Discard();
        if (r == Result::Stopped) return Result::Failed;
        // The temporary file could not be written (a full or read-only
        // disk): the codec is not at fault, so the cause is named instead.
        if (IsWriteFailure(error)) {
            host.Error(FormatString(StringId::TempWriteFailed, std::strerror(-error)));
            return Result::Failed;
        }
        // The codec failed: offer the uncompressed file.
        const std::string what = error == -ENOMEM
                                     ? std::string(LoadString(StringId::AviOutOfMemoryError))
                                     : ReplaceHex(std::string(LoadString(StringId::AviErrorCode)),
                                                  static_cast<uint32_t>(error));
        const std::string q = FormatString(StringId::AviCompressFailed, what);
        if (!host.AskYesNo(q, std::string(LoadString(StringId::AviCompressTitle))))
            return Result::Failed;
        return WriteAvi(path, a, AviCompressionChoice{AviCompressionChoice::Kind::None, {}}, host,
                        progress);
    }
    std::vector<uint8_t> bytes;
    bool stopped = false;
    try {
        bytes = BuildAviFile(a, c.kind == AviCompressionChoice::Kind::Rle8, progress, stopped);
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::AviTooLarge);
        return Result::Failed;
    }
    if (stopped) return Result::Failed;
    if (const WriteProblem p = WriteFileAtomically(path, bytes.data(), bytes.size()); p != WriteProblem::None) {
        TellWriteProblem(host, p, path);
        return Result::Failed;
    }
    return Result::Done;
}

Result ExportAvi(const std::string& path, const Animation& a, UiHost& host,
                 ProgressReporter& progress) {
    if (auto problem = AviExportProblem(a)) {
        Tell(host, *problem);
        return Result::Failed;
    }
    auto choice = host.AskAviCompression(AviCodecChoices());
    if (!choice) return Result::Failed;
    return WriteAvi(path, a, *choice, host, progress);
}

}  // namespace cinemill
