#pragma once

#include <string>

#include "branchwork/base/ui_host.h"
#include "branchwork/host/host_editor.h"
#include "branchwork/model/project.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/loader.h"

namespace branchwork {

enum class SendStatus {
    Cancelled,        // the output options were cancelled, or no page file was given
    NoPageDirectory,  // the host could not tell where its document is; nothing written
    PageRefused,      // the host's page cannot be read or written; nothing written
    MarkupFailed,     // a content file could not be written; nothing inserted
    InsertFailed,     // files were written, the insert call failed
    Inserted,
};

struct SendResult {
    SendStatus status = SendStatus::Cancelled;
    std::string pageDir, graphicsDir;
    MarkupResult markup;
};

// How a Send writes the menu.
struct SendOptions {
    // The HTML menu instead of the applet markup. No output-options dialog
    // is asked for it: content files have no meaning there.
    bool htmlMenu = false;
    // HTML menu: script and style sheet as files next to the page.
    bool externalFiles = false;
};

// Send to the host editor: output options (Tree kinds), then the host is
// asked whether a document is open (a new one is made when not), where it is
// saved (saving it first when it never was; the user names the page when the
// host cannot tell), the graphics directory is asked, the markup generated
// with its files, and inserted at the host's cursor.
//
// Where the host never reports a directory, the attempts end after
// kMaxSaveAttempts saves, and a Send without any page directory stops
// before writing files, instead of writing them into the working directory.
SendResult SendToHost(NavigationProject& project, BwUiHost& ui, const HostFactory& factory,
                      const std::string& program_dir, const SendOptions& options = {});

inline constexpr int kMaxSaveAttempts = 5;

// The get-file-name dialog's OK rule: the message to show, or empty when
// the name is an existing file.
std::string CheckPageFileName(const std::string& name);

struct StartupImport {
    bool imported = false;
    std::string pageDir;
    LoadOutcome load;
};

// Start-up import of the applet selected in the host page. A host that
// cannot be created ends the import quietly; when nothing is imported the
// caller starts a new project.
StartupImport ImportFromHost(NavigationProject& project, BwUiHost& ui, const HostFactory& factory);

}  // namespace branchwork
