#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cinemill/app/undo_history.h"
#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Everything the editor knows about its one document and its views. The
// engine owns it and is the only writer; the GUI and the state functions
// (menus, tool bars, status bar) read it.
struct AppState {
    AppState(const PreferenceBlock& prefs, UiHost& host) : history(prefs, host) {}

    // The open document; null before the first New/Open and after New.
    std::unique_ptr<Animation> doc;
    // 0-based frame position, -1 = no frame selected.
    int selected = -1;
    // Unsaved changes (the Save button is enabled while set).
    bool modified = false;
    // Full path the document was opened from or saved to; empty = untitled.
    std::string path;
    // View settings of the frame strip: zoom level (-4..3, 0 = 100 %),
    // orientation (0 automatic, 1 horizontal strips, 2 vertical strips) and
    // how transparent pixels are shown (0 window colour, 1 the frame's
    // colour, 2 a custom colour).
    int zoom = 0;
    int orientation = 0;
    int transparencyDisplay = 0;
    // The preview window is open.
    bool previewOpen = false;
    // The clipboard holds a packed DIB or a frame record (Paste is enabled).
    bool pasteAvailable = false;
    // Recent files, newest first, at most 7.
    std::vector<std::string> recent;
    // The undo and redo history.
    UndoHistory history;

    bool HasDocument() const { return doc != nullptr; }
    int FrameCount() const { return doc ? doc->FrameCount() : 0; }
    bool Untitled() const { return path.empty(); }
    // The selected frame; null when none.
    Frame* SelectedFrame() const { return doc && selected >= 0 ? doc->FrameAt(selected) : nullptr; }
};

}  // namespace cinemill
