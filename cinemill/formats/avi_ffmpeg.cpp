// The FFmpeg side of AVI: decoding codecs our own reader does not handle,
// and encoding with the encoders the user may pick.
#include <algorithm>
#include <cerrno>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}


#include <dlfcn.h>

// FFmpeg's libraries are loaded when a codec of theirs is first needed, not
// when the program starts: they pull in well over a hundred shared objects,
// which would otherwise be mapped and initialised by every run of the
// command line, whatever file it handles.
#define CM_FFMPEG_FUNCTIONS(X) \
    X(av_codec_is_encoder) \
    X(av_codec_iterate) \
    X(av_find_best_stream) \
    X(av_frame_alloc) \
    X(av_frame_free) \
    X(av_frame_get_buffer) \
    X(av_frame_make_writable) \
    X(av_guess_format) \
    X(av_interleaved_write_frame) \
    X(av_log_set_level) \
    X(av_packet_alloc) \
    X(av_packet_free) \
    X(av_packet_rescale_ts) \
    X(av_packet_unref) \
    X(av_read_frame) \
    X(av_write_trailer) \
    X(avcodec_alloc_context3) \
    X(avcodec_find_best_pix_fmt_of_list) \
    X(avcodec_find_encoder_by_name) \
    X(avcodec_free_context) \
    X(avcodec_open2) \
    X(avcodec_parameters_from_context) \
    X(avcodec_parameters_to_context) \
    X(avcodec_receive_frame) \
    X(avcodec_receive_packet) \
    X(avcodec_send_frame) \
    X(avcodec_send_packet) \
    X(avformat_alloc_output_context2) \
    X(avformat_close_input) \
    X(avformat_find_stream_info) \
    X(avformat_free_context) \
    X(avformat_new_stream) \
    X(avformat_open_input) \
    X(avformat_query_codec) \
    X(avformat_write_header) \
    X(avio_closep) \
    X(avio_open) \
    X(sws_freeContext) \
    X(sws_getCachedContext) \
    X(sws_getContext) \
    X(sws_scale)

namespace cinemill {
namespace {

struct FfmpegApi {
#define CM_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    CM_FFMPEG_FUNCTIONS(CM_FFMPEG_POINTER)
#undef CM_FFMPEG_POINTER
};

FfmpegApi g_ffmpeg;

#define CM_STR2(x) #x
#define CM_STR(x) CM_STR2(x)

// True once every function is found; tried once per process.
bool FfmpegLoaded() {
    static const bool loaded = [] {
        const char* names[] = {
            "libavutil.so." CM_STR(LIBAVUTIL_VERSION_MAJOR),
            "libswscale.so." CM_STR(LIBSWSCALE_VERSION_MAJOR),
            "libavcodec.so." CM_STR(LIBAVCODEC_VERSION_MAJOR),
            "libavformat.so." CM_STR(LIBAVFORMAT_VERSION_MAJOR),
        };
        void* handles[4] = {};
        for (int i = 0; i < 4; ++i) {
            handles[i] = dlopen(names[i], RTLD_NOW | RTLD_LOCAL);
            if (!handles[i]) return false;
        }
        auto find = [&](const char* name) -> void* {
            for (void* h : handles)
                if (void* f = dlsym(h, name)) return f;
            return nullptr;
        };
        bool all = true;
#define CM_FFMPEG_LOAD(name)                                                       \
    g_ffmpeg.name = reinterpret_cast<decltype(g_ffmpeg.name)>(find(#name)); \
    all = all && g_ffmpeg.name != nullptr;
        CM_FFMPEG_FUNCTIONS(CM_FFMPEG_LOAD)
#undef CM_FFMPEG_LOAD
        return all;
    }();
    return loaded;
}

}  // namespace
}  // namespace cinemill

// From here on the FFmpeg calls go through the loaded table.
#define av_codec_is_encoder (::cinemill::g_ffmpeg.av_codec_is_encoder)
#define av_codec_iterate (::cinemill::g_ffmpeg.av_codec_iterate)
#define av_find_best_stream (::cinemill::g_ffmpeg.av_find_best_stream)
#define av_frame_alloc (::cinemill::g_ffmpeg.av_frame_alloc)
#define av_frame_free (::cinemill::g_ffmpeg.av_frame_free)
#define av_frame_get_buffer (::cinemill::g_ffmpeg.av_frame_get_buffer)
#define av_frame_make_writable (::cinemill::g_ffmpeg.av_frame_make_writable)
#define av_guess_format (::cinemill::g_ffmpeg.av_guess_format)
#define av_interleaved_write_frame (::cinemill::g_ffmpeg.av_interleaved_write_frame)
#define av_log_set_level (::cinemill::g_ffmpeg.av_log_set_level)
#define av_packet_alloc (::cinemill::g_ffmpeg.av_packet_alloc)
#define av_packet_free (::cinemill::g_ffmpeg.av_packet_free)
#define av_packet_rescale_ts (::cinemill::g_ffmpeg.av_packet_rescale_ts)
#define av_packet_unref (::cinemill::g_ffmpeg.av_packet_unref)
#define av_read_frame (::cinemill::g_ffmpeg.av_read_frame)
#define av_write_trailer (::cinemill::g_ffmpeg.av_write_trailer)
#define avcodec_alloc_context3 (::cinemill::g_ffmpeg.avcodec_alloc_context3)
#define avcodec_find_best_pix_fmt_of_list (::cinemill::g_ffmpeg.avcodec_find_best_pix_fmt_of_list)
#define avcodec_find_encoder_by_name (::cinemill::g_ffmpeg.avcodec_find_encoder_by_name)
#define avcodec_free_context (::cinemill::g_ffmpeg.avcodec_free_context)
#define avcodec_open2 (::cinemill::g_ffmpeg.avcodec_open2)
#define avcodec_parameters_from_context (::cinemill::g_ffmpeg.avcodec_parameters_from_context)
#define avcodec_parameters_to_context (::cinemill::g_ffmpeg.avcodec_parameters_to_context)
#define avcodec_receive_frame (::cinemill::g_ffmpeg.avcodec_receive_frame)
#define avcodec_receive_packet (::cinemill::g_ffmpeg.avcodec_receive_packet)
#define avcodec_send_frame (::cinemill::g_ffmpeg.avcodec_send_frame)
#define avcodec_send_packet (::cinemill::g_ffmpeg.avcodec_send_packet)
#define avformat_alloc_output_context2 (::cinemill::g_ffmpeg.avformat_alloc_output_context2)
#define avformat_close_input (::cinemill::g_ffmpeg.avformat_close_input)
#define avformat_find_stream_info (::cinemill::g_ffmpeg.avformat_find_stream_info)
#define avformat_free_context (::cinemill::g_ffmpeg.avformat_free_context)
#define avformat_new_stream (::cinemill::g_ffmpeg.avformat_new_stream)
#define avformat_open_input (::cinemill::g_ffmpeg.avformat_open_input)
#define avformat_query_codec (::cinemill::g_ffmpeg.avformat_query_codec)
#define avformat_write_header (::cinemill::g_ffmpeg.avformat_write_header)
#define avio_closep (::cinemill::g_ffmpeg.avio_closep)
#define avio_open (::cinemill::g_ffmpeg.avio_open)
#define sws_freeContext (::cinemill::g_ffmpeg.sws_freeContext)
#define sws_getCachedContext (::cinemill::g_ffmpeg.sws_getCachedContext)
#define sws_getContext (::cinemill::g_ffmpeg.sws_getContext)
#define sws_scale (::cinemill::g_ffmpeg.sws_scale)

#include "cinemill/base/preferences.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/tell.h"
#include "cinemill/formats/avi_internal.h"

namespace cinemill {
namespace {

struct FormatInput {
    AVFormatContext* ctx = nullptr;
    ~FormatInput() {
        if (ctx) avformat_close_input(&ctx);
    }
};
struct CodecContext {
    AVCodecContext* ctx = nullptr;
    ~CodecContext() {
        if (ctx) avcodec_free_context(&ctx);
    }
};
struct FrameHolder {
    AVFrame* f = av_frame_alloc();
    ~FrameHolder() { av_frame_free(&f); }
};
struct PacketHolder {
    AVPacket* p = av_packet_alloc();
    ~PacketHolder() { av_packet_free(&p); }
};
struct Scaler {
    SwsContext* s = nullptr;
    ~Scaler() { sws_freeContext(s); }
};

void Quiet() { av_log_set_level(AV_LOG_QUIET); }

constexpr uint64_t kMemoryBudget = uint64_t{1} << 30;

}  // namespace

ReadOutcome ImportAviWithFfmpeg(const std::string& path, UiHost& host,
                                ProgressReporter& progress, const PreferenceBlock& prefs) {
    if (!FfmpegLoaded()) {
        // Without FFmpeg only the codecs of our own reader can be read.
        host.Error(FormatString(StringId::AviNoVideoStream, path));
        return {};
    }
    Quiet();
    FormatInput in;
    if (avformat_open_input(&in.ctx, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(in.ctx, nullptr) < 0) {
        host.Error(FormatString(StringId::AviNoVideoStream, path));
        return {};
    }
    const AVCodec* dec = nullptr;
    const int si = av_find_best_stream(in.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, &dec, 0);
    if (si < 0) {
        if (si == AVERROR_DECODER_NOT_FOUND) Tell(host, StringId::AviNoDecompressor);
        else host.Error(FormatString(StringId::AviNoVideoStream, path));
        return {};
    }
    AVStream* st = in.ctx->streams[si];
    CodecContext cc;
    cc.ctx = avcodec_alloc_context3(dec);
    if (!cc.ctx || avcodec_parameters_to_context(cc.ctx, st->codecpar) < 0 ||
        avcodec_open2(cc.ctx, dec, nullptr) < 0) {
        Tell(host, StringId::AviNoDecompressor);
        return {};
    }
    const int width = st->codecpar->width, height = st->codecpar->height;
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > (uint64_t{1} << 26)) {
        Tell(host, StringId::AviBadFormat);
        return {};
    }
    auto a = NewAnimation();
    a->width = static_cast<uint32_t>(width);
    a->height = static_cast<uint32_t>(height);
    a->playCount = prefs.DefaultLoop();
    progress.SetText(StringId::AviReading);
    progress.SetRange(st->nb_frames > 0 ? st->nb_frames : 0);

    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<int64_t> pts;
    FrameHolder frame;
    PacketHolder pkt;
    Scaler sc;
    uint64_t budget = 0;
    bool stopped = false, failed = false;
    auto take = [&]() -> bool {
        for (;;) {
            const int r = avcodec_receive_frame(cc.ctx, frame.f);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return false;
            budget += stride * size_t(height);
            if (budget > kMemoryBudget) {
                Tell(host, StringId::AviNoMemoryData);
                failed = true;
                return false;
            }
            sc.s = sws_getCachedContext(sc.s, frame.f->width, frame.f->height,
                                        static_cast<AVPixelFormat>(frame.f->format), width, height,
                                        AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
            if (!sc.s) return false;
            auto f = NewFrame(width, height, prefs);
            f->trueColor.assign(stride * size_t(height), 0);
            uint8_t* dst[4] = {f->trueColor.data(), nullptr, nullptr, nullptr};
            int dst_stride[4] = {static_cast<int>(stride), 0, 0, 0};
            sws_scale(sc.s, frame.f->data, frame.f->linesize, 0, frame.f->height, dst, dst_stride);
            int64_t t = frame.f->best_effort_timestamp;
            if (t == AV_NOPTS_VALUE) t = pts.empty() ? 0 : pts.back() + 1;
            pts.push_back(t);
            a->blocks.push_back(std::move(f));
            if (!progress.Step()) {
                stopped = true;
                return false;
            }
        }
    };
    try {
        while (!stopped && !failed && av_read_frame(in.ctx, pkt.p) >= 0) {
            if (pkt.p->stream_index == si) {
                // A damaged packet is skipped; the decoder goes on with the next.
                (void)avcodec_send_packet(cc.ctx, pkt.p);
                if (!take() && !stopped && !failed) failed = true;
            }
            av_packet_unref(pkt.p);
        }
        if (!stopped && !failed) {
            avcodec_send_packet(cc.ctx, nullptr);
            if (!take() && !stopped) failed = true;
        }
    } catch (const std::bad_alloc&) {
        Tell(host, StringId::AviNoMemoryData);
        return {};
    }
    if (failed) {
        if (budget <= kMemoryBudget) Tell(host, StringId::AviReadError);
        return {};
    }
    if (pts.empty()) {
        Tell(host, StringId::AviReadError);
        return {};
    }
    // Delays from the sample numbers, as for our own reader.
    int64_t end = pts.back() + 1;
    if (st->duration != AV_NOPTS_VALUE && st->start_time != AV_NOPTS_VALUE &&
        st->start_time + st->duration > pts.back())
        end = st->start_time + st->duration;
    const auto frames = a->Frames();
    for (size_t i = 0; i < frames.size(); ++i) {
        const int64_t next = i + 1 < pts.size() ? pts[i + 1] : end;
        const int64_t d = std::max<int64_t>(0, next - pts[i]);
        const int64_t delay = st->time_base.den > 0 ? d * 100 * st->time_base.num / st->time_base.den : 0;
        SetDelay(*frames[i], static_cast<uint32_t>(std::clamp<int64_t>(delay, 0, 0xFFFF)));
    }
    return {stopped ? Result::Stopped : Result::Done, std::move(a)};
}

std::vector<std::string> AviCodecChoices() {
    if (!FfmpegLoaded()) return {};
    Quiet();
    std::vector<std::string> out;
    const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
    if (!avi) return out;
    void* it = nullptr;
    while (const AVCodec* c = av_codec_iterate(&it)) {
        if (!av_codec_is_encoder(c) || c->type != AVMEDIA_TYPE_VIDEO || !c->pix_fmts) continue;
        if (c->capabilities & (AV_CODEC_CAP_EXPERIMENTAL | AV_CODEC_CAP_HARDWARE)) continue;
        if (avformat_query_codec(avi, c->id, FF_COMPLIANCE_NORMAL) != 1) continue;
        out.emplace_back(c->name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

Result EncodeAviWithFfmpeg(const std::string& path, const Animation& a, const std::string& codec,
                           ProgressReporter& progress, int& error) {
    error = 0;
    if (!FfmpegLoaded()) {
        error = AVERROR_ENCODER_NOT_FOUND;
        return Result::Failed;
    }
    Quiet();
    const AVCodec* enc = avcodec_find_encoder_by_name(codec.c_str());
    if (!enc || enc->type != AVMEDIA_TYPE_VIDEO || !enc->pix_fmts) {
        error = AVERROR_ENCODER_NOT_FOUND;
        return Result::Failed;
    }
    std::vector<uint32_t> delays;
    for (const Frame* f : a.Frames()) delays.push_back(f->delay);
    const AviTimeline tl = PlanAviTimeline(delays);
    const int width = static_cast<int>(a.width), height = static_cast<int>(a.height);

    AVFormatContext* oc = nullptr;
    int r = avformat_alloc_output_context2(&oc, nullptr, "avi", path.c_str());
    if (r < 0 || !oc) {
        error = r < 0 ? r : AVERROR(ENOMEM);
        return Result::Failed;
    }
    CodecContext cc;
    Result result = Result::Failed;
    FrameHolder in, out;
    PacketHolder pkt;
    Scaler sc;
    AVStream* st = avformat_new_stream(oc, nullptr);
    auto finish = [&](Result res) {
        if (oc) {
            if (oc->pb) avio_closep(&oc->pb);
            avformat_free_context(oc);
        }
        return res;
    };
    if (!st) {
        error = AVERROR(ENOMEM);
        return finish(Result::Failed);
    }
    cc.ctx = avcodec_alloc_context3(enc);
    if (!cc.ctx) {
        error = AVERROR(ENOMEM);
        return finish(Result::Failed);
    }
    cc.ctx->width = width;
    cc.ctx->height = height;
    cc.ctx->time_base = AVRational{static_cast<int>(tl.unit), 100};
    cc.ctx->framerate = AVRational{100, static_cast<int>(tl.unit)};
    cc.ctx->gop_size = 1000;
    cc.ctx->pix_fmt = avcodec_find_best_pix_fmt_of_list(enc->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) cc.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((r = avcodec_open2(cc.ctx, enc, nullptr)) < 0 ||
        (r = avcodec_parameters_from_context(st->codecpar, cc.ctx)) < 0) {
        error = r;
        return finish(Result::Failed);
    }
    st->time_base = cc.ctx->time_base;
    if ((r = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
        (r = avformat_write_header(oc, nullptr)) < 0) {
        error = r;
        return finish(Result::Failed);
    }
    in.f->format = AV_PIX_FMT_BGR24;
    in.f->width = width;
    in.f->height = height;
    out.f->format = cc.ctx->pix_fmt;
    out.f->width = width;
    out.f->height = height;
    if ((r = av_frame_get_buffer(in.f, 0)) < 0 || (r = av_frame_get_buffer(out.f, 0)) < 0) {
        error = r;
        return finish(Result::Failed);
    }
    sc.s = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, cc.ctx->pix_fmt, SWS_POINT,
                          nullptr, nullptr, nullptr);
    if (!sc.s) {
        error = AVERROR(EINVAL);
        return finish(Result::Failed);
    }
    auto drain = [&]() -> int {
        for (;;) {
            int rr = avcodec_receive_packet(cc.ctx, pkt.p);
            if (rr == AVERROR(EAGAIN) || rr == AVERROR_EOF) return 0;
            if (rr < 0) return rr;
            av_packet_rescale_ts(pkt.p, cc.ctx->time_base, st->time_base);
            pkt.p->stream_index = st->index;
            rr = av_interleaved_write_frame(oc, pkt.p);
            if (rr < 0) return rr;
        }
    };
    const auto frames = a.Frames();
    progress.SetText(StringId::AviCompressing);
    progress.SetRange(static_cast<int64_t>(frames.size()) + 1);
    auto send = [&](const Frame& f, int64_t position) -> int {
        int rr = av_frame_make_writable(in.f);
        if (rr < 0) return rr;
        const Palette* pal = PaletteInEffect(a, f);
        for (int y = 0; y < height; ++y) {
            uint8_t* d = in.f->data[0] + static_cast<ptrdiff_t>(y) * in.f->linesize[0];
            for (int x = 0; x < width; ++x) {
                const int idx = f.bitmap->At(x, y);
                const Rgb c = pal && idx < pal->size() ? (*pal)[idx] : Rgb{};
                d[3 * x] = c.b, d[3 * x + 1] = c.g, d[3 * x + 2] = c.r;
            }
        }
        if ((rr = av_frame_make_writable(out.f)) < 0) return rr;
        sws_scale(sc.s, in.f->data, in.f->linesize, 0, height, out.f->data, out.f->linesize);
        out.f->pts = position;
        if ((rr = avcodec_send_frame(cc.ctx, out.f)) < 0) return rr;
        return drain();
    };
    for (size_t i = 0; i < frames.size(); ++i) {
        if ((r = send(*frames[i], tl.positions[i])) < 0) {
            error = r;
            return finish(Result::Failed);
        }
        if (!progress.Step()) return finish(Result::Stopped);
    }
    if (tl.repeatAt && (r = send(*frames.back(), *tl.repeatAt)) < 0) {
        error = r;
        return finish(Result::Failed);
    }
    avcodec_send_frame(cc.ctx, nullptr);
    if ((r = drain()) < 0 || (r = av_write_trailer(oc)) < 0) {
        error = r;
        return finish(Result::Failed);
    }
    result = Result::Done;
    return finish(result);
}

}  // namespace cinemill
