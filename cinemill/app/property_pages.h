#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/app/command_id.h"
#include "cinemill/app/transparency_choice.h"
#include "cinemill/base/progress.h"
#include "cinemill/doc/animation.h"

// The rules of the "Properties" sheet: which pages a command opens, what
// each page loads, how it checks its fields when it is left, what it writes
// when the sheet is applied, and the change flags the shell refreshes by.
// The page values are plain structs that the dialog fills from its controls.
namespace cinemill {

class PreferenceBlock;
class UiHost;
class UndoHistory;

// ---- the sheet -----------------------------------------------------------------------------

// Change flags the pages add.
namespace sheet_flags {
constexpr uint8_t kSelectedFrame = 0x04;   // Frame page: the selected frame changed
constexpr uint8_t kAllFrames = 0x08;       // Global Frame page: frames changed in place
constexpr uint8_t kAnimationFields = 0x10; // Animation page: play count or background index
constexpr uint8_t kGlobalPalette = 0x20;   // Animation page: the global palette was edited
constexpr uint8_t kScreen = 0x40;          // Animation page: the logical screen was applied
}  // namespace sheet_flags

enum class PropertyPage { Frame, GlobalFrame, Animation };

struct SheetPlan {
    std::vector<PropertyPage> pages;
    PropertyPage start = PropertyPage::Frame;
};
// Frame Properties: Frame, Global Frame, Animation, starting on Frame.
// Global Properties and Animation Properties: Global Frame and Animation,
// starting on the page they name. None for other commands.
std::optional<SheetPlan> SheetFor(CommandId command);

// What the shell refreshes after the sheet reports its flags.
struct SheetRefresh {
    bool framesChanged = false;       // 0x40: relayout
    bool redrawAll = false;           // 0x08 or 0x20 (without 0x40)
    bool redrawSelected = false;      // 0x04 alone
    bool reloadAnimationFields = false;  // 0x10
    bool rewriteTotalTime = false;    // 0x04 or 0x08
    bool reloadFrameToolbar = false;  // 0x04 or 0x08
    bool paletteStateRestart = false; // any flag: the encoded size must be counted again
    bool rewriteSelectorEntry = false;  // 0x04
    bool modified = false;            // any flag
};
SheetRefresh RefreshForChangeFlags(uint8_t flags);

// The disposal list of both frame pages; entry i is disposal method i.
std::vector<std::string> DisposalListEntries();

// Control ids the checks put the focus on.
enum class PageField : int {
    None = 0,
    Delay = 1000,
    OffsetX = 1008,
    OffsetY = 1009,
    Width = 1021,
    Height = 1022,
    Iterations = 1025,
};

struct PageCheck {
    bool ok = true;
    PageField focus = PageField::None;
};

// Everything the pages change goes through this context.
struct PageContext {
    Animation& doc;
    UndoHistory& history;
    UiHost& host;
    ProgressReporter& progress;
    PreferenceBlock& prefs;
};

// A field that holds only blanks counts as blank.
bool IsBlank(std::string_view text);

// ---- transparency on the pages -------------------------------------------------------------

enum class TriState { Off, On, Mixed };

// The Transparent box with its pending choice record.
struct TransparencyField {
    TriState box = TriState::Off;
    TransparencyChoice choice;  // the record the picker edits
    bool changed = false;       // the picker reported a change

    // After the picker closed: OK checks the box when the choice's count is
    // not 0 (else unchecks it) and counts as a change; Cancel after the box
    // was checked to open the picker unchecks it again.
    void PickerClosed(bool accepted, bool opened_by_checking);
};

// ---- Frame page ----------------------------------------------------------------------------

struct FramePageFields {
    std::string name;
    int32_t width = 0, height = 0;  // read-only
    std::string offsetX, offsetY, delay;
    bool interlaced = false;
    TransparencyField transparent;
    bool localPaletteEnabled = false;  // the frame has a local palette
    bool localPaletteChecked = false;
    int disposal = -1;  // list selection (-1 none: methods 4 to 7 have no entry)
};

FramePageFields LoadFramePage(const Frame& f);
// Offsets X then Y (range, then the complete-clipping question against the
// logical screen), then the delay; the first failure stops.
PageCheck CheckFramePage(const FramePageFields& p, uint32_t screen_width, uint32_t screen_height,
                         UiHost& host);
// Writes the page to frame `index`: the local-palette removal first (its
// failure writes nothing more), then name, interlace, offsets, disposal,
// delay, then the transparency (one "Edit Transparency" step). Answers 0x04
// when anything changed. The frame's wait-for-input flag is kept.
uint8_t ApplyFramePage(PageContext& ctx, int index, FramePageFields& p);

// ---- Global Frame page ---------------------------------------------------------------------

struct GlobalFramePageFields {
    std::string width, height;  // read-only, blank unless every frame shares it
    std::string offsetX, offsetY, delay;  // blank where the frames differ
    TriState interlaced = TriState::Off;
    TransparencyField transparent;
    bool localPaletteEnabled = false;  // some frame has a local palette
    TriState localPalette = TriState::Off;
    int disposal = -1;
};

GlobalFramePageFields LoadGlobalFramePage(const Animation& a);
// The frame the picker shows: the first frame (null without frames).
const Frame* GlobalPickerFrame(const Animation& a);
// As on the Frame page; blank fields pass.
PageCheck CheckGlobalFramePage(const GlobalFramePageFields& p, uint32_t screen_width,
                               uint32_t screen_height, UiHost& host);
// Writes every non-blank field to every frame, removes local palettes when
// the box was unchecked (a failure stops the page), then applies the
// transparency to every frame as one "Edit All Transparency" step. Answers
// 0x08 when anything changed, also when a failure stopped the page after
// some frames had changed.
uint8_t ApplyGlobalFramePage(PageContext& ctx, GlobalFramePageFields& p);

// ---- Animation page ------------------------------------------------------------------------

struct AnimationPageFields {
    std::string fileName;  // read-only: the current path
    int frameCount = 0;    // read-only
    std::string iterations;
    std::string width, height;
    bool sizeEdited = false;    // the user typed in Width or Height (or used Auto Size)
    bool hasGlobalPalette = false;  // the always disabled box; also enables Edit... and GIF Bk Color
    int backgroundIndex = 0;    // pending
    bool paletteEdited = false;  // the palette editor reported a change
};

AnimationPageFields LoadAnimationPage(const Animation& a, std::string_view path);
// Auto Size: the smallest screen that holds every frame.
void AutoSize(AnimationPageFields& p, const Animation& a);
// With an edited size: width range, the clipping question, height likewise;
// then always the iterations.
PageCheck CheckAnimationPage(const AnimationPageFields& p, const Animation& a, UiHost& host);
// Writes play count (0x10 when changed), the screen when the size was
// edited (0x40 even when unchanged), the background index (0x10 when it
// differs) and 0x20 for an edited global palette.
uint8_t ApplyAnimationPage(Animation& a, const AnimationPageFields& p);

}  // namespace cinemill
