#pragma once

// Editing decisions of the main window that are not part of the project
// model itself: where a dragged node lands, which colour a swatch edits and
// which example follows it, the size fields, the page remembered for Send.
// Toolkit-free, so that the GUI only measures and draws.

#include <string>
#include <vector>

#include "branchwork/model/project.h"

namespace branchwork {

// Where a drop at horizontal position x falls on a tree row whose label
// (icon and text) starts at label_left and ends at label_right: left of the
// label is the indentation, inside it the label, right of it elsewhere.
DropZone DropZoneAt(int x, int label_left, int label_right);

// Whether a node may be dropped on a target: both present and the target
// neither the node itself nor one of its descendants.
bool DropAllowed(const TreeNode* dragged, const TreeNode* target);

// The eight colour swatches of the "Applet Style" page.
enum class Swatch {
    TabCaptionFG, TabCaptionBG, TabMouseOver,
    TreeBranchFG, TreeBranchBG, TreeSelectedFG, TreeSelectedBG, TreeMouseOver,
};
inline constexpr int kSwatchCount = 8;
const std::vector<Swatch>& AllSwatches();
// The swatch's control name ("lblTabCaptionFG", ...).
const char* SwatchName(Swatch s);
// The style colour the swatch edits.
Color& SwatchColor(StyleSettings& s, Swatch w);
Color SwatchColor(const StyleSettings& s, Swatch w);

// An example element that follows a swatch: its control name and whether
// the swatch sets its text colour (else its background).
struct SwatchExample {
    const char* element;
    bool textColor;
};
std::vector<SwatchExample> SwatchExamples(Swatch s);

// A swatch takes a colour picked in the colour picker (nothing: cancelled,
// the style keeps its colour). Answers whether the style changed.
bool ApplyPickedColor(StyleSettings& s, Swatch w, const std::optional<Color>& picked);

// What the builder's session remembers between two Sends: the page chosen in
// the Enter Save Directory dialog, or the page named on the command line.
struct SessionPage {
    std::string path;  // empty: not chosen yet
    bool Known() const { return !path.empty(); }
};

// The directory part of a page's path with its trailing separator (the page
// directory Send works with); empty for an empty path.
std::string PageDirectoryOf(const std::string& page_path);

}  // namespace branchwork
