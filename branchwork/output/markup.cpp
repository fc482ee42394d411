#include "branchwork/output/markup.h"

#include <filesystem>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "cinemill/base/file_io.h"

namespace branchwork {

// ---- text helpers ------------------------------------------------------------

namespace {

struct PathParts {
    std::vector<std::string> dirs;  // directory components, without separators
    std::string file;               // after the last separator
};

PathParts SplitPath(const std::string& p, char sep) {
    PathParts parts;
    size_t start = 0;
    for (;;) {
        const size_t pos = p.find(sep, start);
        if (pos == std::string::npos) {
            parts.file = p.substr(start);
            break;
        }
        parts.dirs.push_back(p.substr(start, pos - start));
        start = pos + 1;
    }
    return parts;
}

}  // namespace

std::string RelativePath(const std::string& base_in, const std::string& target_in) {
    if (base_in.empty()) return target_in;
    if (target_in.empty()) return std::string();
    std::string base = base_in, target = target_in;
    if (base.back() == '/' || base.back() == '\\') base += "dummy.dum";
    const char sep = base.find('/') != std::string::npos ? '/' : '\\';
    const char other = sep == '/' ? '\\' : '/';
    for (auto& c : base)
        if (c == other) c = sep;
    for (auto& c : target)
        if (c == other) c = sep;
    if (base.size() < 2 || target.size() < 2) return target_in;
    const bool base_drive = HasDriveLetter(base), target_drive = HasDriveLetter(target);
    if (base_drive || target_drive) {
        if (!(base_drive && target_drive) || !EqualsNoCase(base.substr(0, 2), target.substr(0, 2)))
            return target_in;
    }
    const bool fold_case = base_drive;
    const PathParts b = SplitPath(base, sep), t = SplitPath(target, sep);
    size_t common = 0;
    while (common < b.dirs.size() && common < t.dirs.size() &&
           (fold_case ? EqualsNoCase(b.dirs[common], t.dirs[common]) : b.dirs[common] == t.dirs[common]))
        ++common;
    std::string result;
    for (size_t i = common; i < b.dirs.size(); ++i) result += std::string("..") + sep;
    for (size_t i = common; i < t.dirs.size(); ++i) result += t.dirs[i] + sep;
    return result + t.file;
}

std::string GraphicsPrefix(const std::string& page_dir, const std::string& graphics_dir) {
    std::string prefix = RelativePath(page_dir, graphics_dir);
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
    for (auto& c : prefix)
        if (c == '\\') c = '/';
    return prefix;
}

std::string ColorToParam(Color c) {
    const Color r = ResolveColor(c);
    return std::to_string(RedOf(r)) + "," + std::to_string(GreenOf(r)) + "," + std::to_string(BlueOf(r));
}

std::string ParamLine(const std::string& name, const std::string& value) {
    return "\t<PARAM NAME=\"" + name + "\" VALUE=\"" + value + "\">";
}

std::string FontParam(const std::string& font, const std::string& size) { return font + "; PLAIN;" + size; }

const char* YesNo(bool v) { return v ? "Yes" : "No"; }

std::string DefaultTabParam(int32_t default_tab) {
    return default_tab < 0 ? std::string("999") : std::to_string(default_tab);
}

const char* SentAppletClass(AppletKind kind) {
    switch (kind) {
        case AppletKind::Tab: return "VoltanR.class";
        case AppletKind::Tree: return "VoltarR.class";
        default: return "VoltarixR.class";
    }
}

const char* ProjectAppletClass(AppletKind kind) {
    switch (kind) {
        case AppletKind::Tab: return "Voltan2.class";
        case AppletKind::Tree: return "Voltar.class";
        default: return "Voltarix.class";
    }
}

const std::vector<std::string>& SupportClassFiles() {
    static const std::vector<std::string> files = {
        "Beans.class",          "Timer.class",      "TreeView.class",        "TreeNode.class", "InvalidTreeNodeException.class",
        "BaseTabbedPanel.class", "ButtonBase.class", "DirectionButton.class", "TabPanel.class"};
    return files;
}

const std::vector<std::string>& MainClassFiles() {
    static const std::vector<std::string> files = {"VoltarixR.class", "VoltanR.class", "VoltarR.class"};
    return files;
}

std::string ContentFileName(AppletKind kind, int tab) {
    if (kind == AppletKind::Tree) return "Content.txt";
    return "Tab" + std::to_string(tab) + "Content.txt";
}

// ---- generation --------------------------------------------------------------

namespace {

class Generator {
public:
    Generator(NavigationProject& p, const MarkupContext& ctx, BwUiHost& host, MarkupForm form)
        : p_(p), ctx_(ctx), host_(host) {
        sent_ = form == MarkupForm::Sent;
        node_info_in_applet_ = !sent_ || p.kind == AppletKind::Tab || p.nodeInfoInApplet;
        page_dir_ = NormalDir(ctx.pageDir);
        graphics_dir_ = ctx.graphicsDir.empty() ? page_dir_ : NormalDir(ctx.graphicsDir);
        if (graphics_dir_ != page_dir_) prefix_ = GraphicsPrefix(page_dir_, graphics_dir_);
    }

    MarkupResult Run();

private:
    // A native directory without "." and ".." components, ending in a
    // separator, so that the page and graphics directories compare alike.
    static std::string NormalDir(const std::string& dir) {
        if (dir.empty() || HasDriveLetter(dir) || dir.find('\\') != std::string::npos) return WithTrailingSeparator(dir);
        return WithTrailingSeparator(std::filesystem::path(dir).lexically_normal().string());
    }
    // Sent form: the graphics directory must be reachable from the page by
    // a relative path and must exist (one inside the page's directory is
    // made). False after a message otherwise.
    bool CheckGraphicsDir();
    // Image value of a path: the full path in a project file; in sent markup
    // the relative graphics prefix and the file name, with "/" separators.
    // Either is written as field text (character references where needed).
    std::string ImageForm(const std::string& path) const {
        if (!sent_) return EncodeFieldText(path);
        return EncodeFieldText(prefix_ + FileNamePart(path));
    }
    const std::string* ImagePath(int index) const {
        return p_.images.Valid(index) ? &p_.images.At(index).path : nullptr;
    }
    bool IsSet(int32_t idx, int32_t default_idx) const { return default_idx >= 0 && idx == default_idx; }
    void Upload(const std::string& path) {
        if (!sent_) return;
        for (const auto& u : upload_)
            if (EqualsNoCase(u, path)) return;
        upload_.push_back(path);
    }
    void Param(const std::string& name, const std::string& value) { lines_.push_back(ParamLine(name, value)); }
    // Free text as a field: "None" for an empty one, character references
    // for what the format cannot carry as it is.
    static std::string OrNone(const std::string& s) { return s.empty() ? std::string("None") : EncodeFieldText(s); }

    std::string ItemFields(const TreeNode& n, int depth);
    std::string CollapsedToken(const TAppletNode& d);
    std::string ExpandedToken(const TAppletNode& d);
    void Comment(std::vector<std::string>& out) const;
    // Copies the images and classes; false (after WriteOrSay's message)
    // when one cannot be written.
    bool CopyFiles(MarkupResult& r);
    // Writes `bytes` (or a copy of `copy_from`) to `path` and records a file
    // it made; on failure says so, removes what the run made and sets ok
    // false.
    bool WriteOrSay(MarkupResult& r, const std::string& path, const std::string* copy_from, std::string_view bytes);

    NavigationProject& p_;
    const MarkupContext& ctx_;
    BwUiHost& host_;
    bool sent_ = true;
    bool node_info_in_applet_ = true;
    std::string page_dir_, graphics_dir_, prefix_;
    std::vector<std::string> lines_;
    std::vector<std::string> upload_;
};

std::string Generator::CollapsedToken(const TAppletNode& d) {
    const int c = p_.images.Valid(d.collapsedImage) ? d.collapsedImage : -1;
    if (sent_) {
        if (IsSet(c, p_.defaultCollapsed)) return "folder ; ";
        if (IsSet(c, p_.defaultLeaf)) return "leaf ; ";
    }
    if (c < 0) return " ; ";
    Upload(*ImagePath(c));
    return ImageForm(*ImagePath(c)) + "; ";
}

std::string Generator::ExpandedToken(const TAppletNode& d) {
    const int c = p_.images.Valid(d.collapsedImage) ? d.collapsedImage : -1;
    const int e = p_.images.Valid(d.expandedImage) ? d.expandedImage : -1;
    if (sent_) {
        if (IsSet(e, p_.defaultExpanded)) return "folder ; ";
        if (IsSet(e, p_.defaultLeaf)) return "leaf ; ";
    }
    if (e < 0) {
        if (sent_ && IsSet(c, p_.defaultLeaf)) return "leaf ; ";
        if (c < 0) return " ; ";
        Upload(*ImagePath(c));
        return ImageForm(*ImagePath(c)) + "; ";
    }
    Upload(*ImagePath(e));
    return ImageForm(*ImagePath(e)) + "; ";
}

std::string Generator::ItemFields(const TreeNode& n, int depth) {
    const TAppletNode& d = n.data;
    std::string s = EncodeFieldText(n.caption) + "; ";
    // The loader reads a link "None" as no link, so a link typed as that
    // word is written with its first letter as a reference.
    s += (d.url1 == "None" ? std::string("&#78;one") : OrNone(d.url1)) + "; ";
    s += OrNone(d.target1) + "; ";
    s += std::to_string(depth) + "; ";
    s += CollapsedToken(d);
    s += ExpandedToken(d);
    s += EncodeFieldText(d.statusText) + (sent_ ? ";" : "; ");
    s += OrNone(d.url2) + "; ";
    s += OrNone(d.target2);
    return s;
}

void Generator::Comment(std::vector<std::string>& out) const {
    out.push_back("<!-- The following files need to be uploaded to your website");
    out.push_back("\tImages: ");
    for (const auto& u : upload_) out.push_back("\t\t" + ImageForm(u));
    out.push_back("\tJava class files: (These go into the same directory as this HTML file)");
    out.push_back(std::string("\t\t") + SentAppletClass(p_.kind));
    for (const auto& c : SupportClassFiles()) out.push_back("\t\t" + c);
    if (node_info_in_applet_) {
        out.push_back("-->");
        return;
    }
    out.push_back("\tContent files: (These go into the same directory as this HTML file)");
    if (p_.kind == AppletKind::Tree) {
        out.push_back("\t\tContent.txt");
    } else {
        for (int i = 0; i < p_.TabCount(); ++i) out.push_back("\t\t" + ContentFileName(p_.kind, i));
    }
    out.push_back("-->");
}

bool Generator::WriteOrSay(MarkupResult& r, const std::string& path, const std::string* copy_from,
                           std::string_view bytes) {
    return WriteOutputFile(host_, r, path, copy_from, bytes);
}

bool Generator::CopyFiles(MarkupResult& r) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& u : upload_) {
        const std::string dest = graphics_dir_ + FileNamePart(u);
        // An image already there is kept; copying a file onto itself is skipped.
        if (fs::exists(dest, ec) || !FileExists(u)) continue;
        if (!WriteOrSay(r, dest, &u, {})) return false;
        r.copiedFiles.push_back(dest);
    }
    const std::string class_dir = WithTrailingSeparator(ctx_.programDir) + "help/JClass/";
    std::vector<std::string> classes = {SentAppletClass(p_.kind)};
    for (const auto& c : SupportClassFiles()) classes.push_back(c);
    for (const auto& c : classes) {
        const std::string src = class_dir + c;
        if (!FileExists(src)) continue;
        const std::string dest = page_dir_ + c;
        if (fs::equivalent(src, dest, ec)) continue;
        if (!WriteOrSay(r, dest, &src, {})) return false;
        r.copiedFiles.push_back(dest);
    }
    return true;
}

bool Generator::CheckGraphicsDir() {
    return CheckGraphicsFolder(host_, graphics_dir_, prefix_,
                               ctx_.writeFiles && (p_.images.Count() > 0 || !p_.backgroundImage.empty()));
}

MarkupResult Generator::Run() {
    MarkupResult r;
    if (sent_ && !CheckGraphicsDir()) {
        r.ok = false;
        return r;
    }
    const AppletKind kind = p_.kind;
    const bool tabs = kind == AppletKind::Tab || kind == AppletKind::TabAndTree;
    const bool trees = kind == AppletKind::Tree || kind == AppletKind::TabAndTree;

    if (sent_) {
        lines_.push_back(std::string("<APPLET CODEBASE=\".\" CODE=\"") + SentAppletClass(kind) + "\" WIDTH=" +
                         p_.styles.width + " HEIGHT=" + p_.styles.height + ">");
    } else {
        lines_.push_back(std::string("<APPLET CODE=\"") + ProjectAppletClass(kind) + "\" WIDTH=" + p_.styles.width +
                         " HEIGHT=" + p_.styles.height + ">");
    }
    const bool has_bg = !p_.backgroundImage.empty();
    if (has_bg) Upload(p_.backgroundImage);
    const std::string bg_value = has_bg ? ImageForm(p_.backgroundImage) : std::string();

    const StyleSettings& s = p_.styles;
    if (tabs) {
        Param("TAB_BG", ColorToParam(s.tabCaptionBG));
        Param("TAB_FG", ColorToParam(s.tabCaptionFG));
        Param("TAB_MOUSEOVER", ColorToParam(s.tabMouseOver));
        Param("TAB_FONT", FontParam(s.tabFont, s.tabFontSize));
        if (has_bg) Param("TAB_BG_IMAGE", bg_value);
        Param("TABONBOTTOM", YesNo(s.tabsOnBottom));
        Param("TAB_DEFAULT", DefaultTabParam(p_.defaultTab));
        lines_.push_back("");
    }
    if (trees) {
        const bool both = kind == AppletKind::TabAndTree;
        Param(both ? "TREE_FONT" : "FONT", FontParam(s.treeFont, s.treeFontSize));
        Param(both ? "TREE_BG" : "BACKGROUND", ColorToParam(s.treeBranchBG));
        Param(both ? "TREE_FG" : "FOREGROUND", ColorToParam(s.treeBranchFG));
        Param(both ? "TREE_SEL_BG" : "SELBACKGROUND", ColorToParam(s.treeSelectedBG));
        Param(both ? "TREE_SEL_FG" : "SELFOREGROUND", ColorToParam(s.treeSelectedFG));
        Param(both ? "TREE_MOUSEOVER" : "MOUSEOVER", ColorToParam(s.treeMouseOver));
        if (has_bg) Param(both ? "TREE_BG_IMAGE" : "BACKGROUNDIMAGE", bg_value);
        Param(both ? "TREE_BORDER" : "BORDER", YesNo(s.showBorder));
        Param(both ? "TREE_DOUBLECLICK" : "DOUBLECLICK", YesNo(s.doubleClick));
        Param(both ? "TREE_AUTOEXPAND" : "AUTOEXPAND", YesNo(s.autoExpand));
        // The value names the file exactly as it is written, so that the applet
        // also finds it on a web server whose file names are case-sensitive.
        if (sent_ && kind == AppletKind::Tree && !node_info_in_applet_) Param("CONTENT", ContentFileName(kind, 0));

        const std::pair<const char*, int32_t> defaults[] = {
            {"FOLDER_CLOSED", p_.defaultCollapsed}, {"FOLDER_OPEN", p_.defaultExpanded}, {"LEAF", p_.defaultLeaf}};
        for (const auto& [name, idx] : defaults) {
            const std::string* path = ImagePath(idx);
            if (!path) continue;
            Param(name, ImageForm(*path));
            Upload(*path);
        }
    }

    for (int i = 0; i < p_.TabCount(); ++i) {
        lines_.push_back("");
        p_.ShowTab(i);
        TAppletPage& page = p_.Page(i);
        if (tabs) {
            TTabPage& t = page.tab;
            for (std::string* f : {&t.statusText, &t.url1, &t.target1, &t.url2, &t.target2})
                if (f->empty()) *f = "None";
            auto f = [](const std::string& v) { return EncodeFieldText(v); };
            Param("TAB" + std::to_string(i), f(page.caption) + "; " + f(t.url1) + "; " + f(t.target1) + "; " +
                                                 f(t.statusText) + "; " + f(t.url2) + "; " + f(t.target2));
        }
        if (!trees) continue;
        std::vector<std::string> content;
        int n = 0;
        for (const auto& [node, depth] : page.tree.PreOrderWithDepth()) {
            std::string fields = ItemFields(*node, depth);
            if (node_info_in_applet_) {
                const std::string name =
                    kind == AppletKind::Tree ? "I" + std::to_string(n) : "T" + std::to_string(i) + "I" + std::to_string(n);
                Param(name, fields);
            } else {
                content.push_back(std::move(fields));
            }
            ++n;
        }
        if (!node_info_in_applet_) {
            const std::string file = ContentFileName(kind, i);
            if (kind == AppletKind::TabAndTree) Param("TAB" + std::to_string(i) + "_CONTENT", file);
            const std::string path = page_dir_ + file;
            if (ctx_.writeFiles) {
                std::string text;
                for (const auto& l : content) text += l + "\r\n";
                if (!WriteOrSay(r, path, nullptr, text)) return r;
            }
            r.contentFiles.push_back(path);
        }
    }
    lines_.push_back("</APPLET>");

    std::vector<std::string> all;
    if (sent_) Comment(all);
    all.insert(all.end(), lines_.begin(), lines_.end());
    r.lines = std::move(all);
    for (const auto& l : r.lines) r.text += l + "\r\n";
    r.uploadList = upload_;
    if (sent_ && ctx_.writeFiles) CopyFiles(r);
    return r;
}

}  // namespace

bool CheckGraphicsFolder(BwUiHost& host, const std::string& graphics_dir, const std::string& prefix,
                         bool needed) {
    const bool absolute = !prefix.empty() && (prefix[0] == '/' || prefix[0] == '\\' || HasDriveLetter(prefix));
    if (absolute) {
        host.Message(texts::kGraphicsNotReachablePrefix + graphics_dir + texts::kGraphicsNotReachableSuffix,
                     MessageIcon::Error);
        return false;
    }
    if (!needed) return true;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(graphics_dir, ec)) return true;
    // Only a folder below the page's directory is made.
    const bool inside = prefix.rfind("..", 0) != 0;
    if (inside && fs::create_directories(graphics_dir, ec) && !ec) return true;
    host.Message(texts::kGraphicsNotReachablePrefix + graphics_dir + texts::kGraphicsDirMissingSuffix,
                 MessageIcon::Error);
    return false;
}

bool WriteOutputFile(BwUiHost& host, MarkupResult& r, const std::string& path, const std::string* copy_from,
                     std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool existed = fs::exists(fs::symlink_status(path, ec));
    const cinemill::WriteProblem p = copy_from ? cinemill::ReplaceFileWithCopy(*copy_from, path)
                                               : cinemill::WriteFileAtomically(path, bytes);
    if (p == cinemill::WriteProblem::None) {
        if (!existed) r.createdFiles.push_back(path);
        return true;
    }
    std::string message = texts::kCannotCreatePrefix + path + texts::kCannotCreateSuffix;
    if (p != cinemill::WriteProblem::Failed) message += " " + cinemill::WriteProblemText(p, path);
    host.Message(message, MessageIcon::Error);
    r.ok = false;
    RemoveCreatedFiles(r);
    return false;
}

void RemoveCreatedFiles(MarkupResult& r) {
    std::error_code ec;
    for (const auto& f : r.createdFiles) std::filesystem::remove(f, ec);
    r.createdFiles.clear();
}

MarkupResult GenerateAppletMarkup(NavigationProject& project, const MarkupContext& ctx, BwUiHost& host,
                                  MarkupForm form) {
    Generator g(project, ctx, host, form);
    return g.Run();
}

}  // namespace branchwork
