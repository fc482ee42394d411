#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cinemill/app/app_state.h"
#include "cinemill/app/command_id.h"
#include "cinemill/app/job_control.h"
#include "cinemill/base/result.h"
#include "cinemill/imaging/resize.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// What the views must refresh after a command. The low byte has the meanings
// of the undo step flags (`undo_flags`): 0x01 document-level change, with
// 0x02 the frame list and 0x04 the frames changed, 0x08 encoded size and
// colour usage stale, 0x10 rebuild the frame selector, 0x20 only the frame
// at flags >> 16 changed, 0x40 with 0x20 reload the frame tool bar when that
// frame is selected, 0x80 repaint. The bits above add what the shell does
// beside the view.
namespace refresh {
using namespace undo_flags;
constexpr uint32_t kSelection = 0x100;        // the selection moved: pane 0, frame tool bar
constexpr uint32_t kClipboard = 0x200;        // the clipboard changed: the Paste button
constexpr uint32_t kTitle = 0x400;            // the title or the recent files changed
constexpr uint32_t kPaletteState = 0x800;     // Edit Global Palette may change
constexpr uint32_t kTotalTime = 0x1000;       // the total-time pane
constexpr uint32_t kAnimationFields = 0x2000; // the frame tool bar's animation fields
constexpr uint32_t kModified = 0x4000;        // the modified flag changed (the Save button)
constexpr uint32_t kNewDocument = 0x8000;     // a document was set or closed: everything
constexpr uint32_t kLowMask = 0xFFFF;
// The names of the set bits, separated by spaces ("document frame-list
// size"; "frame 3" for the one-frame form); "none" for 0.
std::string Names(uint32_t flags);
}  // namespace refresh

// Outcome of one command: Done, Failed (the user has been told) or Stopped
// (cancelled by a question or the user), and what to refresh.
struct CommandResult {
    Result result = Result::Done;
    uint32_t refresh = 0;
    bool Ok() const { return result == Result::Done; }
};

// The system clipboard as the editor uses it: a packed DIB beside the
// "Cinemill Frame (v2)" record, both as exact bytes.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Puts both formats (emptying the clipboard first); false when it could not.
    virtual bool Put(std::vector<uint8_t> frame_record, std::vector<uint8_t> packed_dib) = 0;
    virtual std::optional<std::vector<uint8_t>> FrameRecord() const = 0;
    virtual std::optional<std::vector<uint8_t>> PackedDib() const = 0;
    bool HasFrame() const { return FrameRecord() || PackedDib(); }
};

// A clipboard in memory: the command line's and the tests'.
class MemoryClipboard : public Clipboard {
public:
    std::optional<std::vector<uint8_t>> record, dib;
    bool Put(std::vector<uint8_t> r, std::vector<uint8_t> d) override {
        record = std::move(r);
        dib = std::move(d);
        return true;
    }
    std::optional<std::vector<uint8_t>> FrameRecord() const override { return record; }
    std::optional<std::vector<uint8_t>> PackedDib() const override { return dib; }
};

// The editor engine: owns the AppState and carries out the commands. Every
// command that changes the document stops the background jobs and closes the
// preview, records its undo step, changes the document, marks it modified
// and its encoded size unknown, answers the refresh flags and restarts the
// jobs. Questions and messages go through the UiHost. User-interface thread
// only; the size and usage tasks run on their own threads and are stopped
// before every change.
class Engine {
public:
    Engine(PreferenceBlock& prefs, UiHost& host, Clipboard& clipboard,
           ProgressFactory* progress = nullptr);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const AppState& State() const { return state_; }
    const Animation* Doc() const { return state_.doc.get(); }
    JobControl& Jobs() { return jobs_; }
    PreferenceBlock& Prefs() { return prefs_; }
    const PreferenceBlock& Prefs() const { return prefs_; }
    UiHost& Host() { return host_; }

    // ---- commands -------------------------------------------------------------
    // The commands of the command table that take no parameters (Undo, Redo,
    // Copy, Cut, Paste, Delete, Reverse Order, the Rotate and Rotate All
    // items, Unoptimize, Optimize and Reduce Colors with the preferences'
    // settings, New, Revert, Save, Save As, Insert and Open through the
    // dialogs, Preview and Stop Preview, zoom, orientation, transparency
    // display). Other ids do nothing (Done, no refresh).
    CommandResult Execute(CommandId id);

    // Selects frame `index` (-1 = none; out of range is taken as -1).
    CommandResult Select(int index);
    // Drag reorder: the frame `from` dropped before position `insertion`
    // (0..frame count); undo kind 1. The moved frame stays selected.
    CommandResult MoveFrame(int from, int insertion);
    // The frame tool bar's delay edit with the typed value: outside 0..65535
    // the warning, and 65535 is taken. Not recorded for undo.
    CommandResult SetDelay(long long typed);
    // Disposal buttons: 1 Leave Alone, 2 Restore Background, 3 Restore Previous.
    CommandResult SetDisposal(int method);
    // Transparency of the selected frame: an index switches it on with that
    // index, none switches it off (undo kind 13 in its simple form).
    CommandResult SetTransparency(std::optional<int> index);
    CommandResult SetInterlace(bool on);
    // The play-count edit: outside 0..65536 the warning, and 0 is taken.
    CommandResult SetPlayCount(long long typed);
    // Resize, Crop (left, top, right, bottom on the screen), Reduce Colors and
    // Optimize with the values their dialogs chose.
    CommandResult Resize(int width, int height, ResizeMethod method);
    CommandResult Crop(const Rect& r);
    CommandResult Reduce(int colors, bool dither);
    CommandResult Optimize(uint32_t flags);
    // A GIF comment added as the comments dialog adds one with no entry
    // selected: after the last comment block, else first. Longer than 254
    // characters: the "Comment Too Long" message and nothing changes.
    CommandResult AddComment(const std::string& text);

    // ---- file flows -------------------------------------------------------------
    // The save question, then closing: false when the user cancelled (or the
    // save failed). `clear_name` (New) also forgets the path.
    bool CloseDocument(bool clear_name);
    // New: closes the document (save question); untitled.
    CommandResult New();
    // Open with the given paths (the dialog's answer, or one path from the
    // command line or a recent entry): closes the document first. Several
    // files are sorted case-insensitively, at most 300 are read, reading
    // stops at the first failure.
    CommandResult Open(std::vector<std::string> paths);
    // Insert: the same files read into the current document at the selection.
    CommandResult Insert(std::vector<std::string> paths);
    // Revert to Saved: the OK/Cancel question, then the file is read again.
    CommandResult Revert();
    // Save (and Save As, or Save of an untitled document): the clip check,
    // the save dialog (or `path` when given), the signature, a temporary file
    // copied over the target; afterwards not modified and the history empty.
    CommandResult Save(bool save_as, std::optional<std::string> path = std::nullopt);
    // Files dropped on the strip view onto frame `frame_under_point` (-1
    // when none): each is inserted there in turn; after a failure the
    // continue question (unless it was the last file).
    CommandResult Drop(const std::vector<std::string>& paths, int frame_under_point);
    // "NAME - Cinemill" or "Untitled - Cinemill".
    std::string Title() const;

    // ---- background jobs ----------------------------------------------------------
    // Aborts the size and usage tasks, waits for them, closes the preview.
    void StopTasks();
    // Waits for both tasks to end on their own (tests, the size pane).
    void WaitTasks();
    // Stops a running size task, shows "Calculating...", forgets the cached
    // size when asked, and starts the task again (nothing without a document).
    void RestartSizeTask(bool invalidate);
    // Recounts the colour usage on a worker thread.
    void StartUsageTask();
    // The encoded size the last size task found; -1 while it runs or when
    // there is no document.
    int64_t FileSize() const { return fileSize_.load(std::memory_order_acquire); }
    // Called on the size task's thread with the size it found (the GUI posts
    // it to its own thread to write pane 3).
    void SetSizeListener(std::function<void(int64_t)> f) { sizeListener_ = std::move(f); }

    // Makes `doc` the document (as after a read), selection -1, zoom 0.
    void SetDocument(std::unique_ptr<Animation> doc, std::string path, bool modified);

private:
    CommandResult Changed(uint32_t refresh, bool usage = false, bool invalidate = true);
    CommandResult NoFrame();
    CommandResult Undo(bool redo);
    CommandResult Copy(bool cut);
    CommandResult Delete();
    CommandResult Paste();
    CommandResult ReverseOrder();
    CommandResult Rotate(CommandId id);
    CommandResult RotateAll(CommandId id);
    CommandResult Unoptimize();
    CommandResult SetView(CommandId id);
    void SetModified(bool on, uint32_t& refresh);
    void SelectAfterRemoval(int removed);
    // Runs `op` on a copy of the document and on Done exchanges it with the
    // document, recording the old one as `kind`.
    CommandResult OnCopy(UndoKind kind, uint32_t refresh,
                         const std::function<Result(Animation&)>& op);
    std::unique_ptr<ProgressReporter> MakeProgress(ProgressMode mode);

    // File flows (file_flows.cpp).
    bool ReadOneFile(const std::string& path, bool take_name, int at);
    int ReadFiles(std::vector<std::string> paths, bool take_name);
    void NameDocument(const std::string& path);

    PreferenceBlock& prefs_;
    UiHost& host_;
    Clipboard& clipboard_;
    ProgressFactory* progress_;
    AppState state_;
    JobControl jobs_;
    std::atomic<int64_t> fileSize_{-1};
    std::function<void(int64_t)> sizeListener_;
};

}  // namespace cinemill
