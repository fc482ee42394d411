#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cinemill/base/file_io.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Where the writer's bytes go. Every request adds its length to the total,
// also when it fails; counting only never fails.
class GifSink {
public:
    virtual ~GifSink() = default;
    bool Write(const uint8_t* p, size_t n) {
        total_ += static_cast<int64_t>(n);
        return Put(p, n);
    }
    int64_t Total() const { return total_; }

protected:
    virtual bool Put(const uint8_t* p, size_t n) = 0;

private:
    int64_t total_ = 0;
};

class CountingSink : public GifSink {
protected:
    bool Put(const uint8_t*, size_t) override { return true; }
};

class VectorSink : public GifSink {
public:
    std::vector<uint8_t> bytes;

protected:
    bool Put(const uint8_t* p, size_t n) override {
        bytes.insert(bytes.end(), p, p + n);
        return true;
    }
};

// Buffered writes to an open file; Flush before closing.
class FileSink : public GifSink {
public:
    explicit FileSink(AtomicFile& f) : file_(f) { buffer_.reserve(kBufferSize); }
    bool Flush();

protected:
    bool Put(const uint8_t* p, size_t n) override;

private:
    static constexpr size_t kBufferSize = 1 << 16;
    AtomicFile& file_;
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
};

// Writes the animation as a GIF89a stream. The colour-resolution field of
// the screen flags is recomputed and stored in the animation. Done, Failed
// (a write failed) or Stopped (the reporter asked; no trailer written).
// The reporter's StopRequested is polled every few rows inside a frame, so a
// stop does not wait for a large frame to be finished.
// With `lossy` (1-200) a copy is compressed lossily first, as by
// CompressFramesLossily, and written with that data.
Result WriteGif(GifSink& sink, Animation& a, ProgressReporter& progress, int lossy = 0);

// Compresses every frame lossily at level `lossy` (1-200) where that is
// smaller than its exact data, and keeps the result: the frame's pixels
// become what the data decodes to and the data is kept as the frame's own,
// so that saving writes it and the sizes count it. Every picture stays
// within Euclidean RGB distance 2/5 of the level of the input's: a pixel
// may take a near palette colour, or turn transparent where the picture
// beneath shows a near colour (in a frame with a transparent index).
// Errors are weighed against bits, each counted once per picture it shows
// in. Stopped when the reporter asks; `changed` tells whether a frame
// changed.
Result CompressFramesLossily(Animation& a, int lossy, ProgressReporter& progress, bool* changed = nullptr);

// One frame's image data compressed at lossy level `lossy` (0-200) as
// CompressFramesLossily compresses a frame with nothing drawn beneath it:
// each opaque pixel may take a near colour, transparent ones stay so. The
// minimum code size byte, the sub-blocks and their terminator; level 0
// gives the writer's exact data. Empty when the frame has no whole bitmap
// or no palette.
std::vector<uint8_t> LossyImageData(const Animation& a, const Frame& f, int lossy);

// Whether the writer puts a graphic control extension before the frame: it
// does for every frame except one read without it whose delay, control flags
// and transparent index are still those the reader gave it.
bool WritesControlBlock(const Frame& f);

// Bytes of one frame's graphic control, descriptor, local table and data;
// 0 when it cannot be counted.
int64_t FrameEncodedSize(const Animation& a, const Frame& f);

// The encoded size of the animation as saving would write it, signature
// comment included; cached in the animation. -1 when unknown (stopped).
int32_t EncodedSize(Animation& a, bool recompute, ProgressReporter& progress,
                    const PreferenceBlock& prefs);
// The same count without the cache: leaves a.cachedSize as it is, so that a
// worker thread can count a document the window reads. -1 when stopped.
int32_t CountEncodedSize(Animation& a, ProgressReporter& progress, const PreferenceBlock& prefs);

// True when a comment's text makes it a signature comment.
bool IsSignatureText(const std::string& text, const std::string& current_signature);
// Removes old signature comments and puts the current one first.
void RefreshSignature(Animation& a, const PreferenceBlock& prefs);

// Clips frames that reach beyond the screen when the user agrees (or the
// preference says so without asking). False cancels the save.
bool ClipCheck(Animation& a, UiHost& host, const PreferenceBlock& prefs);

// Writes the GIF to a temporary file and puts it in place of `path` only
// when complete; the destination is untouched on failure or stop.
Result SaveGif(const std::string& path, Animation& a, UiHost& host, ProgressReporter& progress);

}  // namespace cinemill
