#include "branchwork/model/project.h"

#include <algorithm>

#include "branchwork/base/text_util.h"
#include "branchwork/base/texts.h"

namespace branchwork {

// ---- tree ------------------------------------------------------------------

TreeNode::~TreeNode() {
    std::vector<std::unique_ptr<TreeNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<TreeNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto& c : n->children) pending.push_back(std::move(c));
        n->children.clear();
    }
}

int TreeNode::Depth() const {
    int d = 0;
    for (const TreeNode* p = parent; p; p = p->parent) ++d;
    return d;
}

namespace {

void CollectPreOrder(const std::vector<std::unique_ptr<TreeNode>>& list, std::vector<std::pair<TreeNode*, int>>& out) {
    // Iterative so that a very deep tree cannot exhaust the stack.
    std::vector<std::pair<const std::vector<std::unique_ptr<TreeNode>>*, size_t>> stack;
    stack.push_back({&list, 0});
    while (!stack.empty()) {
        auto& [vec, i] = stack.back();
        if (i >= vec->size()) {
            stack.pop_back();
            continue;
        }
        TreeNode* n = (*vec)[i].get();
        ++i;
        out.push_back({n, static_cast<int>(stack.size()) - 1});
        if (!n->children.empty()) stack.push_back({&n->children, 0});
    }
}

}  // namespace

std::vector<std::pair<TreeNode*, int>> NodeTree::PreOrderWithDepth() const {
    std::vector<std::pair<TreeNode*, int>> out;
    CollectPreOrder(roots, out);
    return out;
}

std::vector<TreeNode*> NodeTree::PreOrder() const {
    std::vector<TreeNode*> out;
    for (const auto& [n, d] : PreOrderWithDepth()) out.push_back(n);
    return out;
}

int NodeTree::Count() const { return static_cast<int>(PreOrder().size()); }

TreeNode* NodeTree::AddTopLevel(const std::string& caption) {
    auto n = std::make_unique<TreeNode>();
    n->caption = caption;
    roots.push_back(std::move(n));
    return roots.back().get();
}

TreeNode* NodeTree::AddSibling(TreeNode* of, const std::string& caption) {
    if (!of || !of->parent) return AddTopLevel(caption);
    return AddChild(of->parent, caption);
}

TreeNode* NodeTree::AddChild(TreeNode* of, const std::string& caption) {
    if (!of) return AddTopLevel(caption);
    auto n = std::make_unique<TreeNode>();
    n->caption = caption;
    n->parent = of;
    of->children.push_back(std::move(n));
    return of->children.back().get();
}

std::vector<std::unique_ptr<TreeNode>>& NodeTree::SiblingsOf(const TreeNode* n) {
    return n->parent ? n->parent->children : roots;
}

std::unique_ptr<TreeNode> NodeTree::Detach(TreeNode* n) {
    auto& list = SiblingsOf(n);
    auto it = std::find_if(list.begin(), list.end(), [n](const auto& p) { return p.get() == n; });
    if (it == list.end()) return nullptr;
    std::unique_ptr<TreeNode> owned = std::move(*it);
    list.erase(it);
    owned->parent = nullptr;
    return owned;
}

bool IsInSubtree(const TreeNode* n, const TreeNode* root) {
    for (const TreeNode* p = n; p; p = p->parent)
        if (p == root) return true;
    return false;
}

// ---- images ------------------------------------------------------------------

int NodeImageList::IndexOf(const std::string& path) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (EqualsNoCase(entries_[i].path, path)) return static_cast<int>(i);
    return -1;
}

int NodeImageList::Add(NodeImage image) {
    const int existing = IndexOf(image.path);
    if (existing >= 0) return existing;
    entries_.push_back(std::move(image));
    return Count() - 1;
}

std::array<int, 5> BrowserSlots(int position, int image_count) {
    std::array<int, 5> slots{};
    for (int k = 0; k < 5; ++k) {
        const int idx = position + k - 2;
        slots[static_cast<size_t>(k)] = idx >= 0 && idx < image_count ? idx : -1;
    }
    return slots;
}

// ---- tables ------------------------------------------------------------------

const std::vector<std::string>& StandardFontSizes() {
    static const std::vector<std::string> sizes = {"8",  "9",  "10", "11", "12", "14", "16", "18",
                                                   "20", "22", "24", "26", "28", "36", "48", "72"};
    return sizes;
}

const std::vector<std::string>& FallbackFontNames() {
    static const std::vector<std::string> names = {"Arial", "Courier New", "Helvetica", "Times New Roman",
                                                   "Verdana"};
    return names;
}

EditorLayout EditorLayoutFor(AppletKind kind) {
    switch (kind) {
        case AppletKind::Tab: return {true, false, true, false, false, true, "Tab", false, true};
        case AppletKind::Tree: return {false, true, false, true, true, false, "Tree", true, false};
        case AppletKind::TabAndTree:
        default: return {true, true, true, true, true, true, "Tab", true, true};
    }
}

NodeImagePanel NodeImagePanelFor(const TreeNode& node) {
    if (node.HasChildren()) return {true, "Collapsed"};
    return {false, "Child"};
}

int32_t NodeDisplayImage(const TreeNode& node) {
    return node.expanded ? node.data.expandedImage : node.data.collapsedImage;
}

int SizeFieldValue(const std::string& text) {
    const auto v = ParseWholeNumber(text);
    return v ? *v : 0;
}

bool ConfirmNew(BwUiHost& host) { return host.ConfirmOkCancel(texts::kClearProject); }

// ---- project -----------------------------------------------------------------

NavigationProject::NavigationProject(AppletKind k) : kind(k) {
    SetFontNames(FallbackFontNames());
}

TAppletPage* NavigationProject::Current() const {
    if (currentPage < 0 || currentPage >= TabCount()) return nullptr;
    return pages[static_cast<size_t>(currentPage)].get();
}

TAppletPage& NavigationProject::AddTab(const std::string& caption) {
    auto page = std::make_unique<TAppletPage>();
    page->caption = caption;
    TreeNode* first = page->tree.AddTopLevel(texts::kNewNode);
    page->tree.selected = first;
    pages.push_back(std::move(page));
    currentPage = TabCount() - 1;
    RefreshDefaultTabList();
    return *pages.back();
}

bool NavigationProject::RemoveTab(int index, BwUiHost& host) {
    if (TabCount() < 2) {
        host.Message(texts::kCannotDeleteLastTab, MessageIcon::Error);
        return false;
    }
    if (index < 0 || index >= TabCount()) return false;
    pages.erase(pages.begin() + index);
    currentPage = index == 0 ? 0 : index - 1;
    RefreshDefaultTabList();
    return true;
}

bool NavigationProject::MoveTab(int from, int to) {
    if (from < 0 || from >= TabCount() || to < 0 || to >= TabCount()) return false;
    if (from == to) return true;
    auto page = std::move(pages[static_cast<size_t>(from)]);
    pages.erase(pages.begin() + from);
    pages.insert(pages.begin() + to, std::move(page));
    currentPage = to;
    RefreshDefaultTabList();
    return true;
}

void NavigationProject::ShowTab(int index) {
    if (index >= 0 && index < TabCount()) currentPage = index;
}

void NavigationProject::SetTabCaption(int index, const std::string& caption) {
    if (index < 0 || index >= TabCount()) return;
    Page(index).caption = caption;
    RefreshDefaultTabList();
}

void NavigationProject::DeleteAllTabs() {
    pages.clear();
    currentPage = -1;
    RefreshDefaultTabList();
}

std::vector<std::string> NavigationProject::DefaultTabList() const {
    std::vector<std::string> list;
    for (const auto& p : pages) list.push_back(p->caption);
    return list;
}

void NavigationProject::RefreshDefaultTabList() {
    if (holdDefaultTab) {
        // The loader's defaultTab stands; the list only follows it.
        const int count = TabCount();
        defaultTabSelection = defaultTab == 999 || defaultTab < 0 ? -1 : std::min(defaultTab, count - 1);
        return;
    }
    defaultTab = defaultTabSelection;
    const int count = TabCount();
    int sel;
    if (defaultTab == 999) sel = -1;
    else if (defaultTab < count) sel = defaultTab;
    else sel = count - 1;
    defaultTabSelection = sel < -1 ? -1 : sel;
    // The value written out is what the list shows: a default tab beyond the
    // last tab becomes the last tab instead of naming a tab that is gone.
    defaultTab = defaultTabSelection;
}

void NavigationProject::SelectDefaultTab(int index) {
    if (index < -1 || index >= TabCount()) index = -1;
    defaultTabSelection = index;
    defaultTab = index;
}

void NavigationProject::SetCurrentTabFields(const TTabPage& fields) {
    if (TAppletPage* p = Current()) p->tab = fields;
}

bool NavigationProject::SetSelectedNodeFields(const std::string& caption, const std::string& status,
                                              const std::string& url1, const std::string& target1,
                                              const std::string& url2, const std::string& target2) {
    TAppletPage* p = Current();
    if (!p || !p->tree.selected) return false;
    TreeNode& n = *p->tree.selected;
    n.caption = caption;
    n.data.statusText = status;
    n.data.url1 = url1;
    n.data.target1 = target1;
    n.data.url2 = url2;
    n.data.target2 = target2;
    return true;
}

TreeNode* NavigationProject::AddNode() {
    TAppletPage* p = Current();
    if (!p) return nullptr;
    TreeNode* n = p->tree.AddSibling(p->tree.selected, texts::kNewNode);
    p->tree.selected = n;
    return n;
}

TreeNode* NavigationProject::AddChildNode() {
    TAppletPage* p = Current();
    if (!p) return nullptr;
    TreeNode* n = p->tree.AddChild(p->tree.selected, texts::kNewNode);
    if (n->parent) n->parent->expanded = true;
    p->tree.selected = n;
    return n;
}

bool NavigationProject::DeleteSelectedNode(BwUiHost& host) {
    TAppletPage* p = Current();
    if (!p) return false;
    NodeTree& tree = p->tree;
    if (tree.Count() < 2) {
        host.Message(texts::kCannotDeleteRootNode, MessageIcon::Error);
        return false;
    }
    TreeNode* sel = tree.selected;
    if (!sel) return false;
    if (sel->HasChildren() && !host.ConfirmOkCancel(texts::kDeleteSubtree)) return false;
    // The selection moves as a tree view moves it: to the next sibling, else
    // the previous one, else the parent; an emptied tree selects nothing.
    auto& siblings = tree.SiblingsOf(sel);
    TreeNode* next = nullptr;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() != sel) continue;
        if (i + 1 < siblings.size()) next = siblings[i + 1].get();
        else if (i > 0) next = siblings[i - 1].get();
        else next = sel->parent;
        break;
    }
    tree.Detach(sel);  // the subtree and its data go with it
    tree.selected = next;
    return true;
}

bool NavigationProject::MoveNode(TreeNode* dragged, TreeNode* target, DropZone zone) {
    TAppletPage* p = Current();
    if (!p || !dragged || !target || zone == DropZone::Elsewhere) return false;
    NodeTree& tree = p->tree;
    // Both must belong to this tree.
    auto in_tree = [&](const TreeNode* n) {
        for (const TreeNode* r = n; r; r = r->parent)
            if (!r->parent)
                return std::any_of(tree.roots.begin(), tree.roots.end(),
                                   [r](const auto& x) { return x.get() == r; });
        return false;
    };
    if (!in_tree(dragged) || !in_tree(target)) return false;
    if (IsInSubtree(target, dragged)) return false;
    std::unique_ptr<TreeNode> owned = tree.Detach(dragged);
    if (!owned) return false;
    if (zone == DropZone::Label) {
        owned->parent = target;
        target->children.push_back(std::move(owned));
    } else {
        auto& list = tree.SiblingsOf(target);
        auto it = std::find_if(list.begin(), list.end(), [target](const auto& x) { return x.get() == target; });
        owned->parent = target->parent;
        list.insert(it, std::move(owned));
    }
    tree.selected = dragged;
    return true;
}

int NavigationProject::AppendImage(NodeImage image) {
    const int before = images.Count();
    const int idx = images.Add(std::move(image));
    if (images.Count() > before) {
        // The scroll range always spans every image.
        browser.enabled = true;
        browser.max = images.Count() - 1;
    }
    return idx;
}

int NavigationProject::AddImages(const std::vector<std::string>& paths, BwUiHost& host) {
    int added = 0;
    for (const auto& path : paths) {
        if (images.IndexOf(path) >= 0) continue;
        auto img = LoadNodeImage(path);
        if (!img) continue;
        if (img->width != 16 || img->height != 16) {
            host.Message(std::string(texts::kImagePrefix) + path + texts::kImageMustBe16, MessageIcon::Error);
            continue;
        }
        img->path = path;
        AppendImage(std::move(*img));
        ++added;
    }
    if (browser.enabled) browser.position = browser.max;
    return added;
}

int NavigationProject::BrowserCentre() const {
    return images.Valid(browser.position) ? browser.position : -1;
}

void NavigationProject::ScrollBrowser(int position) {
    browser.position = std::clamp(position, 0, std::max(0, browser.max));
}

bool NavigationProject::SetNodeImage(ImageSlot slot) {
    TAppletPage* p = Current();
    const int idx = BrowserCentre();
    if (!p || !p->tree.selected || idx < 0) return false;
    if (slot == ImageSlot::Collapsed) p->tree.selected->data.collapsedImage = idx;
    else p->tree.selected->data.expandedImage = idx;
    return true;
}

bool NavigationProject::SetDefaultImage(DefaultImageSlot slot) {
    const int idx = BrowserCentre();
    if (idx < 0) return false;
    switch (slot) {
        case DefaultImageSlot::Collapsed: defaultCollapsed = idx; break;
        case DefaultImageSlot::Expanded: defaultExpanded = idx; break;
        case DefaultImageSlot::Leaf: defaultLeaf = idx; break;
    }
    return true;
}

EditorLayout NavigationProject::ApplyKindToEditor() {
    if (kind != AppletKind::Tab && images.Count() < 2) browser.enabled = false;
    return EditorLayoutFor(kind);
}

void NavigationProject::SetFontNames(const std::vector<std::string>& names) {
    fonts.tabFonts = names.empty() ? FallbackFontNames() : names;
    fonts.treeFonts = fonts.tabFonts;
    fonts.tabSizes = StandardFontSizes();
    fonts.treeSizes = StandardFontSizes();
    SelectFirstFonts();
}

void NavigationProject::SelectFirstFonts() {
    styles.tabFont = fonts.tabFonts.empty() ? std::string() : fonts.tabFonts.front();
    styles.treeFont = fonts.treeFonts.empty() ? std::string() : fonts.treeFonts.front();
    styles.tabFontSize = "12";
    styles.treeFontSize = "12";
}

void NavigationProject::ClearForLoad() {
    DeleteAllTabs();
    images.Clear();
    browser = ImageBrowser{};
    defaultCollapsed = defaultExpanded = defaultLeaf = -1;
    SelectFirstFonts();
}

void NavigationProject::ResetForNew(AppletKind new_kind) {
    kind = new_kind;
    holdDefaultTab = false;
    DeleteAllTabs();
    images.Clear();
    browser = ImageBrowser{};
    SelectFirstFonts();
    defaultCollapsed = defaultExpanded = defaultLeaf = -1;
    defaultTab = -1;
    defaultTabSelection = -1;
    ApplyKindToEditor();
    AddTab(texts::kNewTab);
}

void NavigationProject::ApplyPreviewSize() {
    previewHeight = SizeFieldValue(styles.height);
    previewWidth = SizeFieldValue(styles.width);
}

}  // namespace branchwork
