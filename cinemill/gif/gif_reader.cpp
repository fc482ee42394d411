#include "cinemill/gif/gif_reader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cinemill/base/bytes.h"
#include "cinemill/base/memory.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_labels.h"
#include "cinemill/gif/lzw_decoder.h"

namespace cinemill {

bool IsGifSignature(std::span<const uint8_t> b) {
    return b.size() >= 6 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[3] == '8' &&
           (b[4] == '7' || b[4] == '9') && b[5] == 'a';
}

namespace {

// What a step of the reader answers: nothing when it read what it should,
// else the one message that says why reading stopped, which Run tells once.
using Failure = std::optional<StringId>;

class GifReader {
public:
    GifReader(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
              const PreferenceBlock& prefs, const GifReadOptions& options)
        : host_(host), progress_(progress), prefs_(prefs),
          account_(options.memoryBudget ? options.memoryBudget : MemoryBudget()) {
        in_.data = file.data();
        in_.size = file.size();
        in_.pos = std::min<size_t>(6, file.size());
    }

    ReadOutcome Run();

private:
    bool ReadScreen();
    // After the extension introducer: a graphic control makes `pending`,
    // the frame the next image fills; comments, plain text and application
    // blocks join the document (`linked` is then set).
    Failure ReadExtensionBlock(std::unique_ptr<Frame>& pending, bool& linked);
    // Reads one extension's sub-blocks after its label. Sets `block` when
    // one is kept.
    bool ReadExtension(uint8_t label, std::unique_ptr<ExtensionBlock>& block);
    // Appends the sub-blocks up to and including the terminator to `data`.
    bool ReadSubBlocks(std::vector<uint8_t>& data);
    Failure ReadImage(Frame& f);
    // Keeps the image's data sub-blocks from `start` up to the cursor.
    void KeepData(Frame& f, int min_code_size, size_t start);

    ByteCursor in_;
    UiHost& host_;
    ProgressReporter& progress_;
    const PreferenceBlock& prefs_;
    std::unique_ptr<Animation> anim_;
    MemoryAccount account_;  // frames and the scratch buffer
    LzwDecoder lzw_;
    ZeroedBytes scratch_;
};

bool GifReader::ReadScreen() {
    const uint8_t* s = nullptr;
    if (!in_.Take(7, s)) return false;
    Animation& a = *anim_;
    a.width = LoadLE16(s);
    a.height = LoadLE16(s + 2);
    a.screenFlags = s[4];
    a.aspect = s[6];
    if (a.screenFlags & 0x80) {
        const int n = 2 << (a.screenFlags & 7);
        const int b = ColorTableBits(n);
        if (((a.screenFlags >> 4) & 7) < b - 1)
            a.screenFlags = static_cast<uint8_t>((a.screenFlags & 0x8F) | ((b - 1) << 4));
        a.backgroundIndex = s[5] < n ? s[5] : 0;
        const uint8_t* rgb = nullptr;
        if (!in_.Take(static_cast<size_t>(3 * n), rgb)) return false;
        a.globalPalette = Palette::FromTriples(rgb, n);
    } else {
        a.backgroundIndex = 0;
    }
    return true;
}

Failure GifReader::ReadExtensionBlock(std::unique_ptr<Frame>& pending, bool& linked) {
    uint8_t label = 0;
    if (!in_.Byte(label)) return StringId::GifCorrupt;
    if (label == kGifGraphicControl) {
        const uint8_t* g = nullptr;
        if (!in_.Take(6, g)) return StringId::GifCorrupt;
        pending = std::make_unique<Frame>();
        pending->controlFlags = g[1];
        pending->delay = LoadLE16(g + 2);
        pending->transparentIndex = g[4];
        return {};
    }
    std::unique_ptr<ExtensionBlock> block;
    if (!ReadExtension(label, block)) return StringId::GifCorrupt;
    // Extensions of unknown kinds are skipped as other decoders do; they
    // have no place in the document.
    const bool kept = label == kGifPlainText || label == kGifComment || label == kGifApplication;
    if (kept && block) {
        anim_->blocks.push_back(std::move(block));
        linked = true;
    }
    return {};
}

bool GifReader::ReadSubBlocks(std::vector<uint8_t>& data) {
    for (;;) {
        uint8_t n = 0;
        const uint8_t* sub = nullptr;
        if (!in_.Byte(n)) return false;
        if (n == 0) break;
        if (!in_.Take(n, sub)) return false;
        data.push_back(n);
        data.insert(data.end(), sub, sub + n);
    }
    data.push_back(0);
    return true;
}

bool GifReader::ReadExtension(uint8_t label, std::unique_ptr<ExtensionBlock>& block) {
    uint8_t len = 0;
    const uint8_t* first = nullptr;
    if (!in_.Byte(len)) return false;
    if (len == 0) return true;
    if (!in_.Take(len, first)) return false;
    std::vector<uint8_t> data(1, len);
    data.insert(data.end(), first, first + len);

    if (label == kGifApplication && len == 11 && std::memcmp(first, "NETSCAPE2.0", 11) == 0) {
        uint8_t m = 0;
        const uint8_t* sub = nullptr;
        if (!in_.Byte(m)) return false;
        if (m > 0 && !in_.Take(m, sub)) return false;
        if (m == 3) {
            // Further sub-blocks (a buffering hint) are skipped; the loop
            // count is what the writer makes a new block from.
            for (;;) {
                uint8_t n = 0;
                if (!in_.Byte(n) || !in_.Skip(n)) return false;
                if (n == 0) break;
            }
            const uint32_t loop = sub[1] | (sub[2] << 8);
            anim_->playCount = loop == 0 ? 0 : loop + 1;
            return true;
        }
        // Any other loop block is kept as it is, both sub-blocks included.
        data.push_back(m);
        if (m == 0) {
            block = std::make_unique<ExtensionBlock>(static_cast<BlockKind>(label));
            block->data = std::move(data);
            return true;
        }
        data.insert(data.end(), sub, sub + m);
    }
    if (!ReadSubBlocks(data)) return false;
    block = std::make_unique<ExtensionBlock>(static_cast<BlockKind>(label));
    block->data = std::move(data);
    return true;
}

Failure GifReader::ReadImage(Frame& f) {
    const uint8_t* d = nullptr;
    if (!in_.Take(9, d)) return StringId::GifCorrupt;
    f.left = LoadLE16(d);
    f.top = LoadLE16(d + 2);
    f.width = LoadLE16(d + 4);
    f.height = LoadLE16(d + 6);
    f.descriptorFlags = d[8];
    if (f.descriptorFlags & kDescLocalTable) {
        const int n = 2 << (f.descriptorFlags & 7);
        const uint8_t* rgb = nullptr;
        if (!in_.Take(static_cast<size_t>(3 * n), rgb)) return StringId::GifCorrupt;
        f.localPalette = Palette::FromTriples(rgb, n);
    }
    // The document's budget is charged before anything is allocated, so a
    // run of frames that each declare a huge size stops where memory would.
    std::optional<FrameBitmap> bmp;
    if (account_.Take(FrameBitmap::BytesFor(f.width, f.height)))
        bmp = FrameBitmap::Create(f.width, f.height);
    if (!bmp) return StringId::FrameImageNoMemory;
    const size_t w = static_cast<size_t>(f.width), h = static_cast<size_t>(f.height);
    const size_t count = w * h;
    uint8_t min_code_size = 0;
    // Codes are at most 12 bits wide, so a larger starting size is corrupt
    // when there are pixels to decode; an empty image's data is skipped.
    if (!in_.Byte(min_code_size) || (min_code_size > 11 && count > 0)) return StringId::GifCorrupt;
    const size_t data_start = in_.pos;
    lzw_.Init(&in_, std::min<int>(min_code_size, 11));
    // Rows are decoded into one run of pixels; when the bitmap rows are padded
    // or interlaced they are put in place afterwards.
    const bool direct = !f.Interlaced() && bmp->stride == f.width;
    uint8_t* out = bmp->pixels.data();
    if (!direct) {
        if (scratch_.size() < count) {
            if (!account_.Take(count - scratch_.size())) return StringId::FrameImageNoMemory;
            try {
                scratch_.resize(count);
            } catch (const std::bad_alloc&) {
                return StringId::FrameImageNoMemory;
            }
        }
        out = scratch_.data();
    }
    int status = 0;
    const size_t got = lzw_.Decode(out, count, &status);
    if (status != 0 && status != LzwDecoder::kEndSkipped) return StringId::GifCorrupt;
    if (got == count) lzw_.SkipToTerminator();
    // Pixels after an early end code are index 0. The decoder may have
    // stored ahead of what it reports (the 16 bytes of a short string copy),
    // so those are cleared; beyond them the zeroed bitmap is untouched, and
    // stays so, which keeps a frame that declares more than it holds small.
    if (direct && got < count) std::memset(out + got, 0, std::min<size_t>(count - got, 64));
    if (!direct && w > 0) {
        // Rows that received no pixels stay 0.
        size_t row_index = 0;
        ForRowsInFileOrder(f.height, f.Interlaced(), [&](int y) {
            const size_t start = row_index * w;
            if (start < got) std::memcpy(bmp->Row(y), out + start, std::min(w, got - start));
            ++row_index;
        });
    }
    f.bitmap = std::move(bmp);
    if (got == count && status == 0) KeepData(f, min_code_size, data_start);
    return {};
}

void GifReader::KeepData(Frame& f, int min_code_size, size_t start) {
    // Only a whole, well-formed chain of sub-blocks that ends where decoding
    // stopped is kept, with a code size of 1 to 8 (codes wider than a colour
    // table needs are not written back).
    if (min_code_size < 1 || min_code_size > 8 || in_.pos <= start) return;
    size_t p = start;
    while (p < in_.pos && in_.data[p] != 0) p += 1 + size_t{in_.data[p]};
    if (p + 1 != in_.pos) return;
    try {
        KeepImageData(*anim_, f, static_cast<uint8_t>(min_code_size),
                      std::vector<uint8_t>(in_.data + start, in_.data + in_.pos));
    } catch (const std::bad_alloc&) {
        DropKeptData(f);  // the frame is written from its pixels instead
    }
}

ReadOutcome GifReader::Run() {
    progress_.SetText(StringId::ReadingGif);
    anim_ = NewAnimation();
    anim_->playCount = 1;
    if (!ReadScreen()) {
        Tell(host_, StringId::ReadFailed);
        return {};
    }
    progress_.SetRange(static_cast<int64_t>(in_.size));
    std::unique_ptr<Frame> pending;
    Failure failure;
    bool stopped = false, trailer = false;
    int frames = 0;
    while (!failure && !stopped && !trailer) {
        const int byte = in_.ReadByte();
        bool linked = false;
        switch (byte) {
            case kGifExtension:
                failure = ReadExtensionBlock(pending, linked);
                break;
            case kGifImage: {
                std::unique_ptr<Frame> f = std::move(pending);
                if (!f) {
                    f = NewFrame(0, 0, prefs_);
                    f->implicitControlDelay = f->delay;
                }
                failure = ReadImage(*f);
                if (failure) break;
                anim_->blocks.push_back(std::move(f));
                ++frames;
                linked = true;
                break;
            }
            case kGifTrailer:
                trailer = true;
                break;
            case 0x00:  // a stray block terminator
                break;
            default:  // unknown block, or the end of the file
                failure = StringId::GifCorrupt;
                break;
        }
        if (linked && !progress_.SetPosition(static_cast<int64_t>(in_.pos))) stopped = true;
    }
    if (trailer) {
        anim_->cachedSize = static_cast<int32_t>(std::min<size_t>(in_.size, INT32_MAX));
        return {Result::Done, std::move(anim_)};
    }
    if (stopped) return {Result::Stopped, std::move(anim_)};
    // Why reading stopped, then what was kept.
    Tell(host_, failure.value_or(StringId::GifCorrupt));
    if (frames > 0) {
        Tell(host_, StringId::PartlyRead);
        return {Result::Stopped, std::move(anim_)};
    }
    Tell(host_, StringId::ReadFailed);
    return {};
}

}  // namespace

ReadOutcome ReadGif(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
                    const PreferenceBlock& prefs, const GifReadOptions& options) {
    GifReader reader(file, host, progress, prefs, options);
    return reader.Run();
}

FileRead ReadFileChecked(const std::string& path, std::vector<uint8_t>& out, size_t header_size,
                         HeaderCheck check) {
    out.clear();
    // Opened without blocking: opening a FIFO for reading would otherwise
    // wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FileRead::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return FileRead::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return FileRead::NotRegular;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    auto read_into = [&](size_t from, size_t to) {
        while (from < to) {
            const ssize_t n = ::read(fd, out.data() + from, to - from);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            from += static_cast<size_t>(n);
        }
        return true;
    };
    FileRead result = FileRead::Ok;
    try {
        const size_t head = static_cast<size_t>(std::min<uint64_t>(size, header_size));
        out.resize(head);
        if (!read_into(0, head)) {
            result = FileRead::CannotOpen;
        } else if (!check || check(out)) {
            if (size > SIZE_MAX || size > MemoryBudget()) throw std::bad_alloc();
            out.resize(static_cast<size_t>(size));
            if (!read_into(head, out.size())) result = FileRead::CannotOpen;
        }
    } catch (const std::bad_alloc&) {
        result = FileRead::TooLarge;
    }
    ::close(fd);
    if (result != FileRead::Ok) out.clear();
    return result;
}

void TellFileReadFailure(UiHost& host, FileRead r, const std::string& path) {
    const StringId id = r == FileRead::NotRegular ? StringId::NotRegularFile
                        : r == FileRead::TooLarge ? StringId::FileTooLarge
                                                  : StringId::OpenFileFailed;
    host.Error(FormatString(id, path));
}

ReadOutcome OpenGifFile(const std::string& path, UiHost& host, ProgressReporter& progress,
                        const PreferenceBlock& prefs, bool count_usage,
                        const GifReadOptions& options) {
    std::vector<uint8_t> bytes;
    const FileRead fr = ReadFileChecked(path, bytes, 6, IsGifSignature);
    if (fr == FileRead::NotRegular || fr == FileRead::TooLarge) {
        TellFileReadFailure(host, fr, path);
        return {};
    }
    if (fr != FileRead::Ok || !IsGifSignature(bytes)) {
        host.Error(FormatString(StringId::NotValidGif, path));
        return {};
    }
    ReadOutcome r = ReadGif(bytes, host, progress, prefs, options);
    if (r.animation) {
        NameFrames(*r.animation, path);
        if (count_usage) RecountColorUsage(*r.animation, true);
    }
    return r;
}

}  // namespace cinemill
