#include "branchwork/project/loader.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"
#include "branchwork/output/markup.h"
#include "branchwork/project/html_menu_import.h"

namespace branchwork {

// ---- text helpers ------------------------------------------------------------

std::vector<std::string> TokenizeMarkup(std::string_view text) {
    std::vector<std::string> tags;
    size_t pos = 0;
    // The next "<" is searched once and kept while stray end markers before
    // it give empty entries, so that a long run of ">" costs linear time.
    size_t next_lt = text.find('<');
    while (pos < text.size()) {
        if (next_lt == std::string_view::npos) break;
        if (next_lt < pos) next_lt = text.find('<', pos);
        if (next_lt == std::string_view::npos) break;
        const std::string_view rest = text.substr(pos);
        const size_t lt = next_lt - pos;
        const std::string_view marker = lt + 1 < rest.size() && rest[lt + 1] == '!' ? "-->" : ">";
        // The end marker is searched from the start of the rest, so one found
        // before the "<" gives an empty entry.
        const size_t m = rest.find(marker);
        if (m == std::string_view::npos) break;
        const size_t end = m + marker.size();
        std::string tag;
        if (end > lt) {
            const std::string_view raw = rest.substr(lt, end - lt);
            tag.reserve(raw.size());
            for (size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
                    tag += ' ';
                    ++i;
                } else {
                    tag += raw[i];
                }
            }
        }
        tags.push_back(std::move(tag));
        pos += end;
    }
    return tags;
}

std::string GetAttributeValue(std::string_view tag_in, std::string_view name) {
    const std::string tag = Trim(tag_in);
    const size_t at = FindNoCase(tag, std::string(name) + "=");
    if (at == std::string::npos) return std::string();
    const size_t start = at + name.size() + 1;
    if (start >= tag.size()) return std::string();
    size_t end = start;
    if (tag[start] == '"') {
        end = start + 1;
        while (end < tag.size() && tag[end] != '"' && tag[end] != '>') ++end;
        if (end < tag.size() && tag[end] == '"') ++end;  // keep the closing quote, stripped below
    } else {
        while (end < tag.size() && tag[end] != ' ' && tag[end] != '\r' && tag[end] != '\n' && tag[end] != '"' &&
               tag[end] != '>')
            ++end;
    }
    return StripOneQuotePair(Trim(std::string_view(tag).substr(start, end - start)));
}

std::vector<std::string> SplitFields(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t p = text.find(separator, start);
        if (p == std::string_view::npos) break;
        pieces.emplace_back(text.substr(start, p - start));
        start = p + 1;
    }
    if (start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

namespace {

// SplitFields at ";" for free-text fields: a ";" that ends a character
// reference belongs to its field.
std::vector<std::string> SplitTextFields(std::string_view text) {
    if (text.find('&') == std::string_view::npos) return SplitFields(text, ';');
    std::vector<std::string> pieces;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (const size_t n = FieldReferenceLength(text, i)) i += n - 1;
        } else if (text[i] == ';') {
            pieces.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

std::string ListIndexMessage(size_t index) {
    return texts::kListIndexPrefix + std::to_string(index) + texts::kListIndexSuffix;
}

}  // namespace

std::optional<Color> ParamToColor(std::string_view text, std::string* error) {
    const auto pieces = SplitFields(text, ',');
    uint8_t rgb[3];
    for (size_t i = 0; i < 3; ++i) {
        if (i >= pieces.size()) {
            if (error) *error = ListIndexMessage(i);
            return std::nullopt;
        }
        const auto v = ParseWholeNumber(pieces[i]);
        if (!v) {
            if (error) *error = NotANumberMessage(pieces[i]);
            return std::nullopt;
        }
        rgb[i] = static_cast<uint8_t>(static_cast<uint32_t>(*v) & 0xFF);
    }
    return MakeColor(rgb[0], rgb[1], rgb[2]);
}

bool IsYes(std::string_view text) {
    return EqualsNoCase(text, "yes") || EqualsNoCase(text, "true") || text == "1";
}

std::string ResolveRelativePath(const std::string& base, const std::string& reference) {
    std::string ref = reference;
    const bool windows = HasDriveLetter(base) || HasDriveLetter(Trim(ref));
    const char sep = windows ? '\\' : '/';
    for (auto& c : ref)
        if (c == '/' || c == '\\') c = sep;
    ref = StripOneQuotePair(Trim(ref));
    if (HasDriveLetter(ref)) return ref;
    if (!windows && !ref.empty() && ref[0] == '/') return ref;

    std::string dir = DirectoryPart(base);
    for (auto& c : dir)
        if (c == '/' || c == '\\') c = sep;
    // Directory components of the base; the first (a drive, or empty for a
    // native root) is never climbed past.
    std::vector<std::string> comps = SplitFields(dir, sep);
    const size_t floor = !comps.empty() && (comps[0].empty() || HasDriveLetter(comps[0])) ? 1 : 0;
    std::vector<std::string> parts = SplitFields(ref, sep);
    const std::string file = !ref.empty() && ref.back() != sep && !parts.empty() ? parts.back() : std::string();
    if (!file.empty()) parts.pop_back();
    size_t i = 0;
    for (; i < parts.size(); ++i) {
        if (parts[i] == "..") {
            if (comps.size() > floor) comps.pop_back();
        } else if (parts[i] != "." && !parts[i].empty()) {
            break;
        }
    }
    std::string out;
    for (size_t k = 0; k < comps.size(); ++k) out += comps[k] + sep;
    for (; i < parts.size(); ++i)
        if (!parts[i].empty() && parts[i] != ".") out += parts[i] + sep;
    return out + file;
}

// ---- the loader --------------------------------------------------------------

namespace {

// True when the tag holds `"` + word + number + `"` (letter case ignored);
// the number is returned in *n.
bool QuotedNumbered(std::string_view tag, std::string_view word, size_t limit, size_t* n) {
    const std::string pat = "\"" + std::string(word);
    size_t from = 0;
    while ((from = FindNoCase(tag, pat, from)) != std::string_view::npos) {
        size_t i = from + pat.size();
        size_t v = 0;
        size_t digits = 0;
        while (i < tag.size() && tag[i] >= '0' && tag[i] <= '9' && digits < 10) {
            v = v * 10 + static_cast<size_t>(tag[i] - '0');
            ++i;
            ++digits;
        }
        if (digits > 0 && i < tag.size() && tag[i] == '"' && v < limit) {
            *n = v;
            return true;
        }
        from += 1;
    }
    return false;
}

// The path itself when it exists, else a file of the same directory whose
// name differs only in letter case (pages written by earlier versions name
// "content.txt" for the file "Content.txt").
std::string FindFileIgnoringCase(const std::string& path) {
    namespace fs = std::filesystem;
    if (FileExists(path)) return path;
    std::error_code ec;
    const std::string dir = DirectoryPart(path), name = FileNamePart(path);
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsNoCase(it->path().filename().string(), name) && it->is_regular_file(ec))
            return it->path().string();
    }
    return path;
}

class Loader {
public:
    Loader(NavigationProject& p, BwUiHost& host, std::string image_base)
        : p_(p), host_(host), base_(std::move(image_base)) {}

    // The stages of a load. The ones that answer false stopped at a value
    // they could not read; Stopped() then tells why.
    void ReadAppletTag(const std::string& tag);
    bool ReadStyleParams(const std::vector<std::string>& tags);
    bool ReadTabs(const std::vector<std::string>& tags);
    const std::string& Stopped() const { return stop_; }

private:
    bool Stop(std::string message) {
        stop_ = std::move(message);
        return false;
    }
    // A value that must be a whole number, or a colour "r,g,b".
    bool WholeNumber(std::string_view value, int32_t& out);
    bool ColorValue(std::string_view value, Color& out);
    void IndexTags(const std::vector<std::string>& tags);
    void ReadDefaultImages(const std::vector<std::string>& tags);
    bool ReadNodes(const std::vector<std::string>& tags, int t);
    int ResolveImage(const std::string& reference);
    // The background image as a full path: a reference in imported markup is
    // resolved against the page directory like the node images.
    std::string BackgroundPath(const std::string& value) const {
        const std::string v = DecodeFieldText(value);
        if (v.empty() || base_ == kFullImageBase) return v;
        return ResolveRelativePath(base_, v);
    }
    void SetFont(std::vector<std::string>& names, std::vector<std::string>& sizes, std::string& font,
                 std::string& size, const std::string& value);

    NavigationProject& p_;
    BwUiHost& host_;
    std::string base_;
    // Built once per load so that reading every tab's nodes is one pass over
    // the tags, not one pass per tab: per tab number, the item tags in
    // document order and the last content-file tag.
    std::unordered_map<size_t, std::vector<size_t>> items_;
    std::unordered_map<size_t, size_t> content_;
    std::string stop_;  // why the load stopped
};

bool Loader::WholeNumber(std::string_view value, int32_t& out) {
    const auto v = ParseWholeNumber(value);
    if (!v) return Stop(NotANumberMessage(value));
    out = *v;
    return true;
}

bool Loader::ColorValue(std::string_view value, Color& out) {
    std::string error;
    const auto c = ParamToColor(value, &error);
    if (!c) return Stop(error);
    out = *c;
    return true;
}

void Loader::ReadAppletTag(const std::string& tag) {
    // The class names are matched without regard to letter case, as the tag
    // was found: a page written with code="voltarr.class" names the applet.
    const std::string code = GetAttributeValue(tag, "Code");
    auto is = [&](const char* a, const char* b) { return EqualsNoCase(code, a) || EqualsNoCase(code, b); };
    if (is("Voltan2.class", "VoltanR.class")) p_.kind = AppletKind::Tab;
    else if (is("Voltar.class", "VoltarR.class")) p_.kind = AppletKind::Tree;
    else if (is("Voltarix.class", "VoltarixR.class")) p_.kind = AppletKind::TabAndTree;
    const std::string h = GetAttributeValue(tag, "Height");
    const std::string w = GetAttributeValue(tag, "Width");
    // A missing size keeps the field's text rather than writing an empty one.
    if (!h.empty()) p_.styles.height = h;
    if (!w.empty()) p_.styles.width = w;
    p_.ApplyPreviewSize();
}

void Loader::SetFont(std::vector<std::string>& names, std::vector<std::string>& sizes, std::string& font,
                     std::string& size, const std::string& value) {
    const auto pieces = SplitFields(value, ';');
    auto select = [](std::vector<std::string>& list, std::string& field, const std::string& v) {
        if (std::find(list.begin(), list.end(), v) == list.end()) list.insert(list.begin(), v);
        field = v;
    };
    if (!pieces.empty()) select(names, font, Trim(pieces[0]));
    if (pieces.size() > 2) select(sizes, size, Trim(pieces[2]));
}

bool Loader::ReadStyleParams(const std::vector<std::string>& tags) {
    const bool tree = p_.kind == AppletKind::Tree;
    const AppletKind kind = p_.kind;
    for (const auto& tag : tags) {
        // Keys are matched against the PARAM's name: a quoted key must be the
        // whole name, an unquoted one a part of it (letter case ignored).
        // Matching the name rather than the whole tag keeps captions and
        // values that happen to contain a key from being read as style.
        const std::string name = GetAttributeValue(tag, "NAME");
        if (name.empty()) continue;
        auto is = [&](const char* key, bool quoted) {
            return quoted ? EqualsNoCase(name, key) : ContainsText(name, key);
        };
        const std::string value = GetAttributeValue(tag, "VALUE");
        StyleSettings& s = p_.styles;
        if (!tree && is("TAB_FONT", false)) SetFont(p_.fonts.tabFonts, p_.fonts.tabSizes, s.tabFont, s.tabFontSize, value);
        if (kind != AppletKind::Tab && is(tree ? "FONT" : "TREE_FONT", tree))
            SetFont(p_.fonts.treeFonts, p_.fonts.treeSizes, s.treeFont, s.treeFontSize, value);
        if (is("TAB_DEFAULT", true) && !WholeNumber(value, p_.defaultTab)) return false;
        if (is("TAB_BG_IMAGE", true)) p_.backgroundImage = BackgroundPath(value);
        if (is(tree ? "BACKGROUNDIMAGE" : "TREE_BG_IMAGE", true)) p_.backgroundImage = BackgroundPath(value);
        if (is("TAB_BG", true) && !ColorValue(value, s.tabCaptionBG)) return false;
        if (is("TAB_FG", false) && !ColorValue(value, s.tabCaptionFG)) return false;
        if (is("TAB_MOUSEOVER", false) && !ColorValue(value, s.tabMouseOver)) return false;
        if (is(tree ? "BACKGROUND" : "TREE_BG", true) && !ColorValue(value, s.treeBranchBG)) return false;
        if (is(tree ? "FOREGROUND" : "TREE_FG", tree) && !ColorValue(value, s.treeBranchFG)) return false;
        if (is(tree ? "SELBACKGROUND" : "TREE_SEL_BG", tree) && !ColorValue(value, s.treeSelectedBG)) return false;
        if (is(tree ? "SELFOREGROUND" : "TREE_SEL_FG", tree) && !ColorValue(value, s.treeSelectedFG)) return false;
        if (is(tree ? "MOUSEOVER" : "TREE_MOUSEOVER", tree) && !ColorValue(value, s.treeMouseOver)) return false;
        if (is("TABONBOTTOM", false)) s.tabsOnBottom = IsYes(value);
        if (is(tree ? "BORDER" : "TREE_BORDER", tree)) s.showBorder = IsYes(value);
        if (is(tree ? "DOUBLECLICK" : "TREE_DOUBLECLICK", tree)) s.doubleClick = IsYes(value);
        if (is(tree ? "AUTOEXPAND" : "TREE_AUTOEXPAND", tree)) s.autoExpand = IsYes(value);
    }
    return true;
}

int Loader::ResolveImage(const std::string& reference) {
    if (reference.empty()) return -1;
    const std::string path = base_ == kFullImageBase ? reference : ResolveRelativePath(base_, reference);
    const int known = p_.images.IndexOf(path);
    if (known >= 0) return known;
    if (!FileExists(path)) {
        host_.Message(texts::kOpenImageFailed + path, MessageIcon::Error);
        return -1;
    }
    auto img = LoadNodeImage(path);
    if (!img || img->width != 16 || img->height != 16) return -1;
    img->path = path;
    return p_.AppendImage(std::move(*img));
}

namespace {

// Digits at tag[i] written as a tab or item number is (no leading zero but
// "0" itself); answers the number and moves i past them.
bool NumberAt(std::string_view tag, size_t& i, size_t* n) {
    size_t v = 0, digits = 0;
    const size_t start = i;
    while (i < tag.size() && tag[i] >= '0' && tag[i] <= '9' && digits < 10) {
        v = v * 10 + static_cast<size_t>(tag[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || (digits > 1 && tag[start] == '0')) return false;
    *n = v;
    return true;
}

// Every t for which the tag holds `"T` t `I` (letter case ignored).
void ItemTabsOf(std::string_view tag, std::vector<size_t>& out) {
    for (size_t from = 0; (from = FindNoCase(tag, "\"T", from)) != std::string_view::npos; ++from) {
        size_t i = from + 2, t = 0;
        if (NumberAt(tag, i, &t) && i < tag.size() && (tag[i] == 'I' || tag[i] == 'i')) out.push_back(t);
    }
}

// The t of a `"TAB` t `_CONTENT` in the tag, if any.
bool ContentTabOf(std::string_view tag, size_t* t) {
    for (size_t from = 0; (from = FindNoCase(tag, "\"TAB", from)) != std::string_view::npos; ++from) {
        size_t i = from + 4;
        if (NumberAt(tag, i, t) && FindNoCase(tag.substr(i, 8), "_CONTENT") == 0) return true;
    }
    return false;
}

// A Tree item: NAME="I followed by digits and the closing quote.
bool IsTreeItem(std::string_view tag) {
    for (size_t from = 0; (from = FindNoCase(tag, "NAME=\"I", from)) != std::string_view::npos; ++from) {
        size_t i = from + 7, n = 0;
        if (NumberAt(tag, i, &n) && i < tag.size() && tag[i] == '"') return true;
    }
    return false;
}

}  // namespace

void Loader::IndexTags(const std::vector<std::string>& tags) {
    items_.clear();
    content_.clear();
    const bool both = p_.kind == AppletKind::TabAndTree;
    std::vector<size_t> found;
    for (size_t k = 0; k < tags.size(); ++k) {
        const std::string& tag = tags[k];
        if (both) {
            found.clear();
            ItemTabsOf(tag, found);
            for (size_t t : found) {
                auto& list = items_[t];
                if (list.empty() || list.back() != k) list.push_back(k);
            }
            size_t t = 0;
            if (ContentTabOf(tag, &t)) content_[t] = k;
        } else {
            if (IsTreeItem(tag)) items_[0].push_back(k);
            if (ContainsText(tag, "\"CONTENT\"")) content_[0] = k;
        }
    }
}

void Loader::ReadDefaultImages(const std::vector<std::string>& tags) {
    for (const auto& tag : tags) {
        auto value = [&] { return DecodeFieldText(Trim(GetAttributeValue(tag, "VALUE"))); };
        if (ContainsText(tag, "\"FOLDER_OPEN\"")) p_.defaultExpanded = ResolveImage(value());
        if (ContainsText(tag, "\"FOLDER_CLOSED\"")) p_.defaultCollapsed = ResolveImage(value());
        if (ContainsText(tag, "\"LEAF\"")) p_.defaultLeaf = ResolveImage(value());
    }
}

bool Loader::ReadTabs(const std::vector<std::string>& tags) {
    p_.holdDefaultTab = true;
    if (p_.kind != AppletKind::Tab) {
        IndexTags(tags);
        ReadDefaultImages(tags);
    }
    if (p_.kind == AppletKind::Tree) {
        p_.AddTab(texts::kBlankTab);
        return ReadNodes(tags, 0);
    }
    std::vector<const std::string*> collected;
    size_t n = 0;
    for (const auto& tag : tags)
        if (QuotedNumbered(tag, "TAB", tags.size(), &n)) collected.push_back(&tag);
    for (size_t k = 0; k < collected.size(); ++k) {
        const std::string& tag = *collected[k];
        const std::string quoted = "\"TAB" + std::to_string(k) + "\"";
        if (!ContainsText(tag, quoted)) continue;  // numbered out of place: skipped
        const auto pieces = SplitTextFields(GetAttributeValue(tag, "VALUE"));
        auto piece = [&](size_t i) { return i < pieces.size() ? DecodeFieldText(Trim(pieces[i])) : std::string(); };
        TAppletPage& page = p_.AddTab(piece(0));
        page.tab.url1 = piece(1);
        page.tab.target1 = piece(2);
        page.tab.statusText = piece(3);
        page.tab.url2 = piece(4);
        page.tab.target2 = piece(5);
        if (p_.kind == AppletKind::TabAndTree && !ReadNodes(tags, static_cast<int>(k))) return false;
    }
    return true;
}

bool Loader::ReadNodes(const std::vector<std::string>& tags, int t) {
    p_.ShowTab(p_.TabCount() - 1);
    TAppletPage* page = p_.Current();
    if (!page) return true;
    page->tree.Clear();
    std::vector<std::string> items;
    if (const auto it = items_.find(static_cast<size_t>(t)); it != items_.end())
        for (size_t k : it->second) items.push_back(GetAttributeValue(tags[k], "VALUE"));
    std::string content_file;
    if (const auto it = content_.find(static_cast<size_t>(t)); it != content_.end())
        content_file = GetAttributeValue(tags[it->second], "VALUE");
    if (!content_file.empty()) {
        const std::string path = base_ == kFullImageBase ? content_file : ResolveRelativePath(base_, content_file);
        std::string text;
        if (!ReadTextFile(FindFileIgnoringCase(path), text))
            return Stop(texts::kCannotOpenPrefix + path + texts::kCannotOpenSuffix);
        items = SplitLines(text);
    }
    NodeTree& tree = page->tree;
    int32_t previous = 0;
    int depth = 0;  // depth of the selected node, kept here rather than recounted
    for (const auto& item : items) {
        if (item == "***") continue;
        const auto raw = SplitTextFields(item);
        if (raw.size() < 7) return Stop(ListIndexMessage(raw.size()));
        std::vector<std::string> f;
        for (const auto& r : raw) f.push_back(Trim(r));
        int32_t level = 0;
        if (!WholeNumber(f[3], level)) return false;
        TAppletNode d;
        d.statusText = DecodeFieldText(f[6]);
        d.url1 = f[1] == "None" ? std::string() : DecodeFieldText(f[1]);
        d.target1 = DecodeFieldText(f[2]);
        const std::string c = ToLower(f[4]), e = ToLower(f[5]);
        d.collapsedImage = c == "leaf"     ? p_.defaultLeaf
                           : c == "folder" ? p_.defaultCollapsed
                                           : ResolveImage(DecodeFieldText(f[4]));
        d.expandedImage = e == "leaf"     ? p_.defaultLeaf
                          : e == "folder" ? p_.defaultExpanded
                                          : ResolveImage(DecodeFieldText(f[5]));
        if (f.size() > 7) d.url2 = DecodeFieldText(f[7]);
        if (f.size() > 8) d.target2 = DecodeFieldText(f[8]);
        const std::string caption = DecodeFieldText(f[0]);
        TreeNode* node;
        if (level > previous && tree.selected) {
            node = tree.AddChild(tree.selected, caption);
            ++depth;
        } else {
            if (level < previous) {
                // Climb to the level, stopping at the top level.
                while (tree.selected && tree.selected->parent && depth > level) {
                    tree.selected = tree.selected->parent;
                    --depth;
                }
            }
            node = tree.AddSibling(tree.selected, caption);
            if (!node->parent) depth = 0;
        }
        node->data = std::move(d);
        tree.selected = node;
        previous = level;
    }
    tree.selected = tree.First();
    return true;
}

// The tags of the applet: after the APPLET tag up to its closing tag.
// *closed tells whether the closing tag was there.
std::vector<std::string> AppletTags(const std::vector<std::string>& tags, size_t applet, bool* closed) {
    std::vector<std::string> out;
    *closed = false;
    for (size_t i = applet + 1; i < tags.size(); ++i) {
        if (ContainsText(tags[i], "</APPLET")) {
            *closed = true;
            break;
        }
        out.push_back(tags[i]);
    }
    return out;
}

void FinishLoad(NavigationProject& p) {
    p.holdDefaultTab = false;
    if (p.TabCount() == 0) p.AddTab(texts::kNewTab);
    // The list shows the default tab read from the file.
    const int count = p.TabCount();
    if (p.defaultTab == 999 || p.defaultTab < 0) p.defaultTabSelection = -1;
    else p.defaultTabSelection = std::min(p.defaultTab, count - 1);
    p.defaultTab = p.defaultTabSelection;
    p.ShowTab(0);
    p.ApplyKindToEditor();
}

LoadOutcome RunLoad(NavigationProject& p, const std::vector<std::string>& tags, size_t applet,
                    const std::string& base, bool import, BwUiHost& host) {
    LoadOutcome out;
    out.appletFound = true;
    Loader loader(p, host, base);
    loader.ReadAppletTag(tags[applet]);
    bool closed = false;
    const auto inner = AppletTags(tags, applet, &closed);
    bool read = loader.ReadStyleParams(inner);
    if (read && import) {
        // The default tab just read must survive the emptied tab list.
        p.holdDefaultTab = true;
        p.DeleteAllTabs();
        p.images.Clear();
        p.browser = ImageBrowser{};
        p.defaultCollapsed = p.defaultExpanded = p.defaultLeaf = -1;
    }
    read = read && loader.ReadTabs(inner);
    if (!read) {
        out.error = loader.Stopped();
    } else if (!closed) {
        // Text that ends before </APPLET> was cut off: what it held is read,
        // but the user is told that the rest is missing.
        out.error = texts::kPartlyRead;
    } else {
        out.complete = true;
    }
    if (!out.error.empty()) host.Message(out.error, MessageIcon::Error);
    FinishLoad(p);
    return out;
}

}  // namespace

LoadOutcome LoadProjectText(NavigationProject& project, std::string_view text, BwUiHost& host) {
    project.ClearForLoad();
    const auto tags = TokenizeMarkup(text);
    for (size_t i = 0; i < tags.size(); ++i) {
        const std::string& t = tags[i];
        if (ContainsText(t, "APPLET") && (ContainsText(t, "Voltan") || ContainsText(t, "Voltar")))
            return RunLoad(project, tags, i, kFullImageBase, false, host);
    }
    // No applet: a usable project with one empty tab of the current kind.
    LoadOutcome out;
    out.complete = true;
    FinishLoad(project);
    return out;
}

LoadOutcome LoadProjectFile(NavigationProject& project, const std::string& path, BwUiHost& host) {
    std::string text;
    if (!ReadTextFile(path, text)) {
        LoadOutcome out;
        out.error = TooLargeForText(path) ? std::string(texts::kFileTooLargePrefix) + path + texts::kFileTooLargeSuffix
                                          : texts::kCannotOpenPrefix + path + texts::kCannotOpenSuffix;
        host.Message(out.error, MessageIcon::Error);
        return out;
    }
    return LoadProjectText(project, text, host);
}

LoadOutcome ImportMarkup(NavigationProject& project, std::string_view selection, const std::string& page_dir,
                         BwUiHost& host) {
    // Whichever menu comes first: the applet form or the HTML menu.
    if (const auto html = FindHtmlMenu(selection)) {
        const size_t applet = FindNoCase(selection, "<APPLET");
        if (applet == std::string_view::npos || *html < applet)
            return ImportHtmlMenu(project, selection, page_dir, host);
    }
    return ImportAppletMarkup(project, selection, page_dir, host);
}

LoadOutcome ImportAppletMarkup(NavigationProject& project, std::string_view selection, const std::string& page_dir,
                               BwUiHost& host) {
    const auto tags = TokenizeMarkup(selection);
    for (size_t i = 0; i < tags.size(); ++i) {
        const std::string& t = tags[i];
        if (ContainsText(t, "APPLET") && (ContainsText(t, "CODE=\"Voltan") || ContainsText(t, "CODE=\"Voltar")))
            return RunLoad(project, tags, i, page_dir, true, host);
    }
    return LoadOutcome{};
}

std::string ProjectFileText(NavigationProject& project) {
    BwScriptedUiHost quiet;  // the project form writes no files, so nothing can be said
    MarkupContext ctx;
    ctx.writeFiles = false;
    return GenerateAppletMarkup(project, ctx, quiet, MarkupForm::ProjectFile).text;
}

bool SaveProjectFile(NavigationProject& project, const std::string& path, BwUiHost& host) {
    const std::string text = ProjectFileText(project);
    if (std::string why; !WriteFileReplacing(path, text, &why)) {
        host.Message(texts::kCannotCreatePrefix + path + texts::kCannotCreateSuffix + " " + why, MessageIcon::Error);
        return false;
    }
    return true;
}

}  // namespace branchwork
