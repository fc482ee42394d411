#pragma once

#include <string>
#include <string_view>

namespace cinemill {

// Numbers of the user-visible texts. Texts that the program never looked up
// by a fixed number get numbers from 41000 on.
enum class StringId : int {
    LocalPaletteFailed = 40181,
    FrameImageNoMemory = 40182,
    GifCorrupt = 40183,
    PartlyRead = 40184,
    ReadFailed = 40185,
    NotValidGif = 40237,

    ReadingGif = 41000,
    WritingGif = 41001,
    SaveTempFailed = 41002,
    WriteToFailed = 41003,
    ErrorSaving = 41004,
    ClipQuestion = 41005,
    ClipTitle = 41006,
    CopyNoMemory = 41007,
    PasteNoFormat = 41008,
    DibUnsupported = 41009,
    DibRle = 41010,
    Dib16or32 = 41011,
    CommentNoMemory = 41012,
    RemoveLocalPaletteNoMemory = 41013,
    PastingFrame = 41014,
    FrameNameFormat = 41015,
    Unnamed = 41016,
    DefaultSignature = 41017,
    ErrorCaption = 41018,

    // Colour reduction and palette merging.
    ReduceNoMemory = 41300,
    ReducingPalettes = 41301,
    DitheringFrames = 41302,
    RemappingFrames = 41303,
    RemappingLocalPalettes = 41304,
    DitherNoMemory = 41305,
    DitherNoResources = 41306,
    NonReducible = 41307,
    NonReducibleCaption = 41308,
    FullPalette = 41309,
    ColorsFormat = 41310,
    FileSizeFormat = 41311,
    ReducedPalette = 41312,
    SavingsFormat = 41313,
    SavingsNone = 41314,
    DuplicatingAnimation = 41315,
    CalculatingFileSize = 41316,
    ReduceCopyNoMemory = 41317,
    AnalyzingColors = 41318,
    RemappingFrameColors = 41319,
    BuildingLocalPalettes = 41320,
    MergeNoMemory = 41321,
    TrueColorInvalid = 41322,

    // Optimizer, frame geometry and palette editing.
    OptimizeCalculatingSize = 41100,
    BytesFormat = 41101,
    OptimizeSavingsNone = 41102,
    RemovingLocalPalettes = 41103,
    ShrinkingGlobalPalette = 41104,
    ShrinkingLocalPalettes = 41105,
    OptimizeNoResources = 41106,
    OptimizingFrames = 41107,
    OptimizeRanOut = 41108,
    UnoptimizeLocalPalettes = 41109,
    UnoptimizeCaption = 41110,
    UnoptimizeNoMemory = 41111,
    Unoptimizing = 41112,
    UnoptimizeIncomplete = 41113,
    CopyingAnimation = 41114,
    OptimizeNoExperiment = 41115,
    CheckingRemovable = 41116,
    CheckingRemoved = 41117,
    OptimizeUndoName = 41118,
    UnoptimizeUndoName = 41119,
    DeletionIntervalInvalid = 41120,
    DeletionIntervalCaption = 41121,
    ResizingAnimation = 41122,
    BicubicNoMemory = 41123,
    BicubicWarningQuestion = 41124,
    BicubicWarningText = 41125,
    BicubicWarningAdvice = 41126,
    BicubicWarningCaption = 41127,
    ColorsInUse = 41128,
    PaletteEntryTip = 41129,
};

// The text of a string-table entry; empty for an unknown number.
std::string_view LoadString(StringId id);

// printf-style formatting of one string argument into a table text ("%s").
std::string FormatString(StringId id, std::string_view arg);

// Same for a text containing "%s" and "%d" in that order.
std::string FormatString(StringId id, std::string_view arg, int number);

}  // namespace cinemill
