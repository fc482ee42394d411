// The palette editor's and the transparency picker's OK, as engine commands.
#include <utility>

#include "cinemill/app/engine.h"
#include "cinemill/app/frame_toolbar.h"
#include "cinemill/app/transparency_choice.h"
#include "cinemill/imaging/palette_edit.h"

namespace cinemill {

using namespace refresh;

CommandResult Engine::EditPalette(int frame, const std::vector<Rgb>& entries) {
    if (!state_.doc) return {Result::Failed, 0};
    Animation& doc = *state_.doc;
    Frame* f = frame >= 0 ? doc.FrameAt(frame) : nullptr;
    const Palette* before = frame >= 0 ? (f && f->localPalette ? &*f->localPalette : nullptr)
                                        : (doc.globalPalette ? &*doc.globalPalette : nullptr);
    if (!before || entries.size() < before->entries.size()) return {Result::Failed, 0};
    StopTasks();
    state_.history.RecordPalette(*before, frame);
    if (f) {
        ApplyLocalPaletteEdit(*f, entries);
        return Changed((static_cast<uint32_t>(frame) << 16) | kOneFrame | kFrameToolbar | kSize);
    }
    ApplyGlobalPaletteEdit(doc, entries);
    return Changed(kDocument | kFrames | kSize | kPaletteState);
}

CommandResult Engine::RemoveSelectedLocalPalette() {
    Frame* f = state_.SelectedFrame();
    if (!f) return NoFrame();
    if (!f->localPalette) return {Result::Failed, kFrameToolbar};
    // The mapping reads the colour usage the usage task may be counting.
    jobs_.Wait(job::kUsage);
    StopTasks();
    const int sel = state_.selected;
    auto progress = MakeProgress(ProgressMode::DialogNoPump);
    const Result r = RemoveLocalPaletteWithUndo(*state_.doc, sel, state_.history, host_, *progress, prefs_);
    if (r != Result::Done) {
        RestartSizeTask(false);
        return {r, kFrameToolbar};
    }
    return Changed((static_cast<uint32_t>(sel) << 16) | kOneFrame | kFrameToolbar | kSize | kPaletteState, true);
}

CommandResult Engine::ApplyTransparencyChoice(const TransparencyChoice& choice) {
    Frame* f = state_.SelectedFrame();
    if (!f) return NoFrame();
    if (!ChoiceChangesFrame(*f, choice)) return {Result::Done, 0};
    StopTasks();
    const int sel = state_.selected;
    ApplyChoiceWithUndo(*state_.doc, sel, choice, state_.history);
    return Changed((static_cast<uint32_t>(sel) << 16) | kOneFrame | kFrameToolbar | kSize);
}

}  // namespace cinemill
