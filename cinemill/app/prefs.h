#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"

namespace cinemill {

class FileAssociation;
class UiHost;

// What the Preferences sheet and the two preference questions decide,
// without their look. Each page is the state of its controls: Load fills
// it from the preferences, Check is run when the page is left (a failure
// names the message, its caption and the control that gets the focus;
// the page stays), Apply writes the preferences.

// Control ids of the pages.
namespace pref_controls {
// "Defaults"
constexpr int kDelay = 1101, kIterations = 1102, kClipInserted = 1111, kChangeSize = 1112,
              kAlwaysAsk = 1121;
// "Palettes"
constexpr int kMethodFirst = 1197, kMethodLast = 1201, kMaxColors = 1202, kTrueColorMax = 1203,
              kDither = 1204, kAskMerge = 1206;
// "Program"
constexpr int kUndoLevels = 1069, kContinuousLoop = 1204, kFlatLook = 1083, kAssociate = 1092;
// "Signature"
constexpr int kAddSignature = 1083, kSignatureText = 1069;
// The frame-size question: 1111, 1112 and "Make this the default and don't ask again".
constexpr int kDontAskAgain = 1083;
}  // namespace pref_controls

// A refused field.
struct PageProblem {
    StringId text;
    StringId caption;
    int control = 0;
    friend bool operator==(const PageProblem&, const PageProblem&) = default;
};

// ---- "Defaults" ----------------------------------------------------------------------------

struct DefaultsPage {
    std::string delay;       // edit 1101
    std::string iterations;  // edit 1102
    bool changeSize = true;  // 1112 chosen (else 1111, clip)
    bool alwaysAsk = true;   // 1121
};
DefaultsPage LoadDefaultsPage(const PreferenceBlock& prefs);
// Delay 0 to 65535, then iterations 0 to 65536; a text that is not a whole
// number is out of range too.
std::optional<PageProblem> CheckDefaultsPage(const DefaultsPage& page);
// Slots 0, 1 and 2. Call only after a passing check.
void ApplyDefaultsPage(const DefaultsPage& page, PreferenceBlock& prefs);

// ---- "Palettes" (and the palette-merging question) -------------------------------------

// The merge controls: method radio 0..4 (1197..1201: self-adapting, merge
// with global, map to global, web palette, local palettes), the two count
// lists as an index into 256, 128, 64, 32, 16, 8 colours, and dithering.
struct MergeChoice {
    int method = 0;
    int maxColors = 0;      // list 1202
    int trueColorMax = 0;   // list 1203
    bool dither = false;    // 1204
    friend bool operator==(const MergeChoice&, const MergeChoice&) = default;
};
// The colours a count-list index stands for (256 for index 0).
int MergeListColors(int index);
MergeChoice MergeChoiceFromSlot(uint32_t slot10);
// Slot 10 for a choice; `ask` adds 0x200.
uint32_t EncodeMergeChoice(const MergeChoice& c, bool ask);

struct PalettesPage {
    MergeChoice choice;
    bool alwaysAsk = true;  // 1206
};
PalettesPage LoadPalettesPage(const PreferenceBlock& prefs);
void ApplyPalettesPage(const PalettesPage& page, PreferenceBlock& prefs);

// ---- "Program" -----------------------------------------------------------------------------

struct ProgramPage {
    std::string undoLevels;       // edit 1069
    bool continuousLoop = false;  // 1204, flag 0x1000
    bool flatLook = false;        // 1083, flag 0x2000
    bool associate = false;       // 1092
    bool associatedAtLoad = false;
};
// The association state is asked of `association` (none: not present).
ProgramPage LoadProgramPage(const PreferenceBlock& prefs, FileAssociation* association);
// The undo levels must be a whole number from 0 to 4294967295.
std::optional<PageProblem> CheckProgramPage(const ProgramPage& page);
struct ProgramApplied {
    bool flatLookChanged = false;  // the tool bars take the new look at once
    bool associationFailed = false;
};
// Flags 0x1000 and 0x2000 (other bits kept), the association (set when
// newly checked, removed when newly unchecked; a failure to set shows
// "Error setting GIF file association. Association not set."), slot 12.
ProgramApplied ApplyProgramPage(const ProgramPage& page, PreferenceBlock& prefs,
                                FileAssociation* association, UiHost& host);

// ---- "Signature" ---------------------------------------------------------------------------

struct SignaturePage {
    bool addSignature = true;  // 1083
    std::string text;          // 1069
    std::string loadedText;
    bool TextEnabled() const { return addSignature; }  // the edit follows the box
};
SignaturePage LoadSignaturePage(const PreferenceBlock& prefs);
// 256 characters or more: "The comment string must be shorter than 255
// characters. ...".
std::optional<PageProblem> CheckSignaturePage(const SignaturePage& page);
// Writes "Sig" when the text was edited and flag 0x0008 from the box;
// answers true when either changed, so that the document is marked
// modified and the next save rewrites the signature comment.
bool ApplySignaturePage(const SignaturePage& page, PreferenceBlock& prefs);

// ---- the sheet -----------------------------------------------------------------------------

// "Preferences": four pages in this order, starting on the first. Leaving
// a page checks it; OK checks the page shown and applies every page that
// was shown, in order.
class PreferencesSheet {
public:
    enum Page { kDefaults = 0, kPalettes = 1, kProgram = 2, kSignature = 3 };
    static constexpr int kPageCount = 4;

    PreferencesSheet(PreferenceBlock& prefs, FileAssociation* association);

    DefaultsPage defaults;
    PalettesPage palettes;
    ProgramPage program;
    SignaturePage signature;

    Page Current() const { return current_; }
    bool Shown(Page p) const { return shown_[p]; }
    // Switching pages: the current page is checked first; a failure keeps it.
    std::optional<PageProblem> ShowPage(Page p);
    std::optional<PageProblem> CheckCurrent() const;

    struct Result {
        std::optional<PageProblem> problem;  // OK refused, the sheet stays open
        bool flatLookChanged = false;
        bool documentModified = false;  // the signature setting changed
    };
    // OK. A problem is shown through the host with its caption.
    Result Ok(UiHost& host);

private:
    PreferenceBlock& prefs_;
    FileAssociation* association_;
    Page current_ = kDefaults;
    std::array<bool, kPageCount> shown_{true, false, false, false};
};

// Shows a page problem as a warning box with its caption.
void ShowProblem(const PageProblem& p, UiHost& host);

// ---- the frame-size conflict question ----------------------------------------------------

// "Frame Size Conflict": 1112 starts chosen unless slot 2 has 0x10.
bool FrameSizeQuestionStartsWithChange(uint32_t slot2);
// OK: (0x20 for 1112, else 0x10) with 0x04 unless "don't ask again" is
// ticked. The caller stores it in slot 2; Cancel is 0.
uint32_t FrameSizeQuestionResult(bool change_size, bool dont_ask_again);

}  // namespace cinemill
