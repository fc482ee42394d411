// cinemill-cli commands on the GIF codec: info, frames, render, resave.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill::cli {
namespace {

// Length of the well-formed UTF-8 sequence at s[i] (no overlong forms, no
// surrogates, nothing above U+10FFFF); 0 when the byte does not start one.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (s.size() - i < n) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

// A JSON string literal. Text that is UTF-8 stays as it is; any other byte
// (comments and file names are bytes, often Latin-1) is written as the
// Latin-1 character of that value, so the output is always valid UTF-8.
std::string JsonString(std::string_view s) {
    std::string out = "\"";
    char buf[8];
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            if (const size_t n = Utf8SequenceAt(s, i)) {
                out.append(s.substr(i, n));
                i += n;
            } else {
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
                ++i;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out + "\"";
}

const char* ExtensionKind(BlockKind k) {
    switch (k) {
        case BlockKind::Comment: return "comment";
        case BlockKind::Application: return "application";
        case BlockKind::PlainText: return "plain-text";
        default: return "image";
    }
}

// What info reports of a file that was read.
struct InfoReport {
    const std::string& path;
    const Animation& a;
    int result;                             // the reader's 0, 1 or 2
    uint8_t screenFlags;                    // as read, before the size count
    bool sizeCounted;                       // false with --no-size
    int64_t encodedSize;                    // -1 when not counted or not writable
    const std::vector<std::string>& messages;
};

void PrintJsonMessages(std::ostream& o, const std::vector<std::string>& messages) {
    o << "\"messages\":[";
    for (size_t i = 0; i < messages.size(); ++i) o << (i ? "," : "") << JsonString(messages[i]);
    o << "]";
}

void PrintJsonFailure(std::ostream& o, const std::string& path, const std::vector<std::string>& messages) {
    o << "{\"file\":" << JsonString(path) << ",\"result\":0,";
    PrintJsonMessages(o, messages);
    o << "}\n";
}

void PrintJsonBlock(std::ostream& o, const Block& b, int& index) {
    if (const Frame* f = AsFrame(&b)) {
        o << "{\"kind\":\"frame\",\"index\":" << index++ << ",\"name\":" << JsonString(f->name)
          << ",\"left\":" << f->left << ",\"top\":" << f->top << ",\"width\":" << f->width
          << ",\"height\":" << f->height << ",\"delay\":" << f->delay << ",\"disposal\":" << f->Disposal()
          << ",\"wait_for_input\":" << (f->WaitForInput() ? "true" : "false")
          << ",\"transparent\":" << (f->Transparent() ? "true" : "false")
          << ",\"transparent_index\":" << int(f->transparentIndex)
          << ",\"interlaced\":" << (f->Interlaced() ? "true" : "false")
          << ",\"local_palette\":" << (f->localPalette ? f->localPalette->size() : 0) << "}";
        return;
    }
    const ExtensionBlock* e = AsExtension(&b);
    o << "{\"kind\":\"" << ExtensionKind(e->kind) << "\",\"bytes\":" << e->data.size();
    if (e->kind == BlockKind::Comment) o << ",\"text\":" << JsonString(CommentText(*e));
    o << "}";
}

void PrintJson(std::ostream& o, const InfoReport& r) {
    const Animation& a = r.a;
    const int gp = a.globalPalette ? a.globalPalette->size() : 0;
    o << "{\"file\":" << JsonString(r.path) << ",\"result\":" << r.result << ",\"width\":" << a.width
      << ",\"height\":" << a.height << ",\"color_resolution\":" << ((r.screenFlags >> 4) & 7)
      << ",\"background\":" << int(a.backgroundIndex) << ",\"aspect\":" << int(a.aspect)
      << ",\"play_count\":" << a.playCount << ",\"global_palette\":" << gp
      << ",\"frame_count\":" << a.FrameCount() << ",\"blocks\":[";
    int index = 0;
    for (size_t i = 0; i < a.blocks.size(); ++i) {
        if (i) o << ",";
        PrintJsonBlock(o, *a.blocks[i], index);
    }
    o << "],\"encoded_size\":" << r.encodedSize << ",";
    PrintJsonMessages(o, r.messages);
    o << "}\n";
}

void PrintTextBlock(std::ostream& o, const Block& b, int& index) {
    if (const Frame* f = AsFrame(&b)) {
        o << "frame " << index++ << " \"" << f->name << "\": at " << f->left << "," << f->top << " size "
          << f->width << " x " << f->height << " delay " << f->delay << " disposal " << f->Disposal()
          << " wait " << f->WaitForInput() << " transparency " << (f->Transparent() ? "on" : "off")
          << " index " << int(f->transparentIndex) << " interlaced " << f->Interlaced() << " local palette "
          << (f->localPalette ? f->localPalette->size() : 0) << "\n";
        return;
    }
    const ExtensionBlock* e = AsExtension(&b);
    o << ExtensionKind(e->kind) << " extension: " << e->data.size() << " bytes";
    if (e->kind == BlockKind::Comment) o << " \"" << CommentText(*e) << "\"";
    o << "\n";
}

void PrintText(std::ostream& o, const InfoReport& r) {
    const Animation& a = r.a;
    o << "file: " << r.path << "\n"
      << "result: " << r.result << "\n"
      << "screen: " << a.width << " x " << a.height << "\n"
      << "color resolution: " << ((r.screenFlags >> 4) & 7) << "\n"
      << "background index: " << int(a.backgroundIndex) << "\n"
      << "aspect: " << int(a.aspect) << "\n"
      << "play count: " << a.playCount << "\n"
      << "global palette: " << (a.globalPalette ? a.globalPalette->size() : 0) << "\n"
      << "frames: " << a.FrameCount() << "\n";
    int index = 0;
    for (const auto& b : a.blocks) PrintTextBlock(o, *b, index);
    if (r.sizeCounted) o << "encoded size: " << r.encodedSize << "\n";
    for (const auto& m : r.messages) o << "message: " << m << "\n";
}

int Info(const Args& args) {
    bool json = false, no_size = false;
    std::string path;
    for (const auto& a : args.rest) {
        if (a == "--json") json = true;
        else if (a == "--no-size") no_size = true;
        else if (path.empty() && !a.starts_with("--")) path = a;
        else return UsageError("info: unexpected argument " + a);
    }
    if (path.empty()) return UsageError("info: FILE is missing");
    RecordingHost host(/*echo=*/!json);
    SilentProgress progress;
    // The structure report has no use for the colour usage counts.
    ReadOutcome r = OpenGifFile(path, host, progress, Prefs(), /*count_usage=*/false);
    std::ostringstream o;
    if (!r.animation) {
        if (json) PrintJsonFailure(o, path, host.messages);
        std::cout << o.str();
        return kExitFailed;
    }
    Animation& a = *r.animation;
    // Header values are printed before counting, which may raise the colour resolution.
    const uint8_t flags = a.screenFlags;
    int64_t size = -1;
    if (!no_size) {
        CountingSink sink;
        SilentProgress silent;
        if (WriteGif(sink, a, silent) == Result::Done) size = sink.Total();
    }
    const InfoReport report{path, a, static_cast<int>(r.result), flags, !no_size, size, host.messages};
    if (json) PrintJson(o, report);
    else PrintText(o, report);
    std::cout << o.str();
    return r.result == Result::Done ? kExitOk : kExitPartial;
}

// Writes frame_NNN.pam files; images come from `make` one by one.
template <typename Make>
int WriteImages(const std::string& dir, int count, Make make) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%03d.pam", i);
        const std::string path = (std::filesystem::path(dir) / name).string();
        if (!WritePam(path, make(i))) {
            std::cerr << "cinemill-cli: cannot write " << path << "\n";
            return kExitFailed;
        }
    }
    return kExitOk;
}

int FramesOrRender(const Args& args, bool render) {
    if (args.rest.size() != 2) return UsageError(render ? "render FILE DIR" : "frames FILE DIR");
    RecordingHost host(true);
    auto r = LoadAnimation(args.rest[0], host, /*count_usage=*/false);
    if (!r.animation) return kExitFailed;
    const Animation& a = *r.animation;
    const auto frames = a.Frames();
    int rc;
    if (render) {
        if (!CanvasesFit(a, 2, host)) return kExitFailed;
        Compositor c(a);
        rc = WriteImages(args.rest[1], static_cast<int>(frames.size()),
                         [&](int i) { return c.Draw(*frames[static_cast<size_t>(i)]); });
    } else {
        rc = WriteImages(args.rest[1], static_cast<int>(frames.size()), [&](int i) {
            return FramePixelsRgba(a, *frames[static_cast<size_t>(i)]);
        });
    }
    if (rc != kExitOk) return rc;
    return r.result == Result::Done ? kExitOk : kExitPartial;
}

int Resave(const Args& args) {
    std::string in, out;
    std::optional<std::string> signature;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) out = args.rest[++i];
        else if (a == "--signature" && i + 1 < args.rest.size()) signature = args.rest[++i];
        else if (in.empty() && !a.starts_with("-")) in = a;
        else return UsageError("resave: unexpected argument " + a);
    }
    if (in.empty() || out.empty()) return UsageError("resave IN -o OUT [--signature TEXT]");
    RecordingHost host(true);
    auto r = LoadAnimation(in, host, /*count_usage=*/false);
    if (!r.animation) return kExitFailed;
    if (signature) {
        PreferenceBlock prefs;
        prefs.SetSignature(*signature);
        RefreshSignature(*r.animation, prefs);
    }
    return SaveOutput(out, *r.animation, host, r.result);
}

const CommandRegistrar kInfo("info", "info FILE [--json] [--no-size]", Info);
const CommandRegistrar kFrames("frames", "frames FILE DIR",
                               [](const Args& a) { return FramesOrRender(a, false); });
const CommandRegistrar kRender("render", "render FILE DIR",
                               [](const Args& a) { return FramesOrRender(a, true); });
const CommandRegistrar kResave("resave", "resave IN -o OUT [--signature TEXT]", Resave);

}  // namespace
}  // namespace cinemill::cli
