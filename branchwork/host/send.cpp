#include "branchwork/host/send.h"

#include <filesystem>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"

namespace branchwork {

std::string CheckPageFileName(const std::string& name) {
    if (Trim(name).empty()) return texts::kEnterFileName;
    if (!FileExists(name)) return std::string(texts::kUnableToFind) + name + "\n" + texts::kCheckFileName;
    return std::string();
}

namespace {

// The get-file-name dialog: asks until an existing file is named; nothing
// when no answer comes. Answers the page directory (with its separator).
std::optional<std::string> AskPageDirectory(BwUiHost& ui) {
    for (;;) {
        const auto name = ui.AskPageFileName();
        if (!name) return std::nullopt;
        const std::string problem = CheckPageFileName(*name);
        if (!problem.empty()) {
            ui.Message(problem, MessageIcon::Error);
            continue;
        }
        std::error_code ec;
        const auto abs = std::filesystem::absolute(*name, ec);
        return DirectoryPart(ec ? *name : abs.string());
    }
}

// How one exchange with the host ended: as asked; with a failed call, for
// which the caller tells the user once that the link failed; or with the
// Send ending here, the user already told and the result's status set.
enum class HostStep { Done, LinkFailed, End };

// Asks the host whether a document is open; a new one is made when not.
HostStep OpenDocument(HostEditor& host, BwUiHost& ui, SendResult& result) {
    const HostReply open = host.Invoke(kIsDocumentOpen, {});
    if (!open.ok && !open.text.empty()) {
        // The host named why its page cannot take the applet (it cannot
        // be read or written): nothing is generated or copied.
        ui.Message(open.text, MessageIcon::Error);
        result.status = SendStatus::PageRefused;
        return HostStep::End;
    }
    if (!open.ok) return HostStep::LinkFailed;
    if (ToLower(open.text) == "false") {
        ui.Message(texts::kNoOpenFile, MessageIcon::Error);
        if (!host.Invoke(kCreateNewDoc, {}).ok) return HostStep::LinkFailed;
    }
    return HostStep::Done;
}

// Asks the host where its document is saved into `page_dir`, saving it
// first when it never was (at most kMaxSaveAttempts times), or the user
// when the host cannot tell.
HostStep FindPageDirectory(HostEditor& host, BwUiHost& ui, SendResult& result, std::string& page_dir) {
    for (int saves = 0;; ++saves) {
        const HostReply dir = host.Invoke(kGetSaveDirectory, {});
        if (dir.ok) {
            page_dir = dir.text;
        } else {
            ui.Message(texts::kNoFileName, MessageIcon::Error);
            const auto asked = AskPageDirectory(ui);
            if (!asked) return HostStep::End;  // no page named: nothing is sent
            page_dir = *asked;
        }
        if (!page_dir.empty()) return HostStep::Done;
        if (saves == kMaxSaveAttempts) {
            ui.Message(texts::kStillNotSaved, MessageIcon::Error);
            result.status = SendStatus::NoPageDirectory;
            return HostStep::End;
        }
        ui.Message(texts::kNotSaved, MessageIcon::Error);
        ui.MinimizeWindow();
        const HostReply saved = host.Invoke(kForceSave, {});
        ui.RestoreWindow();
        if (!saved.ok && !saved.text.empty()) {
            // The host named why it could not save its page (a page file
            // that cannot be written): that is the cause, not the link.
            ui.Message(saved.text, MessageIcon::Error);
            result.status = SendStatus::PageRefused;
            return HostStep::End;
        }
        if (!saved.ok) return HostStep::LinkFailed;
    }
}

}  // namespace

SendResult SendToHost(NavigationProject& project, BwUiHost& ui, const HostFactory& factory,
                      const std::string& program_dir, const SendOptions& options) {
    SendResult result;
    if (options.htmlMenu) {
        // The HTML menu carries every node in the page itself.
    } else if (project.kind == AppletKind::Tab) {
        project.nodeInfoInApplet = true;
    } else {
        const auto inside = ui.AskOutputOptions();
        if (!inside) return result;
        project.nodeInfoInApplet = *inside;
    }

    ui.SetBusy(true);
    struct BusyEnd {
        BwUiHost& ui;
        ~BusyEnd() { ui.SetBusy(false); }
    } busy_end{ui};

    std::unique_ptr<HostEditor> host = factory ? factory() : nullptr;
    std::string page_dir;
    HostStep step = host ? OpenDocument(*host, ui, result) : HostStep::LinkFailed;
    if (step == HostStep::Done) step = FindPageDirectory(*host, ui, result, page_dir);
    if (step == HostStep::End) return result;
    if (step == HostStep::LinkFailed) ui.Message(texts::kCommunicationError, MessageIcon::Error);
    result.pageDir = page_dir;
    if (page_dir.empty()) {
        ui.Message(texts::kNoPageDirectory, MessageIcon::Error);
        result.status = SendStatus::NoPageDirectory;
        return result;
    }

    result.graphicsDir = ui.AskGraphicsDirectory(page_dir);
    if (options.htmlMenu) {
        HtmlMenuContext hctx{page_dir, result.graphicsDir, options.externalFiles, true};
        result.markup = GenerateHtmlMenu(project, hctx, ui);
    } else {
        MarkupContext ctx{page_dir, result.graphicsDir, program_dir, true};
        result.markup = GenerateAppletMarkup(project, ctx, ui);
    }
    if (!result.markup.ok) {
        result.status = SendStatus::MarkupFailed;
        return result;
    }
    const HostReply insert = host ? host->Invoke(kInsertAtCursor, {result.markup.text}) : HostReply::Fail();
    if (insert.ok) {
        ui.Message(texts::kInserted, MessageIcon::Information);
        result.status = SendStatus::Inserted;
    } else {
        // A host that names the cause (the page could not be written) is
        // believed; otherwise the link itself failed.
        ui.Message(insert.text.empty() ? std::string(texts::kCommunicationError) : insert.text, MessageIcon::Error);
        result.status = SendStatus::InsertFailed;
        // Nothing of a failed Send stays behind: the content files and
        // copies it made are removed again.
        RemoveCreatedFiles(result.markup);
    }
    return result;
}

StartupImport ImportFromHost(NavigationProject& project, BwUiHost& ui, const HostFactory& factory) {
    StartupImport out;
    std::unique_ptr<HostEditor> host = factory ? factory() : nullptr;
    if (!host) return out;  // no host: the new-applet dialog follows quietly
    const HostReply sel = host->Invoke(kGetSelection, {});
    if (!sel.ok) {
        // A host that names the cause (the page cannot be read) is believed.
        // The message is kept with the outcome, so that no caller adds
        // another for the same failure.
        out.load.error = sel.text.empty() ? std::string(texts::kCommunicationError) : sel.text;
        ui.Message(out.load.error, MessageIcon::Error);
        return out;
    }
    if (sel.text.empty()) return out;
    const HostReply dir = host->Invoke(kGetSaveDirectory, {});
    if (dir.ok) {
        out.pageDir = dir.text;
    } else {
        ui.Message(texts::kNoFileName, MessageIcon::Error);
        out.pageDir = AskPageDirectory(ui).value_or(std::string());
    }
    out.load = ImportMarkup(project, sel.text, out.pageDir, ui);
    out.imported = out.load.appletFound;
    return out;
}

}  // namespace branchwork
