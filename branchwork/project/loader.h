#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"

namespace branchwork {

// ---- text helpers of the markup loader ----

// Cuts a text into tags: each runs from "<" through ">" (through "-->" for
// "<!"); line breaks inside become spaces; text outside tags is dropped.
std::vector<std::string> TokenizeMarkup(std::string_view text);
// The value of NAME=... in a tag (letter case ignored): a quoted value runs
// to the next quote, an unquoted one to a blank or quote; ">" and the end of
// the tag end either. Empty when the attribute is absent.
std::string GetAttributeValue(std::string_view tag, std::string_view name);
// Pieces before every separator (empty ones too) and the last piece when
// not empty.
std::vector<std::string> SplitFields(std::string_view text, char separator);
// "r,g,b" to a colour; each piece a whole number reduced to a byte. Nothing
// (and the reason in *error) when a piece is missing or not a number.
std::optional<Color> ParamToColor(std::string_view text, std::string* error = nullptr);
// "yes", "true" or "1" in any letter case.
bool IsYes(std::string_view text);
// A reference from markup resolved against a base directory: "..\" and
// "../" climb, an absolute reference (a drive, or a leading "/" for native
// bases) is returned as it is. With base C:\web\site\ the reference
// ../img/a.gif gives C:\web\img\a.gif; with /srv/site/ it gives /srv/img/a.gif.
std::string ResolveRelativePath(const std::string& base, const std::string& reference);

// Image base meaning "references are full paths".
inline constexpr const char* kFullImageBase = "FULL";

struct LoadOutcome {
    bool appletFound = false;
    bool complete = false;  // false when the load stopped on an error
    std::string error;      // the message that stopped it (already shown)
};

// Load of a project file's text: clears the project, then reads the applet.
// A text without an applet leaves one empty tab of the current kind. A value
// that is not a number stops the load with a message naming the value; what
// was read so far stays and the project keeps at least one tab.
LoadOutcome LoadProjectText(NavigationProject& project, std::string_view text, BwUiHost& host);
// Reads the file and loads it; a file that cannot be read leaves the project
// unchanged and says so.
LoadOutcome LoadProjectFile(NavigationProject& project, const std::string& path, BwUiHost& host);

// Import of the host's selection: only an applet whose CODE names one of the
// three applets is taken; relative images and content files resolve against
// the page directory. appletFound is false (and the project untouched) when
// the text holds no such applet.
// A selection holding an HTML menu of ours (before any applet) is read as
// that menu; one that looks like an HTML menu but is not ours is refused
// with a message.
LoadOutcome ImportMarkup(NavigationProject& project, std::string_view selection, const std::string& page_dir,
                         BwUiHost& host);
// The same for the applet form only.
LoadOutcome ImportAppletMarkup(NavigationProject& project, std::string_view selection, const std::string& page_dir,
                               BwUiHost& host);

// The project file's text (applet markup with full image paths). Empty tab
// fields become "None" and the last tab is shown, as when sending.
std::string ProjectFileText(NavigationProject& project);
// Writes the project file through a temporary file; false (after a message)
// when it cannot be written.
bool SaveProjectFile(NavigationProject& project, const std::string& path, BwUiHost& host);

}  // namespace branchwork
