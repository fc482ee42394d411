// branchwork-cli: the navigation builder's Send, import, markup and project
// listing from the command line.
//
//   branchwork-cli markup PROJECT.bwk [--page-dir DIR] [--graphics-dir DIR] [--external] [--html-menu] [--program-dir DIR]
//   branchwork-cli send PROJECT.bwk --page PAGE.html [--graphics-dir DIR] [--external] [--html-menu] [--program-dir DIR]
//
// --html-menu writes the menu as HTML, CSS and script instead of the applet
// markup; with it, --external puts the script and style sheet into
// branchwork-menu.js and branchwork-menu.css next to the page (without it,
// --external puts the nodes into content files).
//   branchwork-cli import PAGE.html -o PROJECT.bwk
//   branchwork-cli show PROJECT.bwk
//
// Exit status: 0 done, 1 failed, 2 bad usage, 3 the input was only partly read.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/loader.h"

namespace branchwork::cli {
namespace {

constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitPartial = 3;

// Messages go to stderr; the dialogs are answered from the command line.
class CliHost : public BwUiHost {
public:
    bool external = false;
    std::string graphicsDir;
    void Message(const std::string& text, MessageIcon icon) override {
        std::cerr << "branchwork-cli: " << (icon == MessageIcon::Information ? "" : "error: ") << text << "\n";
    }
    bool ConfirmOkCancel(const std::string& text) override {
        std::cerr << "branchwork-cli: " << text << " -> Cancel\n";
        return false;
    }
    std::optional<bool> AskOutputOptions() override { return !external; }
    std::string AskGraphicsDirectory(const std::string& page_dir) override {
        return graphicsDir.empty() ? page_dir : WithTrailingSeparator(Absolute(graphicsDir));
    }
    static std::string Absolute(const std::string& p) {
        std::error_code ec;
        auto a = std::filesystem::absolute(p, ec);
        return ec ? p : a.lexically_normal().string();
    }
};

int Usage(const std::string& what) {
    std::cerr << "branchwork-cli: " << what << "\n"
              << "usage:\n"
                 "  branchwork-cli markup PROJECT.bwk [--page-dir DIR] [--graphics-dir DIR] [--external] [--html-menu]\n"
                 "                        [--program-dir DIR]\n"
                 "  branchwork-cli send PROJECT.bwk --page PAGE.html [--graphics-dir DIR] [--external] [--html-menu]\n"
                 "                      [--program-dir DIR]\n"
                 "  branchwork-cli import PAGE.html -o PROJECT.bwk\n"
                 "  branchwork-cli show PROJECT.bwk\n";
    return kExitUsage;
}

// Parsed arguments: one positional, flags with values, switches.
struct Args {
    std::string positional;
    std::map<std::string, std::string> values;
    bool external = false;
    bool htmlMenu = false;
};

bool Parse(const std::vector<std::string>& rest, const std::vector<std::string>& with_value, bool allow_external,
           Args& out, std::string& problem) {
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (allow_external && a == "--external") {
            out.external = true;
        } else if (allow_external && a == "--html-menu") {
            out.htmlMenu = true;
        } else if (std::find(with_value.begin(), with_value.end(), a) != with_value.end()) {
            if (i + 1 >= rest.size()) {
                problem = a + " needs a value";
                return false;
            }
            out.values[a] = rest[++i];
        } else if (out.positional.empty() && !a.starts_with("-")) {
            out.positional = a;
        } else {
            problem = "unexpected argument " + a;
            return false;
        }
    }
    if (out.positional.empty()) {
        problem = "a file name is missing";
        return false;
    }
    return true;
}

std::string ProgramDir(const Args& args) {
    auto it = args.values.find("--program-dir");
    if (it != args.values.end()) return WithTrailingSeparator(it->second);
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return WithTrailingSeparator(exe.parent_path().string());
    return "./";
}

// Loads a project file; answers the exit status of the load.
int Load(NavigationProject& p, const std::string& path, CliHost& host) {
    if (!FileExists(path)) {
        host.Message(texts::kCannotOpenPrefix + path + texts::kCannotOpenSuffix, MessageIcon::Error);
        return kExitFailed;
    }
    const LoadOutcome out = LoadProjectFile(p, path, host);
    if (!out.appletFound) {
        // A file that could not be read has been named with its cause.
        if (out.error.empty()) host.Message(texts::kNoAppletIn + path, MessageIcon::Error);
        return kExitFailed;
    }
    return out.complete ? kExitOk : kExitPartial;
}

int Markup(const std::vector<std::string>& rest) {
    Args args;
    std::string problem;
    if (!Parse(rest, {"--page-dir", "--graphics-dir", "--program-dir"}, true, args, problem)) return Usage("markup: " + problem);
    CliHost host;
    NavigationProject p;
    const int loaded = Load(p, args.positional, host);
    if (loaded == kExitFailed) return loaded;
    p.nodeInfoInApplet = !args.external;
    const std::string page_dir =
        WithTrailingSeparator(CliHost::Absolute(args.values.count("--page-dir") ? args.values["--page-dir"] : "."));
    host.graphicsDir = args.values["--graphics-dir"];
    MarkupResult r;
    if (args.htmlMenu) {
        const HtmlMenuContext ctx{page_dir, host.AskGraphicsDirectory(page_dir), args.external, true};
        r = GenerateHtmlMenu(p, ctx, host);
    } else {
        const MarkupContext ctx{page_dir, host.AskGraphicsDirectory(page_dir), ProgramDir(args), true};
        r = GenerateAppletMarkup(p, ctx, host);
    }
    if (!r.ok) return kExitFailed;
    std::cout << r.text;
    return loaded;
}

int Send(const std::vector<std::string>& rest) {
    Args args;
    std::string problem;
    if (!Parse(rest, {"--page", "--graphics-dir", "--program-dir"}, true, args, problem)) return Usage("send: " + problem);
    if (!args.values.count("--page")) return Usage("send: --page PAGE.html is missing");
    CliHost host;
    host.external = args.external;
    host.graphicsDir = args.values["--graphics-dir"];
    NavigationProject p;
    const int loaded = Load(p, args.positional, host);
    if (loaded == kExitFailed) return loaded;
    const std::string program_dir = ProgramDir(args);
    const SendResult r = SendToHost(p, host, PageFileHostFactory(args.values["--page"]), program_dir,
                                    SendOptions{args.htmlMenu, args.external});
    if (r.status != SendStatus::Inserted) return kExitFailed;
    return loaded;
}

int Import(const std::vector<std::string>& rest) {
    Args args;
    std::string problem;
    if (!Parse(rest, {"-o"}, false, args, problem)) return Usage("import: " + problem);
    if (!args.values.count("-o")) return Usage("import: -o PROJECT.bwk is missing");
    CliHost host;
    if (!FileExists(args.positional)) {
        host.Message(texts::kCannotOpenPrefix + args.positional + texts::kCannotOpenSuffix, MessageIcon::Error);
        return kExitFailed;
    }
    NavigationProject p;
    const StartupImport r = ImportFromHost(p, host, PageFileHostFactory(args.positional));
    if (!r.imported) {
        // A page that could not be read, or a menu that is not ours, has
        // been named with its cause.
        if (r.load.error.empty()) host.Message(texts::kNoMenuIn + args.positional, MessageIcon::Error);
        return kExitFailed;
    }
    if (!SaveProjectFile(p, args.values["-o"], host)) return kExitFailed;
    return r.load.complete ? kExitOk : kExitPartial;
}

const char* KindName(AppletKind k) {
    switch (k) {
        case AppletKind::Tab: return "Tab";
        case AppletKind::Tree: return "Tree";
        default: return "TabAndTree";
    }
}

std::string ImageName(const NavigationProject& p, int idx) {
    return p.images.Valid(idx) ? p.images.At(idx).path : std::string("-");
}

int Show(const std::vector<std::string>& rest) {
    Args args;
    std::string problem;
    if (!Parse(rest, {}, false, args, problem)) return Usage("show: " + problem);
    CliHost host;
    NavigationProject p;
    const int loaded = Load(p, args.positional, host);
    if (loaded == kExitFailed) return loaded;
    const StyleSettings& s = p.styles;
    std::cout << "kind: " << KindName(p.kind) << "\n"
              << "size: " << s.width << " x " << s.height << "\n"
              << "tab font: " << FontParam(s.tabFont, s.tabFontSize) << "\n"
              << "tree font: " << FontParam(s.treeFont, s.treeFontSize) << "\n"
              << "colours: tab fg " << ColorToParam(s.tabCaptionFG) << ", tab bg " << ColorToParam(s.tabCaptionBG)
              << ", tab mouse-over " << ColorToParam(s.tabMouseOver) << ", branch fg " << ColorToParam(s.treeBranchFG)
              << ", branch bg " << ColorToParam(s.treeBranchBG) << ", selected fg " << ColorToParam(s.treeSelectedFG)
              << ", selected bg " << ColorToParam(s.treeSelectedBG) << ", tree mouse-over "
              << ColorToParam(s.treeMouseOver) << "\n"
              << "options: border " << YesNo(s.showBorder) << ", start expanded " << YesNo(s.autoExpand)
              << ", double-click " << YesNo(s.doubleClick) << ", tabs on " << (s.tabsOnBottom ? "bottom" : "top") << "\n"
              << "background image: " << (p.backgroundImage.empty() ? "-" : p.backgroundImage) << "\n"
              << "default tab: " << (p.defaultTab < 0 ? std::string("none") : std::to_string(p.defaultTab)) << "\n"
              << "default images: collapsed " << ImageName(p, p.defaultCollapsed) << ", expanded "
              << ImageName(p, p.defaultExpanded) << ", leaf " << ImageName(p, p.defaultLeaf) << "\n"
              << "images: " << p.images.Count() << "\n";
    for (int i = 0; i < p.images.Count(); ++i) std::cout << "  [" << i << "] " << p.images.At(i).path << "\n";
    for (int t = 0; t < p.TabCount(); ++t) {
        const TAppletPage& page = p.Page(t);
        const TTabPage& tp = page.tab;
        std::cout << "tab " << t << ": " << page.caption;
        if (p.kind != AppletKind::Tree)
            std::cout << " | url1 " << tp.url1 << " | target1 " << tp.target1 << " | status " << tp.statusText
                      << " | url2 " << tp.url2 << " | target2 " << tp.target2;
        std::cout << "\n";
        if (p.kind == AppletKind::Tab) continue;
        // Indentation shows the level up to kMaxIndentLevel; deeper nodes get
        // that indentation and their level as a number, so the output stays
        // in proportion to the file however deep the tree is.
        constexpr int kMaxIndentLevel = 32;
        for (const auto& [n, depth] : page.tree.PreOrderWithDepth()) {
            const TAppletNode& d = n->data;
            std::cout << "  " << std::string(static_cast<size_t>(2 * std::min(depth, kMaxIndentLevel)), ' ');
            if (depth > kMaxIndentLevel) std::cout << "(level " << depth << ") ";
            std::cout << "- " << n->caption;
            if (!d.url1.empty()) std::cout << " -> " << d.url1;
            if (!d.target1.empty()) std::cout << " [" << d.target1 << "]";
            if (!d.url2.empty()) std::cout << " | url2 " << d.url2;
            if (!d.target2.empty()) std::cout << " [" << d.target2 << "]";
            if (!d.statusText.empty()) std::cout << " | status \"" << d.statusText << "\"";
            if (d.collapsedImage >= 0 || d.expandedImage >= 0)
                std::cout << " | images " << d.collapsedImage << "/" << d.expandedImage;
            std::cout << "\n";
        }
    }
    return loaded;
}

}  // namespace
}  // namespace branchwork::cli

int main(int argc, char** argv) {
    using namespace branchwork::cli;
    if (argc < 2) return Usage("a command is missing");
    const std::string cmd = argv[1];
    const std::vector<std::string> rest(argv + 2, argv + argc);
    if (cmd == "markup") return Markup(rest);
    if (cmd == "send") return Send(rest);
    if (cmd == "import") return Import(rest);
    if (cmd == "show") return Show(rest);
    return Usage("unknown command " + cmd);
}
