#pragma once

// Loading an HTML menu written by branchwork back into a project. The menu's
// elements are read (attributes in any order, any whitespace between them)
// and turned into the applet markup that carries the same project, which the
// applet loader then reads: so both forms of one menu load to the same
// project, with the same rules for images, levels and defaults.

#include <optional>
#include <string>
#include <string_view>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"
#include "branchwork/project/loader.h"

namespace branchwork {

// Where an HTML menu starts in the text (its begin comment, or its root
// element when the comment is missing); nothing when it holds none.
std::optional<size_t> FindHtmlMenu(std::string_view text);

// The applet markup equivalent to the first HTML menu in the text. Nothing,
// and the reason in *problem, when the text holds no menu of ours.
std::optional<std::string> HtmlMenuToAppletMarkup(std::string_view text, std::string* problem);

// Import of an HTML menu: as ImportMarkup does for the applet form. A menu
// that is not ours is refused with a message naming why; appletFound is
// then false and the project untouched.
LoadOutcome ImportHtmlMenu(NavigationProject& project, std::string_view text, const std::string& page_dir,
                           BwUiHost& host);

}  // namespace branchwork
