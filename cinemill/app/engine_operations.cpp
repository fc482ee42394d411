// The engine's side of the image-operation dialogs: each OK is one engine
// call and one undo step.
#include <utility>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/geometry.h"

namespace cinemill {

using namespace refresh;

CommandResult Engine::MoveCropFrame(const MoveCropState& s) {
    Frame* f = state_.SelectedFrame();
    if (!f) return NoFrame();
    const int index = state_.selected;
    // Nothing to do (the whole frame where it is): no step at all.
    MoveCropState t = MoveCropStart(*state_.doc, *f);
    const MoveCropState start = t;
    t.crop = s.crop;
    t.x = s.x;
    t.y = s.y;
    t = ApplyMoveCropLimits(t);
    if (t.crop == start.crop && t.x == start.x && t.y == start.y) return {Result::Done, 0};
    StopTasks();
    const bool recorded = state_.history.RecordFrameCopy(UndoKind::CropMoveFrame, *f, index);
    const UndoRecord* rec = recorded ? state_.history.Current() : nullptr;
    const MoveCropResult r = ApplyMoveCrop(*state_.doc, *f, t);
    if (r == MoveCropResult::Unchanged || r == MoveCropResult::Failed) {
        state_.history.MarkAsNop(rec);
        RestartSizeTask(false);
        return {r == MoveCropResult::Failed ? Result::Failed : Result::Done, 0};
    }
    const uint32_t one = (static_cast<uint32_t>(index) << 16) | kOneFrame | kFrameToolbar | kSize;
    return Changed(one, r == MoveCropResult::Cropped);
}

CommandResult Engine::ReduceFrameCount(int n) {
    if (!state_.doc) return {Result::Failed, 0};
    if (!DeletionIntervalValid(n, state_.FrameCount())) {
        host_.Message(std::string(LoadString(StringId::DeletionIntervalInvalid)),
                      std::string(LoadString(StringId::DeletionIntervalCaption)));
        return {Result::Failed, 0};
    }
    jobs_.Wait(job::kUsage);
    StopTasks();
    state_.history.RecordDocumentCopy(UndoKind::ReduceFrameCount, *state_.doc);
    DeleteEveryNth(*state_.doc, n);
    if (state_.selected >= state_.FrameCount()) state_.selected = state_.FrameCount() - 1;
    return Changed(kDocument | kFrameList | kSelector | kSize | kTotalTime | kSelection, true);
}

CommandResult Engine::AcceptReduced(std::unique_ptr<Animation> reduced, int colors, bool dither) {
    if (!state_.doc || !reduced) return {Result::Failed, 0};
    prefs_.Set(PreferenceBlock::kColorReduction, PreferenceBlock::EncodeReduction(colors, dither));
    jobs_.Wait(job::kUsage);
    StopTasks();
    std::swap(*state_.doc, *reduced);
    state_.history.RecordSnapshot(UndoKind::ReducePalette, std::move(reduced));
    return Changed(kDocument | kFrames | kSize | kPaletteState, true);
}

CommandResult Engine::AcceptOptimized(std::unique_ptr<Animation> optimized, uint32_t flags) {
    if (!state_.doc || !optimized) return {Result::Failed, 0};
    prefs_.Set(PreferenceBlock::kOptimizer, flags);
    jobs_.Wait(job::kUsage);
    StopTasks();
    SilentProgress silent;
    const int32_t before = EncodedSize(*state_.doc, false, silent, prefs_);
    const int32_t after = EncodedSize(*optimized, false, silent, prefs_);
    if (before >= 0 && before == after) {
        RestartSizeTask(false);
        return {Result::Stopped, 0};
    }
    uint32_t flagsOut = kDocument | kFrames | kSize | kPaletteState | kTotalTime;
    if (optimized->FrameCount() != state_.doc->FrameCount()) flagsOut |= kFrameList | kSelector;
    std::swap(*state_.doc, *optimized);
    state_.history.RecordSnapshot(UndoKind::Optimize, std::move(optimized));
    return Changed(flagsOut, true, false);
}

}  // namespace cinemill
