#pragma once

#include <vector>

#include "cinemill/app/command_id.h"
#include "cinemill/app/menu_state.h"
#include "cinemill/base/strings.h"

// The frame strip view's context menus: which items they hold, in order,
// and which are grayed. A pure function of the menu bar's facts, so the Qt
// view only turns the answer into a QMenu.
namespace cinemill {

struct ContextMenuItem {
    enum class Kind { Command, Separator, SubmenuStart, SubmenuEnd };
    Kind kind = Kind::Command;
    CommandId id = CommandId::Paste;  // for Command
    StringId text = StringId::StripPasteFrame;  // for Command and SubmenuStart
    bool grayed = false;
    friend bool operator==(const ContextMenuItem&, const ContextMenuItem&) = default;
};

// Without a selected frame: Paste Frame, Animation Properties, Global Frame
// Properties (the two properties grayed without a document). With one: Copy,
// Cut, Delete, Paste Before, Frame Properties, the Rotate Frame pop-up and
// Move/Crop Frame. Paste is grayed while the clipboard holds no frame.
std::vector<ContextMenuItem> StripContextMenu(const MenuInput& in);

}  // namespace cinemill
