// The Import From and Export As commands of the engine: the open flow with
// one format's filter, and the three file exports through the save dialog.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <unistd.h>

#include "cinemill/app/engine.h"
#include "cinemill/app/file_flows.h"
#include "cinemill/base/file_io.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/ani.h"
#include "cinemill/formats/avi.h"
#include "cinemill/formats/filmstrip.h"
#include "cinemill/formats/format_common.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill {

using namespace refresh;

namespace {

using Filter = std::vector<std::pair<std::string, std::string>>;

// The single-format list of an Import From item, followed by all files.
Filter ImportFilter(CommandId id) {
    Filter f;
    switch (id) {
        case CommandId::ImportAvi: f = {{"AVI Files (*.avi)", "*.avi"}}; break;
        case CommandId::ImportFilmstrip: f = {{"GIF Filmstrips (*.gif)", "*.gif"}}; break;
        case CommandId::ImportBmp: f = {{"BMP Files (*.bmp,*.dib)", "*.bmp;*.dib"}}; break;
        case CommandId::ImportPsd: f = {{"Photoshop PSD Files (*.psd)", "*.psd"}}; break;
        case CommandId::ImportJpeg: f = {{"JPEG Files (*.jpg)", "*.jpg"}}; break;
        case CommandId::ImportCursor: f = {{"Animated Cursors (*.ani)", "*.ani"}}; break;
        default: return files::OpenFilter();
    }
    f.push_back({"All Files (*.*)", "*.*"});
    return f;
}

bool IsImport(CommandId id) {
    return id == CommandId::ImportAvi || id == CommandId::ImportBmp || id == CommandId::ImportJpeg ||
           id == CommandId::ImportPsd || id == CommandId::ImportCursor;
}

// Removes a temporary file when the export is over, however it ends.
struct TempFile {
    std::string path;
    ~TempFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
};

// A new empty file in the temporary folder for the filmstrip, made before
// the save dialog is shown; empty when none could be made.
std::string MakeScratchGif() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = "/tmp";
    std::string name = dir + "/cinemill-filmstrip-XXXXXX.gif";
    const int fd = mkstemps(name.data(), 4);
    if (fd < 0) return {};
    close(fd);
    return name;
}

}  // namespace

CommandResult Engine::Import(CommandId id, std::vector<std::string> paths) {
    if (!IsImport(id)) return {Result::Failed, 0};
    if (paths.empty()) {
        paths = host_.AskOpenFiles(std::string(LoadString(StringId::OpenTitle)), ImportFilter(id));
        if (paths.empty()) return {Result::Stopped, 0};
    }
    return Open(std::move(paths));
}

CommandResult Engine::ImportFilmstrip(std::optional<std::string> path) {
    if (!CloseDocument(false)) return {Result::Stopped, 0};
    state_.path.clear();
    const uint32_t flags = kNewDocument | kTitle | kModified | kSelection;
    if (!path) {
        auto chosen = host_.AskOpenFiles(std::string(LoadString(StringId::OpenTitle)),
                                         ImportFilter(CommandId::ImportFilmstrip));
        if (chosen.empty()) return {Result::Stopped, flags};
        path = chosen.front();
    }
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    ReadOutcome in = cinemill::ImportFilmstrip(*path, host_, *progress, prefs_);
    progress->End();
    // Refused or cancelled: no document stays open.
    if (!in.animation) return {Result::Failed, flags};
    if (MergePalettes(nullptr, *in.animation, 0, host_, *progress, prefs_) != Result::Done)
        return {Result::Failed, flags};
    SetDocument(std::move(in.animation), {}, true);
    return {Result::Done, flags | kDocument | kFrames | kFrameList | kPaletteState | kTotalTime};
}

CommandResult Engine::ExportAvi(std::optional<std::string> path) {
    if (state_.FrameCount() < 1) return {Result::Failed, 0};
    if (!path)
        path = host_.AskSavePath(std::string(LoadString(StringId::ExportAviTitle)), "*.avi",
                                 files::SuggestedSavePath(state_.path, "avi"));
    if (!path) return {Result::Stopped, 0};
    auto progress = MakeProgress(ProgressMode::DialogPumped);
    const Result r = cinemill::ExportAvi(*path, *state_.doc, host_, *progress);
    progress->End();
    return {r, 0};
}

CommandResult Engine::ExportCursor(std::optional<std::string> path) {
    if (state_.FrameCount() < 1) return {Result::Failed, 0};
    if (!path)
        path = host_.AskSavePath(std::string(LoadString(StringId::ExportCursorTitle)), "*.ani",
                                 files::SuggestedSavePath(state_.path, "ani"));
    if (!path) return {Result::Stopped, 0};
    // Only the hot spot changes, a field the size and usage tasks never read.
    return {ExportAni(*state_.doc, *path, host_), 0};
}

CommandResult Engine::ExportFilmstrip(std::optional<std::string> path) {
    if (state_.FrameCount() < 1) return {Result::Failed, 0};
    TempFile temp{MakeScratchGif()};
    if (temp.path.empty()) {
        host_.Error(FormatString(StringId::SaveTempFailed, "GIF"));
        return {Result::Failed, 0};
    }
    const Result r = cinemill::ExportFilmstrip(*state_.doc, temp.path, host_, prefs_);
    if (r != Result::Done) return {r, 0};
    if (!path) path = host_.AskSavePath(std::string(LoadString(StringId::ExportFilmstripTitle)), "*.gif", "");
    if (!path) return {Result::Stopped, 0};
    if (const WriteProblem p = ReplaceFileWithCopy(temp.path, *path); p != WriteProblem::None) {
        TellWriteProblem(host_, p, *path);
        return {Result::Failed, 0};
    }
    return {Result::Done, 0};
}

}  // namespace cinemill
