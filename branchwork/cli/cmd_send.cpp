// markup and send: the applet markup or the HTML menu of a project, printed
// or sent into a page on disk.
//
// --html-menu writes the menu as HTML, CSS and script instead of the applet
// markup; with it, --external puts the script and style sheet into
// branchwork-menu.js and branchwork-menu.css next to the page (without it,
// --external puts the nodes into content files).
#include <iostream>

#include "branchwork/base/text_util.h"
#include "branchwork/cli/cli_common.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/output/markup.h"

namespace branchwork::cli {
namespace {

const std::vector<std::string> kFormSwitches = {"--external", "--html-menu"};

int Markup(const Args& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, {"--page-dir", "--graphics-dir", "--program-dir"}, kFormSwitches, o, problem))
        return UsageError("markup: " + problem);
    CliHost host;
    NavigationProject p;
    const int loaded = LoadProject(p, o.file, host);
    if (loaded == kExitFailed) return loaded;
    const bool external = o.Has("--external");
    p.nodeInfoInApplet = !external;
    const std::string page_dir = WithTrailingSeparator(Absolute(o.Has("--page-dir") ? o.Value("--page-dir") : "."));
    host.graphicsDir = o.Value("--graphics-dir");
    MarkupResult r;
    if (o.Has("--html-menu")) {
        const HtmlMenuContext ctx{page_dir, host.AskGraphicsDirectory(page_dir), external, true};
        r = GenerateHtmlMenu(p, ctx, host);
    } else {
        const MarkupContext ctx{page_dir, host.AskGraphicsDirectory(page_dir), ProgramDir(o), true};
        r = GenerateAppletMarkup(p, ctx, host);
    }
    if (!r.ok) return kExitFailed;
    std::cout << r.text;
    return loaded;
}

int Send(const Args& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, {"--page", "--graphics-dir", "--program-dir"}, kFormSwitches, o, problem))
        return UsageError("send: " + problem);
    if (!o.Has("--page")) return UsageError("send: --page PAGE.html is missing");
    CliHost host;
    host.external = o.Has("--external");
    host.graphicsDir = o.Value("--graphics-dir");
    NavigationProject p;
    const int loaded = LoadProject(p, o.file, host);
    if (loaded == kExitFailed) return loaded;
    const SendResult r = SendToHost(p, host, PageFileHostFactory(o.Value("--page")), ProgramDir(o),
                                    SendOptions{o.Has("--html-menu"), host.external});
    if (r.status != SendStatus::Inserted) return kExitFailed;
    return loaded;
}

const CommandRegistrar kMarkup("markup",
                               "markup PROJECT.bwk [--page-dir DIR] [--graphics-dir DIR] [--external] [--html-menu]\n"
                               "                        [--program-dir DIR]",
                               Markup);
const CommandRegistrar kSend("send",
                             "send PROJECT.bwk --page PAGE.html [--graphics-dir DIR] [--external] [--html-menu]\n"
                             "                      [--program-dir DIR]",
                             Send);

}  // namespace
}  // namespace branchwork::cli
