#include "cinemill/formats/psd_import.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill {
namespace {

struct Fail {
    StringId id;
};
struct Cancelled {};

// Larger canvases or layers are refused as out of memory.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

class Reader {
public:
    explicit Reader(std::span<const uint8_t> d) : d_(d) {}
    size_t pos() const { return pos_; }
    size_t left() const { return d_.size() - pos_; }
    void Seek(size_t p) {
        if (p > d_.size()) throw Fail{StringId::PsdCorrupt};
        pos_ = p;
    }
    void Skip(uint64_t n) {
        if (n > left()) throw Fail{StringId::PsdCorrupt};
        pos_ += static_cast<size_t>(n);
    }
    std::span<const uint8_t> Take(uint64_t n) {
        if (n > left()) throw Fail{StringId::PsdCorrupt};
        auto s = d_.subspan(pos_, static_cast<size_t>(n));
        pos_ += static_cast<size_t>(n);
        return s;
    }
    uint32_t U32() { return LoadBE32(Take(4).data()); }
    uint16_t U16() { return LoadBE16(Take(2).data()); }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint8_t U8() { return Take(1)[0]; }

private:
    std::span<const uint8_t> d_;
    size_t pos_ = 0;
};

// Reads `channels` planes of w x h starting with the compression code; each
// plane goes to `sink(channel, row, bytes)`.
template <class Sink>
void ReadPlanes(Reader& r, int w, int h, int channels, int table_rows, Sink sink) {
    const uint16_t compression = r.U16();
    std::vector<uint8_t> row(static_cast<size_t>(w));
    if (compression == 0) {
        for (int c = 0; c < channels; ++c)
            for (int y = 0; y < h; ++y) {
                auto s = r.Take(static_cast<uint64_t>(w));
                sink(c, y, s.data());
            }
        return;
    }
    if (compression != 1) throw Fail{StringId::PsdCorrupt};
    std::vector<uint16_t> counts(static_cast<size_t>(table_rows));
    for (auto& n : counts) n = r.U16();
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < h; ++y) {
            const size_t k = static_cast<size_t>(c) * h + y;
            if (k >= counts.size()) throw Fail{StringId::PsdCorrupt};
            auto s = r.Take(counts[k]);
            if (!UnpackBitsRow(s, row)) throw Fail{StringId::PsdCorrupt};
            sink(c, y, row.data());
        }
}

struct Layer {
    int32_t top = 0, left = 0, bottom = 0, right = 0;
    std::vector<std::pair<int16_t, uint32_t>> channels;
    int w() const { return right - left; }
    int h() const { return bottom - top; }
};

size_t PlaneStride(int w) { return (static_cast<size_t>(w) * 3 + 3) / 4 * 4; }
size_t MaskStride(int w) { return (static_cast<size_t>(w) + 3) / 4 * 4; }

void CheckSize(int64_t w, int64_t h) {
    if (w < 0 || h < 0 || uint64_t(w) * uint64_t(h) > kMaxPixels)
        throw Fail{StringId::PsdNoMemoryImage};
}

// PackBits turns 2 bytes into at most 128, so an image cannot hold more
// pixels than 64 times the file's bytes (plus a little for tiny files):
// larger sizes in a header are damage, not pictures.
void CheckPlausible(int64_t w, int64_t h, size_t file_size) {
    if (uint64_t(w) * uint64_t(h) > 64 * uint64_t(file_size) + 4096) throw Fail{StringId::PsdCorrupt};
}

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

std::unique_ptr<Animation> ImportPsd(std::span<const uint8_t> file, UiHost& host,
                                     ProgressReporter& progress, PreferenceBlock& prefs) {
    try {
        progress.SetText(StringId::PsdReading);
        Reader r(file);
        if (file.size() < 26 || !std::equal(file.begin(), file.begin() + 4, "8BPS") ||
            LoadBE16(file.data() + 4) != 1)
            throw Fail{StringId::PsdInvalid};
        r.Skip(12);
        const int channels = r.U16();
        const uint32_t height = r.U32(), width = r.U32();
        const int depth = r.U16();
        const int mode = r.U16();
        if (mode != 1 && mode != 2 && mode != 3) throw Fail{StringId::PsdColorMode};
        if (depth != 8) throw Fail{StringId::PsdDepth};
        if (width == 0 || height == 0 || width > 300000 || height > 300000) throw Fail{StringId::PsdCorrupt};
        CheckSize(width, height);
        CheckPlausible(width, height, file.size());
        const int w = static_cast<int>(width), h = static_cast<int>(height);
        const uint32_t mode_len = r.U32();
        auto a = NewAnimation(width, height, prefs);

        if (mode == 2) {
            if (mode_len != 768) throw Fail{StringId::PsdCorrupt};
            auto t = r.Take(768);
            std::vector<uint8_t> rgb(768);
            for (int i = 0; i < 256; ++i) {
                rgb[3 * i] = t[i];
                rgb[3 * i + 1] = t[256 + i];
                rgb[3 * i + 2] = t[512 + i];
            }
            r.Skip(r.U32());  // image resources
            r.Skip(r.U32());  // layer and mask information
            auto bmp = FrameBitmap::Create(w, h);
            if (!bmp) throw Fail{StringId::PsdNoMemoryImage};
            ReadPlanes(r, w, h, 1, h * std::max(1, channels),
                       [&](int, int y, const uint8_t* s) { std::copy_n(s, w, bmp->Row(y)); });
            SetBitmap(*a->FrameAt(0), std::move(*bmp));
            SetGlobalPalette(*a, Palette::FromTriples(rgb.data(), 256));
            RecountColorUsage(*a, true);
            return a;
        }

        if (mode_len != 0) throw Fail{StringId::PsdCorrupt};
        r.Skip(r.U32());  // image resources
        const uint32_t lm_len = r.U32();
        const size_t lm_end = r.pos() + lm_len;
        if (lm_len > r.left()) throw Fail{StringId::PsdCorrupt};
        int layer_count = 0;
        size_t layer_info_at = 0;
        if (lm_len >= 6) {
            const uint32_t li_len = r.U32();
            layer_info_at = r.pos();
            if (li_len >= 2) layer_count = std::abs(static_cast<int>(r.I16()));
        }
        PsdLayerChoice choice;
        if (layer_count >= 2) {
            const uint32_t flags = prefs.Get(PreferenceBlock::kProgramFlags);
            PsdLayerChoice preset;
            if (flags & kPsdFlagLayersAsFrames)
                preset.mode = (flags & kPsdFlagBlendComposite) ? PsdLayerChoice::Mode::BlendWithComposite
                                                               : PsdLayerChoice::Mode::BlendWithBackground;
            preset.keepBackground = flags & kPsdFlagKeepBackground;
            auto answer = host.AskPsdLayers(preset);
            if (!answer) throw Cancelled{};
            choice = *answer;
            prefs.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagLayersAsFrames,
                          choice.mode != PsdLayerChoice::Mode::Composite);
            prefs.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagBlendComposite,
                          choice.mode == PsdLayerChoice::Mode::BlendWithComposite);
            prefs.SetBits(PreferenceBlock::kProgramFlags, kPsdFlagKeepBackground, choice.keepBackground);
        }

        if (choice.mode == PsdLayerChoice::Mode::Composite) {
            r.Seek(lm_end);
            Frame& f = *a->FrameAt(0);
            const size_t stride = PlaneStride(w);
            f.trueColor.assign(stride * h, 0);
            if (mode == 3 && channels < 3) throw Fail{StringId::PsdCorrupt};
            const int read = (channels < 2 || mode == 1) ? 1 : 3;
            ReadPlanes(r, w, h, read, h * std::max(channels, 1), [&](int c, int y, const uint8_t* s) {
                uint8_t* d = f.trueColor.data() + stride * y;
                for (int x = 0; x < w; ++x) {
                    if (read == 1) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
                    else d[3 * x + 2 - c] = s[x];
                }
            });
            return a;
        }

        // Layers as frames.
        a->blocks.clear();
        r.Seek(layer_info_at + 2);
        progress.SetText(StringId::PsdLayerInfo);
        progress.SetRange(layer_count);
        std::vector<Layer> layers(static_cast<size_t>(layer_count));
        int32_t bl = 10000, bt = 10000, br = -10000, bb = -10000;
        for (Layer& L : layers) {
            L.top = r.I32(), L.left = r.I32(), L.bottom = r.I32(), L.right = r.I32();
            // Coordinates far outside any canvas are damage (and would
            // overflow the arithmetic below).
            for (int32_t v : {L.top, L.left, L.bottom, L.right})
                if (v < -(1 << 21) || v > (1 << 21)) throw Fail{StringId::PsdCorrupt};
            const int nch = r.U16();
            if (nch > 56) throw Fail{StringId::PsdCorrupt};
            for (int c = 0; c < nch; ++c) {
                const int16_t id = r.I16();
                L.channels.push_back({id, r.U32()});
            }
            auto sig = r.Take(4);
            if (!std::equal(sig.begin(), sig.end(), "8BIM")) throw Fail{StringId::PsdCorrupt};
            r.Skip(8);
            r.Skip(r.U32());
            if (L.w() < 0 || L.h() < 0) throw Fail{StringId::PsdCorrupt};
            CheckSize(L.w(), L.h());
            CheckPlausible(L.w(), L.h(), file.size());
            bl = std::min(bl, L.left), bt = std::min(bt, L.top);
            br = std::max(br, L.right), bb = std::max(bb, L.bottom);
            if (!progress.Step()) throw Cancelled{};
        }
        const int bw = br - bl, bh = bb - bt;
        CheckSize(bw, bh);
        CheckPlausible(bw, bh, file.size());
        // Blending with the background makes every frame as large as the
        // bounding box.
        if (choice.mode == PsdLayerChoice::Mode::BlendWithBackground &&
            uint64_t(bw) * uint64_t(bh) * layers.size() > kMaxPixels)
            throw Fail{StringId::PsdNoMemoryImage};
        progress.SetText(StringId::PsdLayerData);
        progress.SetRange(layer_count);
        const bool with_composite = choice.mode == PsdLayerChoice::Mode::BlendWithComposite;
        std::vector<uint8_t> composite;
        if (with_composite) composite.assign(PlaneStride(bw) * bh, 0);
        const size_t cstride = PlaneStride(std::max(bw, 0));
        Frame* background = nullptr;
        for (const Layer& L : layers) {
            const int lw = L.w(), lh = L.h();
            // Where the layer's pixels go within the frame.
            const int fw = with_composite ? lw : bw, fh = with_composite ? lh : bh;
            const int ox = with_composite ? 0 : L.left - bl, oy = with_composite ? 0 : L.top - bt;
            auto f = NewFrame(fw, fh, prefs);
            f->left = with_composite ? L.left - bl : 0;
            f->top = with_composite ? L.top - bt : 0;
            const size_t stride = PlaneStride(fw);
            // Outside its own rectangle a layer shows the background layer.
            if (!with_composite && background) f->trueColor = background->trueColor;
            else f->trueColor.assign(stride * fh, 0);
            bool has_alpha = false;
            for (const auto& channel : L.channels) {
                const int16_t id = channel.first;
                const uint32_t len = channel.second;
                const size_t start = r.pos();
                if (len > r.left()) throw Fail{StringId::PsdCorrupt};
                if ((id >= 0 && id <= 2) || id == -1) {
                    if (id == -1 && f->transparencyPlane.empty()) {
                        f->transparencyPlane.assign(MaskStride(fw) * fh, 0);
                        has_alpha = true;
                    }
                    if (len >= 2 && lw > 0 && lh > 0)
                        ReadPlanes(r, lw, lh, 1, lh, [&](int, int y, const uint8_t* s) {
                            uint8_t* d = id == -1 ? f->transparencyPlane.data() + MaskStride(fw) * (oy + y)
                                                  : f->trueColor.data() + stride * (oy + y);
                            for (int x = 0; x < lw; ++x) {
                                if (id == -1) d[ox + x] = s[x];
                                else if (mode == 1) d[3 * (ox + x)] = d[3 * (ox + x) + 1] = d[3 * (ox + x) + 2] = s[x];
                                else d[3 * (ox + x) + 2 - id] = s[x];
                            }
                        });
                }
                r.Seek(start);
                r.Skip(len);
            }
            if (!with_composite) {
                if (!background) {
                    background = f.get();
                } else {
                    // Lay the layer's own rectangle over the background.
                    for (int y = oy; y < oy + lh; ++y)
                        for (int x = ox; x < ox + lw; ++x) {
                            // A layer without a transparency channel is opaque.
                            const int al = has_alpha ? f->transparencyPlane[MaskStride(fw) * y + x] : 255;
                            for (int c = 0; c < 3; ++c) {
                                uint8_t& d = f->trueColor[stride * y + 3 * x + c];
                                const int bg = background->trueColor[stride * y + 3 * x + c];
                                d = static_cast<uint8_t>(std::min(255, (bg * (255 - al) + d * al) / 255));
                            }
                        }
                    f->transparencyPlane.clear();
                }
                a->blocks.push_back(std::move(f));
            } else {
                if (lw == 0 || lh == 0) continue;
                const int cx = L.left - bl, cy = L.top - bt;
                for (int y = 0; y < lh; ++y)
                    for (int x = 0; x < lw; ++x) {
                        const int al = has_alpha ? f->transparencyPlane[MaskStride(fw) * y + x] : 255;
                        for (int c = 0; c < 3; ++c) {
                            uint8_t& d = f->trueColor[stride * y + 3 * x + c];
                            uint8_t& cd = composite[cstride * (cy + y) + 3 * (cx + x) + c];
                            if (has_alpha) d = static_cast<uint8_t>(std::min(255, (cd * (255 - al) + d * al) / 255));
                            cd = d;
                        }
                    }
                a->blocks.push_back(std::move(f));
            }
            if (!progress.Step()) throw Cancelled{};
        }
        if (!with_composite && !choice.keepBackground && !a->blocks.empty()) a->blocks.erase(a->blocks.begin());
        // Canvas coordinates, then clip to the canvas.
        std::vector<std::unique_ptr<Block>> kept;
        for (auto& b : a->blocks) {
            Frame& f = *AsFrame(b.get());
            f.left += bl;
            f.top += bt;
            const int64_t x0 = std::max<int64_t>(0, f.left), y0 = std::max<int64_t>(0, f.top);
            const int64_t x1 = std::min<int64_t>(w, int64_t{f.left} + f.width);
            const int64_t y1 = std::min<int64_t>(h, int64_t{f.top} + f.height);
            if (x1 <= x0 || y1 <= y0) continue;
            if (x0 != f.left || y0 != f.top || x1 - x0 != f.width || y1 - y0 != f.height) {
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
            }
            kept.push_back(std::move(b));
        }
        a->blocks = std::move(kept);
        if (a->blocks.empty()) throw Fail{StringId::PsdCorrupt};
        return a;
    } catch (const Fail& f) {
        host.Error(std::string(LoadString(f.id)));
    } catch (const Cancelled&) {
    } catch (const std::bad_alloc&) {
        host.Error(std::string(LoadString(StringId::PsdNoMemoryImage)));
    }
    return nullptr;
}

std::unique_ptr<Animation> ImportPsdFile(const std::string& path, UiHost& host,
                                         ProgressReporter& progress, PreferenceBlock& prefs) {
    std::vector<uint8_t> bytes;
    // The signature is looked at before the rest of the file is read.
    const HeaderCheck check = [](std::span<const uint8_t> b) {
        return b.size() >= 4 && b[0] == '8' && b[1] == 'B' && b[2] == 'P' && b[3] == 'S';
    };
    if (const FileRead r = ReadFileChecked(path, bytes, 4, check); r != FileRead::Ok) {
        TellFileReadFailure(host, r, path);
        return nullptr;
    }
    return ImportPsd(bytes, host, progress, prefs);
}

}  // namespace cinemill
