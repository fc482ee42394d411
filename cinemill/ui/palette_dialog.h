#pragma once

#include <QDialog>

#include <optional>
#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/imaging/palette_edit.h"

class QCheckBox;
class QLabel;
class QSpinBox;
class QToolButton;

namespace cinemill {

class ColorButton;
class ColorGrid;
class FrameView;
class PreferenceBlock;

// "Edit Palette": the colour grid, the preview of a frame that uses the
// palette, the R, G and B fields, the swatch and "Show colors in use". The
// editor's rules are PaletteEditorState's; the dialog shows them.
class EditPaletteDialog : public QDialog {
    Q_OBJECT
public:
    // `frame` >= 0 edits that frame's local palette, -1 the global palette
    // (previewing PreviewFrameForGlobal's frame for `selected_frame`).
    EditPaletteDialog(const Animation& doc, int frame, int selected_frame, PreferenceBlock& prefs,
                      QWidget* parent = nullptr);
    ~EditPaletteDialog() override;

    // False when there is no such palette (the dialog must not be shown).
    bool HasPalette() const { return state_.has_value(); }
    // After OK: the 256 entries to apply; none when nothing changed.
    const std::optional<std::vector<Rgb>>& Entries() const { return result_; }
    const PaletteEditorState& State() const { return *state_; }
    ColorGrid* Grid() const { return grid_; }
    FrameView* Preview() const { return preview_; }
    // The transparency colour of the preview (the background button's).
    void SetTransparencyColor(QColor c);

    void accept() override;
    void reject() override;

private:
    void Select(int index);
    void ChannelTyped(int channel, int value);
    void SwatchClicked();
    void Applied();
    void FillFields();
    void StoreCheckBox();
    Rgb DrawColor(int index) const;

    PreferenceBlock& prefs_;
    std::optional<PaletteEditorState> state_;
    std::optional<FrameBitmap> previewBitmap_;
    std::optional<std::vector<Rgb>> result_;
    QColor transparencyColor_;
    bool guard_ = false;
    ColorGrid* grid_ = nullptr;
    FrameView* preview_ = nullptr;
    ColorButton* background_ = nullptr;
    QSpinBox* fields_[3] = {};
    QToolButton* swatch_ = nullptr;
    QCheckBox* showUsed_ = nullptr;
    QLabel* inUse_ = nullptr;
};

// Edit Local Palette (the selected frame's; nothing without one) and Edit
// Global Palette: the dialog, then OK through Engine::EditPalette.
CommandResult RunEditLocalPalette(QWidget* parent, Engine& engine);
CommandResult RunEditGlobalPalette(QWidget* parent, Engine& engine);

}  // namespace cinemill
