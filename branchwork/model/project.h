#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "branchwork/base/ui_host.h"
#include "branchwork/model/color.h"
#include "branchwork/model/node_image.h"

namespace branchwork {

// Target applet, stored as a byte.
enum class AppletKind : uint8_t { Tab = 0, Tree = 1, TabAndTree = 2 };

// Link data of a tab: five strings in this order.
struct TTabPage {
    std::string statusText, url1, target1, url2, target2;
    friend bool operator==(const TTabPage&, const TTabPage&) = default;
};

// Data of one tree node. For a node without children the collapsed image is
// its leaf image.
struct TAppletNode {
    std::string statusText, url1, target1, url2, target2;
    int32_t collapsedImage = -1;
    int32_t expandedImage = -1;
    friend bool operator==(const TAppletNode&, const TAppletNode&) = default;
};

// One node of a tab's tree: its caption, its data, its children in order.
struct TreeNode {
    std::string caption;
    TAppletNode data;
    TreeNode* parent = nullptr;
    std::vector<std::unique_ptr<TreeNode>> children;
    bool expanded = false;  // preview state only

    TreeNode() = default;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;
    // Frees the subtree without recursion, so that a very deep tree read from
    // a hostile file cannot exhaust the stack.
    ~TreeNode();

    int Depth() const;
    bool HasChildren() const { return !children.empty(); }
};

// A tab's tree with the selection of its tree view.
class NodeTree {
public:
    std::vector<std::unique_ptr<TreeNode>> roots;
    TreeNode* selected = nullptr;

    int Count() const;
    bool Empty() const { return roots.empty(); }
    // Depth-first pre-order: a node, then its children in order.
    std::vector<TreeNode*> PreOrder() const;
    // The same order with each node's depth (0 for top-level nodes).
    std::vector<std::pair<TreeNode*, int>> PreOrderWithDepth() const;
    TreeNode* First() const { return roots.empty() ? nullptr : roots.front().get(); }

    TreeNode* AddTopLevel(const std::string& caption);
    // Adds after the last sibling of `of` (a top-level node when `of` is null).
    TreeNode* AddSibling(TreeNode* of, const std::string& caption);
    // Adds as the last child of `of` (a top-level node when `of` is null).
    TreeNode* AddChild(TreeNode* of, const std::string& caption);
    // The list that holds `n` (its parent's children or the roots).
    std::vector<std::unique_ptr<TreeNode>>& SiblingsOf(const TreeNode* n);
    // Takes a node with its subtree out of the tree.
    std::unique_ptr<TreeNode> Detach(TreeNode* n);
    void Clear() {
        roots.clear();
        selected = nullptr;
    }
};

// True when `n` is `root` or one of its descendants.
bool IsInSubtree(const TreeNode* n, const TreeNode* root);

// One tab: its caption, its link data and its tree.
struct TAppletPage {
    std::string caption;
    TTabPage tab;
    NodeTree tree;
};

// Ordered node images; paths are compared without letter case and never
// repeat. Entries are only added; New and Load drop them all.
class NodeImageList {
public:
    int Count() const { return static_cast<int>(entries_.size()); }
    const NodeImage& At(int i) const { return entries_.at(static_cast<size_t>(i)); }
    bool Valid(int i) const { return i >= 0 && i < Count(); }
    // Index of the path (letter case ignored), -1 when absent.
    int IndexOf(const std::string& path) const;
    // Appends and answers the index; an already listed path answers its index.
    int Add(NodeImage image);
    void Clear() { entries_.clear(); }

private:
    std::vector<NodeImage> entries_;
};

// The settings of the "Applet Style" page.
struct StyleSettings {
    std::string width = "200";
    std::string height = "360";
    std::string tabFont, tabFontSize = "12";
    std::string treeFont, treeFontSize = "12";
    Color tabCaptionFG = kBlack;
    Color tabCaptionBG = kButtonFace;
    Color tabMouseOver = kRed;
    Color treeBranchFG = kBlack;
    Color treeBranchBG = kWhite;
    Color treeSelectedFG = kYellow;
    Color treeSelectedBG = kBlue;
    Color treeMouseOver = kRed;
    bool showBorder = true;
    bool autoExpand = false;
    bool doubleClick = false;
    bool tabsOnBottom = false;
    friend bool operator==(const StyleSettings&, const StyleSettings&) = default;
};

// The entries of the two font combo boxes and their size lists.
struct FontLists {
    std::vector<std::string> tabFonts, tabSizes, treeFonts, treeSizes;
};

// The size list of both font-size boxes.
const std::vector<std::string>& StandardFontSizes();
// Font names offered when the GUI has not supplied the screen's fonts.
const std::vector<std::string>& FallbackFontNames();

// The five-slot image browser over the node images.
struct ImageBrowser {
    bool enabled = false;
    int max = 0;
    int position = 0;
    static constexpr int kLargeStep = 5;
};

// Indexes shown by the five slots imgPrev1..imgPrev5 (-1 = blank).
std::array<int, 5> BrowserSlots(int position, int image_count);

// How the editor is shown for a kind (the GUI reads this table).
struct EditorLayout {
    bool tabPageShown, treePageShown;
    bool grpTabsEnabled, grpTreeEnabled, grpTreeStyleEnabled, grpTabStyleEnabled;
    const char* pageBroughtForward;  // "Tab" or "Tree"
    bool treeViewsShown, tabButtonsShown;
};
EditorLayout EditorLayoutFor(AppletKind kind);

// The node-image panel of the "Tree" page for a node.
struct NodeImagePanel {
    bool expandedEnabled;        // Label8, imgExpanded, btnSetExpanded
    const char* collapsedLabel;  // Label7: "Collapsed" or "Child"
};
NodeImagePanel NodeImagePanelFor(const TreeNode& node);

// The image a tree view shows beside a node: the expanded image while the
// node is expanded, else the collapsed one (-1 none).
int32_t NodeDisplayImage(const TreeNode& node);

// Where a dragged node was dropped on the target node.
enum class DropZone { Label, Indentation, Elsewhere };

enum class ImageSlot { Collapsed, Expanded };
enum class DefaultImageSlot { Collapsed, Expanded, Leaf };

// The one project the builder edits, with the editing rules of the main window.
class NavigationProject {
public:
    explicit NavigationProject(AppletKind kind = AppletKind::TabAndTree);
    NavigationProject(const NavigationProject&) = delete;
    NavigationProject& operator=(const NavigationProject&) = delete;

    AppletKind kind = AppletKind::TabAndTree;
    std::vector<std::unique_ptr<TAppletPage>> pages;  // in strip order
    int currentPage = -1;
    NodeImageList images;
    int32_t defaultCollapsed = -1, defaultExpanded = -1, defaultLeaf = -1;
    int32_t defaultTab = -1;
    int defaultTabSelection = -1;  // selected entry of the default-tab list
    bool nodeInfoInApplet = true;
    std::string backgroundImage;
    StyleSettings styles;
    FontLists fonts;
    ImageBrowser browser;
    int previewWidth = 200, previewHeight = 360;
    // While the loader rebuilds the tabs, the default-tab list must not
    // replace the defaultTab it has read.
    bool holdDefaultTab = false;

    int TabCount() const { return static_cast<int>(pages.size()); }
    TAppletPage* Current() const;
    TAppletPage& Page(int i) const { return *pages.at(static_cast<size_t>(i)); }

    // ---- tabs ----
    // New tab at the end of the strip with one selected top-level node
    // "New Node"; it becomes the current, shown tab.
    TAppletPage& AddTab(const std::string& caption);
    // Refuses with "Cannot delete last tab" when fewer than two tabs exist.
    // Afterwards the new first tab is shown when the first was removed, else
    // the tab before the removed one. False when refused or out of range.
    bool RemoveTab(int index, BwUiHost& host);
    // Moves a tab to another place in the strip; it stays shown.
    bool MoveTab(int from, int to);
    void ShowTab(int index);
    void SetTabCaption(int index, const std::string& caption);
    void DeleteAllTabs();
    // The captions of the default-tab list, and its selection rule.
    std::vector<std::string> DefaultTabList() const;
    void RefreshDefaultTabList();
    // The user picks an entry of the default-tab list (-1 none).
    void SelectDefaultTab(int index);

    // The five tab fields changed: all five are copied into the current page.
    void SetCurrentTabFields(const TTabPage& fields);

    // ---- nodes (on the current tab's tree) ----
    // The six node fields changed: the caption goes to the selected node and
    // the five strings to its data (its images stay). False with no selection.
    bool SetSelectedNodeFields(const std::string& caption, const std::string& status, const std::string& url1,
                               const std::string& target1, const std::string& url2, const std::string& target2);
    TreeNode* AddNode();       // last sibling of the selected node
    TreeNode* AddChildNode();  // last child of the selected node
    // "Cannot Delete Root Node" when the tree holds fewer than two nodes; a
    // node with children only after the subtree question is answered OK.
    bool DeleteSelectedNode(BwUiHost& host);
    // Drag and drop inside one tree. Onto the label: last child of the
    // target; onto the indentation: sibling before the target; never into
    // the dragged node itself or its descendants.
    bool MoveNode(TreeNode* dragged, TreeNode* target, DropZone zone);

    // ---- images ----
    // Adds GIF files in order: skips listed paths, appends 16x16 images, says
    // "Image: PATH must be 16x16." for other sizes, skips unreadable files
    // silently. Answers how many were added.
    int AddImages(const std::vector<std::string>& paths, BwUiHost& host);
    // Appends one already loaded image (used by the loader).
    int AppendImage(NodeImage image);
    int BrowserCentre() const;  // image under the browser's centre, -1 none
    void ScrollBrowser(int position);
    // Sets the selected node's image from the browser's centre; nothing
    // happens with an empty list or no selected node.
    bool SetNodeImage(ImageSlot slot);
    bool SetDefaultImage(DefaultImageSlot slot);

    // ---- whole project ----
    // Shows, hides and enables by kind; disables the image scroll bar when
    // fewer than two images exist (Tree and TabAndTree).
    EditorLayout ApplyKindToEditor();
    // New: drops the tabs and images, selects the first fonts and size "12",
    // clears the defaults and starts one "New Tab" of the given kind.
    // Colours, options, size and background image keep their values.
    void ResetForNew(AppletKind new_kind);
    // Clearing done before a load reads a file.
    void ClearForLoad();
    // Replaces the font lists (the screen's fonts) and selects the first.
    void SetFontNames(const std::vector<std::string>& names);
    void SelectFirstFonts();
    // Applies the size fields to the preview (an empty or invalid field is 0).
    void ApplyPreviewSize();
};

// Asks "Are you sure you want to clear the current information?".
bool ConfirmNew(BwUiHost& host);

// The text of the size fields read as a number: 0 when empty or invalid.
int SizeFieldValue(const std::string& text);

}  // namespace branchwork
