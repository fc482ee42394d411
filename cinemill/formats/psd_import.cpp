#include "cinemill/formats/psd_import.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cinemill/base/byte_reader.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

// Larger canvases or layers are refused as out of memory.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

// Colour modes read: grey, indexed, RGB.
constexpr int kModeGrey = 1, kModeIndexed = 2, kModeRgb = 3;
// Channel ids of a layer: red, green, blue, and the transparency mask.
constexpr int16_t kChannelRed = 0, kChannelBlue = 2, kChannelAlpha = -1;

size_t PlaneStride(int w) { return (static_cast<size_t>(w) * 3 + 3) / 4 * 4; }
size_t MaskStride(int w) { return (static_cast<size_t>(w) + 3) / 4 * 4; }

struct Layer {
    int32_t top = 0, left = 0, bottom = 0, right = 0;
    std::vector<std::pair<int16_t, uint32_t>> channels;  // id, data length
    int w() const { return right - left; }
    int h() const { return bottom - top; }
};

// The layers' bounding box, in canvas coordinates.
struct Box {
    int32_t left = 10000, top = 10000, right = -10000, bottom = -10000;
    int w() const { return right - left; }
    int h() const { return bottom - top; }
};

// Where a layer's pixels go within its frame.
struct Placement {
    int frameW = 0, frameH = 0;  // the frame's size
    int x = 0, y = 0;            // the layer's top left corner in it
};

// Reads one Photoshop file. Every stage answers false on failure, with the
// message to tell in why_ (a short read is damage: "corrupt"); the message
// is told once, by Run.
class PsdReader {
public:
    PsdReader(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress, PreferenceBlock& prefs)
        : file_(file), r_(file), host_(host), progress_(progress), prefs_(prefs) {}

    ReadOutcome Run();

private:
    bool Read(std::unique_ptr<Animation>& a);
    bool ReadHeader();
    bool ReadIndexed(Animation& a);
    bool ReadLayerSection();
    bool AskLayerChoice();
    bool ReadComposite(Animation& a);
    bool ReadLayerRecords(std::vector<Layer>& layers, Box& box);
    bool ReadLayerRecord(Layer& layer);
    bool ReadLayerFrames(Animation& a, const std::vector<Layer>& layers, const Box& box);
    bool ReadLayerChannels(const Layer& layer, const Placement& at, Frame& f, bool& has_alpha);
    bool ClipToCanvas(Animation& a, const Box& box);

    // Reads `channels` planes of w x h starting with the compression code;
    // each row goes to `sink(channel, row, bytes)`.
    template <class Sink>
    bool ReadPlanes(int w, int h, int channels, int table_rows, Sink sink);

    bool Refuse(StringId id) {
        why_ = id;
        return false;
    }
    bool Cancel() {
        cancelled_ = true;
        return false;
    }
    // Larger than memory allows: out of memory; larger than the file can
    // hold: damage.
    bool CheckSize(int64_t w, int64_t h);

    std::span<const uint8_t> file_;
    ByteReader r_;
    UiHost& host_;
    ProgressReporter& progress_;
    PreferenceBlock& prefs_;
    StringId why_ = StringId::PsdCorrupt;
    bool cancelled_ = false;

    int channels_ = 0, mode_ = 0;
    int w_ = 0, h_ = 0;
    size_t layerMaskEnd_ = 0;  // the end of the layer and mask section
    size_t layerInfoAt_ = 0;   // the layer count within it
    int layerCount_ = 0;
    PsdLayerChoice choice_;
};

}  // namespace

bool UnpackBitsRow(std::span<const uint8_t> in, std::span<uint8_t> out) {
    size_t i = 0, o = 0;
    while (o < out.size()) {
        if (i >= in.size()) return false;
        const int8_t n = static_cast<int8_t>(in[i++]);
        if (n >= 0) {
            const size_t len = static_cast<size_t>(n) + 1;
            if (i + len > in.size()) return false;
            const size_t k = std::min(len, out.size() - o);
            std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(i), k, out.begin() + static_cast<std::ptrdiff_t>(o));
            i += len;
            o += k;
        } else if (n != -128) {
            if (i >= in.size()) return false;
            const size_t len = static_cast<size_t>(1 - n);
            const size_t k = std::min(len, out.size() - o);
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(o), k, in[i++]);
            o += k;
        }
    }
    return true;
}

namespace {

bool PsdReader::CheckSize(int64_t w, int64_t h) {
    if (w < 0 || h < 0 || uint64_t(w) * uint64_t(h) > kMaxPixels) return Refuse(StringId::PsdNoMemoryImage);
    // PackBits turns 2 bytes into at most 128, so an image cannot hold more
    // pixels than 64 times the file's bytes (plus a little for tiny files):
    // larger sizes in a header are damage, not pictures.
    if (uint64_t(w) * uint64_t(h) > 64 * uint64_t(file_.size()) + 4096) return Refuse(StringId::PsdCorrupt);
    return true;
}

template <class Sink>
bool PsdReader::ReadPlanes(int w, int h, int channels, int table_rows, Sink sink) {
    uint16_t compression = 0;
    if (!r_.BE16(compression)) return false;
    std::vector<uint8_t> row(static_cast<size_t>(w));
    std::span<const uint8_t> s;
    if (compression == 0) {
        for (int c = 0; c < channels; ++c)
            for (int y = 0; y < h; ++y) {
                if (!r_.Take(static_cast<uint64_t>(w), s)) return false;
                sink(c, y, s.data());
            }
        return true;
    }
    if (compression != 1) return false;
    std::vector<uint16_t> counts(static_cast<size_t>(table_rows));
    for (auto& n : counts)
        if (!r_.BE16(n)) return false;
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < h; ++y) {
            const size_t k = static_cast<size_t>(c) * h + y;
            if (k >= counts.size() || !r_.Take(counts[k], s) || !UnpackBitsRow(s, row)) return false;
            sink(c, y, row.data());
        }
    return true;
}

ReadOutcome PsdReader::Run() {
    progress_.SetText(StringId::PsdReading);
    std::unique_ptr<Animation> a;
    bool ok = false;
    try {
        ok = Read(a);
    } catch (const std::bad_alloc&) {
        why_ = StringId::PsdNoMemoryImage;
    }
    if (!ok) {
        if (!cancelled_) Tell(host_, why_);
        return {};
    }
    return ReadDone(std::move(a));
}

// The stages: header; an indexed image is read whole; otherwise the layer
// section is looked at, the user asked how to take several layers, and the
// composite image or the layers read.
bool PsdReader::Read(std::unique_ptr<Animation>& a) {
    if (!ReadHeader()) return false;
    a = NewAnimation(static_cast<uint32_t>(w_), static_cast<uint32_t>(h_), prefs_);
    if (mode_ == kModeIndexed) return ReadIndexed(*a);
    if (!ReadLayerSection() || !AskLayerChoice()) return false;
    if (choice_.mode == PsdLayerChoice::Mode::Composite) return ReadComposite(*a);
    std::vector<Layer> layers;
    Box box;
    return ReadLayerRecords(layers, box) && ReadLayerFrames(*a, layers, box) && ClipToCanvas(*a, box);
}

bool PsdReader::ReadHeader() {
    if (file_.size() < 26 || !std::equal(file_.begin(), file_.begin() + 4, "8BPS") ||
        file_[4] != 0 || file_[5] != 1)
        return Refuse(StringId::PsdInvalid);
    uint16_t channels = 0, depth = 0, mode = 0;
    uint32_t height = 0, width = 0;
    // Signature, version and reserved bytes, then the image's description.
    if (!r_.Skip(12) || !r_.BE16(channels) || !r_.BE32(height) || !r_.BE32(width) || !r_.BE16(depth) ||
        !r_.BE16(mode))
        return false;
    channels_ = channels;
    mode_ = mode;
    if (mode != kModeGrey && mode != kModeIndexed && mode != kModeRgb) return Refuse(StringId::PsdColorMode);
    if (depth != 8) return Refuse(StringId::PsdDepth);
    if (width == 0 || height == 0 || width > 300000 || height > 300000) return false;
    if (!CheckSize(width, height)) return false;
    w_ = static_cast<int>(width);
    h_ = static_cast<int>(height);
    return true;
}

bool PsdReader::ReadIndexed(Animation& a) {
    uint32_t mode_len = 0, resources = 0, layer_mask = 0;
    std::span<const uint8_t> t;
    if (!r_.BE32(mode_len) || mode_len != 768 || !r_.Take(768, t)) return false;
    // The colour table holds 256 reds, then the greens, then the blues.
    std::vector<uint8_t> rgb(768);
    for (int i = 0; i < 256; ++i) {
        rgb[3 * i] = t[i];
        rgb[3 * i + 1] = t[256 + i];
        rgb[3 * i + 2] = t[512 + i];
    }
    if (!r_.BE32(resources) || !r_.Skip(resources) || !r_.BE32(layer_mask) || !r_.Skip(layer_mask)) return false;
    auto bmp = FrameBitmap::Create(w_, h_);
    if (!bmp) return Refuse(StringId::PsdNoMemoryImage);
    const int w = w_;
    if (!ReadPlanes(w_, h_, 1, h_ * std::max(1, channels_),
                    [&](int, int y, const uint8_t* s) { std::copy_n(s, w, bmp->Row(y)); }))
        return false;
    SetBitmap(*a.FrameAt(0), std::move(*bmp));
    SetGlobalPalette(a, Palette::FromTriples(rgb.data(), 256));
    RecountColorUsage(a, true);
    return true;
}

bool PsdReader::ReadLayerSection() {
    uint32_t mode_len = 0, resources = 0, lm_len = 0;
    if (!r_.BE32(mode_len) || mode_len != 0) return false;
    if (!r_.BE32(resources) || !r_.Skip(resources) || !r_.BE32(lm_len)) return false;
    if (lm_len > r_.Left()) return false;
    layerMaskEnd_ = r_.Pos() + lm_len;
    if (lm_len < 6) return true;
    uint32_t li_len = 0;
    if (!r_.BE32(li_len)) return false;
    layerInfoAt_ = r_.Pos();
    int16_t count = 0;
    if (li_len >= 2 && !r_.BE16(count)) return false;
    // A negative count means the first alpha channel holds the merged
    // transparency; the number of layers is the same.
    layerCount_ = std::abs(static_cast<int>(count));
    return true;
}

bool PsdReader::AskLayerChoice() {
    if (layerCount_ < 2) return true;
    const uint32_t flags = prefs_.Get(PreferenceBlock::kProgramFlags);
    PsdLayerChoice preset;
    if (flags & kPsdFlagLayersAsFrames)
        preset.mode = (flags & kPsdFlagBlendComposite) ? PsdLayerChoice::Mode::BlendWithComposite
                                                       : PsdLayerChoice::Mode::BlendWithBackground;
    preset.keepBackground = flags & kPsdFlagKeepBackground;
    const auto answer = host_.AskPsdLayers(preset);
    if (!answer) return Cancel();
    choice_ = *answer;
    prefs_.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagLayersAsFrames,
                   choice_.mode != PsdLayerChoice::Mode::Composite);
    prefs_.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagBlendComposite,
                   choice_.mode == PsdLayerChoice::Mode::BlendWithComposite);
    prefs_.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagKeepBackground, choice_.keepBackground);
    return true;
}

// The merged image after the layer section, as one true-colour frame.
bool PsdReader::ReadComposite(Animation& a) {
    if (!r_.Seek(layerMaskEnd_)) return false;
    Frame& f = *a.FrameAt(0);
    const size_t stride = PlaneStride(w_);
    f.trueColor.assign(stride * h_, 0);
    if (mode_ == kModeRgb && channels_ < 3) return false;
    const bool grey = channels_ < 2 || mode_ == kModeGrey;
    const int w = w_;
    return ReadPlanes(w_, h_, grey ? 1 : 3, h_ * std::max(channels_, 1), [&](int c, int y, const uint8_t* s) {
        uint8_t* d = f.trueColor.data() + stride * y;
        for (int x = 0; x < w; ++x) {
            if (grey) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
            else d[3 * x + 2 - c] = s[x];
        }
    });
}

bool PsdReader::ReadLayerRecord(Layer& L) {
    if (!r_.BE32(L.top) || !r_.BE32(L.left) || !r_.BE32(L.bottom) || !r_.BE32(L.right)) return false;
    // Coordinates far outside any canvas are damage (and would overflow the
    // arithmetic of the frames).
    for (int32_t v : {L.top, L.left, L.bottom, L.right})
        if (v < -(1 << 21) || v > (1 << 21)) return false;
    uint16_t nch = 0;
    if (!r_.BE16(nch) || nch > 56) return false;
    for (int c = 0; c < nch; ++c) {
        int16_t id = 0;
        uint32_t len = 0;
        if (!r_.BE16(id) || !r_.BE32(len)) return false;
        L.channels.push_back({id, len});
    }
    // Blend-mode signature and key, opacity, clipping, flags, filler; then
    // the extra data (mask, blending ranges, name), skipped.
    std::span<const uint8_t> sig;
    uint32_t extra = 0;
    if (!r_.Take(4, sig) || !std::equal(sig.begin(), sig.end(), "8BIM")) return false;
    if (!r_.Skip(8) || !r_.BE32(extra) || !r_.Skip(extra)) return false;
    if (L.w() < 0 || L.h() < 0) return false;
    return CheckSize(L.w(), L.h());
}

bool PsdReader::ReadLayerRecords(std::vector<Layer>& layers, Box& box) {
    if (!r_.Seek(layerInfoAt_ + 2)) return false;
    progress_.SetText(StringId::PsdLayerInfo);
    progress_.SetRange(layerCount_);
    layers.resize(static_cast<size_t>(layerCount_));
    for (Layer& L : layers) {
        if (!ReadLayerRecord(L)) return false;
        box.left = std::min(box.left, L.left), box.top = std::min(box.top, L.top);
        box.right = std::max(box.right, L.right), box.bottom = std::max(box.bottom, L.bottom);
        if (!progress_.Step()) return Cancel();
    }
    if (!CheckSize(box.w(), box.h())) return false;
    // Blending with the background makes every frame as large as the
    // bounding box.
    if (choice_.mode == PsdLayerChoice::Mode::BlendWithBackground &&
        uint64_t(box.w()) * uint64_t(box.h()) * layers.size() > kMaxPixels)
        return Refuse(StringId::PsdNoMemoryImage);
    return true;
}

// Reads the layer's colour and transparency channels into the frame at the
// placement; other channels are skipped.
bool PsdReader::ReadLayerChannels(const Layer& L, const Placement& at, Frame& f, bool& has_alpha) {
    const int lw = L.w(), lh = L.h();
    const size_t stride = PlaneStride(at.frameW), mask_stride = MaskStride(at.frameW);
    const bool grey = mode_ == kModeGrey;
    for (const auto& [id, len] : L.channels) {
        const size_t start = r_.Pos();
        if (len > r_.Left()) return false;
        const bool wanted = (id >= kChannelRed && id <= kChannelBlue) || id == kChannelAlpha;
        if (wanted && id == kChannelAlpha && f.transparencyPlane.empty()) {
            f.transparencyPlane.assign(mask_stride * at.frameH, 0);
            has_alpha = true;
        }
        const auto sink = [&, id = id](int, int y, const uint8_t* s) {
            uint8_t* d = id == kChannelAlpha ? f.transparencyPlane.data() + mask_stride * (at.y + y)
                                             : f.trueColor.data() + stride * (at.y + y);
            for (int x = 0; x < lw; ++x) {
                const int fx = at.x + x;
                if (id == kChannelAlpha) d[fx] = s[x];
                else if (grey) d[3 * fx] = d[3 * fx + 1] = d[3 * fx + 2] = s[x];
                else d[3 * fx + 2 - id] = s[x];
            }
        };
        if (wanted && len >= 2 && lw > 0 && lh > 0 && !ReadPlanes(lw, lh, 1, lh, sink)) return false;
        // The next channel starts after this one's declared length.
        if (!r_.Seek(start) || !r_.Skip(len)) return false;
    }
    return true;
}

// Lays a layer's own rectangle (in a frame the size of the bounding box)
// over the background layer's pixels; a layer without a transparency
// channel is opaque.
void BlendOverBackground(Frame& f, const Frame& background, const Layer& L, const Placement& at, bool has_alpha) {
    const size_t stride = PlaneStride(at.frameW), mask_stride = MaskStride(at.frameW);
    for (int y = at.y; y < at.y + L.h(); ++y)
        for (int x = at.x; x < at.x + L.w(); ++x) {
            const int al = has_alpha ? f.transparencyPlane[mask_stride * y + x] : 255;
            for (int c = 0; c < 3; ++c) {
                uint8_t& d = f.trueColor[stride * y + 3 * x + c];
                const int bg = background.trueColor[stride * y + 3 * x + c];
                d = static_cast<uint8_t>(std::min(255, (bg * (255 - al) + d * al) / 255));
            }
        }
    f.transparencyPlane.clear();
}

// Blends a layer (a frame of its own size) with the composite of the layers
// before it, and makes the result part of the composite.
void BlendWithComposite(Frame& f, std::vector<uint8_t>& composite, const Layer& L, const Box& box, bool has_alpha) {
    const int lw = L.w(), lh = L.h();
    const size_t stride = PlaneStride(lw), mask_stride = MaskStride(lw), cstride = PlaneStride(box.w());
    const int cx = L.left - box.left, cy = L.top - box.top;
    for (int y = 0; y < lh; ++y)
        for (int x = 0; x < lw; ++x) {
            const int al = has_alpha ? f.transparencyPlane[mask_stride * y + x] : 255;
            for (int c = 0; c < 3; ++c) {
                uint8_t& d = f.trueColor[stride * y + 3 * x + c];
                uint8_t& cd = composite[cstride * (cy + y) + 3 * (cx + x) + c];
                if (has_alpha) d = static_cast<uint8_t>(std::min(255, (cd * (255 - al) + d * al) / 255));
                cd = d;
            }
        }
}

// One frame per layer, in coordinates relative to the bounding box. Blended
// with the background, every frame is as large as the box and the first
// layer is the background; blended with the composite, a frame is the
// layer's own rectangle.
bool PsdReader::ReadLayerFrames(Animation& a, const std::vector<Layer>& layers, const Box& box) {
    a.blocks.clear();
    progress_.SetText(StringId::PsdLayerData);
    progress_.SetRange(layerCount_);
    const bool with_composite = choice_.mode == PsdLayerChoice::Mode::BlendWithComposite;
    std::vector<uint8_t> composite;
    if (with_composite) composite.assign(PlaneStride(box.w()) * box.h(), 0);
    const Frame* background = nullptr;
    for (const Layer& L : layers) {
        Placement at;
        at.frameW = with_composite ? L.w() : box.w();
        at.frameH = with_composite ? L.h() : box.h();
        at.x = with_composite ? 0 : L.left - box.left;
        at.y = with_composite ? 0 : L.top - box.top;
        auto f = NewFrame(at.frameW, at.frameH, prefs_);
        f->left = with_composite ? L.left - box.left : 0;
        f->top = with_composite ? L.top - box.top : 0;
        // Outside its own rectangle a layer shows the background layer.
        if (!with_composite && background) f->trueColor = background->trueColor;
        else f->trueColor.assign(PlaneStride(at.frameW) * at.frameH, 0);
        bool has_alpha = false;
        if (!ReadLayerChannels(L, at, *f, has_alpha)) return false;
        if (with_composite) {
            if (L.w() == 0 || L.h() == 0) continue;  // an empty layer makes no frame
            BlendWithComposite(*f, composite, L, box, has_alpha);
        } else if (!background) {
            background = f.get();
        } else {
            BlendOverBackground(*f, *background, L, at, has_alpha);
        }
        a.blocks.push_back(std::move(f));
        if (!progress_.Step()) return Cancel();
    }
    if (!with_composite && !choice_.keepBackground && !a.blocks.empty()) a.blocks.erase(a.blocks.begin());
    return true;
}

// The part of a frame inside the canvas, or false when none of it is.
bool ClipFrame(Frame& f, int canvas_w, int canvas_h) {
    const int64_t x0 = std::max<int64_t>(0, f.left), y0 = std::max<int64_t>(0, f.top);
    const int64_t x1 = std::min<int64_t>(canvas_w, int64_t{f.left} + f.width);
    const int64_t y1 = std::min<int64_t>(canvas_h, int64_t{f.top} + f.height);
    if (x1 <= x0 || y1 <= y0) return false;
    if (x0 == f.left && y0 == f.top && x1 - x0 == f.width && y1 - y0 == f.height) return true;
    const int nw = static_cast<int>(x1 - x0), nh = static_cast<int>(y1 - y0);
    const int sx = static_cast<int>(x0 - f.left), sy = static_cast<int>(y0 - f.top);
    std::vector<uint8_t> tc(PlaneStride(nw) * nh), tp;
    for (int y = 0; y < nh; ++y)
        std::copy_n(f.trueColor.data() + PlaneStride(f.width) * (sy + y) + 3 * sx, 3 * nw,
                    tc.data() + PlaneStride(nw) * y);
    if (!f.transparencyPlane.empty()) {
        tp.resize(MaskStride(nw) * nh);
        for (int y = 0; y < nh; ++y)
            std::copy_n(f.transparencyPlane.data() + MaskStride(f.width) * (sy + y) + sx, nw,
                        tp.data() + MaskStride(nw) * y);
    }
    f.trueColor = std::move(tc);
    f.transparencyPlane = std::move(tp);
    f.left = static_cast<int32_t>(x0), f.top = static_cast<int32_t>(y0);
    f.width = nw, f.height = nh;
    return true;
}

// Canvas coordinates, then each frame cut to the canvas; frames wholly
// outside it are dropped, and a file left with none is damage.
bool PsdReader::ClipToCanvas(Animation& a, const Box& box) {
    std::vector<std::unique_ptr<Block>> kept;
    for (auto& b : a.blocks) {
        Frame& f = *AsFrame(b.get());
        f.left += box.left;
        f.top += box.top;
        if (ClipFrame(f, w_, h_)) kept.push_back(std::move(b));
    }
    a.blocks = std::move(kept);
    return !a.blocks.empty();
}

}  // namespace

bool IsPsdHeader(std::span<const uint8_t> b) {
    return b.size() >= 4 && b[0] == '8' && b[1] == 'B' && b[2] == 'P' && b[3] == 'S';
}

ReadOutcome ImportPsd(std::span<const uint8_t> file, UiHost& host, ProgressReporter& progress,
                      PreferenceBlock& prefs) {
    return PsdReader(file, host, progress, prefs).Run();
}

}  // namespace cinemill
