// cinemill-cli commands on the import and export formats: convert,
// filmstrip, unfilmstrip, html.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/tell.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/filmstrip.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/formats/html_tag.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/formats/psd_import.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill::cli {
namespace {



// Answers the option dialogs from the command line.
class FormatsHost : public RecordingHost {
public:
    FormatsHost() : RecordingHost(true) {}
    std::optional<FilmstripExportOptions> exportOptions;
    std::optional<FilmstripImportOptions> importOptions;
    std::optional<FilmstripExportOptions> AskFilmstripExport(const FilmstripExportOptions& preset,
                                                             int) override {
        return exportOptions ? exportOptions : preset;
    }
    std::optional<FilmstripImportOptions> AskFilmstripImport(const FilmstripImportOptions& p) override {
        return importOptions ? importOptions : p;
    }
};

bool SetPsdLayers(const std::string& v, PreferenceBlock& prefs) {
    uint32_t bits = 0;
    if (v == "composite") bits = 0;
    else if (v == "background") bits = kPsdFlagLayersAsFrames;
    else if (v == "background-keep") bits = kPsdFlagLayersAsFrames | kPsdFlagKeepBackground;
    else if (v == "composite-blend") bits = kPsdFlagLayersAsFrames | kPsdFlagBlendComposite;
    else return false;
    prefs.SetBits(PreferenceBlock::kProgramFlags,
                  kPsdFlagLayersAsFrames | kPsdFlagBlendComposite | kPsdFlagKeepBackground, false);
    prefs.SetBits(PreferenceBlock::kProgramFlags, bits, true);
    return true;
}

// Reads the inputs and joins them as the join command does; null on failure.
std::unique_ptr<Animation> LoadInputs(const std::vector<std::string>& inputs, UiHost& host,
                                      PreferenceBlock& prefs, Result& read_result) {
    SilentProgress progress;
    read_result = Result::Done;
    std::unique_ptr<Animation> doc;
    for (const std::string& in : inputs) {
        ImportOutcome r = ReadImageFile(in, host, progress, prefs);
        if (!r.animation) return nullptr;
        if (r.result != Result::Done) read_result = r.result;
        if (!doc) {
            doc = std::move(r.animation);
            if (MergePalettes(nullptr, *doc, 0, host, progress, prefs) != Result::Done) return nullptr;
        } else if (InsertAnimation(*doc, *r.animation, -1, host, progress, prefs) != Result::Done) {
            return nullptr;
        }
    }
    return doc;
}

int Convert(const Args& args) {
    std::vector<std::string> inputs;
    std::string out;
    PreferenceBlock prefs;
    uint32_t merging = prefs.Get(PreferenceBlock::kPaletteMerging) & ~merge::kAsk;
    AviCompressionChoice compression;
    std::optional<std::pair<int, int>> hotspot;
    const char* usage =
        "convert IN... -o OUT.gif|.avi|.ani [--method M] [--dither] [--colors N] "
        "[--truecolor-colors N] [--compression none|rle8|CODEC] [--hotspot X Y] "
        "[--psd-layers composite|background|background-keep|composite-blend]";
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        const bool has_value = i + 1 < args.rest.size();
        if (a == "-o" && has_value) {
            out = args.rest[++i];
        } else if (const int took = TakeMergeOption(args, i, merging, "convert"); took != 0) {
            if (took < 0) return kExitUsage;
        } else if (a == "--compression" && has_value) {
            const std::string c = args.rest[++i];
            if (c == "none") compression.kind = AviCompressionChoice::Kind::None;
            else if (c == "rle8") compression.kind = AviCompressionChoice::Kind::Rle8;
            else compression = {AviCompressionChoice::Kind::Codec, c};
        } else if (a == "--hotspot" && i + 2 < args.rest.size()) {
            int x = 0, y = 0;
            if (!ParseInt(args.rest[i + 1], x) || !ParseInt(args.rest[i + 2], y) || x < 0 || y < 0)
                return UsageError("convert: --hotspot takes two numbers");
            hotspot = {x, y};
            i += 2;
        } else if (a == "--psd-layers" && has_value) {
            if (!SetPsdLayers(args.rest[++i], prefs))
                return UsageError("convert: unknown --psd-layers " + args.rest[i]);
        } else if (!a.starts_with("-")) {
            inputs.push_back(a);
        } else {
            return UsageError("convert: unexpected argument " + a);
        }
    }
    if (inputs.empty() || out.empty()) return UsageError(usage);
    const std::string ext = LowerExtension(out);
    if (ext != "gif" && ext != "avi" && ext != "ani")
        return UsageError("convert: OUT must end in .gif, .avi or .ani");
    prefs.Set(PreferenceBlock::kPaletteMerging, merging);
    prefs.Set(PreferenceBlock::kFrameSizeConflict, PreferenceBlock::kSizeGrow);

    FormatsHost host;
    Result read_result;
    auto doc = LoadInputs(inputs, host, prefs, read_result);
    if (!doc) return kExitFailed;
    SilentProgress progress;
    Result r;
    if (ext == "gif") return SaveOutput(out, *doc, host, read_result);
    if (ext == "avi") {
        r = WriteAvi(out, *doc, compression, host, progress);
    } else {
        if (hotspot) doc->hotspot = Hotspot{hotspot->first, hotspot->second};
        r = ExportAni(*doc, out, host);
    }
    if (r != Result::Done) return kExitFailed;
    return read_result == Result::Done ? kExitOk : kExitPartial;
}

int Filmstrip(const Args& args) {
    std::string in, out;
    FormatsHost host;
    std::optional<int> per_strip;
    std::optional<bool> vertical;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) out = args.rest[++i];
        else if (a == "--per-strip" && i + 1 < args.rest.size()) {
            int k = 0;
            if (!ParseInt(args.rest[++i], k)) return UsageError("filmstrip: --per-strip takes a number");
            per_strip = k;
        } else if (a == "--vertical") vertical = true;
        else if (a == "--horizontal") vertical = false;
        else if (in.empty() && !a.starts_with("-")) in = a;
        else return UsageError("filmstrip: unexpected argument " + a);
    }
    if (in.empty() || out.empty())
        return UsageError("filmstrip IN -o OUT [--per-strip K] [--vertical|--horizontal]");
    PreferenceBlock prefs;
    Result read_result;
    auto doc = LoadInputs({in}, host, prefs, read_result);
    if (!doc) return kExitFailed;
    FilmstripExportOptions o = DefaultFilmstripExportOptions(*doc);
    if (per_strip) {
        if (*per_strip < 1) {
            Tell(host, StringId::FilmstripZero);
            return kExitFailed;
        }
        o.framesPerStrip = std::min(*per_strip, doc->FrameCount());
    }
    if (vertical) o.vertical = *vertical;
    host.exportOptions = o;
    if (ExportFilmstrip(*doc, out, host, prefs) != Result::Done) return kExitFailed;
    return read_result == Result::Done ? kExitOk : kExitPartial;
}

int Unfilmstrip(const Args& args) {
    std::string in, out;
    FilmstripImportOptions o;
    bool rows = false, cols = false;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) out = args.rest[++i];
        else if ((a == "--rows" || a == "--cols") && i + 1 < args.rest.size()) {
            int n = 0;
            if (!ParseInt(args.rest[++i], n)) return UsageError("unfilmstrip: " + a + " takes a number");
            (a == "--rows" ? o.framesPerColumn : o.framesPerRow) = n;
            (a == "--rows" ? rows : cols) = true;
        } else if (a == "--vertical") o.vertical = true;
        else if (in.empty() && !a.starts_with("-")) in = a;
        else return UsageError("unfilmstrip: unexpected argument " + a);
    }
    if (in.empty() || out.empty() || !rows || !cols)
        return UsageError("unfilmstrip IN -o OUT --rows R --cols C [--vertical]");
    FormatsHost host;
    host.importOptions = o;
    SilentProgress progress;
    PreferenceBlock prefs;
    ReadOutcome r = ImportFilmstrip(in, host, progress, prefs);
    if (!r.animation) return kExitFailed;
    return SaveOutput(out, *r.animation, host, r.result);
}

int Html(const Args& args) {
    std::string in;
    HtmlTagFields fields;
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        const bool has_value = i + 1 < args.rest.size();
        if (a == "--link" && has_value) fields.link = args.rest[++i];
        else if (a == "--alt" && has_value) fields.description = args.rest[++i];
        else if (a == "--border" && has_value) fields.border = args.rest[++i];
        else if (in.empty() && !a.starts_with("--")) in = a;
        else return UsageError("html: unexpected argument " + a);
    }
    if (in.empty()) return UsageError("html IN [--link URL] [--alt TEXT] [--border N]");
    RecordingHost host(true);
    SilentProgress progress;
    PreferenceBlock prefs;
    ImportOutcome r = ReadImageFile(in, host, progress, prefs);
    if (!r.animation) return kExitFailed;
    fields.fileName = HtmlFileNameOf(in);
    std::cout << BuildHtmlTag(fields, r.animation->width, r.animation->height) << "\n";
    return kExitOk;
}

const CommandRegistrar kConvert("convert",
                                "convert IN... -o OUT.gif|.avi|.ani [--method M] [--dither] "
                                "[--colors N] [--truecolor-colors N] [--compression none|rle8|CODEC] "
                                "[--hotspot X Y] [--psd-layers composite|background|background-keep|"
                                "composite-blend]",
                                Convert);
const CommandRegistrar kFilmstrip("filmstrip",
                                  "filmstrip IN -o OUT [--per-strip K] [--vertical|--horizontal]",
                                  Filmstrip);
const CommandRegistrar kUnfilmstrip("unfilmstrip",
                                    "unfilmstrip IN -o OUT --rows R --cols C [--vertical]",
                                    Unfilmstrip);
const CommandRegistrar kHtml("html", "html IN [--link URL] [--alt TEXT] [--border N]", Html);

}  // namespace
}  // namespace cinemill::cli
