#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/project.h"

namespace branchwork {

// Relative path from the directory of `base` to `target`. "/" and "\" are
// treated alike (the separator is "/" when base holds one, else "\"); the
// drive is compared only for paths that have a drive letter, and path
// components are compared without letter case for drive paths and exactly
// for others. With base C:\web\site\ and target C:\web\images\ the result is
// ..\images\.
std::string RelativePath(const std::string& base, const std::string& target);

// The graphics directory as a page in `page_dir` refers to it: the relative
// path with "/" separators and a trailing "/" (empty when there is none).
std::string GraphicsPrefix(const std::string& page_dir, const std::string& graphics_dir);

// The colour resolved to red, green and blue, as "r,g,b" (red first).
std::string ColorToParam(Color c);

// One PARAM line: a tab, <PARAM NAME="name" VALUE="value">.
std::string ParamLine(const std::string& name, const std::string& value);
// Font value: name + "; PLAIN;" + size.
std::string FontParam(const std::string& font, const std::string& size);
const char* YesNo(bool v);
// defaultTab in decimal, "999" when negative.
std::string DefaultTabParam(int32_t default_tab);

// Class names of the applets.
const char* SentAppletClass(AppletKind kind);     // VoltanR.class, VoltarR.class, VoltarixR.class
const char* ProjectAppletClass(AppletKind kind);  // Voltan2.class, Voltar.class, Voltarix.class
// The nine support classes, in the order the upload comment lists them.
const std::vector<std::string>& SupportClassFiles();
// The three main classes in the order they are extracted at start-up.
const std::vector<std::string>& MainClassFiles();

enum class MarkupForm {
    Sent,         // inserted into the host page (with upload comment)
    ProjectFile,  // saved as a project file
};

struct MarkupContext {
    std::string pageDir;      // directory of the host's page, with a trailing separator
    std::string graphicsDir;  // where images are copied
    std::string programDir;   // program directory; class files live under help/JClass/
    // Sent form only: write content files and copy images and classes.
    bool writeFiles = true;
};

struct MarkupResult {
    bool ok = true;  // false when a content file or a copy could not be written (nothing to insert)
    std::string text;                    // every line ended by CR LF
    std::vector<std::string> lines;
    std::vector<std::string> uploadList;    // full paths of the images the page uses
    std::vector<std::string> contentFiles;  // content files written
    std::vector<std::string> copiedFiles;   // targets of the copies that were made
    // Files that did not exist before this run and were made by it (content
    // files and copies); a run that fails removes them itself, a caller
    // whose later step fails removes them with RemoveCreatedFiles.
    std::vector<std::string> createdFiles;
};

// Builds the applet markup of the project. The project changes in two ways:
// empty tab fields become "None" (Tab and TabAndTree) and the last tab is the
// one shown afterwards. In the Sent form the content files are written, the
// images copied to the graphics directory (an existing image is kept) and
// the applet classes copied next to the page (replacing older copies; a
// missing class is skipped). A content file or a copy that cannot be written
// ends the run with a message and ok = false (the files the run made are
// removed again), and so, before anything is written, does
// a graphics directory that the page cannot reach by a relative path or that
// does not exist (one below the page's directory is created).
MarkupResult GenerateAppletMarkup(NavigationProject& project, const MarkupContext& ctx, BwUiHost& host,
                                  MarkupForm form = MarkupForm::Sent);

// Removes the files a run made (after a later step, the insert, failed).
void RemoveCreatedFiles(MarkupResult& r);

// Whether the graphics folder can take a Send's images: a folder the page
// cannot reach by a relative path (`prefix`) is refused; when images are to
// be copied (`needed`) a missing folder below the page's is made. Says why
// not and answers false.
bool CheckGraphicsFolder(BwUiHost& host, const std::string& graphics_dir, const std::string& prefix,
                         bool needed);

// Writes one file of a Send: a copy of `copy_from` when given, else `bytes`,
// through a temporary file. A file it creates is listed in r.createdFiles.
// On failure it says which file and why, marks `r` failed, removes the files
// the run created and answers false.
bool WriteOutputFile(BwUiHost& host, MarkupResult& r, const std::string& path, const std::string* copy_from,
                     std::string_view bytes);

// The file name a content file gets.
std::string ContentFileName(AppletKind kind, int tab);

}  // namespace branchwork
