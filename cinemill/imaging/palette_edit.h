#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

// ---- applying an edited palette -------------------------------------------------

// Writes the edited colours into the frame's local palette: the entry count
// and the pixels stay; only colours change (the colour table and the
// transparent display colour are derived from it). `entries` holds at least
// as many colours as the palette (the editor passes 256). False when the
// frame has no local palette.
bool ApplyLocalPaletteEdit(Frame& f, const std::vector<Rgb>& entries);
// The same for the global palette; every frame without a local palette
// then shows the new colours.
bool ApplyGlobalPaletteEdit(Animation& a, const std::vector<Rgb>& entries);

// ---- the editor's state ----------------------------------------------------------------

struct PaletteEditorState {
    std::vector<Rgb> working;      // 256 entries, the palette's colours first
    int entryCount = 0;            // entries of the edited palette
    ColorUsage usage{};            // pixels per entry
    int previewTransparentIndex = -1;
    int selected = -1;
    bool modified = false;
};

// The editor on a frame's local palette (none without one).
std::optional<PaletteEditorState> OpenLocalPaletteEditor(const Frame& f);
// The editor on the global palette (none without one); the preview frame is
// PreviewFrameForGlobal's.
std::optional<PaletteEditorState> OpenGlobalPaletteEditor(const Animation& a, int selected_frame);
// The preview frame of the global editor: the selected frame (frame 0 when
// none is selected) if it has no local palette, else the first frame without
// one; -1 when every frame has a local palette.
int PreviewFrameForGlobal(const Animation& a, int selected_frame);

// Selecting an entry (a click on its cell or on a preview pixel); out of
// range indexes select nothing.
void SelectEntry(PaletteEditorState& s, int index);
// Typing into R (0), G (1) or B (2): the value is clamped to 0..255 and
// answered (the field shows it); a changed colour marks the editor modified.
int TypeChannel(PaletteEditorState& s, int channel, int value);
// A colour from the colour chooser.
void ChooseColor(PaletteEditorState& s, Rgb c);
// OK: the 256 working entries when modified, else none (closed as cancelled).
std::optional<std::vector<Rgb>> PaletteEditorResult(const PaletteEditorState& s);

// "Colors in use: %d of %d".
std::string ColorsInUseText(const ColorUsage& usage, int entry_count);
// "#%d: R=%d, G=%d, B=%d" with the 1-based entry number.
std::string PaletteEntryTip(int index, Rgb c);

// "Pick GIF Background Color": the selection starts at the current index;
// OK answers the selection, Cancel -1.
struct BackgroundPicker {
    int selected = 0;
    int count = 0;
};
BackgroundPicker OpenBackgroundPicker(const Animation& a);
void PickBackgroundEntry(BackgroundPicker& p, int index);
int BackgroundPickerResult(const BackgroundPicker& p, bool ok);

}  // namespace cinemill
