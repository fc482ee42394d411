#include "cinemill/app/command_id.h"

namespace cinemill {

std::optional<RotateOp> RotateOpOf(int id) {
    // Rotate All ids are the Rotate ids plus 31.
    if (id >= Id(CommandId::RotateAll90Cw) && id <= Id(CommandId::RotateAllFlipV)) id -= 31;
    switch (id) {
        case Id(CommandId::Rotate180): return RotateOp::Turn180;
        case Id(CommandId::Rotate90Cw): return RotateOp::Cw90;
        case Id(CommandId::Rotate90Ccw): return RotateOp::Ccw90;
        case Id(CommandId::FlipH): return RotateOp::FlipH;
        case Id(CommandId::FlipV): return RotateOp::FlipV;
        default: return std::nullopt;
    }
}

RotateOp InverseOf(RotateOp op) {
    if (op == RotateOp::Cw90) return RotateOp::Ccw90;
    if (op == RotateOp::Ccw90) return RotateOp::Cw90;
    return op;
}

const char* CommandName(int id) {
    switch (id) {
        case 40021: return "New";
        case 1002: return "Open";
        case 40013: return "Insert";
        case 40109: return "ImportAvi";
        case 40110: return "ImportBmp";
        case 40113: return "ImportJpeg";
        case 40112: return "ImportPsd";
        case 40118: return "ImportCursor";
        case 40111: return "ImportFilmstrip";
        case 40080: return "Revert";
        case 1015: return "Save";
        case 1016: return "SaveAs";
        case 40071: return "ExportAvi";
        case 40084: return "ExportFilmstrip";
        case 40117: return "ExportCursor";
        case 40082: return "Html";
        case 1003: return "Exit";
        case 40150: return "RecentFirst";
        case 40158: return "RecentLast";
        case 40001: return "Undo";
        case 40120: return "Redo";
        case 1012: return "Copy";
        case 40002: return "Cut";
        case 40004: return "Paste";
        case 40012: return "Delete";
        case 40035: return "Preferences";
        case 40009: return "FrameProperties";
        case 40052: return "GlobalProperties";
        case 40044: return "EditLocalPalette";
        case 40119: return "ReduceCount";
        case 40115: return "ReverseOrder";
        case 40072: return "MoveCrop";
        case 40074: return "Rotate180";
        case 40073: return "Rotate90Cw";
        case 40075: return "Rotate90Ccw";
        case 40076: return "FlipH";
        case 40077: return "FlipV";
        case 40105: return "RotateAll180";
        case 40104: return "RotateAll90Cw";
        case 40106: return "RotateAll90Ccw";
        case 40107: return "RotateAllFlipH";
        case 40108: return "RotateAllFlipV";
        case 40008: return "AnimationProperties";
        case 40050: return "EditGlobalPalette";
        case 40081: return "ReduceColors";
        case 40005: return "Optimize";
        case 40019: return "Unoptimize";
        case 40092: return "Resize";
        case 40116: return "Crop";
        case 40016: return "GifComments";
        case 40010: return "Preview";
        case 40011: return "StopPreview";
        case 40038: return "ZoomIn";
        case 40039: return "ZoomOut";
        case 40060: return "Zoom20";
        case 40067: return "Zoom400";
        case 40069: return "ActualSize";
        case 40027: return "OrientDefault";
        case 40028: return "OrientHorizontal";
        case 40029: return "OrientVertical";
        case 40088: return "TransparencyWindow";
        case 40089: return "TransparencyFrameColor";
        case 40090: return "TransparencyCustom";
        case 40093: return "DownloadFirst";
        case 40102: return "DownloadLast";
        case 40023: return "HelpContents";
        case 1004: return "About";
        case 40045: return "FrameSelector";
        case 40046: return "DelayEdit";
        case 40047: return "DisposalLeave";
        case 40048: return "DisposalBackground";
        case 40051: return "DisposalPrevious";
        case 40041: return "ToggleTransparency";
        case 40042: return "PickTransparency";
        case 40043: return "LocalPalette";
        case 40040: return "Interlace";
        case 40049: return "PlayCountEdit";
        default: return nullptr;
    }
}

}  // namespace cinemill
