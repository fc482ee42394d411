#pragma once

#include <optional>

#include "cinemill/imaging/geometry.h"

namespace cinemill {

// The editor's command numbers: menu items, accelerators, tool bar buttons
// and context menus send the same ids. Tool tips and undo names are looked
// up by these numbers.
enum class CommandId : int {
    New = 40021,
    Open = 1002,
    Insert = 40013,
    ImportAvi = 40109,
    ImportBmp = 40110,
    ImportJpeg = 40113,
    ImportPsd = 40112,
    ImportCursor = 40118,
    ImportFilmstrip = 40111,
    Revert = 40080,
    Save = 1015,
    SaveAs = 1016,
    ExportAvi = 40071,
    ExportFilmstrip = 40084,
    ExportCursor = 40117,
    Html = 40082,
    Exit = 1003,
    RecentFirst = 40150,  // File > recent entries 1..7 (40150..40156)
    RecentLast = 40158,
    Undo = 40001,
    Redo = 40120,
    Copy = 1012,
    Cut = 40002,
    Paste = 40004,
    Delete = 40012,
    Preferences = 40035,
    FrameProperties = 40009,
    GlobalProperties = 40052,
    EditLocalPalette = 40044,
    ReduceCount = 40119,
    ReverseOrder = 40115,
    MoveCrop = 40072,
    Rotate180 = 40074,
    Rotate90Cw = 40073,
    Rotate90Ccw = 40075,
    FlipH = 40076,
    FlipV = 40077,
    RotateAll180 = 40105,
    RotateAll90Cw = 40104,
    RotateAll90Ccw = 40106,
    RotateAllFlipH = 40107,
    RotateAllFlipV = 40108,
    AnimationProperties = 40008,
    EditGlobalPalette = 40050,
    ReduceColors = 40081,
    Optimize = 40005,
    Unoptimize = 40019,
    Resize = 40092,
    Crop = 40116,
    GifComments = 40016,
    Preview = 40010,
    StopPreview = 40011,
    ZoomIn = 40038,
    ZoomOut = 40039,
    Zoom20 = 40060,  // Set Zoom items 40060..40067, level = id - 40064
    Zoom400 = 40067,
    ActualSize = 40069,
    OrientDefault = 40027,
    OrientHorizontal = 40028,
    OrientVertical = 40029,
    TransparencyWindow = 40088,
    TransparencyFrameColor = 40089,
    TransparencyCustom = 40090,
    DownloadFirst = 40093,  // speeds 0..5 (40093..40098); 40099..40102 unused
    DownloadLast = 40102,
    HelpContents = 40023,
    About = 1004,
    // Frame tool bar.
    FrameSelector = 40045,
    DelayEdit = 40046,
    DisposalLeave = 40047,
    DisposalBackground = 40048,
    DisposalPrevious = 40051,
    ToggleTransparency = 40041,
    PickTransparency = 40042,
    LocalPalette = 40043,
    Interlace = 40040,
    PlayCountEdit = 40049,
};

constexpr int Id(CommandId c) { return static_cast<int>(c); }

// The identifier of a command id as written in the enumeration above
// ("Undo", "RotateAll90Cw"), for traces and logs; null for numbers without
// their own name (the inner entries of the recent-file, zoom and download
// ranges).
const char* CommandName(int id);

// The transform of a Rotate or Rotate All command; none for other ids.
std::optional<RotateOp> RotateOpOf(int command_id);
// The transform that undoes `op` (the quarter turns swap, the others are
// their own inverse).
RotateOp InverseOf(RotateOp op);

}  // namespace cinemill
