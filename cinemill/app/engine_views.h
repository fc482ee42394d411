#pragma once

#include <string>
#include <vector>

#include "cinemill/app/menu_state.h"
#include "cinemill/app/status_bar.h"

namespace cinemill {

class Engine;

// The inputs of the menu, tool bar and status bar rules, read from the
// engine's state. The GUI and `cinemill-cli edit --trace` both go through
// these, so what a trace shows is what the window shows.

// The strip view's orientation value (direction plus the "chosen" bit) for
// the engine's orientation setting (0 automatic, 1 horizontal, 2 vertical).
int StripOrientationOf(int engine_orientation);

MenuInput MenuInputOf(const Engine& e);
MainToolbarInput MainToolbarInputOf(const Engine& e);
FrameToolbarInput FrameToolbarInputOf(const Engine& e);
StatusInput StatusInputOf(const Engine& e);

// The five status panes, or the one simple-mode text without a document.
std::vector<std::string> StatusTexts(const Engine& e);
// The grayed menu items by name (numbers for ids without one), in id order,
// followed by the grayed pop-up menus ("ExportAs", "Rotate", "RotateAll").
std::vector<std::string> GrayedMenuItems(const Engine& e);

}  // namespace cinemill
