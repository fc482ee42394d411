#pragma once

#include <QDialog>

#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/app/transparency_choice.h"

class QCheckBox;
class QToolButton;

namespace cinemill {

class ColorButton;
class ColorGrid;
class FrameView;
class PreferenceBlock;

// "Pick Transparency Index": the palette grid and the frame image, both
// showing the chosen indexes in the display colour; the Pick, Add and Remove
// modes; the colour information tips. The marking rules are
// TransparencyPicker's; the dialog works on display copies only.
class TransparencyPickerDialog : public QDialog {
    Q_OBJECT
public:
    TransparencyPickerDialog(const Animation& doc, const Frame& frame, const TransparencyChoice& choice,
                             PreferenceBlock& prefs, QWidget* parent = nullptr);

    // After OK: whether something changed, and then the choice to apply.
    bool Changed() const { return changed_; }
    const TransparencyChoice& Choice() const { return choice_; }
    const TransparencyPicker& Picker() const { return picker_; }
    ColorGrid* Grid() const { return grid_; }
    FrameView* Image() const { return image_; }
    // The colour that shows a chosen index (the background button's).
    QColor DisplayColor() const { return display_; }
    void SetDisplayColor(QColor c);

    void accept() override;
    void reject() override;

private:
    void Clicked(int index);
    void Show(int index, bool marked, bool flash);
    void SetMode(TransparencyPicker::Mode m);
    void StoreInfoFlag();

    PreferenceBlock& prefs_;
    TransparencyChoice choice_;
    TransparencyPicker picker_;
    std::vector<Rgb> colors_;  // the frame's palette in effect
    int paletteSize_ = 0;
    FrameBitmap bitmap_;
    QColor display_;
    bool changed_ = false;
    ColorGrid* grid_ = nullptr;
    FrameView* image_ = nullptr;
    ColorButton* background_ = nullptr;
    QToolButton* modes_[3] = {};
    QCheckBox* info_ = nullptr;
};

// Pick Transparency Color on the selected frame: the dialog, then OK through
// Engine::ApplyTransparencyChoice.
CommandResult RunPickTransparency(QWidget* parent, Engine& engine);

}  // namespace cinemill
