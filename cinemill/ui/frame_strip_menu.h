#pragma once

#include <optional>

#include "cinemill/app/command_id.h"

class QAction;
class QMenu;

namespace cinemill {

class Engine;

// Fills `menu` with the strip view's context menu for the engine's state
// (the items, texts and grayed entries of StripContextMenu). Each command
// item's action carries its command id (objectName "cmd<id>").
void FillStripContextMenu(QMenu& menu, const Engine& engine);

// The command id an action of that menu carries; none for other actions.
std::optional<CommandId> StripMenuCommand(const QAction* action);

}  // namespace cinemill
