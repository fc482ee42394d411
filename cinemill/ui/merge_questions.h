#pragma once

#include <cstdint>
#include <functional>

#include <QDialog>

namespace cinemill {

// The two questions asked while frames come into a document. Both are modal
// dialogs centred over `parent` and answer in the encodings of
// UiHost::AskPaletteMerge and UiHost::AskFrameSizeConflict; neither writes
// the preferences (PreferenceBlock::AskOrUse stores a non-zero answer).

// "Color Palette Merging": starts from the merging preference word
// `current` (slot 10). OK answers the chosen method, dithering and the two
// colour limits, with 0x200 unless "Make this default and don't show again"
// is ticked; Cancel (or Esc) answers 0.
// Controls: radios "1197".."1201", lists "1202" (maximum colours) and
// "1203" (hi-colour maximum), check boxes "1204" (dither) and
// "dontShowAgain", buttons "IDOK" and "IDCANCEL".
uint32_t AskPaletteMergeDialog(QWidget* parent, uint32_t current);

// "Frame Size Conflict": starts from the frame-size preference word
// `current` (slot 2): "1111" (clip) when it has 0x10, else "1112" (enlarge).
// OK answers 0x10 or 0x20, with 0x04 unless "1083" ("Make this the default
// and don't ask again") is ticked; Cancel answers 0.
uint32_t AskFrameSizeConflictDialog(QWidget* parent, uint32_t current);

// The dialogs themselves, for tests and pictures: built and filled but not
// shown. Their answer (as above) is Answer() after accept, 0 after reject.
class QuestionDialog : public QDialog {
public:
    explicit QuestionDialog(QWidget* parent) : QDialog(parent) {}
    void SetAnswer(std::function<uint32_t()> answer) { answer_ = std::move(answer); }
    // The encoding of the controls' present state (what OK answers).
    uint32_t Answer() const { return answer_ ? answer_() : 0; }

private:
    std::function<uint32_t()> answer_;
};
QuestionDialog* MakePaletteMergeDialog(QWidget* parent, uint32_t current);
QuestionDialog* MakeFrameSizeConflictDialog(QWidget* parent, uint32_t current);

}  // namespace cinemill
