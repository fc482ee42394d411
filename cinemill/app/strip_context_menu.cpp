#include "cinemill/app/strip_context_menu.h"

namespace cinemill {

namespace {

ContextMenuItem Command(CommandId id, StringId text, bool grayed = false) {
    return {ContextMenuItem::Kind::Command, id, text, grayed};
}
ContextMenuItem Separator() { return {ContextMenuItem::Kind::Separator, CommandId::Paste, StringId::StripPasteFrame, false}; }

}  // namespace

std::vector<ContextMenuItem> StripContextMenu(const MenuInput& in) {
    using K = ContextMenuItem::Kind;
    const bool paste_grayed = !in.clipboardHasFrame;
    if (in.selectedFrame < 0 || in.selectedFrame >= in.frameCount) {
        return {
            Command(CommandId::Paste, StringId::StripPasteFrame, paste_grayed),
            Separator(),
            Command(CommandId::AnimationProperties, StringId::StripAnimationProperties, !in.hasDocument),
            Command(CommandId::GlobalProperties, StringId::StripGlobalProperties, !in.hasDocument),
        };
    }
    return {
        Command(CommandId::Copy, StringId::StripCopy),
        Command(CommandId::Cut, StringId::StripCut),
        Command(CommandId::Delete, StringId::StripDelete),
        Separator(),
        Command(CommandId::Paste, StringId::StripPasteBefore, paste_grayed),
        Separator(),
        Command(CommandId::FrameProperties, StringId::StripFrameProperties),
        {K::SubmenuStart, CommandId::Paste, StringId::StripRotateFrame, false},
        Command(CommandId::Rotate90Cw, StringId::StripRotate90Cw),
        Command(CommandId::Rotate180, StringId::StripRotate180),
        Command(CommandId::Rotate90Ccw, StringId::StripRotate90Ccw),
        Command(CommandId::FlipH, StringId::StripFlipH),
        Command(CommandId::FlipV, StringId::StripFlipV),
        {K::SubmenuEnd, CommandId::Paste, StringId::StripRotateFrame, false},
        Command(CommandId::MoveCrop, StringId::StripMoveCrop),
    };
}

}  // namespace cinemill
