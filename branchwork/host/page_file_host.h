#pragma once

#include <optional>
#include <string>
#include <utility>

#include "branchwork/base/text_encoding.h"
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

// The marker comment that stands for the host's cursor.
inline constexpr const char* kCursorMarker = "<!-- branchwork -->";

// A host whose current document is an HTML file on disk. The cursor is the
// marker comment when the page has one, else just before </body> (else the
// end). The selection is the applet block already in the page, and an insert
// replaces that block instead of adding a second one. Inserting saves the
// page: a temporary file replaces it and the previous version is kept as
// PAGE.bak. A page that does not exist yet is "no open document" until
// HD_CREATENEWDOC, and "never saved" until DOC_FORCESAVE writes it.
// The page is read and written in its own encoding (UTF-8 with or without a
// byte order mark, UTF-16 with one, or 8-bit); a page in any other encoding
// is open but refused: reading the selection, inserting and saving fail with
// a message saying so, and the file is left as it is.
class PageFileHost : public HostEditor {
public:
    explicit PageFileHost(std::string path);
    HostReply Invoke(const std::string& method, const std::vector<std::string>& args) override;

    const std::string& Text() const { return text_; }
    bool IsOpen() const { return open_; }

private:
    bool Save();

    std::string path_;
    std::string text_;  // UTF-8
    TextEncoding encoding_ = TextEncoding::Utf8;  // what a new page is written in
    std::string refusal_;  // why the page cannot be used, when it cannot
    bool open_ = false;
    bool saved_ = false;
};

// A factory that opens the page afresh for each use.
HostFactory PageFileHostFactory(const std::string& path);

}  // namespace branchwork
