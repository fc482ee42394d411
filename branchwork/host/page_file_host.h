#pragma once

#include <optional>
#include <string>
#include <utility>

#include "branchwork/host/host_editor.h"

namespace branchwork {

// Where an applet block sits in a page: from the upload comment (when it
// directly precedes the APPLET tag) through </APPLET>. end includes one line
// break that follows the closing tag.
struct AppletBlock {
    size_t begin = 0, end = 0;
    size_t textEnd = 0;  // just after </APPLET>
};
// The first APPLET element of the three navigation applets in the text.
std::optional<AppletBlock> FindAppletBlock(const std::string& page);

// The first HTML menu block of ours: from its begin comment through its end
// comment (end includes one line break that follows).
std::optional<AppletBlock> FindHtmlMenuBlock(const std::string& page);
// The first menu block of either form, whichever comes first in the page.
std::optional<AppletBlock> FindMenuBlock(const std::string& page);

// The marker comment that stands for the host's cursor.
inline constexpr const char* kCursorMarker = "<!-- branchwork -->";

// A host whose current document is an HTML file on disk. The cursor is the
// marker comment when the page has one, else just before </body> (else the
// end). The selection is the menu block (applet or HTML menu) already in the page,
// and an insert replaces that block instead of adding a second one. Inserting saves the
// page: a temporary file replaces it and the previous version is kept as
// PAGE.bak. A page that does not exist yet is "no open document" until
// HD_CREATENEWDOC, and "never saved" until DOC_FORCESAVE writes it.
class PageFileHost : public HostEditor {
public:
    explicit PageFileHost(std::string path);
    HostReply Invoke(const std::string& method, const std::vector<std::string>& args) override;

    const std::string& Text() const { return text_; }
    bool IsOpen() const { return open_; }

private:
    bool Save();

    std::string path_;
    std::string text_;
    bool open_ = false;
    bool saved_ = false;
};

// A factory that opens the page afresh for each use.
HostFactory PageFileHostFactory(const std::string& path);

}  // namespace branchwork
