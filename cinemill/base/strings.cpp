#include "cinemill/base/strings.h"

#include <array>
#include <utility>

namespace cinemill {
namespace {

struct Entry {
    StringId id;
    std::string_view text;
};

constexpr std::array kTable = {
    Entry{StringId::LocalPaletteFailed, "Unable to create a local palette."},
    Entry{StringId::FrameImageNoMemory, "Not enough memory to build frame image."},
    Entry{StringId::GifCorrupt,
          "Error encountered when reading file. The GIF file appears to be corrupt."},
    Entry{StringId::PartlyRead, "Only part of the animation was read."},
    Entry{StringId::ReadFailed, "Unable to read file successfully."},
    Entry{StringId::NotValidGif, "%s is not a valid GIF File."},
    Entry{StringId::ReadingGif, "Reading GIF file...  (Esc to abort)"},
    Entry{StringId::WritingGif, "Writing GIF animation... (Esc to abort)"},
    Entry{StringId::SaveTempFailed, "Unable to save to '%s' (temporary file)."},
    Entry{StringId::WriteToFailed, "Unable to write to %s."},
    Entry{StringId::ErrorSaving, "Error saving to '%s'."},
    Entry{StringId::ClipQuestion,
          "This animation has some frames that extend beyond the GIF \"screen\" and should be "
          "clipped (not a reversible action).\n\nShould the animation be clipped and saved?"},
    Entry{StringId::ClipTitle, "Animation needs clipping"},
    Entry{StringId::CopyNoMemory, "Not enough memory for copy/cut operation"},
    Entry{StringId::PasteNoFormat, "Cannot paste any of the available formats."},
    Entry{StringId::DibUnsupported, "This type of image data is not supported."},
    Entry{StringId::DibRle, "RLE-compressed BMP/DIB images are not supported."},
    Entry{StringId::Dib16or32, "Image's color format (16- or 32-bit) is not currently supported."},
    Entry{StringId::CommentNoMemory, "Not enough memory for new comment."},
    Entry{StringId::RemoveLocalPaletteNoMemory,
          "Insufficient resources for removing the local palette."},
    Entry{StringId::PastingFrame, "Pasting Frame..."},
    Entry{StringId::FrameNameFormat, "%s - Frame %d"},
    Entry{StringId::Unnamed, "[Unnamed]"},
    Entry{StringId::DefaultSignature, "Built with Cinemill 2.6"},
    Entry{StringId::ErrorCaption, "Error"},

    // Colour reduction and palette merging.
    Entry{StringId::ReduceNoMemory, "Not enough memory to build new palettes."},
    Entry{StringId::ReducingPalettes, "Reducing Palette(s)..."},
    Entry{StringId::DitheringFrames, "Dithering Frames..."},
    Entry{StringId::RemappingFrames, "Remapping Frames..."},
    Entry{StringId::RemappingLocalPalettes, "Remapping Local Palettes..."},
    Entry{StringId::DitherNoMemory, "Insufficient memory for dithering."},
    Entry{StringId::DitherNoResources,
          "Not enough resources for error diffusion of dithering operations."},
    Entry{StringId::NonReducible,
          "The animation's palette contains 8 or fewer colors and cannot be further reduced."},
    Entry{StringId::NonReducibleCaption, "Non-reducible Palette"},
    Entry{StringId::FullPalette, "Full Palette"},
    Entry{StringId::ColorsFormat, "(%d colors)"},
    Entry{StringId::FileSizeFormat, "File Size: %s bytes"},
    Entry{StringId::ReducedPalette, "Reduced Palette"},
    Entry{StringId::SavingsFormat, "Savings: %s bytes (%.1f%%)"},
    Entry{StringId::SavingsNone, "Savings: None"},
    Entry{StringId::DuplicatingAnimation, "Duplicating Animation..."},
    Entry{StringId::CalculatingFileSize, "Calculating File Size..."},
    Entry{StringId::ReduceCopyNoMemory, "Not enough memory to reduce palette(s)."},
    Entry{StringId::AnalyzingColors, "Analyzing Colors..."},
    Entry{StringId::RemappingFrameColors, "Remapping Frame Colors..."},
    Entry{StringId::BuildingLocalPalettes, "Building Local Palettes..."},
    Entry{StringId::MergeNoMemory, "Not enough memory to merge the palettes."},
    Entry{StringId::TrueColorInvalid, "The frame's true-color image data is incomplete."},
    // Optimizer, frame geometry and palette editing.
    Entry{StringId::OptimizeCalculatingSize, "Calculating file size..."},
    Entry{StringId::BytesFormat, "%s bytes"},
    Entry{StringId::OptimizeSavingsNone, "None"},
    Entry{StringId::RemovingLocalPalettes, "Removing Local Palettes..."},
    Entry{StringId::ShrinkingGlobalPalette, "Shrinking Global Palette..."},
    Entry{StringId::ShrinkingLocalPalettes, "Shrinking Local Palettes..."},
    Entry{StringId::OptimizeNoResources, "Not enough resources to fully optimize animation."},
    Entry{StringId::OptimizingFrames, "Optimizing Frame Images..."},
    Entry{StringId::OptimizeRanOut, "Ran out of resources during optimization."},
    Entry{StringId::UnoptimizeLocalPalettes, "Because of the existence of local palettes in this animation, it cannot be unoptimized."},
    Entry{StringId::UnoptimizeCaption, "Unable to Unoptimize"},
    Entry{StringId::UnoptimizeNoMemory, "Not enough memory for unoptimization."},
    Entry{StringId::Unoptimizing, "Unoptimizing animation..."},
    Entry{StringId::UnoptimizeIncomplete, "Not enough memory to complete the unoptimizing."},
    Entry{StringId::CopyingAnimation, "Copying animation..."},
    Entry{StringId::OptimizeNoExperiment, "There is insufficient memory to experiment with optimization settings.\n\nTo optimize the animation, please choose the settings you desire and hit OK."},
    Entry{StringId::CheckingRemovable, "Checking for removable frames..."},
    Entry{StringId::CheckingRemoved, "Checking for removed frames..."},
    Entry{StringId::OptimizeUndoName, "Optimize Animation"},
    Entry{StringId::UnoptimizeUndoName, "Unoptimize Animation"},
    Entry{StringId::DeletionIntervalInvalid, "The deletion interval must be in the range between 2 and the total number of frames."},
    Entry{StringId::DeletionIntervalCaption, "Invalid Deletion Interval"},
    Entry{StringId::ResizingAnimation, "Resizing Animation..."},
    Entry{StringId::BicubicNoMemory, "There was not enough memory for bicubic scaling. Operation aborted."},
    Entry{StringId::BicubicWarningQuestion, "Do you wish to proceed with the current resize settings?"},
    Entry{StringId::BicubicWarningText, "Bicubic resizing of transparent and/or offset frames may cause visual errors in this animation."},
    Entry{StringId::BicubicWarningAdvice, "For animations like this, Nearest Neighbor is often the better choice for preserving inter-frame information. Alternately, you may wish to Unoptimize the animation before resizing for better results."},
    Entry{StringId::BicubicWarningCaption, "Bicubic Resize Warning"},
    Entry{StringId::ColorsInUse, "Colors in use: %d of %d"},
    Entry{StringId::PaletteEntryTip, "#%d: R=%d, G=%d, B=%d"},
    // Import and export formats.
    Entry{StringId::AviNoVideoStream, "Unable to find video stream in %s."},
    Entry{StringId::AviNoMemoryFormat, "Insufficient memory for reading movie."},
    Entry{StringId::AviBadFormat, "Bad stream format."},
    Entry{StringId::AviNoDecompressor, "Cannot find a decompressor to read this AVI."},
    Entry{StringId::AviPaletteFailed, "Unable to create 8-bit global palette."},
    Entry{StringId::AviReading, "Reading AVI File... (Esc to abort)"},
    Entry{StringId::AviReadError, "Error encountered while reading video."},
    Entry{StringId::AviNoMemoryData, "Ran out of memory while reading video data."},
    Entry{StringId::AviNotFullSized,
          "Unable to write an AVI file when the animation contains frames that are not full-sized. "
          "Please try Unoptimizing first."},
    Entry{StringId::AviTransparency,
          "Unable to write an AVI file with transparency or local palettes in the animation."},
    Entry{StringId::AviOpenFailed, "Unable to AVI open %s. Error: 0x%x."},
    Entry{StringId::AviCreateFailed, "Unable to create AVI file %s."},
    Entry{StringId::AviSetFormatFailed, "Problems setting AVI format."},
    Entry{StringId::AviConverting, "Converting to AVI Format... (Esc to abort)"},
    Entry{StringId::AviWriteError, "Error 0x%x when outputting frames to AVI."},
    Entry{StringId::AviCompressing, "Compressing AVI... (Esc to abort)"},
    Entry{StringId::AviCompressFailed,
          "The Video For Windows compressor failed with %s.\nDo you want to save the AVI uncompressed?"},
    Entry{StringId::AviCompressTitle, "Compression Error"},
    Entry{StringId::AviOutOfMemoryError, "an Out of Memory Error"},
    Entry{StringId::AviErrorCode, "an Error 0x%x"},
    Entry{StringId::AniHiColor, "Unable to read hi-color cursor/icon format."},
    Entry{StringId::OutOfMemory, "Out of memory"},
    Entry{StringId::AniInvalid, "This file is not a valid animated cursor."},
    Entry{StringId::BmpNoMemory, "Insufficient memory for reading this BMP/DIB file."},
    Entry{StringId::BmpReadFailed, "Unable to read this BMP/DIB file. It appears to be damaged."},
    Entry{StringId::JpegNoMemory, "Insufficient memory to read JPEG image data."},
    Entry{StringId::PsdReading, "Reading PSD file..."},
    Entry{StringId::PsdInvalid, "This is not a valid Photoshop PSD file."},
    Entry{StringId::PsdColorMode,
          "This PSD file is in a color mode not currently supported.\n\nThe currently supported "
          "modes are \"RGB\" and \"Indexed\"."},
    Entry{StringId::PsdNoMemoryImage, "Not enough memory to read image (or image layer)."},
    Entry{StringId::PsdCorrupt, "Error reading data. This file appears to be corrupt."},
    Entry{StringId::PsdLayerInfo, "Reading Layer Info..."},
    Entry{StringId::PsdLayerData, "Reading Layer Image Data..."},
    Entry{StringId::PsdNoMemoryComposite, "Not enough memory for building composite images."},
    Entry{StringId::PsdNoMemoryMask, "Insufficient memory to read transparency mask."},
    Entry{StringId::PsdDepth, "Only PSD files with 8 bits per channel can be read."},
    Entry{StringId::FilmstripTransparency,
          "Unable to write a single filmstrip when all the frames don't share the same "
          "transparency state."},
    Entry{StringId::FilmstripLocalPalettes,
          "Unable to write a single filmstrip when local palettes are present in the animation."},
    Entry{StringId::FilmstripNoMemory, "Not enough memory for filmstrip creation."},
    Entry{StringId::FilmstripNotStrip,
          "A filmstrip file has only one image in it. This GIF file does not appear to contain a "
          "filmstrip."},
    Entry{StringId::FilmstripHorizontal, "Horizontal doesn't divide right."},
    Entry{StringId::FilmstripVertical, "Vertical doesn't divide right."},
    Entry{StringId::FilmstripZero, "The number of frames must be at least 1."},
    Entry{StringId::HtmlNeedName, "A file name is needed to generate the HTML code"},
    Entry{StringId::OpenFileFailed, "Unable to open file '%s'."},
    Entry{StringId::UnknownFileType, "Unable to read this type of file."},
    Entry{StringId::JpegReadFailed, "Unable to read this JPEG file: %s"},
    Entry{StringId::AviTooLarge, "The AVI file is too large to be written (more than 4 GB)."},
    Entry{StringId::FilmstripTooLarge, "The filmstrip would be larger than 65535 pixels in a direction."},
    Entry{StringId::UndoNameFrameMove, "Frame Move"},
    Entry{StringId::UndoNameDeleteFrame, "Delete Frame"},
    Entry{StringId::UndoNameInsertFrames, "Insert Frame(s)"},
    Entry{StringId::UndoNameOptimize, "Optimize Animation"},
    Entry{StringId::UndoNameUnoptimize, "Unoptimize Animation"},
    Entry{StringId::UndoNameReducePalette, "Reduce Palette"},
    Entry{StringId::UndoNameGlobalFrameProperties, "Global Frame Properties"},
    Entry{StringId::UndoNameFrameProperties, "Frame Properties"},
    Entry{StringId::UndoNameCropMoveFrame, "Crop/Move Frame"},
    Entry{StringId::UndoNameCropAnimation, "Crop Animation"},
    Entry{StringId::UndoNameRotateFrame, "Rotate Frame"},
    Entry{StringId::UndoNameRotateAll, "Rotate All Frames"},
    Entry{StringId::UndoNameEditTransparency, "Edit Transparency"},
    Entry{StringId::UndoNameEditAllTransparency, "Edit All Transparency"},
    Entry{StringId::UndoNameEditPalette, "Edit Palette"},
    Entry{StringId::UndoNameRemoveLocalPalette, "Remove Local Palette"},
    Entry{StringId::UndoNameReorder, "Reorder Animation"},
    Entry{StringId::UndoNameEditComments, "Edit GIF Comments"},
    Entry{StringId::UndoNameReduceFrameCount, "Reduce Frame Count"},
    Entry{StringId::UndoNameScale, "Scale Animation"},
    Entry{StringId::UndoNamePaste, "Paste"},
    Entry{StringId::UndoNameNop, "NOP"},
    Entry{StringId::UndoLowMemory, "There is insufficient memory for full Undo capabilities. Only the most recent actions will be undoable in this session."},
    Entry{StringId::UndoWarningCaption, "Undo Warning"},
    Entry{StringId::UndoMenuFormat, "&Undo %s\tCtrl-Z"},
    Entry{StringId::CantUndo, "Can't &Undo\tCtrl-Z"},
    Entry{StringId::RedoMenuFormat, "&Redo %s\tCtrl-Y"},
    Entry{StringId::CantRedo, "Can't &Redo\tCtrl-Y"},
    Entry{StringId::DelayRange, "The delay must be in the range from 0 to 65535."},
    Entry{StringId::DelayCaption, "Invalid Delay Value"},
    Entry{StringId::IterationsRangeToolbar, "The number of iterations must be in the range from 0 to 65536. Recall that 0 means continuous loop."},
    Entry{StringId::IterationsCaption, "Bad Iteration Value"},
    Entry{StringId::IterationsRange, "The number of iterations must be in the range from 0 to 65536."},
    Entry{StringId::OffsetRange, "Offset values must be in the range from -65535 to 65535."},
    Entry{StringId::OffsetCaption, "Bad Offset Value"},
    Entry{StringId::OffsetClipQuestion, "This offset will clip the frame completely. Are you sure that you want to do this?"},
    Entry{StringId::OffsetClipCaption, "Complete Clipping"},
    Entry{StringId::WidthRange, "The width must be in the range from 0 to 65535."},
    Entry{StringId::WidthCaption, "Bad Width Value"},
    Entry{StringId::WidthClipQuestion, "This width will clip some frames. Are you sure that you want to do this?"},
    Entry{StringId::ImageClippingCaption, "Image Clipping"},
    Entry{StringId::HeightRange, "The height must be in the range from 0 to 65535."},
    Entry{StringId::HeightCaption, "Bad Height Value"},
    Entry{StringId::HeightClipQuestion, "This height will clip some frames. Are you sure that you want to do this?"},
    Entry{StringId::CommentTooLong, "The comment string must be shorter than 255 characters. Use multiple comment blocks if necessary."},
    Entry{StringId::CommentTooLongCaption, "Comment Too Long"},
    Entry{StringId::PaneFrameOf, "  Frame #%d of %d"},
    Entry{StringId::PaneNoneOf, "  None of %d frames"},
    Entry{StringId::PaneDimensions, "  %d × %d"},
    Entry{StringId::PaneTotalTime, "  %.2f secs"},
    Entry{StringId::PaneFileSize, "  File Size: %s bytes  (%s at %s)"},
    Entry{StringId::PaneCalculating, "  File Size: Calculating..."},
    Entry{StringId::PaneZoom, "  %d%%"},
    Entry{StringId::ReadyToAnimate, "Ready to Animate"},
    Entry{StringId::DownloadSeconds, "%.1fsecs"},
    Entry{StringId::DownloadUnderTenth, "< 0.1sec"},
    Entry{StringId::DownloadMenuItem, "%s :\t %s"},
    Entry{StringId::SelectorNone, "[None]"},
    Entry{StringId::SelectorEntry, "#%d: %s"},
    Entry{StringId::RevertQuestion, "Reverting to Saved will lose any changes made since the last save."},
    Entry{StringId::RevertCaption, "Revert to Saved"},
    Entry{StringId::SaveChangesTo, "Save changes to %s?"},
    Entry{StringId::SaveChangesUntitled, "Save changes to untitled animation?"},
    Entry{StringId::ProgramName, "Cinemill"},
    Entry{StringId::TooManyFiles, "Too many files to read. Only read the first %d."},
    Entry{StringId::ContinueReading, "Do you want to continue reading the remainder of the files?"},
    Entry{StringId::FileOpenErrorCaption, "File Open Error"},
    Entry{StringId::TitleFormat, "%s - %s"},
    Entry{StringId::Untitled, "Untitled"},
    Entry{StringId::OpenTitle, "Open File(s)"},
    Entry{StringId::InsertTitle, "Insert Frame(s) Into Animation"},
    Entry{StringId::SaveAsTitle, "Save Animation As"},
    Entry{StringId::ExportAviTitle, "Export Animation to AVI"},
    Entry{StringId::ExportFilmstripTitle, "Export to GIF Filmstrip"},
    Entry{StringId::ExportCursorTitle, "Export to Windows Animated Cursor"},
    Entry{StringId::HelpMissing, "Unable to find help file. Please re-install Cinemill."},
    Entry{StringId::FileOpenDialogFailed, "File Open failed with error %lX."},
};

// Replaces the first occurrence of `token` in `text` by `value`.
std::string ReplaceFirst(std::string text, std::string_view token, std::string_view value) {
    const auto pos = text.find(token);
    if (pos != std::string::npos) text.replace(pos, token.size(), value);
    return text;
}

}  // namespace

std::string_view LoadString(StringId id) {
    for (const auto& e : kTable)
        if (e.id == id) return e.text;
    return {};
}

std::string FormatString(StringId id, std::string_view arg) {
    return ReplaceFirst(std::string(LoadString(id)), "%s", arg);
}

std::string ReplaceToken(std::string text, std::string_view token, std::string_view value) {
    return ReplaceFirst(std::move(text), token, value);
}

std::string FormatString(StringId id, std::string_view arg, int number) {
    return ReplaceFirst(FormatString(id, arg), "%d", std::to_string(number));
}

}  // namespace cinemill
