#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cinemill/base/progress.h"
#include "cinemill/base/result.h"
#include "cinemill/doc/animation.h"
#include "cinemill/imaging/color_reduce.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// What the Reduce Colors dialog decides, without its look.
namespace reduce_dialog {

// The largest entry count among the global palette and every local palette.
int LargestEntryCount(const Animation& a);
// The dialog opens only for a largest entry count above 2.
bool Reducible(int largest_entry_count);
// The first colour count offered: 2^(b - 1) for the bit depth b of the
// largest entry count (256 entries give 128, 100 give 64).
int FirstColorCount(int largest_entry_count);
// A typed colour count: the value clamped to 2..256, and whether the text
// must be replaced by the clamped number (out of range or not a number).
struct TypedCount {
    int value = 2;
    bool replace_text = false;
};
TypedCount ParseColorCount(std::string_view text);
// "Savings: N bytes (P%)" or "Savings: None" when the reduced copy is not smaller.
std::string SavingsText(int64_t unreduced_size, int64_t reduced_size);

}  // namespace reduce_dialog

// The dialog's working copy: every apply reduces a fresh deep copy of the
// document; OK exchanges the copy with the document's contents as one step
// and hands back the old contents (for the undo history); Cancel drops it.
class ReduceSession {
public:
    explicit ReduceSession(Animation& document) : document_(document) {}

    // Copies the document and reduces the copy. Failed (after "Not enough
    // memory to reduce palette(s).") when the copy cannot be made; the dialog
    // then closes as cancelled; Stopped, with no copy kept, when `progress`
    // asks for a stop.
    Result Apply(int colors, bool dither, ProgressReporter& progress, UiHost& host);
    const Animation* Copy() const { return copy_.get(); }

    // OK: the document takes the reduced contents; the old contents are
    // returned for the undo record ("Reduce Palette"). Slot 8 keeps the
    // colour count and the dither choice. Null when nothing was applied.
    std::unique_ptr<Animation> Accept(PreferenceBlock& prefs);
    // Cancel: the copy is dropped; the document was never touched.
    void Cancel() { copy_.reset(); }

private:
    Animation& document_;
    std::unique_ptr<Animation> copy_;
    ColorMapper mapper_;
    int colors_ = 0;
    bool dither_ = false;
};

}  // namespace cinemill
