#include "branchwork/model/editor_state.h"

namespace branchwork {

DropZone DropZoneAt(int x, int label_left, int label_right) {
    if (x < label_left) return DropZone::Indentation;
    if (x <= label_right) return DropZone::Label;
    return DropZone::Elsewhere;
}

bool DropAllowed(const TreeNode* dragged, const TreeNode* target) {
    return dragged && target && !IsInSubtree(target, dragged);
}

const std::vector<Swatch>& AllSwatches() {
    static const std::vector<Swatch> all = {Swatch::TabCaptionFG,   Swatch::TabCaptionBG,  Swatch::TabMouseOver,
                                            Swatch::TreeBranchFG,   Swatch::TreeBranchBG,  Swatch::TreeSelectedFG,
                                            Swatch::TreeSelectedBG, Swatch::TreeMouseOver};
    return all;
}

const char* SwatchName(Swatch s) {
    switch (s) {
        case Swatch::TabCaptionFG: return "lblTabCaptionFG";
        case Swatch::TabCaptionBG: return "lblTabCaptionBG";
        case Swatch::TabMouseOver: return "lblTabMouseOver";
        case Swatch::TreeBranchFG: return "lblTreeBranchFG";
        case Swatch::TreeBranchBG: return "lblTreeBranchBG";
        case Swatch::TreeSelectedFG: return "lblTreeSelectedFG";
        case Swatch::TreeSelectedBG: return "lblTreeSelectedBG";
        case Swatch::TreeMouseOver: return "lblTreeMouseOver";
    }
    return "";
}

Color& SwatchColor(StyleSettings& s, Swatch w) {
    switch (w) {
        case Swatch::TabCaptionFG: return s.tabCaptionFG;
        case Swatch::TabCaptionBG: return s.tabCaptionBG;
        case Swatch::TabMouseOver: return s.tabMouseOver;
        case Swatch::TreeBranchFG: return s.treeBranchFG;
        case Swatch::TreeBranchBG: return s.treeBranchBG;
        case Swatch::TreeSelectedFG: return s.treeSelectedFG;
        case Swatch::TreeSelectedBG: return s.treeSelectedBG;
        case Swatch::TreeMouseOver: break;
    }
    return s.treeMouseOver;
}

Color SwatchColor(const StyleSettings& s, Swatch w) { return SwatchColor(const_cast<StyleSettings&>(s), w); }

std::vector<SwatchExample> SwatchExamples(Swatch s) {
    switch (s) {
        case Swatch::TabCaptionFG: return {{"lblTabExample", true}};
        case Swatch::TabCaptionBG: return {{"pnlTabExample", false}};
        case Swatch::TabMouseOver: return {};
        case Swatch::TreeBranchFG: return {{"lblTreeBranchExample", true}};
        case Swatch::TreeBranchBG: return {{"pnlTreeBranchExample", false}, {"pnlMouseOver", false}};
        case Swatch::TreeSelectedFG: return {{"lblTreeSelectedBrach", true}};
        case Swatch::TreeSelectedBG: return {{"pnlTreeSelectedBrach", false}};
        case Swatch::TreeMouseOver: return {{"lblMouseOver", true}};
    }
    return {};
}

bool ApplyPickedColor(StyleSettings& s, Swatch w, const std::optional<Color>& picked) {
    if (!picked) return false;
    Color& c = SwatchColor(s, w);
    if (c == *picked) return false;
    c = *picked;
    return true;
}

std::string PageDirectoryOf(const std::string& page_path) {
    const size_t cut = page_path.find_last_of("/\\");
    if (cut == std::string::npos) return page_path.empty() ? std::string() : std::string("./");
    return page_path.substr(0, cut + 1);
}

}  // namespace branchwork
