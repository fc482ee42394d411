#pragma once

// The builder's fixed user-facing texts, in one place so that the GUI, the
// command line and the tests show and expect the same words.
namespace branchwork::texts {

inline constexpr const char* kCannotDeleteLastTab = "Cannot delete last tab";
inline constexpr const char* kCannotDeleteRootNode = "Cannot Delete Root Node";
inline constexpr const char* kDeleteSubtree = "Do you want to delete this node and all it's children?";
inline constexpr const char* kImagePrefix = "Image: ";
inline constexpr const char* kImageMustBe16 = " must be 16x16.";
inline constexpr const char* kClearProject = "Are you sure you want to clear the current information?";
inline constexpr const char* kQuit = "Are you sure you want to quit?";
inline constexpr const char* kNewTab = "New Tab";
inline constexpr const char* kNewNode = "New Node";
inline constexpr const char* kBlankTab = "Blank";

inline constexpr const char* kOpenImageFailed = "An error occured while trying to open ";

// Loading: a text cut off before the applet's closing tag, and a file over
// the size the builder reads.
inline constexpr const char* kPartlyRead =
    "The applet ends before its </APPLET> tag, so it was only partly read.";
inline constexpr const char* kFileTooLargePrefix = "The file \"";
inline constexpr const char* kFileTooLargeSuffix = "\" is too large to open (the limit is 64 MB).";

// An HTML menu that branchwork did not write (or that was edited past
// reading); the reason follows.
inline constexpr const char* kNotOurHtmlMenu = "The HTML menu was not loaded because it is not a branchwork menu: ";

inline constexpr const char* kNoOpenFile = "There is no open file in Harborline. A new file will be created.";
inline constexpr const char* kNoFileName =
    "Unable to retrieve the HTML document's filename. Use the Fetchwell to update Harborline and fix this error.";
inline constexpr const char* kNotSaved = "The current file in Harborline is not saved. It will now be saved.";
inline constexpr const char* kCommunicationError = "An error has occured while communicating with Harborline.";
inline constexpr const char* kInserted = "HTML inserted successfully.";
// Said when the host still reports no directory after repeated saves.
inline constexpr const char* kStillNotSaved =
    "The current file in Harborline could not be saved, so the applet was not sent.";
// Said when no page directory could be learnt at all.
inline constexpr const char* kNoPageDirectory =
    "The directory of the current Harborline document is unknown, so the applet was not sent.";

// Said when the page host could not write the page with the inserted
// applet; the page's path and a full stop follow.
inline constexpr const char* kPageNotWritten = "The applet was not inserted: could not write the page \"";
// Said when a page is in an encoding it cannot be read and written back in
// faithfully; the page's path goes between the two.
inline constexpr const char* kPageEncodingPrefix = "The page \"";
inline constexpr const char* kPageEncodingSuffix =
    "\" is not in an encoding branchwork can read and write back (UTF-8, UTF-16 with a byte order mark, or an "
    "8-bit character set), so it was left unchanged.";
// Said when the page exists but cannot be read; nothing is written.
inline constexpr const char* kPageUnreadablePrefix = "The page \"";
inline constexpr const char* kPageUnreadableSuffix = "\" cannot be read, so the applet was not sent.";
// Markup generation: the graphics directory cannot be reached from the page
// by a relative path, or does not exist and cannot be made.
inline constexpr const char* kGraphicsNotReachablePrefix = "The graphics directory \"";
inline constexpr const char* kGraphicsNotReachableSuffix =
    "\" cannot be reached from the page's directory by a relative path, so the images would not show.";
inline constexpr const char* kGraphicsDirMissingSuffix =
    "\" does not exist and could not be created.";

// The output-options dialog of a Send: the form the menu is written in, and
// for the HTML menu where its script and style sheet go.
inline constexpr const char* kOutputFormGroup = "Output form";
inline constexpr const char* kOutputFormApplet = "Applet markup (the APPLET element)";
inline constexpr const char* kOutputFormHtmlMenu = "HTML menu (HTML, CSS and script that today's browsers run)";
inline constexpr const char* kNodeInfoGroup = "Applet node information";
inline constexpr const char* kHtmlMenuFilesGroup = "HTML menu script and style";
inline constexpr const char* kHtmlMenuInline = "Inside the page";
inline constexpr const char* kHtmlMenuExternal = "In branchwork-menu.js and branchwork-menu.css next to the page";
// Files that cannot be read or written; the path goes between prefix and
// suffix.
inline constexpr const char* kCannotOpenPrefix = "Cannot open file \"";
inline constexpr const char* kCannotOpenSuffix = "\".";
inline constexpr const char* kCannotCreatePrefix = "Cannot create file \"";
inline constexpr const char* kCannotCreateSuffix = "\".";
// A class file that could not be written: prefix, file name, kExtractTo,
// path, kExtractReasonSeparator, the reason (kWriteFailed when the system
// gave none).
inline constexpr const char* kExtractFailed = "An error occurred while trying to extract ";
inline constexpr const char* kExtractTo = " to ";
inline constexpr const char* kExtractReasonSeparator = ".\n\n";
inline constexpr const char* kWriteFailed = "The file could not be written.";
// Loading: a node line with too few fields (the count follows), a value
// that is not a whole number (quoted, between the quote and kNotAnInteger).
inline constexpr const char* kListIndexPrefix = "List index out of bounds (";
inline constexpr const char* kListIndexSuffix = ")";
inline constexpr const char* kNotAnInteger = "' is not a valid integer value";

// The command line: a file without any of the applets, a page without a
// menu; the path follows.
inline constexpr const char* kNoAppletIn = "No applet of the three navigation applets in ";
inline constexpr const char* kNoMenuIn = "No branchwork menu (applet or HTML menu) in ";

// Palette files of the colour picker.
inline constexpr const char* kReadBeyondEnd = "Read beyond end of file";
inline constexpr const char* kNotJascPalette = "Not a JASC-PAL palette file";
inline constexpr const char* kNotRiffPalette = "Not a RIFF palette file";
inline constexpr const char* kUnknownPaletteType = "Unknown palette file type: ";
inline constexpr const char* kPaletteMissingPrefix = "The file \"";
inline constexpr const char* kPaletteMissingSuffix =
    "\" does not exist.  The default websafe palette will be displayed instead.";

inline constexpr const char* kEnterFileName = "Please enter the HTML file's full name and path.";
inline constexpr const char* kUnableToFind = "Unable to find ";
inline constexpr const char* kCheckFileName = "Please check the filename and try again.";

inline constexpr const char* kAppTitle = "Branchwork v3.02";

inline constexpr const char* kGifPaletteError =
    "An error occurred while reading this file.  It is either not a valid GIF file or it has no Global Palette.";
inline constexpr const char* kNotHtmlColor = " is not a valid HTML color code.";
inline constexpr const char* kClearCustomColors = "Are you sure you want to clear all custom colors ?";

}  // namespace branchwork::texts
