// The engine's side of the Properties sheet and of the GIF Comments dialog:
// each page's apply and each comment change is one undo step.
#include <new>

#include "cinemill/app/comments.h"
#include "cinemill/app/engine.h"
#include "cinemill/app/property_pages.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {

using namespace refresh;

namespace {

// Positions in the block list of the comment blocks, in block order.
std::vector<size_t> CommentPositions(const Animation& a) {
    std::vector<size_t> out;
    for (size_t i = 0; i < a.blocks.size(); ++i)
        if (a.blocks[i]->kind == BlockKind::Comment) out.push_back(i);
    return out;
}

// A page's writes must not record steps of their own when the engine records
// the page as one step: they go to a history that keeps nothing.
struct QuietHistory {
    explicit QuietHistory(UiHost& host) : history(NoLevels(), host) {}
    static const PreferenceBlock& NoLevels() {
        static const PreferenceBlock none = [] {
            PreferenceBlock p;
            p.Set(PreferenceBlock::kUndoLevels, 0);
            return p;
        }();
        return none;
    }
    UndoHistory history;
};

}  // namespace

uint32_t Engine::RefreshForSheetFlags(uint8_t sheet_flags, int index) {
    const SheetRefresh r = RefreshForChangeFlags(sheet_flags);
    uint32_t out = 0;
    if (r.framesChanged) out |= kDocument | kFrames;
    else if (r.redrawAll) out |= kDocument;
    else if (r.redrawSelected) out |= (static_cast<uint32_t>(index) << 16) | kOneFrame | kFrameToolbar;
    if (r.reloadAnimationFields) out |= kAnimationFields;
    if (r.rewriteTotalTime) out |= kTotalTime;
    if (r.rewriteSelectorEntry) out |= kSelector;
    if (r.paletteStateRestart) out |= kSize;
    if (sheet_flags & sheet_flags::kGlobalPalette) out |= kPaletteState;
    return out;
}

// ---- property pages ---------------------------------------------------------------------------

CommandResult Engine::ApplyFramePage(int index, FramePageFields& page) {
    Frame* f = state_.doc ? state_.doc->FrameAt(index) : nullptr;
    if (!f) return {Result::Failed, 0};
    const bool others = FramePageChangesBesidesTransparency(*f, page);
    if (!others && !FramePageChangesTransparency(*f, page)) return {Result::Done, 0};
    jobs_.Wait(job::kUsage);
    StopTasks();
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    uint8_t flags = 0;
    if (!others) {
        // Only the transparency: the page's own "Edit Transparency" step.
        PageContext ctx{*state_.doc, state_.history, host_, *progress, prefs_};
        flags = cinemill::ApplyFramePage(ctx, index, page);
    } else {
        // Removing the local palette may change the global palette and every
        // frame, so the step keeps the document; otherwise the frame.
        const bool removal = page.localPaletteEnabled && !page.localPaletteChecked && f->localPalette;
        const bool keep = prefs_.Get(PreferenceBlock::kUndoLevels) > 0;
        std::unique_ptr<Animation> docBefore;
        std::unique_ptr<Frame> frameBefore;
        try {
            if (keep && removal) docBefore = CopyAnimation(*state_.doc);
            else if (keep) frameBefore = std::make_unique<Frame>(*f);
        } catch (const std::bad_alloc&) {
            docBefore.reset();
            frameBefore.reset();
        }
        QuietHistory quiet(host_);
        PageContext ctx{*state_.doc, quiet.history, host_, *progress, prefs_};
        flags = cinemill::ApplyFramePage(ctx, index, page);
        if (flags && docBefore) state_.history.RecordSnapshot(UndoKind::FrameProperties, std::move(docBefore), index);
        else if (flags && frameBefore)
            state_.history.RecordFrame(UndoKind::FrameProperties, std::move(frameBefore), index);
    }
    if (!flags) {
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    const uint32_t out = RefreshForSheetFlags(flags, index);
    return Changed(out, true);
}

CommandResult Engine::ApplyGlobalFramePage(GlobalFramePageFields& page) {
    if (state_.FrameCount() < 1) return {Result::Failed, 0};
    const bool others = GlobalFramePageChangesBesidesTransparency(*state_.doc, page);
    if (!others && !GlobalFramePageChangesTransparency(*state_.doc, page)) return {Result::Done, 0};
    jobs_.Wait(job::kUsage);
    StopTasks();
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    uint8_t flags = 0;
    if (!others) {
        // Only the transparency: the page's own "Edit All Transparency" step.
        PageContext ctx{*state_.doc, state_.history, host_, *progress, prefs_};
        flags = cinemill::ApplyGlobalFramePage(ctx, page);
    } else {
        // No step is recorded when the copy finds no memory.
        std::unique_ptr<Animation> before;
        if (prefs_.Get(PreferenceBlock::kUndoLevels) > 0) before = CopyAnimation(*state_.doc);
        QuietHistory quiet(host_);
        PageContext ctx{*state_.doc, quiet.history, host_, *progress, prefs_};
        flags = cinemill::ApplyGlobalFramePage(ctx, page);
        // A failure part way still leaves the frames written before it:
        // the step then gives back the whole document.
        if (flags && before) state_.history.RecordSnapshot(UndoKind::GlobalFrameProperties, std::move(before), 0);
    }
    if (!flags) {
        RestartSizeTask(false);
        return {Result::Failed, 0};
    }
    return Changed(RefreshForSheetFlags(flags, -1), true);
}

CommandResult Engine::ApplyAnimationPage(const AnimationPageFields& page) {
    if (!state_.doc) return {Result::Failed, 0};
    // Tried on the header values first: no step when nothing would change.
    std::unique_ptr<Animation> trial = HeaderCopy(*state_.doc);
    const uint8_t flags = cinemill::ApplyAnimationPage(*trial, page);
    if (!flags) return {Result::Done, 0};
    StopTasks();
    if (flags & (sheet_flags::kAnimationFields | sheet_flags::kScreen)) {
        // The step keeps the header values (value 1), which it exchanges
        // with the document's on Undo and Redo.
        std::unique_ptr<Animation> before = HeaderCopy(*state_.doc);
        cinemill::ApplyAnimationPage(*state_.doc, page);
        state_.history.RecordSnapshot(UndoKind::GlobalFrameProperties, std::move(before), 1);
    }
    return Changed(RefreshForSheetFlags(flags, -1), false, true);
}

// ---- comments -----------------------------------------------------------------------------------

std::vector<std::string> Engine::CommentEntries() const {
    std::vector<std::string> out;
    if (!state_.doc) return out;
    for (size_t pos : CommentPositions(*state_.doc))
        out.push_back(CommentListEntry(CommentText(*AsExtension(state_.doc->blocks[pos].get()))));
    return out;
}

std::string Engine::CommentTextAt(int entry) const {
    if (!state_.doc || entry < 0) return {};
    const auto positions = CommentPositions(*state_.doc);
    if (static_cast<size_t>(entry) >= positions.size()) return {};
    return CommentText(*AsExtension(state_.doc->blocks[positions[static_cast<size_t>(entry)]].get()));
}

namespace {

bool CommentTooLong(const std::string& text, UiHost& host) {
    if (text.size() <= kMaxCommentLength) return false;
    host.Message(std::string(LoadString(StringId::CommentTooLong)),
                 std::string(LoadString(StringId::CommentTooLongCaption)));
    return true;
}

// A comment step: value 0 toggles the presence of the comment at blockPos
// (the record holds it while it is out of the document), value 1 exchanges
// the block at blockPos with the kept one.
std::unique_ptr<UndoRecord> CommentRecord(size_t pos, int32_t value) {
    auto r = std::make_unique<UndoRecord>();
    r->kind = UndoKind::EditComments;
    r->blockPos = pos;
    r->value = value;
    return r;
}

}  // namespace

CommandResult Engine::InsertComment(int selected, const std::string& text, int* new_entry) {
    if (!state_.doc) return {Result::Failed, 0};
    if (CommentTooLong(text, host_)) return {Result::Failed, 0};
    StopTasks();
    CommentsSession session(*state_.doc);
    session.Select(selected);
    session.Add(text);
    state_.history.Enter(CommentRecord(session.blockEdits().back().position, 0));
    if (new_entry) *new_entry = session.selected();
    return Changed(kSize);
}

CommandResult Engine::EditComment(int entry, const std::string& text) {
    if (!state_.doc || entry < 0) return {Result::Failed, 0};
    const auto positions = CommentPositions(*state_.doc);
    if (static_cast<size_t>(entry) >= positions.size()) return {Result::Failed, 0};
    if (CommentTooLong(text, host_)) return {Result::Failed, 0};
    const size_t pos = positions[static_cast<size_t>(entry)];
    ExtensionBlock& block = *AsExtension(state_.doc->blocks[pos].get());
    if (CommentText(block) == text) return {Result::Done, 0};
    StopTasks();
    auto r = CommentRecord(pos, 1);
    r->blocks.push_back(CopyBlock(block));
    SetCommentText(block, text);
    state_.history.Enter(std::move(r));
    return Changed(kSize);
}

CommandResult Engine::RemoveComment(int entry) {
    if (!state_.doc || entry < 0) return {Result::Failed, 0};
    const auto positions = CommentPositions(*state_.doc);
    if (static_cast<size_t>(entry) >= positions.size()) return {Result::Failed, 0};
    StopTasks();
    const size_t pos = positions[static_cast<size_t>(entry)];
    auto r = CommentRecord(pos, 0);
    r->blocks.push_back(std::move(state_.doc->blocks[pos]));
    state_.doc->blocks.erase(state_.doc->blocks.begin() + static_cast<ptrdiff_t>(pos));
    state_.history.Enter(std::move(r));
    return Changed(kSize);
}

CommandResult Engine::SignatureChanged() {
    uint32_t flags = 0;
    if (state_.doc) SetModified(true, flags);
    return {Result::Done, flags};
}

}  // namespace cinemill
