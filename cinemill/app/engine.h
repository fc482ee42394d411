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
#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/app/job_control.h"
#include "cinemill/app/transparency_choice.h"
#include "cinemill/base/result.h"
#include "cinemill/imaging/resize.h"

namespace cinemill {

class PreferenceBlock;
class SettingsStore;
class UiHost;
struct FramePageFields;
struct GlobalFramePageFields;
struct AnimationPageFields;

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

    // ---- properties sheet and GIF comments ------------------------------------------
    // The Frame page written to frame `index`: one undo step, "Edit
    // Transparency" when only the transparency changed, else "Frame
    // Properties" (a copy of the frame, or of the document when its local
    // palette is removed). No step and no change when the page changes
    // nothing. The page's transparency record is updated as the page's
    // apply rule says.
    CommandResult ApplyFramePage(int index, FramePageFields& page);
    // The Global Frame page written to every frame: one step, "Edit All
    // Transparency" when only the transparency changed, else "Global Frame
    // Properties" (a copy of the document).
    CommandResult ApplyGlobalFramePage(GlobalFramePageFields& page);
    // The Animation page: play count, logical screen, background index, as
    // one "Global Frame Properties" step keeping those header values.
    CommandResult ApplyAnimationPage(const AnimationPageFields& page);
    // The refresh flags that the sheet's change flags stand for; `index` is
    // the frame the Frame page edited.
    static uint32_t RefreshForSheetFlags(uint8_t sheet_flags, int index);

    // The comments dialog's list: one entry per comment block, in block order.
    std::vector<std::string> CommentEntries() const;
    // The full text of entry `entry` (empty when there is none).
    std::string CommentTextAt(int entry) const;
    // Add... with `selected` the selected entry (-1 none): the new comment
    // goes where the dialog's rule puts it; `*new_entry` gets its list
    // position. Edit... replaces the text of `entry`; Remove takes it out.
    // Each is one "Edit GIF Comments" step; a text longer than 254
    // characters gets the "Comment Too Long" message and changes nothing.
    CommandResult InsertComment(int selected, const std::string& text, int* new_entry = nullptr);
    CommandResult EditComment(int entry, const std::string& text);
    CommandResult RemoveComment(int entry);
    // The signature preference changed: the document counts as modified, so
    // that the next save writes the signature comment anew.
    CommandResult SignatureChanged();

    // ---- image-operation dialogs ------------------------------------------------------
    // OK of Move/Crop Frame for the selected frame with the dialog's state
    // (limits applied again): one "Crop/Move Frame" step holding the frame as
    // it was. Nothing changed: Done without a step and without refresh.
    CommandResult MoveCropFrame(const MoveCropState& s);
    // OK of Reduce Frame Count: deletes the frames at n-1, 2n-1, ... as one
    // "Reduce Frame Count" step. An interval outside 2..frame count shows the
    // "Invalid Deletion Interval" message and changes nothing (Failed).
    CommandResult ReduceFrameCount(int n);
    // OK of Reduce Colors with the dialog's preview: `reduced` is a deep copy
    // of the document reduced with `colors` and `dither`; it becomes the
    // document as one "Reduce Palette" step, and slot 8 keeps the values.
    CommandResult AcceptReduced(std::unique_ptr<Animation> reduced, int colors, bool dither);
    // OK of Optimize with the experiment's copy (optimized from the document
    // with `flags`): slot 5 keeps the flags; a copy whose encoded size equals
    // the document's changes nothing (Stopped); otherwise it becomes the
    // document as one "Optimize Animation" step.
    CommandResult AcceptOptimized(std::unique_ptr<Animation> optimized, uint32_t flags);

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
    // The settings key that keeps the recent files ("File1" to "File7"):
    // the list is read from it now, and every path that becomes the
    // document's name is pushed into it and the list read back. Without a
    // store (or when it cannot be written) the list lives in memory only.
    void SetSettingsStore(SettingsStore* store);
    // Opens recent entry `n` (1 = newest, the File menu's first entry, command
    // id 40150), as Open does. An entry the list does not have does nothing.
    CommandResult OpenRecent(int n);

    // ---- background jobs ----------------------------------------------------------
    // Aborts the size and usage tasks, waits for them, closes the preview.
    // A size the task finished is kept in the document's cache.
    void StopTasks();
    // Waits for both tasks to end on their own (tests, the size pane), and
    // keeps the size found as StopTasks does.
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

    // ---- main window ----------------------------------------------------------------------
    // The recent files as the settings hold them (newest first; more than
    // seven are cut), for the File menu's entries.
    void SetRecentFiles(std::vector<std::string> recent);
    // Reads the clipboard again (the window was activated): answers
    // kClipboard when Paste became available or unavailable.
    CommandResult RefreshPasteAvailable();
    // A View > Download Time item: stores its speed in the preferences and
    // answers the size pane's refresh; items without a speed do nothing.
    CommandResult SetDownloadSpeed(int command_id);

    // ---- frame strip view ----
    // The view settings the preferences keep: the transparency display from
    // slot 7 (mode in the top byte; a mode above 2 is taken as 0) and the
    // orientation choice from the program flags (0x10 vertical, 0x20
    // horizontal). Called once at start-up.
    void LoadStripSettings();
    // Transparency As: mode 0 window background, 1 colour in frame, 2 the
    // custom colour `rgb` (0x00BBGGRR, red in the low byte; the stored one
    // when none is given). Stored in slot 7; the view repaints.
    CommandResult SetTransparencyDisplay(int mode, std::optional<uint32_t> rgb = std::nullopt);
    // The stored custom colour of the transparency display (0x00BBGGRR).
    uint32_t TransparencyCustomColor() const;
    // Default, Horizontal Strips, Vertical Strips: as Execute, and the choice
    // is stored in the program flags (their other bits unchanged).
    CommandResult SetOrientationChoice(CommandId id);

    // ---- import, export and palette dialogs (engine_transfer.cpp, engine_palette.cpp) ----
    // Import From (ImportAvi, ImportBmp, ImportJpeg, ImportPsd, ImportCursor):
    // the open flow with the format's filter; `paths` skips the dialog. The
    // chosen files replace the document after the save question (Insert is
    // the command that brings such files in at the selection).
    CommandResult Import(CommandId id, std::vector<std::string> paths = {});
    // Import From > GIF Filmstrip: the save question, the file, the grid
    // question; the cells become an untitled, modified document, so a Save
    // never writes the frames over the filmstrip file.
    CommandResult ImportFilmstrip(std::optional<std::string> path = std::nullopt);
    // Export As: the save dialog (or `path`), the format's option questions,
    // the file written whole or not at all. The document and its modified
    // flag stay (the cursor export keeps the hot spot the user chose).
    CommandResult ExportAvi(std::optional<std::string> path = std::nullopt);
    CommandResult ExportCursor(std::optional<std::string> path = std::nullopt);
    // The filmstrip is written first; the save dialog (or `path`) follows
    // only when that worked.
    CommandResult ExportFilmstrip(std::optional<std::string> path = std::nullopt);
    // Edit Palette's OK: the 256 edited colours for the local palette of
    // frame `frame` or, with -1, the global palette; one "Edit Palette"
    // step. Failed when that palette does not exist.
    CommandResult EditPalette(int frame, const std::vector<Rgb>& entries);
    // The frame tool bar's Local Palette button unchecked: the selected
    // frame's local palette goes (its colours mapped into the global one)
    // as one "Remove Local Palette" step. Failed without a local palette.
    CommandResult RemoveSelectedLocalPalette();
    // Pick Transparency Index's OK on the selected frame: one "Edit
    // Transparency" step when the frame changes, nothing otherwise.
    CommandResult ApplyTransparencyChoice(const TransparencyChoice& choice);

private:
    // Writes the size the last task finished into the document's cache; on
    // the window's thread, with no task running.
    void KeepCountedSize();
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
    SettingsStore* settings_ = nullptr;
    AppState state_;
    JobControl jobs_;
    std::atomic<int64_t> fileSize_{-1};
    std::function<void(int64_t)> sizeListener_;
};

}  // namespace cinemill
