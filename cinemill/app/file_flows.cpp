#include "cinemill/app/file_flows.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "cinemill/app/engine.h"
#include "cinemill/app/settings_store.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/formats/open_file.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill {
namespace files {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::vector<std::string> ShiftRecentFiles(std::vector<std::string> recent, const std::string& path) {
    const auto match = std::find(recent.begin(), recent.end(), path);
    if (match != recent.end()) recent.erase(match);
    recent.insert(recent.begin(), path);
    if (recent.size() > kMaxRecent) recent.resize(kMaxRecent);
    return recent;
}

std::vector<std::string> RecentMenuTexts(const std::vector<std::string>& recent) {
    std::vector<std::string> out;
    for (size_t i = 0; i < recent.size() && i < kMaxRecent; ++i)
        out.push_back("&" + std::to_string(i + 1) + ": " + recent[i]);
    return out;
}

std::string FileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string TitleFor(const std::string& path) {
    const std::string name = path.empty() ? std::string(LoadString(StringId::Untitled)) : FileNamePart(path);
    return name + " - " + std::string(LoadString(StringId::ProgramName));
}

std::vector<std::string> OrderForOpening(std::vector<std::string> paths, bool& too_many) {
    too_many = paths.size() > kMaxOpenFiles;
    // The first 300 the dialog returned are read, in sorted order.
    if (too_many) paths.resize(kMaxOpenFiles);
    std::stable_sort(paths.begin(), paths.end(),
                     [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return paths;
}

std::string SaveQuestion(const std::string& path) {
    if (path.empty()) return std::string(LoadString(StringId::SaveChangesUntitled));
    return FormatString(StringId::SaveChangesTo, path);
}

std::string SuggestedSavePath(const std::string& path, const std::string& ext) {
    if (path.empty()) return {};
    const size_t nameStart = path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return path + "." + ext;
    if (Lower(path.substr(dot + 1)) == Lower(ext)) return path;
    return path.substr(0, dot + 1) + ext;
}

std::vector<std::pair<std::string, std::string>> OpenFilter() {
    return {{"All Supported Formats", "*.gif;*.avi;*.bmp;*.dib;*.jpg;*.ani;*.psd"},
            {"GIF Files (*.gif)", "*.gif"},
            {"AVI Files (*.avi)", "*.avi"},
            {"BMP Files (*.bmp,*.dib)", "*.bmp;*.dib"},
            {"JPEG Files (*.jpg)", "*.jpg"},
            {"Photoshop PSD Files (*.psd)", "*.psd"},
            {"Animated Cursors (*.ani)", "*.ani"},
            {"All Files (*.*)", "*.*"}};
}

}  // namespace files

using namespace refresh;

std::string Engine::Title() const { return files::TitleFor(state_.path); }

void Engine::SetSettingsStore(SettingsStore* store) {
    settings_ = store;
    if (settings_) state_.recent = ReadRecentFiles(*settings_);
}

void Engine::NameDocument(const std::string& path) {
    state_.path = path;
    auto shifted = files::ShiftRecentFiles(std::move(state_.recent), path);
    if (settings_) {
        PushRecentFile(*settings_, path);
        auto stored = ReadRecentFiles(*settings_);
        // A key that could not be written keeps its old list: the menu
        // shows the shifted one all the same.
        if (!stored.empty() && stored.front() == path) shifted = std::move(stored);
    }
    state_.recent = std::move(shifted);
}

CommandResult Engine::OpenRecent(int n) {
    // An entry the list does not have opens nothing and says nothing.
    if (n < 1 || n > static_cast<int>(state_.recent.size())) return {Result::Done, 0};
    const std::string path = state_.recent[static_cast<size_t>(n - 1)];
    return Open({path});
}

bool Engine::CloseDocument(bool clear_name) {
    if (state_.doc && state_.modified) {
        const Answer a = host_.AskYesNoCancel(files::SaveQuestion(state_.path),
                                              std::string(LoadString(StringId::ProgramName)));
        if (a == Answer::Cancel) return false;
        if (a == Answer::Yes && !Save(false).Ok()) return false;
    }
    StopTasks();
    state_.doc.reset();
    state_.selected = -1;
    state_.history.Clear();
    state_.modified = false;
    fileSize_.store(-1, std::memory_order_release);
    if (clear_name) state_.path.clear();
    return true;
}

CommandResult Engine::New() {
    if (!CloseDocument(true)) return {Result::Stopped, 0};
    return {Result::Done, kNewDocument | kTitle | kModified | kSelection};
}

// Reads one file into the document (inserting before frame `at`, -1 =
// append) or makes it the document.
bool Engine::ReadOneFile(const std::string& path, bool take_name, int at) {
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    ImportOutcome in = ReadImageFile(path, host_, *progress, prefs_);
    progress->End();
    if (!in.animation) return false;
    if (state_.doc) {
        StopTasks();
        const Result r = InsertAnimation(*state_.doc, *in.animation, at, host_, *progress, prefs_);
        return r == Result::Done;
    }
    if (MergePalettes(nullptr, *in.animation, 0, host_, *progress, prefs_) != Result::Done) return false;
    RecountColorUsage(*in.animation, true);
    const bool named = take_name && in.native;
    SetDocument(std::move(in.animation), {}, !named);
    if (named) NameDocument(path);
    return true;
}

// Reads several files in case-insensitive order into the document; stops
// at the first that fails. Answers how many were read.
int Engine::ReadFiles(std::vector<std::string> paths, bool take_name) {
    bool tooMany = false;
    paths = files::OrderForOpening(std::move(paths), tooMany);
    if (tooMany) host_.Error(FormatString(StringId::TooManyFiles, "", files::kMaxOpenFiles));
    int read = 0;
    for (const std::string& p : paths) {
        if (!ReadOneFile(p, take_name, state_.selected)) break;
        ++read;
        // Keeps the sorted order when the files go in before a selected frame.
        if (state_.selected >= 0) ++state_.selected;
    }
    return read;
}

CommandResult Engine::Open(std::vector<std::string> paths) {
    if (!CloseDocument(false)) return {Result::Stopped, 0};
    state_.path.clear();
    const int read = ReadFiles(std::move(paths), true);
    uint32_t flags = kNewDocument | kTitle | kModified | kSelection;
    if (read > 1) {
        state_.path.clear();
        state_.modified = true;
        flags |= kDocument | kFrames | kFrameList | kPaletteState;
        RestartSizeTask(true);
    } else if (read == 0) {
        state_.path.clear();
    }
    return {read > 0 ? Result::Done : Result::Failed, flags};
}

CommandResult Engine::Insert(std::vector<std::string> paths) {
    const bool hadDocument = state_.doc != nullptr;
    const int target = state_.selected >= 0 ? state_.selected : state_.FrameCount();
    // The snapshot reads the whole document: no task may run meanwhile.
    StopTasks();
    auto pending = state_.history.Begin(UndoKind::InsertFrames, state_.doc.get(), target);
    const int read = ReadFiles(std::move(paths), false);
    if (read == 0) {
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    if (pending) state_.history.Commit(std::move(pending), *state_.doc);
    if (hadDocument) state_.selected = target;
    return Changed(kDocument | kFrames | kFrameList | kSize | kSelection | kPaletteState | kTotalTime |
                   (hadDocument ? 0 : kNewDocument | kTitle));
}

CommandResult Engine::Revert() {
    if (!state_.doc || !state_.modified || state_.path.empty()) return {Result::Failed, 0};
    if (!host_.AskOkCancel(std::string(LoadString(StringId::RevertQuestion)),
                           std::string(LoadString(StringId::RevertCaption))))
        return {Result::Stopped, 0};
    state_.modified = false;
    const std::string path = state_.path;
    return Open({path});
}

CommandResult Engine::Save(bool save_as, std::optional<std::string> path) {
    if (!state_.doc) return {Result::Done, 0};
    StopTasks();
    Animation& doc = *state_.doc;
    if (!ClipCheck(doc, host_, prefs_)) {
        RestartSizeTask(true);
        return {Result::Stopped, kDocument | kFrames};
    }
    std::string target = state_.path;
    bool chosen = false;
    if (save_as || target.empty() || path) {
        if (!path)
            path = host_.AskSavePath(std::string(LoadString(StringId::SaveAsTitle)), "*.gif",
                                     files::SuggestedSavePath(state_.path, "gif"));
        if (!path) {
            RestartSizeTask(false);
            return {Result::Stopped, 0};
        }
        target = *path;
        chosen = true;
    }
    if (state_.modified) RefreshSignature(doc, prefs_);
    auto progress = MakeProgress(ProgressMode::DialogPumped);
    const Result r = SaveGif(target, doc, host_, *progress);
    if (r != Result::Done) {
        RestartSizeTask(true);
        return {r, 0};
    }
    uint32_t flags = 0;
    SetModified(false, flags);
    if (chosen) {
        NameDocument(target);
        flags |= kTitle;
    }
    state_.history.Clear();
    RestartSizeTask(true);
    return {Result::Done, flags};
}

CommandResult Engine::Drop(const std::vector<std::string>& paths, int frame_under_point) {
    if (paths.empty()) return {Result::Done, 0};
    state_.selected = frame_under_point >= 0 && frame_under_point < state_.FrameCount() ? frame_under_point : -1;
    const bool takeName = paths.size() == 1 && !state_.doc;
    int read = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (ReadOneFile(paths[i], takeName, state_.selected)) {
            ++read;
            continue;
        }
        if (i + 1 < paths.size() &&
            !host_.AskYesNo(std::string(LoadString(StringId::ContinueReading)),
                            std::string(LoadString(StringId::FileOpenErrorCaption))))
            break;
    }
    if (read == 0) {
        RestartSizeTask(false);
        return {Result::Failed, kSelection};
    }
    if (takeName) return {Result::Done, kNewDocument | kTitle | kSelection};
    return Changed(kDocument | kFrames | kFrameList | kSize | kSelection | kPaletteState | kTotalTime | kTitle);
}

}  // namespace cinemill
