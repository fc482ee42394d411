#include "branchwork/output/html_menu.h"

#include <cstdio>
#include <filesystem>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"

namespace branchwork {

std::string EscapeHtml(std::string_view s) {
    const auto named = [](char c) -> const char* {
        switch (c) {
            case '&': return "&amp;";
            case '<': return "&lt;";
            case '>': return "&gt;";
            case '"': return "&quot;";
            case '\'': return "&#39;";
            default: return nullptr;
        }
    };
    const auto numeric = [s](size_t i, bool edge) {
        const auto u = static_cast<unsigned char>(s[i]);
        return u < ' ' || u == 0x7F || (u == ' ' && (edge || s[i - 1] == ' '));
    };
    return WithReferences(s, named, numeric);
}

std::string CssString(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = u >= 0x80 || (u > ' ' && u != 0x7F && c != '"' && c != '\\' && c != '\'' && c != ';' &&
                                         c != '<' && c != '>' && c != '&' && c != '{' && c != '}') ||
                           c == ' ';
        if (plain) {
            out += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%x ", u);
            out += buf;
        }
    }
    return out + "\"";
}

namespace {

const char* KindWord(AppletKind k) {
    switch (k) {
        case AppletKind::Tab: return "Tab";
        case AppletKind::Tree: return "Tree";
        default: return "TabAndTree";
    }
}

std::string Hex(Color c) {
    const Color r = ResolveColor(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", RedOf(r), GreenOf(r), BlueOf(r));
    return buf;
}

bool AllDigits(const std::string& s) {
    if (s.empty() || s.size() > 6) return false;
    for (const char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A link field the applet form writes as "None" when empty: both mean none.
bool IsNone(const std::string& s) { return s.empty() || s == "None"; }

// One attribute ` name="value"`; nothing when the value is empty.
std::string Attr(const char* name, const std::string& value) {
    if (value.empty()) return std::string();
    return std::string(" ") + name + "=\"" + EscapeHtml(value) + "\"";
}

// The same, written also when empty (a value the loader must see as empty).
std::string AttrKeep(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + EscapeHtml(value) + "\"";
}

class HtmlGenerator {
public:
    HtmlGenerator(const NavigationProject& p, const HtmlMenuContext& ctx, BwUiHost& host)
        : p_(p), ctx_(ctx), host_(host) {
        page_dir_ = WithTrailingSeparator(ctx.pageDir);
        graphics_dir_ = ctx.graphicsDir.empty() ? page_dir_ : WithTrailingSeparator(ctx.graphicsDir);
        if (!SameDir(page_dir_, graphics_dir_)) prefix_ = GraphicsPrefix(page_dir_, graphics_dir_);
    }

    MarkupResult Run();

private:
    static bool SameDir(const std::string& a, const std::string& b) {
        namespace fs = std::filesystem;
        if (a == b) return true;
        if (a.find('\\') != std::string::npos || b.find('\\') != std::string::npos) return false;
        return fs::path(a).lexically_normal() == fs::path(b).lexically_normal();
    }
    bool CheckGraphicsDir();
    // The reference the page uses for an image: graphics prefix + file name.
    std::string Ref(int index) {
        if (!p_.images.Valid(index)) return std::string();
        const std::string& path = p_.images.At(index).path;
        Upload(path);
        return prefix_ + FileNamePart(path);
    }
    void Upload(const std::string& path) {
        for (const auto& u : upload_)
            if (EqualsNoCase(u, path)) return;
        upload_.push_back(path);
    }
    std::string RootTag();
    void Tabs();
    void TabStrip();
    void Tree(const TAppletPage& page, int tab);
    void Node(const TreeNode& n, int tab, int& counter);
    // The sent image tokens of a node: "folder", "leaf", a reference or empty.
    std::string CollapsedToken(const TAppletNode& d);
    std::string ExpandedToken(const TAppletNode& d);
    bool CopyAndWrite(MarkupResult& r);

    void Line(std::string s) { lines_.push_back(std::move(s)); }

    const NavigationProject& p_;
    const HtmlMenuContext& ctx_;
    BwUiHost& host_;
    std::string page_dir_, graphics_dir_, prefix_;
    std::vector<std::string> lines_;
    std::vector<std::string> upload_;
};

bool HtmlGenerator::CheckGraphicsDir() {
    return CheckGraphicsFolder(host_, graphics_dir_, prefix_,
                               ctx_.writeFiles && (p_.images.Count() > 0 || !p_.backgroundImage.empty()));
}

std::string HtmlGenerator::CollapsedToken(const TAppletNode& d) {
    const int c = p_.images.Valid(d.collapsedImage) ? d.collapsedImage : -1;
    if (c >= 0 && c == p_.defaultCollapsed) return "folder";
    if (c >= 0 && c == p_.defaultLeaf) return "leaf";
    return Ref(c);
}

std::string HtmlGenerator::ExpandedToken(const TAppletNode& d) {
    const int c = p_.images.Valid(d.collapsedImage) ? d.collapsedImage : -1;
    const int e = p_.images.Valid(d.expandedImage) ? d.expandedImage : -1;
    if (e >= 0 && e == p_.defaultExpanded) return "folder";
    if (e >= 0 && e == p_.defaultLeaf) return "leaf";
    if (e < 0) {
        if (c >= 0 && c == p_.defaultLeaf) return "leaf";
        return Ref(c);
    }
    return Ref(e);
}

std::string HtmlGenerator::RootTag() {
    const AppletKind kind = p_.kind;
    const bool tabs = kind != AppletKind::Tree;
    const bool trees = kind != AppletKind::Tab;
    const StyleSettings& s = p_.styles;
    std::string data = std::string(" data-bw-menu=\"1\" data-bw-kind=\"") + KindWord(kind) + "\"";
    data += AttrKeep("data-bw-width", s.width) + AttrKeep("data-bw-height", s.height);
    std::string css;
    auto var = [&css](const char* name, const std::string& value) {
        if (!value.empty()) css += std::string("--bw-") + name + ":" + value + ";";
    };
    if (AllDigits(s.width)) var("width", s.width + "px");
    if (AllDigits(s.height)) var("height", s.height + "px");
    if (tabs) {
        data += AttrKeep("data-bw-tab-font", s.tabFont) + AttrKeep("data-bw-tab-font-size", s.tabFontSize);
        data += Attr("data-bw-tab-fg", ColorToParam(s.tabCaptionFG)) + Attr("data-bw-tab-bg", ColorToParam(s.tabCaptionBG)) +
                Attr("data-bw-tab-mouseover", ColorToParam(s.tabMouseOver));
        data += Attr("data-bw-tabs-on-bottom", YesNo(s.tabsOnBottom));
        data += Attr("data-bw-default-tab", DefaultTabParam(p_.defaultTab));
        if (!s.tabFont.empty()) var("tab-font", CssString(s.tabFont));
        if (AllDigits(s.tabFontSize)) var("tab-font-size", s.tabFontSize + "px");
        var("tab-fg", Hex(s.tabCaptionFG));
        var("tab-bg", Hex(s.tabCaptionBG));
        var("tab-hover", Hex(s.tabMouseOver));
        var("tabs-order", s.tabsOnBottom ? "1" : "0");
    }
    if (trees) {
        data += AttrKeep("data-bw-tree-font", s.treeFont) + AttrKeep("data-bw-tree-font-size", s.treeFontSize);
        data += Attr("data-bw-tree-fg", ColorToParam(s.treeBranchFG)) + Attr("data-bw-tree-bg", ColorToParam(s.treeBranchBG)) +
                Attr("data-bw-tree-sel-fg", ColorToParam(s.treeSelectedFG)) +
                Attr("data-bw-tree-sel-bg", ColorToParam(s.treeSelectedBG)) +
                Attr("data-bw-tree-mouseover", ColorToParam(s.treeMouseOver));
        data += Attr("data-bw-border", YesNo(s.showBorder)) + Attr("data-bw-doubleclick", YesNo(s.doubleClick)) +
                Attr("data-bw-autoexpand", YesNo(s.autoExpand));
        if (!s.treeFont.empty()) var("tree-font", CssString(s.treeFont));
        if (AllDigits(s.treeFontSize)) var("tree-font-size", s.treeFontSize + "px");
        var("tree-fg", Hex(s.treeBranchFG));
        var("tree-bg", Hex(s.treeBranchBG));
        var("sel-fg", Hex(s.treeSelectedFG));
        var("sel-bg", Hex(s.treeSelectedBG));
        var("tree-hover", Hex(s.treeMouseOver));
        var("border", s.showBorder ? "1px solid #808080" : "0");
        const std::pair<const char*, int32_t> defaults[] = {
            {"data-bw-folder-closed", p_.defaultCollapsed}, {"data-bw-folder-open", p_.defaultExpanded},
            {"data-bw-leaf", p_.defaultLeaf}};
        for (const auto& [name, idx] : defaults) data += Attr(name, Ref(idx));
    }
    if (!p_.backgroundImage.empty()) {
        Upload(p_.backgroundImage);
        const std::string ref = prefix_ + FileNamePart(p_.backgroundImage);
        data += Attr("data-bw-background", ref);
        var("background", "url(" + CssString(ref) + ")");
    }
    std::string tag = "<nav class=\"bw-menu\" aria-label=\"Menu\"" + data;
    if (!css.empty()) tag += " style=\"" + EscapeHtml(css) + "\"";
    return tag + ">";
}

// Tab kind: a list of links, one per tab.
void HtmlGenerator::Tabs() {
    Line("<ul class=\"bw-tabs\">");
    for (int i = 0; i < p_.TabCount(); ++i) {
        const TAppletPage& page = p_.Page(i);
        const TTabPage& t = page.tab;
        auto f = [](const std::string& v) { return IsNone(v) ? std::string() : v; };
        std::string li = "<li class=\"bw-tab-item\" data-bw-tab" + Attr("data-bw-url1", f(t.url1)) +
                         Attr("data-bw-target1", f(t.target1)) + Attr("data-bw-status", f(t.statusText)) +
                         Attr("data-bw-url2", f(t.url2)) + Attr("data-bw-target2", f(t.target2)) + ">";
        const std::string caption = "<span data-bw-caption>" + EscapeHtml(page.caption) + "</span>";
        if (!IsNone(t.url1)) {
            li += "<a class=\"bw-tab-link\"" + Attr("href", t.url1) + Attr("target", f(t.target1)) +
                  Attr("title", f(t.statusText)) + ">" + caption + "</a>";
        } else {
            li += "<span class=\"bw-tab-link\"" + Attr("title", f(t.statusText)) + ">" + caption + "</span>";
        }
        Line(li + "</li>");
    }
    Line("</ul>");
}

// TabAndTree: the strip of tabs (in-page links to the panels until the
// script makes them ARIA tabs), then one panel per tab with its tree.
void HtmlGenerator::TabStrip() {
    Line("<div class=\"bw-tabstrip\">");
    for (int i = 0; i < p_.TabCount(); ++i) {
        const TAppletPage& page = p_.Page(i);
        const TTabPage& t = page.tab;
        auto f = [](const std::string& v) { return IsNone(v) ? std::string() : v; };
        const std::string n = std::to_string(i);
        Line("<a class=\"bw-tab\" id=\"bwm-tab-" + n + "\" href=\"#bwm-panel-" + n + "\" data-bw-tab" +
             Attr("data-bw-url1", f(t.url1)) + Attr("data-bw-target1", f(t.target1)) +
             Attr("data-bw-status", f(t.statusText)) + Attr("data-bw-url2", f(t.url2)) +
             Attr("data-bw-target2", f(t.target2)) + "><span data-bw-caption>" + EscapeHtml(page.caption) +
             "</span></a>");
    }
    Line("</div>");
    for (int i = 0; i < p_.TabCount(); ++i) {
        const TAppletPage& page = p_.Page(i);
        const TTabPage& t = page.tab;
        auto f = [](const std::string& v) { return IsNone(v) ? std::string() : v; };
        Line("<div class=\"bw-panel\" id=\"bwm-panel-" + std::to_string(i) + "\">");
        if (!IsNone(t.url1))
            Line("<p class=\"bw-panel-link\"><a" + Attr("href", t.url1) + Attr("target", f(t.target1)) +
                 Attr("title", f(t.statusText)) + ">" + EscapeHtml(page.caption) + "</a></p>");
        Tree(page, i);
        Line("</div>");
    }
}

void HtmlGenerator::Tree(const TAppletPage& page, int tab) {
    Line("<ul class=\"bw-tree\">");
    int counter = 0;
    // Depth-first with an explicit stack of open lists, so that a very deep
    // tree cannot exhaust the call stack.
    struct Frame {
        const TreeNode* node;
        size_t next;
    };
    std::vector<Frame> stack;
    for (const auto& root : page.tree.roots) {
        Node(*root, tab, counter);
        if (root->children.empty()) {
            Line("</li>");
            continue;
        }
        stack.push_back({root.get(), 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.node->children.size()) {
                Line("</ul>");
                Line("</li>");
                stack.pop_back();
                continue;
            }
            const TreeNode& child = *top.node->children[top.next++];
            Node(child, tab, counter);
            if (child.children.empty()) {
                Line("</li>");
            } else {
                stack.push_back({&child, 0});
            }
        }
    }
    Line("</ul>");
}

// Opens the node's list item (and its child list when it has children); the
// caller closes them.
void HtmlGenerator::Node(const TreeNode& n, int tab, int& counter) {
    const TAppletNode& d = n.data;
    auto f = [](const std::string& v) { return IsNone(v) ? std::string() : v; };
    const std::string collapsed = CollapsedToken(d), expanded = ExpandedToken(d);
    std::string li = "<li class=\"bw-node\" data-bw-node" + Attr("data-bw-url1", d.url1) +
                     Attr("data-bw-target1", f(d.target1)) + Attr("data-bw-status", d.statusText) +
                     Attr("data-bw-url2", f(d.url2)) + Attr("data-bw-target2", f(d.target2)) +
                     Attr("data-bw-collapsed", collapsed) + Attr("data-bw-expanded", expanded) + ">";
    // The picture shown: the token's file (a default image for the words).
    auto src = [&](const std::string& token, int32_t word_folder) {
        if (token == "folder") return Ref(word_folder);
        if (token == "leaf") return Ref(p_.defaultLeaf);
        return token;
    };
    const std::string closed_src = src(collapsed, p_.defaultCollapsed);
    const std::string open_src = src(expanded, p_.defaultExpanded);
    const std::string group_id = "bwm-g-" + std::to_string(tab) + "-" + std::to_string(counter++);
    std::string row = "<div class=\"bw-row\">";
    if (n.HasChildren())
        row += "<button type=\"button\" class=\"bw-toggle\" aria-expanded=\"true\" aria-controls=\"" + group_id +
               "\" hidden><span class=\"bw-sr\">" + EscapeHtml(n.caption) + "</span></button>";
    std::string inner;
    if (!closed_src.empty() || !open_src.empty()) {
        inner += "<img class=\"bw-icon\"" + Attr("src", closed_src.empty() ? open_src : closed_src);
        if (n.HasChildren() && !open_src.empty() && open_src != closed_src) inner += Attr("data-bw-open-src", open_src);
        inner += " alt=\"\" width=\"16\" height=\"16\">";
    }
    inner += "<span data-bw-caption>" + EscapeHtml(n.caption) + "</span>";
    if (!d.url1.empty()) {
        row += "<a class=\"bw-link\"" + Attr("href", d.url1) + Attr("target", f(d.target1)) +
               Attr("title", d.statusText) + ">" + inner + "</a>";
    } else {
        row += "<span class=\"bw-label\"" + Attr("title", d.statusText) + ">" + inner + "</span>";
    }
    Line(li);
    Line(row + "</div>");
    if (n.HasChildren()) Line("<ul class=\"bw-group\" id=\"" + group_id + "\">");
}

bool HtmlGenerator::CopyAndWrite(MarkupResult& r) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& u : upload_) {
        const std::string dest = graphics_dir_ + FileNamePart(u);
        if (fs::exists(dest, ec) || !FileExists(u)) continue;
        if (!WriteOutputFile(host_, r, dest, &u, {})) return false;
        r.copiedFiles.push_back(dest);
    }
    if (!ctx_.externalFiles) return true;
    const std::pair<const char*, const std::string*> files[] = {{kHtmlMenuScriptFile, &HtmlMenuScript()},
                                                                {kHtmlMenuStyleFile, &HtmlMenuStyle()}};
    for (const auto& [name, text] : files) {
        const std::string path = page_dir_ + name;
        if (!WriteOutputFile(host_, r, path, nullptr, *text)) return false;
        r.copiedFiles.push_back(path);
    }
    return true;
}

MarkupResult HtmlGenerator::Run() {
    MarkupResult r;
    if (!CheckGraphicsDir()) {
        r.ok = false;
        return r;
    }
    Line(RootTag());
    if (p_.kind == AppletKind::Tab) {
        Tabs();
    } else if (p_.kind == AppletKind::Tree) {
        if (p_.TabCount() > 0) Tree(p_.Page(0), 0);
    } else {
        TabStrip();
    }
    Line("</nav>");

    std::vector<std::string> all;
    all.push_back(kHtmlMenuBegin);
    all.push_back("\tFiles to upload beside this page:");
    for (const auto& u : upload_) all.push_back("\t\t" + EscapeHtml(prefix_ + FileNamePart(u)));
    if (ctx_.externalFiles) {
        all.push_back(std::string("\t\t") + kHtmlMenuScriptFile);
        all.push_back(std::string("\t\t") + kHtmlMenuStyleFile);
    }
    all.push_back("-->");
    if (ctx_.externalFiles) {
        all.push_back(std::string("<link rel=\"stylesheet\" href=\"") + kHtmlMenuStyleFile + "\">");
    } else {
        all.push_back("<style>");
        for (const auto& l : SplitLines(HtmlMenuStyle())) all.push_back(l);
        all.push_back("</style>");
    }
    all.insert(all.end(), lines_.begin(), lines_.end());
    if (ctx_.externalFiles) {
        all.push_back(std::string("<script src=\"") + kHtmlMenuScriptFile + "\"></script>");
    } else {
        all.push_back("<script>");
        for (const auto& l : SplitLines(HtmlMenuScript())) all.push_back(l);
        all.push_back("</script>");
    }
    all.push_back(kHtmlMenuEnd);
    r.lines = std::move(all);
    for (const auto& l : r.lines) r.text += l + "\r\n";
    r.uploadList = upload_;
    if (ctx_.writeFiles && !CopyAndWrite(r)) {
        r.ok = false;
        r.text.clear();
    }
    return r;
}

}  // namespace

MarkupResult GenerateHtmlMenu(const NavigationProject& project, const HtmlMenuContext& ctx, BwUiHost& host) {
    HtmlGenerator g(project, ctx, host);
    return g.Run();
}

}  // namespace branchwork
