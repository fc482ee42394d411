#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/app/command_id.h"
#include "cinemill/app/transparency_choice.h"
#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/base/strings.h"
#include "cinemill/doc/animation.h"

// What the frame tool bar's controls do. The enabled and checked states are
// in menu_state.h; this file holds the selector texts, the field checks and
// the document changes the buttons make.
namespace cinemill {

class PreferenceBlock;
class UiHost;
class UndoHistory;

// ---- numeric fields ------------------------------------------------------------------------

// The integer an edit field holds: optional blanks, an optional sign, then
// digits up to the first other character. None when there is no digit. Very
// long digit runs saturate instead of overflowing.
std::optional<int64_t> ParseFieldInteger(std::string_view text);

// ---- frame selector ------------------------------------------------------------------------

// "#%d: %s" with the 1-based number and the frame's name.
std::string FrameSelectorEntry(int frame_index, std::string_view name);
// Entry 0 "[None]", then one entry per frame; just "[None]" without a document.
std::vector<std::string> FrameSelectorEntries(const Animation* doc);
// The entry showing a selection (-1 = none gives entry 0) and back.
inline int SelectorEntryForFrame(int selected) { return selected < 0 ? 0 : selected + 1; }
inline int FrameForSelectorEntry(int entry) { return entry <= 0 ? -1 : entry - 1; }

// ---- delay and play-count edits -----------------------------------------------------------

// What an edit's change leads to: a warning (with its caption), a new text
// for the edit, and the value to store when it differs from the current one.
struct EditOutcome {
    std::optional<StringId> message;
    std::optional<StringId> caption;
    std::optional<std::string> replaceText;
    std::optional<uint32_t> store;
};

// The delay edit: a value outside 0..65535 warns and the edit becomes
// 65535, which is then stored; text without a number changes nothing.
EditOutcome DelayEdited(std::string_view text, uint32_t current_delay);
// The play-count edit: a value outside 0..65536 warns and the edit becomes 0.
EditOutcome PlayCountEdited(std::string_view text, uint32_t current_count);
// Shows the outcome's warning, if any, as a captioned message.
void TellOutcome(UiHost& host, const EditOutcome& outcome);

// ---- buttons -------------------------------------------------------------------------------

// The disposal method a disposal button sets (1, 2, 3), -1 for other ids.
int DisposalForButton(CommandId id);
// Sets the frame's disposal method from the button; answers whether it changed.
bool ApplyDisposalButton(Frame& f, CommandId id);
// The Interlace button's check becomes the frame's interlace flag.
bool ApplyInterlaceButton(Frame& f, bool checked);

// Toggle Transparency. Unchecked: an "Edit Transparency" step (count 0) is
// recorded and the frame's transparency is switched off (SwitchedOff).
// Checked: the caller opens the picker as for Pick Transparency Color
// (OpenPicker). None when there is no such frame or nothing would change.
enum class ToggleOutcome { None, SwitchedOff, OpenPicker };
ToggleOutcome ToggleTransparency(Animation& doc, int selected, bool now_checked, UndoHistory& history);

// Pick Transparency Color after the picker's OK: records the step
// ((index << 16) | count, with a frame copy when colours are merged) and
// applies the choice; answers whether the frame changed (then the document
// is modified and the cell redrawn).
bool PickTransparencyAccepted(Animation& doc, int selected, const TransparencyChoice& c,
                              UndoHistory& history);

// Unchecking Local Palette: within a "Remove Local Palette" bracket, maps
// the frame into the global palette and drops its local one. Done: the
// bracket is committed (then modified, redraw, palette state changed with a
// size restart; the tool bar reload disables the palette buttons). Anything
// else: the bracket is dropped and the frame keeps its palette, so the
// reload checks the button again.
Result RemoveLocalPaletteWithUndo(Animation& doc, int selected, UndoHistory& history, UiHost& host,
                                  ProgressReporter& progress, PreferenceBlock& prefs);

}  // namespace cinemill
