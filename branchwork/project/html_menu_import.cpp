#include "branchwork/project/html_menu_import.h"

#include <map>
#include <vector>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/output/html_menu.h"
#include "branchwork/output/markup.h"

namespace branchwork {

namespace {

// One piece of HTML: a start tag with its attributes (names in lower case,
// values decoded), an end tag, or text (raw, decoded by the reader).
struct HtmlToken {
    enum Kind { Start, End, Text } kind = Text;
    std::string name;  // lower case
    std::map<std::string, std::string> attrs;
    std::string text;
    bool Has(const char* a) const { return attrs.count(a) != 0; }
    std::string Get(const char* a) const {
        const auto it = attrs.find(a);
        return it == attrs.end() ? std::string() : it->second;
    }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Reads the attributes of a start tag from s[i] to its ">"; answers the
// position after it.
size_t ReadAttributes(std::string_view s, size_t i, HtmlToken& tok) {
    while (i < s.size()) {
        while (i < s.size() && (IsSpace(s[i]) || s[i] == '/')) ++i;
        if (i >= s.size()) break;
        if (s[i] == '>') return i + 1;
        size_t n = i;
        while (n < s.size() && !IsSpace(s[n]) && s[n] != '=' && s[n] != '>' && s[n] != '/') ++n;
        if (n == i) ++n;  // a stray "=": skipped
        std::string name = ToLower(s.substr(i, n - i));
        i = n;
        while (i < s.size() && IsSpace(s[i])) ++i;
        std::string value;
        if (i < s.size() && s[i] == '=') {
            ++i;
            while (i < s.size() && IsSpace(s[i])) ++i;
            if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
                const char q = s[i++];
                const size_t e = s.find(q, i);
                const size_t end = e == std::string_view::npos ? s.size() : e;
                value = DecodeFieldText(s.substr(i, end - i));
                i = end == s.size() ? end : end + 1;
            } else {
                size_t e = i;
                while (e < s.size() && !IsSpace(s[e]) && s[e] != '>') ++e;
                value = DecodeFieldText(s.substr(i, e - i));
                i = e;
            }
        }
        if (!name.empty() && name != "=") tok.attrs.emplace(std::move(name), std::move(value));
    }
    return s.size();
}

// Cuts HTML into tokens; comments are dropped and the contents of script and
// style elements skipped. Runs in time linear in the text.
std::vector<HtmlToken> TokenizeHtml(std::string_view s) {
    std::vector<HtmlToken> out;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '<') {
            const size_t lt = s.find('<', i);
            const size_t end = lt == std::string_view::npos ? s.size() : lt;
            HtmlToken t;
            t.text = std::string(s.substr(i, end - i));
            out.push_back(std::move(t));
            i = end;
            continue;
        }
        if (s.substr(i, 4) == "<!--") {
            const size_t e = s.find("-->", i + 4);
            i = e == std::string_view::npos ? s.size() : e + 3;
            continue;
        }
        if (i + 1 < s.size() && (s[i + 1] == '!' || s[i + 1] == '?')) {
            const size_t e = s.find('>', i);
            i = e == std::string_view::npos ? s.size() : e + 1;
            continue;
        }
        const bool end_tag = i + 1 < s.size() && s[i + 1] == '/';
        size_t n = i + (end_tag ? 2 : 1);
        const size_t name_start = n;
        while (n < s.size() && !IsSpace(s[n]) && s[n] != '>' && s[n] != '/') ++n;
        if (n == name_start) {  // a lone "<" is text
            HtmlToken t;
            t.text = "<";
            out.push_back(std::move(t));
            ++i;
            continue;
        }
        HtmlToken t;
        t.kind = end_tag ? HtmlToken::End : HtmlToken::Start;
        t.name = ToLower(s.substr(name_start, n - name_start));
        if (end_tag) {
            const size_t e = s.find('>', n);
            i = e == std::string_view::npos ? s.size() : e + 1;
        } else {
            i = ReadAttributes(s, n, t);
        }
        const bool raw = !end_tag && (t.name == "script" || t.name == "style");
        const std::string close = "</" + t.name;
        out.push_back(std::move(t));
        if (raw) {
            const size_t e = FindNoCase(s, close, i);
            i = e == std::string_view::npos ? s.size() : e;
        }
    }
    return out;
}

bool IsVoid(const std::string& name) {
    static const char* const kVoid[] = {"img", "br", "hr", "input", "meta", "link", "wbr", "source", "area", "col"};
    for (const char* v : kVoid)
        if (name == v) return true;
    return false;
}

// Element text as a caption: whitespace runs (line breaks of a hand-edited
// file) become one blank, the ends are trimmed, then references decoded,
// so that blanks written as references survive.
std::string CaptionText(const std::string& raw) {
    std::string collapsed;
    bool space = false;
    for (const char c : raw) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && !collapsed.empty()) collapsed += ' ';
        space = false;
        collapsed += c;
    }
    return DecodeFieldText(collapsed);
}

struct MenuItem {
    std::map<std::string, std::string> attrs;
    std::string caption;
    int level = 0;   // nodes: the number of node ancestors
    int tree = -1;   // nodes: the index of the tree they are in
    std::string Get(const char* a) const {
        const auto it = attrs.find(a);
        return it == attrs.end() ? std::string() : it->second;
    }
};

struct MenuRead {
    std::map<std::string, std::string> root;
    std::vector<MenuItem> tabs, nodes;
    int trees = 0;
};

// Reads the menu elements from the root element at tokens[at] to its end.
MenuRead ReadMenu(const std::vector<HtmlToken>& toks, size_t at) {
    MenuRead m;
    m.root = toks[at].attrs;
    struct Open {
        std::string name;
        bool node = false;
        bool caption = false;
    };
    std::vector<Open> stack;
    int node_depth = 0;
    MenuItem* pending = nullptr;  // the item whose caption comes next
    int caption_depth = 0;        // open caption elements
    std::string caption;
    for (size_t i = at + 1; i < toks.size(); ++i) {
        const HtmlToken& t = toks[i];
        if (t.kind == HtmlToken::Text) {
            if (caption_depth > 0) caption += t.text;
            continue;
        }
        if (t.kind == HtmlToken::Start) {
            Open o{t.name};
            if (t.Has("class") && ContainsText(" " + t.Get("class") + " ", " bw-tree ")) ++m.trees;
            if (t.Has("data-bw-tab")) {
                m.tabs.push_back(MenuItem{t.attrs, {}, 0, -1});
                pending = &m.tabs.back();
            } else if (t.Has("data-bw-node")) {
                m.nodes.push_back(MenuItem{t.attrs, {}, node_depth, m.trees - 1});
                pending = &m.nodes.back();
                o.node = true;
                ++node_depth;
            }
            if (t.Has("data-bw-caption") && (pending || caption_depth > 0)) {
                o.caption = true;
                if (caption_depth++ == 0) caption.clear();
            }
            if (!IsVoid(t.name)) stack.push_back(std::move(o));
            continue;
        }
        // An end tag closes the innermost open element of its name (and any
        // left open inside it); one that matches nothing is ignored.
        size_t k = stack.size();
        while (k > 0 && stack[k - 1].name != t.name) --k;
        if (k == 0) {
            if (t.name == "nav") break;  // the root's end
            continue;
        }
        while (stack.size() >= k) {
            const Open& o = stack.back();
            if (o.node) --node_depth;
            if (o.caption && --caption_depth == 0 && pending) {
                pending->caption = CaptionText(caption);
                pending = nullptr;
            }
            stack.pop_back();
        }
    }
    return m;
}

// Free text as an applet field; an empty link field is "None".
std::string Field(const std::string& v) { return EncodeFieldText(v); }
std::string LinkField(const std::string& v) { return v.empty() ? std::string("None") : EncodeFieldText(v); }
// A style value inside a quoted PARAM value: characters that would end the
// quote or the tag are dropped (the applet form cannot carry them either).
std::string StyleValue(const std::string& v) {
    std::string out;
    for (const char c : v)
        if (c != '"' && c != '<' && c != '>' && c != '\r' && c != '\n') out += c;
    return out;
}

std::string AppletOf(const MenuRead& m, AppletKind kind) {
    auto root = [&](const char* a) -> const std::string* {
        const auto it = m.root.find(a);
        return it == m.root.end() ? nullptr : &it->second;
    };
    const char* code = kind == AppletKind::Tab ? "VoltanR.class" : kind == AppletKind::Tree ? "VoltarR.class" : "VoltarixR.class";
    std::string out = std::string("<APPLET CODE=\"") + code + "\"";
    if (const auto* w = root("data-bw-width")) out += " WIDTH=\"" + StyleValue(*w) + "\"";
    if (const auto* h = root("data-bw-height")) out += " HEIGHT=\"" + StyleValue(*h) + "\"";
    out += ">\r\n";
    auto param = [&out](const std::string& name, const std::string& value) { out += ParamLine(name, value) + "\r\n"; };
    auto style = [&](const char* attr, const std::string& name) {
        if (const auto* v = root(attr)) param(name, StyleValue(*v));
    };
    const bool tabs = kind != AppletKind::Tree, trees = kind != AppletKind::Tab, both = kind == AppletKind::TabAndTree;
    if (tabs) {
        style("data-bw-tab-bg", "TAB_BG");
        style("data-bw-tab-fg", "TAB_FG");
        style("data-bw-tab-mouseover", "TAB_MOUSEOVER");
        if (root("data-bw-tab-font") || root("data-bw-tab-font-size")) {
            const auto* f = root("data-bw-tab-font");
            const auto* s = root("data-bw-tab-font-size");
            param("TAB_FONT", StyleValue(FontParam(f ? *f : "", s ? *s : "12")));
        }
        if (const auto* b = root("data-bw-background")) param("TAB_BG_IMAGE", Field(*b));
        style("data-bw-tabs-on-bottom", "TABONBOTTOM");
        style("data-bw-default-tab", "TAB_DEFAULT");
    }
    if (trees) {
        if (root("data-bw-tree-font") || root("data-bw-tree-font-size")) {
            const auto* f = root("data-bw-tree-font");
            const auto* s = root("data-bw-tree-font-size");
            param(both ? "TREE_FONT" : "FONT", StyleValue(FontParam(f ? *f : "", s ? *s : "12")));
        }
        style("data-bw-tree-bg", both ? "TREE_BG" : "BACKGROUND");
        style("data-bw-tree-fg", both ? "TREE_FG" : "FOREGROUND");
        style("data-bw-tree-sel-bg", both ? "TREE_SEL_BG" : "SELBACKGROUND");
        style("data-bw-tree-sel-fg", both ? "TREE_SEL_FG" : "SELFOREGROUND");
        style("data-bw-tree-mouseover", both ? "TREE_MOUSEOVER" : "MOUSEOVER");
        if (const auto* b = root("data-bw-background")) param(both ? "TREE_BG_IMAGE" : "BACKGROUNDIMAGE", Field(*b));
        style("data-bw-border", both ? "TREE_BORDER" : "BORDER");
        style("data-bw-doubleclick", both ? "TREE_DOUBLECLICK" : "DOUBLECLICK");
        style("data-bw-autoexpand", both ? "TREE_AUTOEXPAND" : "AUTOEXPAND");
        const std::pair<const char*, const char*> defaults[] = {
            {"data-bw-folder-closed", "FOLDER_CLOSED"}, {"data-bw-folder-open", "FOLDER_OPEN"}, {"data-bw-leaf", "LEAF"}};
        for (const auto& [attr, name] : defaults)
            if (const auto* v = root(attr)) param(name, Field(*v));
    }
    const size_t tab_count = kind == AppletKind::Tree ? 1 : m.tabs.size();
    std::vector<int> per_tree(tab_count, 0);
    for (size_t t = 0; t < tab_count; ++t) {
        if (tabs) {
            const MenuItem& tab = m.tabs[t];
            param("TAB" + std::to_string(t), Field(tab.caption) + "; " + LinkField(tab.Get("data-bw-url1")) + "; " +
                                                 LinkField(tab.Get("data-bw-target1")) + "; " +
                                                 LinkField(tab.Get("data-bw-status")) + "; " +
                                                 LinkField(tab.Get("data-bw-url2")) + "; " +
                                                 LinkField(tab.Get("data-bw-target2")));
        }
        if (!trees) continue;
        int n = 0;
        for (const MenuItem& node : m.nodes) {
            if (node.tree != static_cast<int>(t) && !(kind == AppletKind::Tree && node.tree <= 0)) continue;
            const std::string url1 = node.Get("data-bw-url1");
            std::string fields = Field(node.caption) + "; ";
            fields += (url1 == "None" ? std::string("&#78;one") : LinkField(url1)) + "; ";
            fields += LinkField(node.Get("data-bw-target1")) + "; ";
            fields += std::to_string(node.level) + "; ";
            fields += Field(node.Get("data-bw-collapsed")) + " ; ";
            fields += Field(node.Get("data-bw-expanded")) + " ; ";
            fields += Field(node.Get("data-bw-status")) + "; ";
            fields += LinkField(node.Get("data-bw-url2")) + "; ";
            fields += LinkField(node.Get("data-bw-target2"));
            const std::string name = both ? "T" + std::to_string(t) + "I" + std::to_string(n) : "I" + std::to_string(n);
            param(name, fields);
            ++n;
        }
    }
    out += "</APPLET>\r\n";
    return out;
}

// The index of the menu's root element: a nav with data-bw-menu.
std::optional<size_t> RootIndex(const std::vector<HtmlToken>& toks) {
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind == HtmlToken::Start && toks[i].name == "nav" && toks[i].Has("data-bw-menu")) return i;
    return std::nullopt;
}

}  // namespace

std::optional<size_t> FindHtmlMenu(std::string_view text) {
    const size_t begin = FindNoCase(text, kHtmlMenuBegin);
    const size_t root = FindNoCase(text, "data-bw-menu");
    size_t at = std::min(begin, root);
    if (at == std::string_view::npos) return std::nullopt;
    if (at == root) {
        const size_t lt = text.rfind('<', root);
        at = lt == std::string_view::npos ? root : lt;
    }
    return at;
}

std::optional<std::string> HtmlMenuToAppletMarkup(std::string_view text, std::string* problem) {
    auto refuse = [&](const std::string& why) -> std::optional<std::string> {
        if (problem) *problem = std::string(texts::kNotOurHtmlMenu) + why;
        return std::nullopt;
    };
    const auto toks = TokenizeHtml(text);
    const auto root = RootIndex(toks);
    if (!root) return refuse("it has no <nav> element with data-bw-menu.");
    const std::string kind_word = toks[*root].Get("data-bw-kind");
    AppletKind kind;
    if (EqualsNoCase(kind_word, "Tab")) kind = AppletKind::Tab;
    else if (EqualsNoCase(kind_word, "Tree")) kind = AppletKind::Tree;
    else if (EqualsNoCase(kind_word, "TabAndTree")) kind = AppletKind::TabAndTree;
    else return refuse("its data-bw-kind \"" + kind_word + "\" is none of Tab, Tree and TabAndTree.");
    const MenuRead m = ReadMenu(toks, *root);
    if (kind != AppletKind::Tree && m.tabs.empty()) return refuse("it has no tab (data-bw-tab).");
    if (kind == AppletKind::TabAndTree && m.trees != static_cast<int>(m.tabs.size()))
        return refuse("it has " + std::to_string(m.tabs.size()) + " tabs but " + std::to_string(m.trees) +
                      " trees (class bw-tree).");
    return AppletOf(m, kind);
}

LoadOutcome ImportHtmlMenu(NavigationProject& project, std::string_view text, const std::string& page_dir,
                           BwUiHost& host) {
    std::string problem;
    const auto markup = HtmlMenuToAppletMarkup(text, &problem);
    if (!markup) {
        host.Message(problem, MessageIcon::Error);
        LoadOutcome out;
        out.error = problem;
        return out;
    }
    return ImportAppletMarkup(project, *markup, page_dir, host);
}

}  // namespace branchwork
