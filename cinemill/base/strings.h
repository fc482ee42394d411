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
    // Import and export formats (AVI, animated cursor, BMP/DIB, JPEG, PSD,
    // filmstrip, HTML tag, opening by extension).
    AviNoVideoStream = 41500,
    AviNoMemoryFormat = 41501,
    AviBadFormat = 41502,
    AviNoDecompressor = 41503,
    AviPaletteFailed = 41504,
    AviReading = 41505,
    AviReadError = 41506,
    AviNoMemoryData = 41507,
    AviNotFullSized = 41508,
    AviTransparency = 41509,
    AviOpenFailed = 41510,
    AviCreateFailed = 41511,
    AviSetFormatFailed = 41512,
    AviConverting = 41513,
    AviWriteError = 41514,
    AviCompressing = 41515,
    AviCompressFailed = 41516,
    AviCompressTitle = 41517,
    AviOutOfMemoryError = 41518,
    AviErrorCode = 41519,
    AniHiColor = 41520,
    OutOfMemory = 41521,
    AniInvalid = 41522,
    BmpNoMemory = 41523,
    BmpReadFailed = 41524,
    JpegNoMemory = 41525,
    PsdReading = 41526,
    PsdInvalid = 41527,
    PsdColorMode = 41528,
    PsdNoMemoryImage = 41529,
    PsdCorrupt = 41530,
    PsdLayerInfo = 41531,
    PsdLayerData = 41532,
    PsdNoMemoryComposite = 41533,
    PsdNoMemoryMask = 41534,
    PsdDepth = 41535,
    FilmstripTransparency = 41536,
    FilmstripLocalPalettes = 41537,
    FilmstripNoMemory = 41538,
    FilmstripNotStrip = 41539,
    FilmstripHorizontal = 41540,
    FilmstripVertical = 41541,
    FilmstripZero = 41542,
    HtmlNeedName = 41543,
    OpenFileFailed = 41544,
    UnknownFileType = 41545,
    JpegReadFailed = 41546,
    AviTooLarge = 41547,
    FilmstripTooLarge = 41548,
};

// The text of a string-table entry; empty for an unknown number.
std::string_view LoadString(StringId id);

// printf-style formatting of one string argument into a table text ("%s").
std::string FormatString(StringId id, std::string_view arg);

// Same for a text containing "%s" and "%d" in that order.
std::string FormatString(StringId id, std::string_view arg, int number);

}  // namespace cinemill
