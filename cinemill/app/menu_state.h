#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cinemill/app/command_id.h"

// Which menu items are grayed or checked and which tool bar buttons are
// enabled or checked, as pure functions of the few facts they depend on.
// The engine fills the inputs from its state; the GUI maps the answers onto
// its actions and buttons.
namespace cinemill {

// ---- menu bar ----------------------------------------------------------------------------

// The facts the menu bar depends on when it opens.
struct MenuInput {
    bool hasDocument = false;
    int frameCount = 0;
    int selectedFrame = -1;          // -1 = none
    bool hasPath = false;            // false = untitled
    bool modified = false;
    bool canUndo = false;
    bool canRedo = false;
    bool clipboardHasFrame = false;  // a packed DIB or the private frame record
    bool previewOpen = false;
    bool hasGlobalPalette = false;
    bool selectedHasLocalPalette = false;
    int zoomLevel = 0;               // -4..3
    int orientation = 0;             // the view's value: direction 1 or 2, plus 0x1000 when chosen
    uint32_t transparencyMode = 0;   // 0 window background, 1 colour in frame, 2 custom colour
    int downloadSpeed = 1;           // index 0..5
};

// The pop-up menus that are grayed as a whole (they have no command id).
enum class MenuPopup { ExportAs, Rotate, RotateAll };

struct MenuState {
    std::vector<int> grayed;   // command ids
    std::vector<int> checked;  // command ids
    bool exportAsGrayed = false;   // File > Export As
    bool rotateGrayed = false;     // Frame > Rotate
    bool rotateAllGrayed = false;  // Frame > Rotate All

    bool Grayed(CommandId id) const;
    bool Checked(CommandId id) const;
    bool PopupGrayed(MenuPopup p) const;
};

// The menu state rules. Undo and Redo are grayed when there is nothing to
// step (their texts come from the history).
MenuState ComputeMenuState(const MenuInput& in);

// The Set Zoom item of a zoom level (40064 + level, the level clamped to -4..3).
CommandId ZoomItemForLevel(int level);
// The Orientation item checked for the view's orientation value.
CommandId OrientationItem(int orientation);
// The Transparency As item of a display mode (modes above 2 show a custom colour).
CommandId TransparencyItem(uint32_t mode);
// The Download Time item of a speed index; an index outside 0..5 stands for
// the default speed 1.
CommandId DownloadItem(int speed);
// The speed index of a Download Time item; -1 for other ids and for the
// items that have no speed (40099 to 40102).
int DownloadSpeedOf(int command_id);

// ---- tool bars ---------------------------------------------------------------------------

struct ButtonState {
    CommandId id;
    bool enabled = false;
    bool checked = false;
    friend bool operator==(const ButtonState&, const ButtonState&) = default;
};

// The facts the main tool bar depends on.
struct MainToolbarInput {
    bool hasDocument = false;
    int frameCount = 0;
    int selectedFrame = -1;
    bool modified = false;
    bool canUndo = false;
    bool canRedo = false;
    bool clipboardHasFrame = false;
    bool previewOpen = false;
    int zoomLevel = 0;
    int orientation = 0;  // the view's value, as for the menu
};

// The main tool bar's buttons in their order on the bar (separators left out).
std::vector<ButtonState> MainToolbarState(const MainToolbarInput& in);

// The facts the frame tool bar depends on: the selected frame's fields and
// the document's animation fields.
struct FrameToolbarInput {
    bool hasDocument = false;
    int selectedFrame = -1;
    // Of the selected frame (ignored without one).
    int disposal = 0;
    bool transparent = false;
    bool interlaced = false;
    bool hasLocalPalette = false;
    uint32_t delay = 0;
    // Of the document.
    bool hasGlobalPalette = false;
    uint32_t playCount = 0;
};

struct FrameToolbarState {
    std::vector<ButtonState> buttons;  // in bar order (separators and embedded controls left out)
    bool selectorEnabled = false;      // the frame selector (40045)
    bool delayEnabled = false;         // the delay edit (40046) and its bitmap
    std::string delayText;             // empty without a selected frame
    bool playCountEnabled = false;     // the play-count edit (40049) and its bitmap
    std::string playCountText;         // empty without a document

    const ButtonState* Button(CommandId id) const;
};

FrameToolbarState FrameToolbarStateOf(const FrameToolbarInput& in);

// The disposal button that is checked for a disposal method: 2 Restore
// Background, 3 Restore Previous, any other value Leave Alone.
CommandId DisposalButtonFor(int method);

}  // namespace cinemill
