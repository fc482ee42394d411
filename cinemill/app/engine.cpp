#include "cinemill/app/engine.h"

#include <algorithm>
#include <new>
#include <utility>

#include "cinemill/app/file_flows.h"
#include "cinemill/app/optimize_dialog.h"
#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/color_reduce.h"
#include "cinemill/imaging/document_ops.h"
#include "cinemill/imaging/geometry.h"
#include "cinemill/imaging/optimize.h"
#include "cinemill/imaging/unoptimize.h"

namespace cinemill {

using namespace refresh;

std::string refresh::Names(uint32_t flags) {
    static const std::pair<uint32_t, const char*> kNames[] = {
        {kDocument, "document"},       {kFrameList, "frame-list"},     {kFrames, "frames"},
        {kSize, "size"},               {kSelector, "selector"},        {kFrameToolbar, "frame-toolbar"},
        {kRepaint, "repaint"},         {kSelection, "selection"},      {kClipboard, "clipboard"},
        {kTitle, "title"},             {kPaletteState, "palette"},     {kTotalTime, "total-time"},
        {kAnimationFields, "animation-fields"}, {kModified, "modified"}, {kNewDocument, "new-document"},
    };
    std::string out;
    auto add = [&](const std::string& w) { out += (out.empty() ? "" : " ") + w; };
    if (flags & kOneFrame) add("frame " + std::to_string(flags >> 16));
    for (const auto& [bit, name] : kNames)
        if (flags & bit) add(name);
    return out.empty() ? "none" : out;
}

Engine::Engine(PreferenceBlock& prefs, UiHost& host, Clipboard& clipboard, ProgressFactory* progress)
    : prefs_(prefs), host_(host), clipboard_(clipboard), progress_(progress), state_(prefs, host) {
    state_.pasteAvailable = clipboard_.HasFrame();
}

Engine::~Engine() { jobs_.StopAndWait(job::kAll); }

std::unique_ptr<ProgressReporter> Engine::MakeProgress(ProgressMode mode) {
    if (progress_) return progress_->Make(mode);
    return std::make_unique<SilentProgress>();
}

// ---- jobs -------------------------------------------------------------------------

void Engine::StopTasks() {
    jobs_.StopAndWait(job::kSize | job::kUsage);
    KeepCountedSize();
    state_.previewOpen = false;
}

void Engine::WaitTasks() {
    jobs_.Wait(job::kSize | job::kUsage);
    KeepCountedSize();
}

// The size is -1 from each restart of the task until that task finishes, and
// every change of the document restarts it, so a size found is the size of
// the document as it is now.
void Engine::KeepCountedSize() {
    const int64_t size = fileSize_.load(std::memory_order_acquire);
    if (state_.doc && state_.doc->cachedSize == -1 && size >= 0) state_.doc->cachedSize = static_cast<int32_t>(size);
}

void Engine::RestartSizeTask(bool invalidate) {
    jobs_.StopAndWait(job::kSize);
    fileSize_.store(-1, std::memory_order_release);
    if (!state_.doc) return;
    if (invalidate) state_.doc->cachedSize = -1;
    Animation* doc = state_.doc.get();
    // The task counts with the preferences as they are now: a command that
    // changes a preference (the strip's orientation, say) need not stop it.
    jobs_.Start(job::kSize, [this, doc, prefs = prefs_] {
        JobProgress progress(jobs_, job::kSize);
        // The task never writes the document (the window may be reading it);
        // the cache is written on the window's thread while no task runs.
        const int32_t cached = doc->cachedSize;
        const int32_t size = cached != -1 ? cached : CountEncodedSize(*doc, progress, prefs);
        if (jobs_.AbortRequested(job::kSize) || size < 0) return;
        fileSize_.store(size, std::memory_order_release);
        if (sizeListener_) sizeListener_(size);
    });
}

void Engine::StartUsageTask() {
    jobs_.StopAndWait(job::kUsage);
    if (!state_.doc) return;
    Animation* doc = state_.doc.get();
    jobs_.Start(job::kUsage, [this, doc] { RecountColorUsage(*doc, true, &jobs_.AbortFlag(job::kUsage)); });
}

// ---- the common pattern ---------------------------------------------------------------

void Engine::SetModified(bool on, uint32_t& flags) {
    if (state_.modified == on) return;
    state_.modified = on;
    flags |= kModified;
}

// After a change of the document: modified, the size unknown (unless the
// change cannot alter the encoded bytes' count: order, delay, disposal),
// and the tasks restarted. The caller has stopped them.
CommandResult Engine::Changed(uint32_t flags, bool usage, bool invalidate) {
    SetModified(true, flags);
    if (state_.selected >= state_.FrameCount()) {
        state_.selected = -1;
        flags |= kSelection;
    }
    RestartSizeTask(invalidate);
    if (usage) StartUsageTask();
    return {Result::Done, flags};
}

CommandResult Engine::NoFrame() {
    host_.Beep();
    return {Result::Failed, 0};
}

void Engine::SelectAfterRemoval(int removed) {
    const int n = state_.FrameCount();
    state_.selected = removed < n ? removed : n - 1;
}

void Engine::SetDocument(std::unique_ptr<Animation> doc, std::string path, bool modified) {
    StopTasks();
    state_.doc = std::move(doc);
    state_.path = std::move(path);
    state_.modified = modified;
    state_.selected = -1;
    state_.zoom = 0;
    if (state_.doc)
        state_.orientation = strip::OrientationForScreen(state_.orientation, state_.doc->width,
                                                         state_.doc->height);
    RestartSizeTask(false);
}

CommandResult Engine::Select(int index) {
    if (index < 0 || index >= state_.FrameCount()) index = -1;
    state_.selected = index;
    return {Result::Done, kSelection};
}

// ---- dispatch ---------------------------------------------------------------------------

CommandResult Engine::Execute(CommandId id) {
    switch (id) {
        case CommandId::Undo: return Undo(false);
        case CommandId::Redo: return Undo(true);
        case CommandId::Copy: return Copy(false);
        case CommandId::Cut: return Copy(true);
        case CommandId::Delete: return Delete();
        case CommandId::Paste: return Paste();
        case CommandId::ReverseOrder: return ReverseOrder();
        case CommandId::Rotate180:
        case CommandId::Rotate90Cw:
        case CommandId::Rotate90Ccw:
        case CommandId::FlipH:
        case CommandId::FlipV: return Rotate(id);
        case CommandId::RotateAll180:
        case CommandId::RotateAll90Cw:
        case CommandId::RotateAll90Ccw:
        case CommandId::RotateAllFlipH:
        case CommandId::RotateAllFlipV: return RotateAll(id);
        case CommandId::Unoptimize: return Unoptimize();
        case CommandId::Optimize: return Optimize(prefs_.Get(PreferenceBlock::kOptimizer));
        case CommandId::ReduceColors: {
            const uint32_t v = prefs_.Get(PreferenceBlock::kColorReduction);
            const int colors = PreferenceBlock::ReductionColors(v);
            return Reduce(colors >= 2 && colors <= 256 ? colors : 256, PreferenceBlock::ReductionDither(v));
        }
        case CommandId::New: return New();
        case CommandId::Revert: return Revert();
        case CommandId::Save: return Save(false);
        case CommandId::SaveAs: return Save(true);
        case CommandId::Open:
        case CommandId::Insert: {
            const std::string title(
                LoadString(id == CommandId::Open ? StringId::OpenTitle : StringId::InsertTitle));
            auto paths = host_.AskOpenFiles(title, files::OpenFilter());
            if (paths.empty()) return {Result::Stopped, 0};
            return id == CommandId::Open ? Open(std::move(paths)) : Insert(std::move(paths));
        }
        // Import From and Export As (engine_transfer.cpp).
        case CommandId::ImportAvi:
        case CommandId::ImportBmp:
        case CommandId::ImportJpeg:
        case CommandId::ImportPsd:
        case CommandId::ImportCursor: return Import(id);
        case CommandId::ImportFilmstrip: return ImportFilmstrip();
        case CommandId::ExportAvi: return ExportAvi();
        case CommandId::ExportFilmstrip: return ExportFilmstrip();
        case CommandId::ExportCursor: return ExportCursor();
        case CommandId::Preview:
            if (state_.FrameCount() < 1) return {Result::Failed, 0};
            state_.previewOpen = true;
            return {Result::Done, kRepaint};
        case CommandId::StopPreview:
            state_.previewOpen = false;
            return {Result::Done, kRepaint};
        default:
            if (Id(id) >= Id(CommandId::RecentFirst) && Id(id) < Id(CommandId::RecentFirst) + files::kMaxRecent)
                return OpenRecent(Id(id) - Id(CommandId::RecentFirst) + 1);
            return SetView(id);
    }
}

CommandResult Engine::SetView(CommandId id) {
    const int n = Id(id);
    if (id == CommandId::ZoomIn || id == CommandId::ZoomOut || id == CommandId::ActualSize ||
        (n >= Id(CommandId::Zoom20) && n <= Id(CommandId::Zoom400))) {
        int level = state_.zoom;
        if (id == CommandId::ZoomIn) ++level;
        else if (id == CommandId::ZoomOut) --level;
        else if (id == CommandId::ActualSize) level = 0;
        else level = n - 40064;
        state_.zoom = strip::ClampZoomLevel(level);
        return {Result::Done, kFrames};
    }
    if (id == CommandId::OrientDefault || id == CommandId::OrientHorizontal ||
        id == CommandId::OrientVertical) {
        state_.orientation = id == CommandId::OrientDefault      ? strip::kChooseDefault
                             : id == CommandId::OrientHorizontal ? strip::kChooseHorizontal
                                                                 : strip::kChooseVertical;
        if (state_.doc)
            state_.orientation = strip::OrientationForScreen(state_.orientation, state_.doc->width,
                                                             state_.doc->height);
        return {Result::Done, kFrames};
    }
    if (n >= Id(CommandId::TransparencyWindow) && n <= Id(CommandId::TransparencyCustom)) {
        state_.transparencyDisplay = n - Id(CommandId::TransparencyWindow);
        return {Result::Done, kRepaint};
    }
    return {Result::Done, 0};
}

// ---- history ------------------------------------------------------------------------------

CommandResult Engine::Undo(bool redo) {
    if (!state_.doc || !(redo ? state_.history.CanRedo() : state_.history.CanUndo())) return {Result::Failed, 0};
    StopTasks();
    uint32_t flags = state_.history.Step(*state_.doc, redo);
    if (flags & kDocument) {
        // The whole document may have changed: the size is recomputed only
        // when the step says the old one is stale, else the kept one stands.
        if ((flags & kFrameList) && state_.selected >= state_.FrameCount()) {
            state_.selected = -1;
            flags |= kSelection;
        }
        flags |= kPaletteState | kTotalTime | kAnimationFields;
    } else if (flags & kOneFrame) {
        flags |= kTotalTime;
    }
    const bool stale = (flags & kSize) != 0;
    return Changed(flags, stale, stale);
}

// ---- frame list ---------------------------------------------------------------------------

CommandResult Engine::Copy(bool cut) {
    const Frame* f = state_.SelectedFrame();
    if (!f) return NoFrame();
    std::vector<uint8_t> record, dib;
    // The size task's counting run rewrites the screen flags that the
    // clipboard record holds: it must not run while the record is built.
    const bool sizing = jobs_.IsRunning(job::kSize) != 0;
    if (sizing) jobs_.StopAndWait(job::kSize);
    try {
        record = BuildFrameClip(*state_.doc, *f);
        dib = BuildPackedDib(*state_.doc, *f);
    } catch (const std::bad_alloc&) {
        record.clear();
    }
    if (sizing && !cut) RestartSizeTask(false);
    if (record.empty() || dib.empty() || !clipboard_.Put(std::move(record), std::move(dib))) {
        Tell(host_, StringId::CopyNoMemory);
        return {Result::Failed, 0};
    }
    state_.pasteAvailable = true;
    if (!cut) return {Result::Done, kClipboard};
    CommandResult r = Delete();
    r.refresh |= kClipboard;
    return r;
}

CommandResult Engine::Delete() {
    if (!state_.SelectedFrame()) return NoFrame();
    StopTasks();
    const int index = state_.selected;
    state_.history.RecordFrame(UndoKind::DeleteFrame, RemoveFrame(*state_.doc, index), index);
    SelectAfterRemoval(index);
    return Changed(kDocument | kFrameList | kSize | kSelection | kTotalTime, true);
}

CommandResult Engine::Paste() {
    const auto record = clipboard_.FrameRecord();
    const auto dib = clipboard_.PackedDib();
    jobs_.Wait(job::kUsage);
    StopTasks();
    const int target = state_.selected >= 0 ? state_.selected : state_.FrameCount();
    auto pending = state_.history.Begin(UndoKind::Paste, state_.doc.get(), target);
    const bool hadDocument = state_.doc != nullptr;
    std::optional<std::span<const uint8_t>> recordSpan, dibSpan;
    if (record) recordSpan = std::span<const uint8_t>(*record);
    if (dib) dibSpan = std::span<const uint8_t>(*dib);
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    const Result r = PasteFrame(state_.doc, state_.selected, recordSpan, dibSpan, host_, *progress, prefs_);
    if (r != Result::Done) {
        RestartSizeTask(false);
        return {r, 0};
    }
    if (pending) state_.history.Commit(std::move(pending), *state_.doc);
    state_.selected = hadDocument ? target : 0;
    return Changed(kDocument | kFrames | kFrameList | kSize | kSelection | kPaletteState | kTotalTime |
                   (hadDocument ? 0 : kNewDocument | kTitle));
}

CommandResult Engine::MoveFrame(int from, int insertion) {
    if (!state_.doc || from < 0 || from >= state_.FrameCount() || insertion < 0 ||
        insertion > state_.FrameCount())
        return {Result::Failed, 0};
    const auto move = strip::DropMove(from, insertion);
    if (!move) return {Result::Done, 0};
    StopTasks();
    state_.history.Record(UndoKind::FrameMove, static_cast<int32_t>(move->UndoData()));
    state_.selected = cinemill::MoveFrame(*state_.doc, from, insertion);
    return Changed(kDocument | kSelector | kSelection, false, false);
}

CommandResult Engine::ReverseOrder() {
    if (!state_.doc) return {Result::Failed, 0};
    StopTasks();
    if (!cinemill::ReverseOrder(*state_.doc)) {
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    state_.history.Record(UndoKind::Reorder, 0);
    return Changed(kDocument | kSelector, false, false);
}

// ---- one frame -----------------------------------------------------------------------------

CommandResult Engine::Rotate(CommandId id) {
    Frame* f = state_.SelectedFrame();
    if (!f) return NoFrame();
    const int index = state_.selected;
    state_.history.RecordRotation(UndoKind::RotateFrame, *state_.doc, (index << 16) | Id(id));
    const UndoRecord* rec = state_.history.Current();
    StopTasks();
    const RotateResult r = RotateFrame(*state_.doc, *f, *RotateOpOf(Id(id)));
    if (r == RotateResult::Failed) {
        state_.history.MarkAsNop(rec);
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    if (r == RotateResult::ScreenGrew) return Changed(kDocument | kFrames | kSize);
    return Changed((static_cast<uint32_t>(index) << 16) | kOneFrame | kSize);
}

CommandResult Engine::RotateAll(CommandId id) {
    if (!state_.doc) return {Result::Failed, 0};
    StopTasks();
    state_.history.RecordRotation(UndoKind::RotateAll, *state_.doc, Id(id));
    RotateAllFrames(*state_.doc, *RotateOpOf(Id(id)));
    return Changed(kDocument | kFrames | kSize);
}

CommandResult Engine::SetDelay(long long typed) {
    Frame* f = state_.SelectedFrame();
    if (!f) return {Result::Failed, 0};
    if (typed < 0 || typed > 65535) {
        host_.Message(std::string(LoadString(StringId::DelayRange)),
                      std::string(LoadString(StringId::DelayCaption)));
        typed = 65535;
    }
    if (f->delay == static_cast<uint32_t>(typed)) return {Result::Done, 0};
    StopTasks();
    cinemill::SetDelay(*f, static_cast<uint32_t>(typed));
    return Changed(kTotalTime, false, false);
}

CommandResult Engine::SetDisposal(int method) {
    Frame* f = state_.SelectedFrame();
    if (!f || method < kDisposeKeep || method > kDisposePrevious) return {Result::Failed, 0};
    StopTasks();
    cinemill::SetDisposal(*f, method);
    return Changed((static_cast<uint32_t>(state_.selected) << 16) | kOneFrame | kFrameToolbar, false, false);
}

CommandResult Engine::SetTransparency(std::optional<int> index) {
    Frame* f = state_.SelectedFrame();
    if (!f || (index && (*index < 0 || *index > 255))) return {Result::Failed, 0};
    if (!index && !f->Transparent()) return {Result::Done, 0};
    if (index && f->Transparent() && f->transparentIndex == *index) return {Result::Done, 0};
    StopTasks();
    const int sel = state_.selected;
    state_.history.RecordTransparency(*f, sel, index ? 1 : 0);
    if (index) SetTransparentIndex(*f, static_cast<uint8_t>(*index));
    SetTransparent(*f, index.has_value());
    return Changed((static_cast<uint32_t>(sel) << 16) | kOneFrame | kFrameToolbar | kSize);
}

CommandResult Engine::SetInterlace(bool on) {
    Frame* f = state_.SelectedFrame();
    if (!f) return {Result::Failed, 0};
    StopTasks();
    SetInterlaced(*f, on);
    return Changed((static_cast<uint32_t>(state_.selected) << 16) | kOneFrame | kFrameToolbar | kSize);
}

CommandResult Engine::SetPlayCount(long long typed) {
    if (!state_.doc) return {Result::Failed, 0};
    if (typed < 0 || typed > 65536) {
        host_.Message(std::string(LoadString(StringId::IterationsRangeToolbar)),
                      std::string(LoadString(StringId::IterationsCaption)));
        typed = 0;
    }
    if (state_.doc->playCount == static_cast<uint32_t>(typed)) return {Result::Done, 0};
    StopTasks();
    state_.doc->playCount = static_cast<uint32_t>(typed);
    return Changed(kAnimationFields | kSize);
}

// ---- whole document ----------------------------------------------------------------------------

CommandResult Engine::OnCopy(UndoKind kind, uint32_t flags, const std::function<Result(Animation&)>& op) {
    if (!state_.doc) return {Result::Failed, 0};
    jobs_.Wait(job::kUsage);
    StopTasks();
    std::unique_ptr<Animation> work;
    try {
        work = CopyAnimation(*state_.doc);
    } catch (const std::bad_alloc&) {
        Tell(host_, StringId::CopyNoMemory);
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    const Result r = op(*work);
    if (r != Result::Done) {
        RestartSizeTask(false);
        return {r, 0};
    }
    if (work->FrameCount() != state_.doc->FrameCount()) flags |= kFrameList | kSelector;
    std::swap(*state_.doc, *work);
    state_.history.RecordSnapshot(kind, std::move(work));
    return Changed(flags | kDocument | kSize | kPaletteState | kTotalTime, true);
}

CommandResult Engine::Optimize(uint32_t flags) {
    if (!state_.doc) return {Result::Failed, 0};
    bool hasLocal = false;
    for (const Frame* f : std::as_const(*state_.doc).Frames()) hasLocal = hasLocal || f->localPalette;
    const uint32_t effective = EffectiveOptimizeFlags(flags, hasLocal);
    return OnCopy(UndoKind::Optimize, 0, [&](Animation& a) {
        auto progress = MakeProgress(ProgressMode::DialogPumped);
        const Result r = cinemill::Optimize(a, effective, host_, *progress, prefs_);
        // A stop asked for during the run is a stop, whatever the run answered.
        return progress->StopRequested() ? Result::Stopped : r;
    });
}

CommandResult Engine::Reduce(int colors, bool dither) {
    if (state_.FrameCount() < 1 || colors < 2 || colors > 256) return {Result::Failed, 0};
    return OnCopy(UndoKind::ReducePalette, 0, [&](Animation& a) {
        auto progress = MakeProgress(ProgressMode::DialogPumped);
        const Result r = ReduceAnimation(a, colors, dither, *progress, host_);
        return progress->StopRequested() ? Result::Stopped : r;
    });
}

CommandResult Engine::Unoptimize() {
    if (!state_.doc) return {Result::Failed, 0};
    StopTasks();
    const bool recorded = state_.history.RecordDocumentCopy(UndoKind::Unoptimize, *state_.doc);
    const UndoRecord* rec = recorded ? state_.history.Current() : nullptr;
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    const Result r = cinemill::Unoptimize(*state_.doc, host_, *progress);
    if (r != Result::Done) {
        state_.history.MarkAsNop(rec);
        RestartSizeTask(false);
        return {r, 0};
    }
    return Changed(kDocument | kSize);
}

CommandResult Engine::Resize(int width, int height, ResizeMethod method) {
    if (!state_.doc || width < 1 || height < 1 || width > 65535 || height > 65535) return {Result::Failed, 0};
    StopTasks();
    const bool recorded = state_.history.RecordDocumentCopy(UndoKind::Scale, *state_.doc);
    const UndoRecord* rec = recorded ? state_.history.Current() : nullptr;
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    const Result r = ResizeAnimation(*state_.doc, width, height, method, host_, *progress, prefs_);
    if (r != Result::Done) {
        state_.history.MarkAsNop(rec);
        RestartSizeTask(false);
        return {r, 0};
    }
    return Changed(kDocument | kFrames | kSize | kPaletteState);
}

CommandResult Engine::Crop(const Rect& rect) {
    if (!state_.doc || !CropRectValid(*state_.doc, rect)) return {Result::Failed, 0};
    StopTasks();
    const bool recorded = state_.history.RecordDocumentCopy(UndoKind::CropAnimation, *state_.doc);
    const UndoRecord* rec = recorded ? state_.history.Current() : nullptr;
    if (!CropAnimation(*state_.doc, rect)) {
        state_.history.MarkAsNop(rec);
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    return Changed(kDocument | kFrames | kSize);
}

CommandResult Engine::AddComment(const std::string& text) {
    if (!state_.doc) return {Result::Failed, 0};
    if (text.size() > 254) {
        host_.Message(std::string(LoadString(StringId::CommentTooLong)),
                      std::string(LoadString(StringId::CommentTooLongCaption)));
        return {Result::Failed, 0};
    }
    StopTasks();
    auto& blocks = state_.doc->blocks;
    size_t at = 0;
    for (size_t i = 0; i < blocks.size(); ++i)
        if (blocks[i]->kind == BlockKind::Comment) at = i + 1;
    blocks.insert(blocks.begin() + static_cast<ptrdiff_t>(at), NewComment(text));
    return Changed(kSize);
}

}  // namespace cinemill
