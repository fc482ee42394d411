#include "cinemill/app/menu_state.h"

#include <gtest/gtest.h>

namespace cinemill {
namespace {

MenuInput DocumentWith(int frames, int selected = -1) {
    MenuInput in;
    in.hasDocument = true;
    in.frameCount = frames;
    in.selectedFrame = selected;
    return in;
}

TEST(MenuState, NoDocumentGraysTheDocumentCommandsAndThePopups) {
    const MenuState s = ComputeMenuState(MenuInput{});
    for (CommandId id : {CommandId::Save, CommandId::Revert, CommandId::SaveAs, CommandId::Optimize,
                         CommandId::Unoptimize, CommandId::ReverseOrder, CommandId::Html,
                         CommandId::AnimationProperties, CommandId::GifComments, CommandId::Resize,
                         CommandId::Crop, CommandId::RotateAll180, CommandId::RotateAllFlipV,
                         CommandId::Preview, CommandId::ExportAvi, CommandId::ReduceColors,
                         CommandId::GlobalProperties, CommandId::ReduceCount, CommandId::Cut,
                         CommandId::Copy, CommandId::Delete, CommandId::FrameProperties,
                         CommandId::MoveCrop, CommandId::Rotate90Cw, CommandId::Paste,
                         CommandId::EditGlobalPalette, CommandId::EditLocalPalette, CommandId::Undo,
                         CommandId::Redo})
        EXPECT_TRUE(s.Grayed(id)) << Id(id);
    EXPECT_TRUE(s.PopupGrayed(MenuPopup::ExportAs));
    EXPECT_TRUE(s.PopupGrayed(MenuPopup::Rotate));
    EXPECT_TRUE(s.PopupGrayed(MenuPopup::RotateAll));
    for (CommandId id : {CommandId::New, CommandId::Open, CommandId::Insert, CommandId::ImportAvi,
                         CommandId::Preferences, CommandId::HelpContents, CommandId::About,
                         CommandId::ZoomIn})
        EXPECT_FALSE(s.Grayed(id)) << Id(id);
}

TEST(MenuState, DocumentWithoutFramesKeepsSaveAsOptimizeAndHtml) {
    const MenuState s = ComputeMenuState(DocumentWith(0));
    for (CommandId id : {CommandId::Preview, CommandId::ReduceColors, CommandId::GlobalProperties,
                         CommandId::ExportAvi, CommandId::ExportFilmstrip, CommandId::ExportCursor})
        EXPECT_TRUE(s.Grayed(id)) << Id(id);
    for (CommandId id : {CommandId::SaveAs, CommandId::Optimize, CommandId::Html,
                         CommandId::AnimationProperties, CommandId::GifComments})
        EXPECT_FALSE(s.Grayed(id)) << Id(id);
    EXPECT_FALSE(s.PopupGrayed(MenuPopup::ExportAs));  // the pop-up follows the document
    EXPECT_TRUE(s.PopupGrayed(MenuPopup::Rotate));
}

TEST(MenuState, RevertNeedsModifiedAndAPath) {
    MenuInput in = DocumentWith(3);
    in.modified = true;
    EXPECT_TRUE(ComputeMenuState(in).Grayed(CommandId::Revert));  // untitled, even when modified
    EXPECT_FALSE(ComputeMenuState(in).Grayed(CommandId::Save));
    in.hasPath = true;
    EXPECT_FALSE(ComputeMenuState(in).Grayed(CommandId::Revert));
    in.modified = false;
    EXPECT_TRUE(ComputeMenuState(in).Grayed(CommandId::Revert));
    EXPECT_TRUE(ComputeMenuState(in).Grayed(CommandId::Save));
}

TEST(MenuState, FrameCountAndSelectionRules) {
    EXPECT_TRUE(ComputeMenuState(DocumentWith(1)).Grayed(CommandId::ReduceCount));
    EXPECT_FALSE(ComputeMenuState(DocumentWith(2)).Grayed(CommandId::ReduceCount));
    const MenuState none = ComputeMenuState(DocumentWith(2, -1));
    const MenuState one = ComputeMenuState(DocumentWith(2, 1));
    for (CommandId id : {CommandId::Cut, CommandId::Copy, CommandId::Delete, CommandId::FrameProperties,
                         CommandId::MoveCrop, CommandId::Rotate180, CommandId::Rotate90Cw,
                         CommandId::Rotate90Ccw, CommandId::FlipH, CommandId::FlipV}) {
        EXPECT_TRUE(none.Grayed(id)) << Id(id);
        EXPECT_FALSE(one.Grayed(id)) << Id(id);
    }
    EXPECT_FALSE(one.PopupGrayed(MenuPopup::Rotate));
    // A stale selection beyond the frames counts as none.
    EXPECT_TRUE(ComputeMenuState(DocumentWith(2, 2)).Grayed(CommandId::Delete));
}

TEST(MenuState, PalettesClipboardAndHistory) {
    MenuInput in = DocumentWith(2, 0);
    EXPECT_TRUE(ComputeMenuState(in).Grayed(CommandId::EditGlobalPalette));
    EXPECT_TRUE(ComputeMenuState(in).Grayed(CommandId::EditLocalPalette));
    in.hasGlobalPalette = true;
    in.selectedHasLocalPalette = true;
    in.clipboardHasFrame = true;
    in.canUndo = true;
    const MenuState s = ComputeMenuState(in);
    EXPECT_FALSE(s.Grayed(CommandId::EditGlobalPalette));
    EXPECT_FALSE(s.Grayed(CommandId::EditLocalPalette));
    EXPECT_FALSE(s.Grayed(CommandId::Paste));
    EXPECT_FALSE(s.Grayed(CommandId::Undo));
    EXPECT_TRUE(s.Grayed(CommandId::Redo));
    // Paste does not need a document: pasting into nothing makes one.
    MenuInput empty;
    empty.clipboardHasFrame = true;
    EXPECT_FALSE(ComputeMenuState(empty).Grayed(CommandId::Paste));
}

TEST(MenuState, ChecksFollowViewSettings) {
    MenuInput in = DocumentWith(2);
    in.previewOpen = true;
    in.zoomLevel = -2;
    in.orientation = 0x1002;
    in.transparencyMode = 1;
    in.downloadSpeed = 3;
    MenuState s = ComputeMenuState(in);
    EXPECT_TRUE(s.Checked(CommandId::Preview));
    EXPECT_TRUE(s.Checked(static_cast<CommandId>(40062)));
    EXPECT_FALSE(s.Checked(static_cast<CommandId>(40064)));
    EXPECT_TRUE(s.Checked(CommandId::OrientHorizontal));
    EXPECT_FALSE(s.Checked(CommandId::OrientDefault));
    EXPECT_TRUE(s.Checked(CommandId::TransparencyFrameColor));
    EXPECT_TRUE(s.Checked(static_cast<CommandId>(40096)));
    // An automatic direction checks Default whatever the shape.
    in.orientation = 1;
    in.previewOpen = false;
    in.transparencyMode = 7;
    in.downloadSpeed = 9;  // a stored index beyond the table stands for the default
    s = ComputeMenuState(in);
    EXPECT_TRUE(s.Checked(CommandId::OrientDefault));
    EXPECT_FALSE(s.Checked(CommandId::Preview));
    EXPECT_TRUE(s.Checked(CommandId::TransparencyCustom));
    EXPECT_TRUE(s.Checked(static_cast<CommandId>(40094)));
    EXPECT_EQ(OrientationItem(0x1001), CommandId::OrientVertical);
    EXPECT_EQ(ZoomItemForLevel(3), CommandId::Zoom400);
    EXPECT_EQ(ZoomItemForLevel(-8), CommandId::Zoom20);
}

TEST(MenuState, DownloadItemsMapToSpeeds) {
    EXPECT_EQ(DownloadSpeedOf(40093), 0);
    EXPECT_EQ(DownloadSpeedOf(40098), 5);
    EXPECT_EQ(DownloadSpeedOf(40099), -1);
    EXPECT_EQ(DownloadSpeedOf(40092), -1);
    EXPECT_EQ(DownloadItem(0), CommandId::DownloadFirst);
    EXPECT_EQ(DownloadItem(-1), static_cast<CommandId>(40094));
}

const ButtonState& Find(const std::vector<ButtonState>& v, CommandId id) {
    for (const ButtonState& b : v)
        if (b.id == id) return b;
    static const ButtonState missing{CommandId::About, false, false};
    ADD_FAILURE() << "no button " << Id(id);
    return missing;
}

TEST(MainToolbar, StartsWithOnlyNewOpenInsertAndHelp) {
    const auto v = MainToolbarState(MainToolbarInput{});
    ASSERT_EQ(v.size(), 21u);
    EXPECT_EQ(v.front().id, CommandId::New);
    EXPECT_EQ(v.back().id, CommandId::HelpContents);
    for (const ButtonState& b : v) {
        const bool always = b.id == CommandId::New || b.id == CommandId::Open ||
                            b.id == CommandId::Insert || b.id == CommandId::HelpContents;
        EXPECT_EQ(b.enabled, always) << Id(b.id);
        EXPECT_FALSE(b.checked) << Id(b.id);
    }
}

TEST(MainToolbar, DocumentSelectionPreviewAndZoom) {
    MainToolbarInput in;
    in.hasDocument = true;
    in.frameCount = 3;
    in.selectedFrame = 1;
    in.modified = true;
    in.previewOpen = true;
    in.zoomLevel = 3;
    in.orientation = 0x1001;
    auto v = MainToolbarState(in);
    EXPECT_TRUE(Find(v, CommandId::Save).enabled);
    EXPECT_TRUE(Find(v, CommandId::Cut).enabled);
    EXPECT_TRUE(Find(v, CommandId::Delete).enabled);
    EXPECT_TRUE(Find(v, CommandId::Preview).checked);
    EXPECT_TRUE(Find(v, CommandId::StopPreview).enabled);
    EXPECT_FALSE(Find(v, CommandId::ZoomIn).enabled);
    EXPECT_TRUE(Find(v, CommandId::ZoomOut).enabled);
    EXPECT_TRUE(Find(v, CommandId::ActualSize).enabled);
    EXPECT_TRUE(Find(v, CommandId::OrientVertical).checked);
    EXPECT_FALSE(Find(v, CommandId::OrientDefault).checked);
    in.zoomLevel = -4;
    v = MainToolbarState(in);
    EXPECT_TRUE(Find(v, CommandId::ZoomIn).enabled);
    EXPECT_FALSE(Find(v, CommandId::ZoomOut).enabled);
    in.zoomLevel = 0;
    in.frameCount = 0;
    in.selectedFrame = -1;
    v = MainToolbarState(in);
    EXPECT_FALSE(Find(v, CommandId::ActualSize).enabled);
    EXPECT_FALSE(Find(v, CommandId::Preview).enabled);
    EXPECT_FALSE(Find(v, CommandId::Preview).checked);
    EXPECT_FALSE(Find(v, CommandId::ReduceColors).enabled);
    EXPECT_TRUE(Find(v, CommandId::Optimize).enabled);
    EXPECT_FALSE(Find(v, CommandId::Copy).enabled);
}

TEST(FrameToolbar, NoSelectionDisablesAndUnchecksTheFrameControls) {
    FrameToolbarInput in;
    in.hasDocument = true;
    in.transparent = true;  // stale fields of no frame are ignored
    in.hasLocalPalette = true;
    in.playCount = 5;
    in.hasGlobalPalette = true;
    const FrameToolbarState s = FrameToolbarStateOf(in);
    for (CommandId id : {CommandId::FrameProperties, CommandId::DisposalLeave,
                         CommandId::DisposalBackground, CommandId::DisposalPrevious,
                         CommandId::ToggleTransparency, CommandId::PickTransparency,
                         CommandId::LocalPalette, CommandId::EditLocalPalette, CommandId::Interlace}) {
        ASSERT_NE(s.Button(id), nullptr);
        EXPECT_FALSE(s.Button(id)->enabled) << Id(id);
        EXPECT_FALSE(s.Button(id)->checked) << Id(id);
    }
    EXPECT_FALSE(s.delayEnabled);
    EXPECT_EQ(s.delayText, "");
    EXPECT_TRUE(s.Button(CommandId::AnimationProperties)->enabled);
    EXPECT_TRUE(s.Button(CommandId::EditGlobalPalette)->enabled);
    EXPECT_EQ(s.playCountText, "5");
    EXPECT_TRUE(s.selectorEnabled);
}

TEST(FrameToolbar, SelectedFrameShowsItsFields) {
    FrameToolbarInput in;
    in.hasDocument = true;
    in.selectedFrame = 0;
    in.disposal = 3;
    in.interlaced = true;
    in.delay = 65535;
    FrameToolbarState s = FrameToolbarStateOf(in);
    EXPECT_TRUE(s.Button(CommandId::DisposalPrevious)->checked);
    EXPECT_FALSE(s.Button(CommandId::DisposalLeave)->checked);
    EXPECT_TRUE(s.Button(CommandId::Interlace)->checked);
    EXPECT_FALSE(s.Button(CommandId::ToggleTransparency)->checked);
    EXPECT_TRUE(s.Button(CommandId::ToggleTransparency)->enabled);
    EXPECT_FALSE(s.Button(CommandId::LocalPalette)->enabled);
    EXPECT_FALSE(s.Button(CommandId::EditLocalPalette)->enabled);
    EXPECT_FALSE(s.Button(CommandId::EditGlobalPalette)->enabled);
    EXPECT_EQ(s.delayText, "65535");
    in.hasLocalPalette = true;
    in.disposal = 0;  // unspecified methods show Leave Alone
    s = FrameToolbarStateOf(in);
    EXPECT_TRUE(s.Button(CommandId::LocalPalette)->enabled);
    EXPECT_TRUE(s.Button(CommandId::LocalPalette)->checked);
    EXPECT_TRUE(s.Button(CommandId::EditLocalPalette)->enabled);
    EXPECT_TRUE(s.Button(CommandId::DisposalLeave)->checked);
    EXPECT_EQ(DisposalButtonFor(2), CommandId::DisposalBackground);
    EXPECT_EQ(DisposalButtonFor(7), CommandId::DisposalLeave);
    // Without a document nothing is enabled, not even the selector.
    const FrameToolbarState empty = FrameToolbarStateOf(FrameToolbarInput{});
    for (const ButtonState& b : empty.buttons) EXPECT_FALSE(b.enabled) << Id(b.id);
    EXPECT_FALSE(empty.selectorEnabled);
    EXPECT_EQ(empty.playCountText, "");
}

}  // namespace
}  // namespace cinemill
