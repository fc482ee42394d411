#include "cinemill/app/engine_views.h"

#include <algorithm>

#include "cinemill/app/engine.h"
#include "cinemill/app/strip_geometry.h"
#include "cinemill/base/preferences.h"

namespace cinemill {

int StripOrientationOf(int engine_orientation) {
    if (engine_orientation == 1) return strip::kChooseHorizontal;
    if (engine_orientation == 2) return strip::kChooseVertical;
    // Automatic: the direction is the view's to pick; the menus only look at
    // the chosen bit.
    return strip::kHorizontal;
}

namespace {

int DownloadSpeedOf(const Engine& e) {
    return static_cast<int>(e.Prefs().Get(PreferenceBlock::kDownloadSpeed));
}

}  // namespace

MenuInput MenuInputOf(const Engine& e) {
    const AppState& s = e.State();
    MenuInput in;
    in.hasDocument = s.HasDocument();
    in.frameCount = s.FrameCount();
    in.selectedFrame = s.selected;
    in.hasPath = !s.Untitled();
    in.modified = s.modified;
    in.canUndo = s.history.CanUndo();
    in.canRedo = s.history.CanRedo();
    in.clipboardHasFrame = s.pasteAvailable;
    in.previewOpen = s.previewOpen;
    in.hasGlobalPalette = s.doc && s.doc->globalPalette.has_value();
    const Frame* f = s.SelectedFrame();
    in.selectedHasLocalPalette = f && f->localPalette.has_value();
    in.zoomLevel = s.zoom;
    in.orientation = StripOrientationOf(s.orientation);
    in.transparencyMode = static_cast<uint32_t>(s.transparencyDisplay);
    in.downloadSpeed = DownloadSpeedOf(e);
    return in;
}

MainToolbarInput MainToolbarInputOf(const Engine& e) {
    const MenuInput m = MenuInputOf(e);
    MainToolbarInput in;
    in.hasDocument = m.hasDocument;
    in.frameCount = m.frameCount;
    in.selectedFrame = m.selectedFrame;
    in.modified = m.modified;
    in.canUndo = m.canUndo;
    in.canRedo = m.canRedo;
    in.clipboardHasFrame = m.clipboardHasFrame;
    in.previewOpen = m.previewOpen;
    in.zoomLevel = m.zoomLevel;
    in.orientation = m.orientation;
    return in;
}

FrameToolbarInput FrameToolbarInputOf(const Engine& e) {
    const AppState& s = e.State();
    FrameToolbarInput in;
    in.hasDocument = s.HasDocument();
    in.selectedFrame = s.selected;
    if (const Frame* f = s.SelectedFrame()) {
        in.disposal = f->Disposal();
        in.transparent = f->Transparent();
        in.interlaced = f->Interlaced();
        in.hasLocalPalette = f->localPalette.has_value();
        in.delay = f->delay;
    }
    if (s.doc) {
        in.hasGlobalPalette = s.doc->globalPalette.has_value();
        in.playCount = s.doc->playCount;
    }
    return in;
}

StatusInput StatusInputOf(const Engine& e) {
    const AppState& s = e.State();
    StatusInput in;
    in.hasDocument = s.HasDocument();
    in.frameCount = s.FrameCount();
    in.selectedFrame = s.selected;
    if (s.doc) {
        in.width = s.doc->width;
        in.height = s.doc->height;
        in.totalDelay = TotalDelay(*s.doc);
    }
    const int64_t size = e.FileSize();
    if (size >= 0) in.fileSize = size;
    in.downloadSpeed = DownloadSpeedOf(e);
    in.zoomLevel = s.zoom;
    in.separator = ThousandsSeparator(std::nullopt);
    return in;
}

std::vector<std::string> StatusTexts(const Engine& e) {
    const StatusBarTexts t = ComputeStatusBar(StatusInputOf(e));
    if (t.simple) return {t.simpleText};
    return {t.panes.begin(), t.panes.end()};
}

std::vector<std::string> GrayedMenuItems(const Engine& e) {
    const MenuState m = ComputeMenuState(MenuInputOf(e));
    std::vector<int> ids = m.grayed;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<std::string> out;
    for (int id : ids) {
        const char* name = CommandName(id);
        out.push_back(name ? name : std::to_string(id));
    }
    if (m.PopupGrayed(MenuPopup::ExportAs)) out.push_back("ExportAs");
    if (m.PopupGrayed(MenuPopup::Rotate)) out.push_back("Rotate");
    if (m.PopupGrayed(MenuPopup::RotateAll)) out.push_back("RotateAll");
    return out;
}

}  // namespace cinemill
