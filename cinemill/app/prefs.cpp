#include "cinemill/app/prefs.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "cinemill/app/file_association.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

using P = PreferenceBlock;
namespace pc = pref_controls;

constexpr int kListEntries = 6;  // 256, 128, 64, 32, 16, 8 colours
constexpr size_t kSignatureLimit = 256;  // this many characters or more are refused

// The edit's text as a whole number (spaces around it allowed); none for
// anything else, which the checks treat as out of range.
std::optional<int64_t> WholeNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.starts_with('+')) text.remove_prefix(1);
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

bool InRange(const std::string& text, int64_t lo, int64_t hi) {
    const auto v = WholeNumber(text);
    return v && *v >= lo && *v <= hi;
}

uint32_t NumberOf(const std::string& text) { return static_cast<uint32_t>(WholeNumber(text).value_or(0)); }

int ListIndexOfBits(int bits) { return std::clamp(8 - bits, 0, kListEntries - 1); }

}  // namespace

// ---- "Defaults" ----------------------------------------------------------------------------

DefaultsPage LoadDefaultsPage(const PreferenceBlock& prefs) {
    DefaultsPage p;
    p.delay = std::to_string(prefs.Get(P::kDefaultDelay));
    p.iterations = std::to_string(prefs.Get(P::kDefaultLoop));
    const uint32_t size = prefs.Get(P::kFrameSizeConflict);
    p.changeSize = (size & P::kSizeClip) == 0;
    p.alwaysAsk = (size & P::kSizeAsk) != 0;
    return p;
}

std::optional<PageProblem> CheckDefaultsPage(const DefaultsPage& page) {
    if (!InRange(page.delay, 0, 65535)) return PageProblem{StringId::DelayRange, StringId::DelayCaption, pc::kDelay};
    if (!InRange(page.iterations, 0, 65536))
        return PageProblem{StringId::IterationsRange, StringId::IterationsCaption, pc::kIterations};
    return std::nullopt;
}

void ApplyDefaultsPage(const DefaultsPage& page, PreferenceBlock& prefs) {
    prefs.Set(P::kDefaultDelay, NumberOf(page.delay));
    prefs.Set(P::kDefaultLoop, NumberOf(page.iterations));
    prefs.Set(P::kFrameSizeConflict, FrameSizeQuestionResult(page.changeSize, !page.alwaysAsk));
}

// ---- "Palettes" ----------------------------------------------------------------------------

int MergeListColors(int index) { return 256 >> std::clamp(index, 0, kListEntries - 1); }

MergeChoice MergeChoiceFromSlot(uint32_t v) {
    MergeChoice c;
    const uint32_t method = v & P::kMergeMethodMask;
    for (int i = 0; i < 5; ++i)
        if (method & (1u << i)) {
            c.method = i;
            break;
        }
    c.maxColors = ListIndexOfBits(P::MergeColorBits(v));
    c.trueColorMax = ListIndexOfBits(P::MergeTrueColorBits(v));
    c.dither = (v & P::kMergeDither) != 0;
    return c;
}

uint32_t EncodeMergeChoice(const MergeChoice& c, bool ask) {
    const uint32_t b1 = static_cast<uint32_t>(8 - std::clamp(c.maxColors, 0, kListEntries - 1));
    const uint32_t b2 = static_cast<uint32_t>(8 - std::clamp(c.trueColorMax, 0, kListEntries - 1));
    return (1u << std::clamp(c.method, 0, 4)) | (c.dither ? P::kMergeDither : 0) | (ask ? P::kMergeAsk : 0) |
           (b1 << 16) | (b2 << 20);
}

PalettesPage LoadPalettesPage(const PreferenceBlock& prefs) {
    const uint32_t v = prefs.Get(P::kPaletteMerging);
    return PalettesPage{MergeChoiceFromSlot(v), (v & P::kMergeAsk) != 0};
}

void ApplyPalettesPage(const PalettesPage& page, PreferenceBlock& prefs) {
    prefs.Set(P::kPaletteMerging, EncodeMergeChoice(page.choice, page.alwaysAsk));
}

// ---- "Program" -----------------------------------------------------------------------------

ProgramPage LoadProgramPage(const PreferenceBlock& prefs, FileAssociation* association) {
    ProgramPage p;
    p.undoLevels = std::to_string(prefs.Get(P::kUndoLevels));
    p.continuousLoop = prefs.Flag(P::kFlagContinuousLoop);
    p.flatLook = prefs.Flag(P::kFlagFlatToolbars);
    p.associatedAtLoad = association && association->Present();
    p.associate = p.associatedAtLoad;
    return p;
}

std::optional<PageProblem> CheckProgramPage(const ProgramPage& page) {
    if (!InRange(page.undoLevels, 0, std::numeric_limits<uint32_t>::max()))
        return PageProblem{StringId::UndoLevelsInvalid, StringId::UndoLevelsCaption, pc::kUndoLevels};
    return std::nullopt;
}

ProgramApplied ApplyProgramPage(const ProgramPage& page, PreferenceBlock& prefs, FileAssociation* association,
                                UiHost& host) {
    ProgramApplied r;
    const uint32_t old_flags = prefs.Get(P::kProgramFlags);
    constexpr uint32_t mine = P::kFlagContinuousLoop | P::kFlagFlatToolbars;
    const uint32_t flags = (old_flags & ~mine) | (page.continuousLoop ? P::kFlagContinuousLoop : 0) |
                           (page.flatLook ? P::kFlagFlatToolbars : 0);
    if (flags != old_flags) prefs.Set(P::kProgramFlags, flags);
    r.flatLookChanged = ((flags ^ old_flags) & P::kFlagFlatToolbars) != 0;
    if (page.associate && !page.associatedAtLoad) {
        if (!association || !association->Set()) {
            r.associationFailed = true;
            Tell(host, StringId::AssociationFailed);
        }
    } else if (!page.associate && page.associatedAtLoad && association) {
        association->Remove();
    }
    prefs.Set(P::kUndoLevels, NumberOf(page.undoLevels));
    return r;
}

// ---- "Signature" ---------------------------------------------------------------------------

SignaturePage LoadSignaturePage(const PreferenceBlock& prefs) {
    SignaturePage p;
    p.addSignature = !prefs.Flag(P::kFlagNoSignature);
    p.text = prefs.SignatureText(true, P::kMaxSignatureWrite);
    p.loadedText = p.text;
    return p;
}

std::optional<PageProblem> CheckSignaturePage(const SignaturePage& page) {
    if (page.text.size() >= kSignatureLimit)
        return PageProblem{StringId::CommentTooLong, StringId::CommentTooLongCaption, pc::kSignatureText};
    return std::nullopt;
}

bool ApplySignaturePage(const SignaturePage& page, PreferenceBlock& prefs) {
    const bool edited = page.text != page.loadedText;
    if (edited) prefs.SetSignature(page.text);
    const bool was_off = prefs.Flag(P::kFlagNoSignature);
    const bool off = !page.addSignature;
    if (off != was_off) prefs.SetBits(P::kProgramFlags, P::kFlagNoSignature, off);
    return edited || off != was_off;
}

// ---- the sheet -----------------------------------------------------------------------------

PreferencesSheet::PreferencesSheet(PreferenceBlock& prefs, FileAssociation* association)
    : defaults(LoadDefaultsPage(prefs)),
      palettes(LoadPalettesPage(prefs)),
      program(LoadProgramPage(prefs, association)),
      signature(LoadSignaturePage(prefs)),
      prefs_(prefs),
      association_(association) {}

std::optional<PageProblem> PreferencesSheet::CheckCurrent() const {
    switch (current_) {
        case kDefaults: return CheckDefaultsPage(defaults);
        case kProgram: return CheckProgramPage(program);
        case kSignature: return CheckSignaturePage(signature);
        case kPalettes: break;
    }
    return std::nullopt;
}

std::optional<PageProblem> PreferencesSheet::ShowPage(Page p) {
    if (p == current_) return std::nullopt;
    if (auto problem = CheckCurrent()) return problem;
    current_ = p;
    shown_[p] = true;
    return std::nullopt;
}

PreferencesSheet::Result PreferencesSheet::Ok(UiHost& host) {
    Result r;
    if ((r.problem = CheckCurrent())) {
        ShowProblem(*r.problem, host);
        return r;
    }
    if (shown_[kDefaults]) ApplyDefaultsPage(defaults, prefs_);
    if (shown_[kPalettes]) ApplyPalettesPage(palettes, prefs_);
    if (shown_[kProgram]) r.flatLookChanged = ApplyProgramPage(program, prefs_, association_, host).flatLookChanged;
    if (shown_[kSignature]) r.documentModified = ApplySignaturePage(signature, prefs_);
    return r;
}

void ShowProblem(const PageProblem& p, UiHost& host) {
    host.Message(std::string(LoadString(p.text)), std::string(LoadString(p.caption)));
}

// ---- the frame-size conflict question ----------------------------------------------------

bool FrameSizeQuestionStartsWithChange(uint32_t slot2) { return (slot2 & P::kSizeClip) == 0; }

uint32_t FrameSizeQuestionResult(bool change_size, bool dont_ask_again) {
    return (change_size ? P::kSizeGrow : P::kSizeClip) | (dont_ask_again ? 0 : P::kSizeAsk);
}

}  // namespace cinemill
