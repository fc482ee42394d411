#pragma once

#include <cstdint>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

class UndoHistory;

// What the transparency picker chose for a frame: count 0 switches
// transparency off, 1 makes one index transparent, 2 or more merge the
// later indexes into the first, which becomes transparent; -1 leaves the
// frame alone.
struct TransparencyChoice {
    int count = 0;
    std::vector<uint8_t> indexes;  // the chosen indexes in order, up to 256
    friend bool operator==(const TransparencyChoice&, const TransparencyChoice&) = default;
};

// Count 1 with the frame's transparent index while its transparency is on,
// else count 0.
TransparencyChoice ChoiceFromFrame(const Frame& f);
// A choice with count 0 (transparency off).
TransparencyChoice ChoiceOff();
// A choice of the given indexes (count = how many there are).
TransparencyChoice ChoiceOf(std::vector<uint8_t> indexes);

// Whether applying the choice would change the frame (count 1 with the
// index that is already transparent does not; merging does only when a
// pixel holds a merged index or the first index is not yet transparent).
bool ChoiceChangesFrame(const Frame& f, const TransparencyChoice& c);
// Applies the choice; answers whether the frame changed.
bool ApplyChoice(Frame& f, const TransparencyChoice& c);

// The undo value of an "Edit Transparency" step: (frame index << 16) | count.
int32_t TransparencyUndoValue(int frame_index, int count);

// Records one "Edit Transparency" step (a copy of the frame when colours
// are merged, else the transparency before) and applies the choice to frame
// `index`. Nothing is recorded when the frame would not change, so a choice
// that changes nothing leaves the redo branch alone. Answers whether the
// frame changed.
bool ApplyChoiceWithUndo(Animation& doc, int index, const TransparencyChoice& c, UndoHistory& history);

// The picker's marking rules, on the list of chosen indexes (the dialog only
// paints what these answer).
class TransparencyPicker {
public:
    enum class Mode { Pick, Add, Remove };

    // Opening marks every index of the choice (without counting as a change)
    // and starts in Pick mode.
    explicit TransparencyPicker(const TransparencyChoice& c);

    void SetMode(Mode m) { mode_ = m; }
    Mode mode() const { return mode_; }

    // A click on a palette entry or an image pixel reporting `index` (-1 or
    // beyond `palette_size` for no valid entry). Pick unmarks everything and
    // marks the index alone; Add appends it unless it is already chosen;
    // Remove takes it out. Every click counts as a change.
    void Click(int index, int palette_size = 256);

    const std::vector<uint8_t>& chosen() const { return list_; }
    bool Marked(int index) const;
    bool changed() const { return changed_; }

    // OK: when something changed the list becomes the choice (count = list
    // length) and true is answered; otherwise the choice stays as it was.
    bool Accept(TransparencyChoice& c) const;

private:
    std::vector<uint8_t> list_;
    Mode mode_ = Mode::Pick;
    bool changed_ = false;
};

}  // namespace cinemill
