#include "cinemill/app/menu_state.h"

#include <algorithm>

#include "cinemill/app/strip_geometry.h"
#include "cinemill/doc/disposal.h"

namespace cinemill {
namespace {

bool Contains(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void GrayWhen(MenuState& s, bool condition, std::initializer_list<CommandId> ids) {
    if (!condition) return;
    for (CommandId id : ids) s.grayed.push_back(Id(id));
}

constexpr int kSpeedCount = 6;

}  // namespace

bool MenuState::Grayed(CommandId id) const { return Contains(grayed, Id(id)); }
bool MenuState::Checked(CommandId id) const { return Contains(checked, Id(id)); }

bool MenuState::PopupGrayed(MenuPopup p) const {
    switch (p) {
        case MenuPopup::ExportAs: return exportAsGrayed;
        case MenuPopup::Rotate: return rotateGrayed;
        case MenuPopup::RotateAll: return rotateAllGrayed;
    }
    return false;
}

CommandId ZoomItemForLevel(int level) {
    return static_cast<CommandId>(Id(CommandId::Zoom20) + 4 + strip::ClampZoomLevel(level));
}

CommandId OrientationItem(int orientation) {
    if (!(orientation & strip::kChosen)) return CommandId::OrientDefault;
    return strip::Direction(orientation) == strip::kHorizontal ? CommandId::OrientHorizontal
                                                                : CommandId::OrientVertical;
}

CommandId TransparencyItem(uint32_t mode) {
    if (mode == 0) return CommandId::TransparencyWindow;
    if (mode == 1) return CommandId::TransparencyFrameColor;
    return CommandId::TransparencyCustom;
}

CommandId DownloadItem(int speed) {
    if (speed < 0 || speed >= kSpeedCount) speed = 1;
    return static_cast<CommandId>(Id(CommandId::DownloadFirst) + speed);
}

int DownloadSpeedOf(int command_id) {
    const int i = command_id - Id(CommandId::DownloadFirst);
    return i >= 0 && i < kSpeedCount ? i : -1;
}

MenuState ComputeMenuState(const MenuInput& in) {
    MenuState s;
    const bool doc = in.hasDocument;
    const int frames = doc ? in.frameCount : 0;
    const bool selected = doc && in.selectedFrame >= 0 && in.selectedFrame < frames;

    GrayWhen(s, !in.modified, {CommandId::Save});
    GrayWhen(s, !(in.modified && in.hasPath), {CommandId::Revert});
    GrayWhen(s, !doc,
             {CommandId::SaveAs, CommandId::Optimize, CommandId::Unoptimize, CommandId::ReverseOrder,
              CommandId::Html, CommandId::AnimationProperties, CommandId::GifComments,
              CommandId::Resize, CommandId::Crop, CommandId::RotateAll180, CommandId::RotateAll90Cw,
              CommandId::RotateAll90Ccw, CommandId::RotateAllFlipH, CommandId::RotateAllFlipV});
    s.exportAsGrayed = !doc;
    s.rotateAllGrayed = !doc;
    GrayWhen(s, frames < 1,
             {CommandId::Preview, CommandId::ExportAvi, CommandId::ExportFilmstrip,
              CommandId::ExportCursor, CommandId::ReduceColors, CommandId::GlobalProperties});
    GrayWhen(s, frames < 2, {CommandId::ReduceCount});
    GrayWhen(s, !selected,
             {CommandId::Cut, CommandId::Copy, CommandId::Delete, CommandId::FrameProperties,
              CommandId::MoveCrop, CommandId::Rotate180, CommandId::Rotate90Cw, CommandId::Rotate90Ccw,
              CommandId::FlipH, CommandId::FlipV});
    s.rotateGrayed = !selected;
    GrayWhen(s, !in.clipboardHasFrame, {CommandId::Paste});
    GrayWhen(s, !(doc && in.hasGlobalPalette), {CommandId::EditGlobalPalette});
    GrayWhen(s, !(selected && in.selectedHasLocalPalette), {CommandId::EditLocalPalette});
    GrayWhen(s, !in.canUndo, {CommandId::Undo});
    GrayWhen(s, !in.canRedo, {CommandId::Redo});

    if (in.previewOpen && frames >= 1) s.checked.push_back(Id(CommandId::Preview));
    s.checked.push_back(Id(OrientationItem(in.orientation)));
    s.checked.push_back(Id(ZoomItemForLevel(in.zoomLevel)));
    s.checked.push_back(Id(TransparencyItem(in.transparencyMode)));
    s.checked.push_back(Id(DownloadItem(in.downloadSpeed)));
    return s;
}

std::vector<ButtonState> MainToolbarState(const MainToolbarInput& in) {
    const bool doc = in.hasDocument;
    const int frames = doc ? in.frameCount : 0;
    const bool selected = doc && in.selectedFrame >= 0 && in.selectedFrame < frames;
    const int level = strip::ClampZoomLevel(in.zoomLevel);
    const CommandId orient = OrientationItem(in.orientation);
    auto b = [](CommandId id, bool enabled, bool checked = false) {
        return ButtonState{id, enabled, enabled && checked};
    };
    return {
        b(CommandId::New, true),
        b(CommandId::Open, true),
        b(CommandId::Save, in.modified),
        b(CommandId::Insert, true),
        b(CommandId::Cut, selected),
        b(CommandId::Copy, selected),
        b(CommandId::Paste, in.clipboardHasFrame),
        b(CommandId::Delete, selected),
        b(CommandId::Undo, in.canUndo),
        b(CommandId::Redo, in.canRedo),
        b(CommandId::Preview, frames >= 1, in.previewOpen),
        b(CommandId::StopPreview, in.previewOpen),
        b(CommandId::Optimize, doc),
        b(CommandId::ReduceColors, frames >= 1),
        // Zooming an empty view changes nothing, so the zoom buttons wait for
        // a document like Actual Size does.
        b(CommandId::ZoomIn, doc && level != strip::kMaxZoomLevel),
        b(CommandId::ZoomOut, doc && level != strip::kMinZoomLevel),
        b(CommandId::ActualSize, doc && level != 0),
        b(CommandId::OrientDefault, doc, orient == CommandId::OrientDefault),
        b(CommandId::OrientHorizontal, doc, orient == CommandId::OrientHorizontal),
        b(CommandId::OrientVertical, doc, orient == CommandId::OrientVertical),
        b(CommandId::HelpContents, true),
    };
}

CommandId DisposalButtonFor(int method) {
    if (method == kDisposeBackground) return CommandId::DisposalBackground;
    if (method == kDisposePrevious) return CommandId::DisposalPrevious;
    return CommandId::DisposalLeave;
}

const ButtonState* FrameToolbarState::Button(CommandId id) const {
    for (const ButtonState& b : buttons)
        if (b.id == id) return &b;
    return nullptr;
}

FrameToolbarState FrameToolbarStateOf(const FrameToolbarInput& in) {
    FrameToolbarState s;
    const bool doc = in.hasDocument;
    const bool sel = doc && in.selectedFrame >= 0;
    const bool local = sel && in.hasLocalPalette;
    const CommandId disposal = DisposalButtonFor(in.disposal);
    auto b = [](CommandId id, bool enabled, bool checked = false) {
        return ButtonState{id, enabled, enabled && checked};
    };
    s.buttons = {
        b(CommandId::FrameProperties, sel),
        b(CommandId::DisposalLeave, sel, disposal == CommandId::DisposalLeave),
        b(CommandId::DisposalBackground, sel, disposal == CommandId::DisposalBackground),
        b(CommandId::DisposalPrevious, sel, disposal == CommandId::DisposalPrevious),
        b(CommandId::ToggleTransparency, sel, in.transparent),
        b(CommandId::PickTransparency, sel),
        // Enabled and checked only while there is a local palette: unchecking
        // it is how the palette is removed.
        b(CommandId::LocalPalette, local, true),
        b(CommandId::EditLocalPalette, local),
        b(CommandId::Interlace, sel, in.interlaced),
        b(CommandId::AnimationProperties, doc),
        b(CommandId::EditGlobalPalette, doc && in.hasGlobalPalette),
    };
    s.selectorEnabled = doc;
    s.delayEnabled = sel;
    if (sel) s.delayText = std::to_string(in.delay);
    s.playCountEnabled = doc;
    if (doc) s.playCountText = std::to_string(in.playCount);
    return s;
}

}  // namespace cinemill
