#pragma once

// The menu written as plain HTML with a style sheet and a small script of
// our own, beside the applet markup. The block is one element tree between
// a begin and an end comment; every value the loader needs sits in a
// data-bw-* attribute (or, for captions, in the text of the element marked
// data-bw-caption), so a page holding the block loads back to the project.
//
// Without the script the block is a nested list of working links with every
// branch open; the script turns it into tabs and disclosure trees that
// follow the WAI-ARIA Authoring Practices (tabs with manual activation,
// disclosure navigation). Colours, fonts, sizes, tab position and the
// background image are CSS custom properties on the menu's root element.

#include <string>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"
#include "branchwork/output/markup.h"

namespace branchwork {

// The comments around the block. The begin comment also lists the files to
// upload; it starts with kHtmlMenuBegin.
inline constexpr const char* kHtmlMenuBegin = "<!-- branchwork html menu begin";
inline constexpr const char* kHtmlMenuEnd = "<!-- branchwork html menu end -->";
// The names of the script and style sheet written next to the page with the
// external option.
inline constexpr const char* kHtmlMenuScriptFile = "branchwork-menu.js";
inline constexpr const char* kHtmlMenuStyleFile = "branchwork-menu.css";

// The script and the style sheet the block uses.
const std::string& HtmlMenuScript();
const std::string& HtmlMenuStyle();

// Text as HTML: "&" "<" ">" "\"" "'" become entities, and so do control
// characters, blanks at either end and every blank after a blank (so they
// survive a loader that trims element text and collapses its whitespace). Safe both as element text and inside a quoted attribute.
std::string EscapeHtml(std::string_view s);
// A string as a CSS string literal in double quotes: the quote, the
// backslash, control characters and anything that could end the
// declaration are written as CSS escapes.
std::string CssString(std::string_view s);

struct HtmlMenuContext {
    std::string pageDir;      // directory of the page, with a trailing separator
    std::string graphicsDir;  // where images are copied (empty: the page directory)
    // Script and style sheet as branchwork-menu.js / branchwork-menu.css
    // next to the page instead of inline.
    bool externalFiles = false;
    // Copy images (and, with externalFiles, write the two files).
    bool writeFiles = true;
};

// Builds the HTML menu block of the project (lines ended by CR LF). The
// project is not changed. The images are copied to the graphics directory as
// for the applet form (an existing image is kept), and with the external
// option the script and style sheet are written next to the page. A
// graphics directory the page cannot reach by a relative path, or a file
// that cannot be written, ends the run with a message and ok = false.
MarkupResult GenerateHtmlMenu(const NavigationProject& project, const HtmlMenuContext& ctx, BwUiHost& host);

}  // namespace branchwork
