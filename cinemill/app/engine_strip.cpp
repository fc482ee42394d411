// The frame strip view's settings kept in the preferences.
#include <algorithm>

#include "cinemill/app/engine.h"
#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/preferences.h"

namespace cinemill {

namespace {
constexpr uint32_t kColourMask = 0x00FFFFFFu;
}  // namespace

void Engine::LoadStripSettings() {
    const uint32_t mode = prefs_.Get(PreferenceBlock::kTransparencyDisplay) >> 24;
    state_.transparencyDisplay = mode <= 2 ? static_cast<int>(mode) : 0;
    state_.orientation = strip::ChoiceFromFlags(prefs_.Get(PreferenceBlock::kProgramFlags));
    if (state_.doc)
        state_.orientation = strip::OrientationForScreen(state_.orientation, state_.doc->width, state_.doc->height);
}

uint32_t Engine::TransparencyCustomColor() const {
    return prefs_.Get(PreferenceBlock::kTransparencyDisplay) & kColourMask;
}

CommandResult Engine::SetTransparencyDisplay(int mode, std::optional<uint32_t> rgb) {
    if (mode < 0 || mode > 2) return {Result::Failed, 0};
    const uint32_t colour = (rgb ? *rgb : TransparencyCustomColor()) & kColourMask;
    state_.transparencyDisplay = mode;
    prefs_.Set(PreferenceBlock::kTransparencyDisplay, (static_cast<uint32_t>(mode) << 24) | colour);
    return {Result::Done, refresh::kRepaint};
}

CommandResult Engine::SetOrientationChoice(CommandId id) {
    if (id != CommandId::OrientDefault && id != CommandId::OrientHorizontal && id != CommandId::OrientVertical)
        return {Result::Failed, 0};
    const CommandResult r = Execute(id);
    const int choice = id == CommandId::OrientHorizontal ? strip::kChooseHorizontal
                       : id == CommandId::OrientVertical ? strip::kChooseVertical
                                                         : strip::kChooseDefault;
    const uint32_t flags = prefs_.Get(PreferenceBlock::kProgramFlags);
    const uint32_t next = strip::FlagsWithChoice(flags, choice);
    if (next != flags) prefs_.Set(PreferenceBlock::kProgramFlags, next);
    return r;
}

}  // namespace cinemill
