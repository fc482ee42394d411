// import and show: a page's menu saved as a project file, and a project's
// settings and trees listed.
#include <algorithm>
#include <iostream>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/cli/cli_common.h"
#include "branchwork/host/page_file_host.h"
#include "branchwork/host/send.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/loader.h"

namespace branchwork::cli {
namespace {

int Import(const Args& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, {"-o"}, {}, o, problem)) return UsageError("import: " + problem);
    if (!o.Has("-o")) return UsageError("import: -o PROJECT.bwk is missing");
    CliHost host;
    if (!FileExists(o.file)) {
        host.Message(texts::kCannotOpenPrefix + o.file + texts::kCannotOpenSuffix, MessageIcon::Error);
        return kExitFailed;
    }
    NavigationProject p;
    const StartupImport r = ImportFromHost(p, host, PageFileHostFactory(o.file));
    if (!r.imported) {
        // A page that could not be read, or a menu that is not ours, has
        // been named with its cause.
        if (r.load.error.empty()) host.Message(texts::kNoMenuIn + o.file, MessageIcon::Error);
        return kExitFailed;
    }
    if (!SaveProjectFile(p, o.Value("-o"), host)) return kExitFailed;
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

void ShowSettings(const NavigationProject& p) {
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
}

// One line per node. Indentation shows the level up to kMaxIndentLevel;
// deeper nodes get that indentation and their level as a number, so the
// output stays in proportion to the file however deep the tree is.
void ShowTree(const TAppletPage& page) {
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

int Show(const Args& args) {
    Options o;
    std::string problem;
    if (!ParseOptions(args, {}, {}, o, problem)) return UsageError("show: " + problem);
    CliHost host;
    NavigationProject p;
    const int loaded = LoadProject(p, o.file, host);
    if (loaded == kExitFailed) return loaded;
    ShowSettings(p);
    for (int t = 0; t < p.TabCount(); ++t) {
        const TAppletPage& page = p.Page(t);
        const TTabPage& tp = page.tab;
        std::cout << "tab " << t << ": " << page.caption;
        if (p.kind != AppletKind::Tree)
            std::cout << " | url1 " << tp.url1 << " | target1 " << tp.target1 << " | status " << tp.statusText
                      << " | url2 " << tp.url2 << " | target2 " << tp.target2;
        std::cout << "\n";
        if (p.kind != AppletKind::Tab) ShowTree(page);
    }
    return loaded;
}

const CommandRegistrar kImport("import", "import PAGE.html -o PROJECT.bwk", Import);
const CommandRegistrar kShow("show", "show PROJECT.bwk", Show);

}  // namespace
}  // namespace branchwork::cli
