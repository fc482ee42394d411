#include "cinemill/app/property_pages.h"

#include <cstdlib>

#include "cinemill/app/frame_toolbar.h"
#include "cinemill/app/undo_history.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/disposal.h"
#include "cinemill/imaging/document_ops.h"

namespace cinemill {
namespace {

constexpr int64_t kMaxOffset = 65535;
constexpr int64_t kMaxDelay = 65535;
constexpr int64_t kMaxSide = 65535;
constexpr int64_t kMaxIterations = 65536;

std::string Text(StringId id) { return std::string(LoadString(id)); }

PageCheck Fail(PageField f) { return PageCheck{false, f}; }

void Tell(UiHost& host, StringId message, StringId caption) { host.Message(Text(message), Text(caption)); }

bool InRange(const std::optional<int64_t>& v, int64_t lo, int64_t hi) { return v && *v >= lo && *v <= hi; }

// One offset field: the range, then the complete-clipping question. `blank_passes` on the Global Frame page.
bool CheckOffset(std::string_view text, uint32_t screen_extent, bool blank_passes, UiHost& host) {
    if (blank_passes && IsBlank(text)) return true;
    const auto v = ParseFieldInteger(text);
    if (!InRange(v, -kMaxOffset, kMaxOffset)) {
        Tell(host, StringId::OffsetRange, StringId::OffsetCaption);
        return false;
    }
    if (std::llabs(*v) > static_cast<int64_t>(screen_extent))
        return host.AskYesNo(Text(StringId::OffsetClipQuestion), Text(StringId::OffsetClipCaption));
    return true;
}

bool CheckDelay(std::string_view text, bool blank_passes, UiHost& host) {
    if (blank_passes && IsBlank(text)) return true;
    if (InRange(ParseFieldInteger(text), 0, kMaxDelay)) return true;
    Tell(host, StringId::DelayRange, StringId::DelayCaption);
    return false;
}

PageCheck CheckFrameFields(std::string_view x, std::string_view y, std::string_view delay, uint32_t w,
                           uint32_t h, bool blank_passes, UiHost& host) {
    if (!CheckOffset(x, w, blank_passes, host)) return Fail(PageField::OffsetX);
    if (!CheckOffset(y, h, blank_passes, host)) return Fail(PageField::OffsetY);
    if (!CheckDelay(delay, blank_passes, host)) return Fail(PageField::Delay);
    return {};
}

// Writes the offsets, disposal method and delay a page holds (blank and
// unreadable fields are left alone); answers whether the frame changed.
bool WritePlacement(Frame& f, std::string_view x, std::string_view y, int disposal, std::string_view delay) {
    bool changed = false;
    if (const auto v = ParseFieldInteger(x); !IsBlank(x) && InRange(v, -kMaxOffset, kMaxOffset) && f.left != *v) {
        f.left = static_cast<int32_t>(*v);
        changed = true;
    }
    if (const auto v = ParseFieldInteger(y); !IsBlank(y) && InRange(v, -kMaxOffset, kMaxOffset) && f.top != *v) {
        f.top = static_cast<int32_t>(*v);
        changed = true;
    }
    if (disposal >= kDisposeNone && disposal <= kDisposePrevious && f.Disposal() != disposal) {
        SetDisposal(f, disposal);
        changed = true;
    }
    if (const auto v = ParseFieldInteger(delay); !IsBlank(delay) && InRange(v, 0, kMaxDelay) && f.delay != *v) {
        SetDelay(f, static_cast<uint32_t>(*v));
        changed = true;
    }
    return changed;
}

int ListSelectionFor(int disposal) {
    return disposal >= kDisposeNone && disposal <= kDisposePrevious ? disposal : -1;
}

template <class Get>
TriState Compare(const std::vector<const Frame*>& frames, Get get) {
    bool on = false, off = false;
    for (const Frame* f : frames) (get(*f) ? on : off) = true;
    return on && off ? TriState::Mixed : (on ? TriState::On : TriState::Off);
}

// The value every frame shares, as text; blank when they differ.
template <class Get>
std::string Shared(const std::vector<const Frame*>& frames, Get get) {
    if (frames.empty()) return {};
    const auto first = get(*frames.front());
    for (const Frame* f : frames)
        if (get(*f) != first) return {};
    return std::to_string(first);
}

}  // namespace

// ---- the sheet -----------------------------------------------------------------------------

std::optional<SheetPlan> SheetFor(CommandId command) {
    switch (command) {
        case CommandId::FrameProperties:
            return SheetPlan{{PropertyPage::Frame, PropertyPage::GlobalFrame, PropertyPage::Animation},
                             PropertyPage::Frame};
        case CommandId::GlobalProperties:
            return SheetPlan{{PropertyPage::GlobalFrame, PropertyPage::Animation}, PropertyPage::GlobalFrame};
        case CommandId::AnimationProperties:
            return SheetPlan{{PropertyPage::GlobalFrame, PropertyPage::Animation}, PropertyPage::Animation};
        default:
            return std::nullopt;
    }
}

SheetRefresh RefreshForChangeFlags(uint8_t flags) {
    using namespace sheet_flags;
    SheetRefresh r;
    r.framesChanged = flags & kScreen;
    r.redrawAll = !r.framesChanged && (flags & (kAllFrames | kGlobalPalette));
    r.redrawSelected = !r.framesChanged && !r.redrawAll && (flags & kSelectedFrame);
    r.reloadAnimationFields = flags & kAnimationFields;
    // These follow the frame pages whether or not the Animation page changed
    // something too, so a delay and a play count edited together both show.
    r.rewriteTotalTime = flags & (kSelectedFrame | kAllFrames);
    r.reloadFrameToolbar = r.rewriteTotalTime;
    r.rewriteSelectorEntry = flags & kSelectedFrame;
    // Every flag stands for a change of the written file (the play count
    // adds or drops the loop block), so the size is counted again.
    r.paletteStateRestart = flags != 0;
    r.modified = flags != 0;
    return r;
}

std::vector<std::string> DisposalListEntries() {
    return {Text(StringId::DisposalNone), Text(StringId::DisposalLeaveAlone),
            Text(StringId::DisposalBackground), Text(StringId::DisposalRestorePrevious)};
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

void TransparencyField::PickerClosed(bool accepted, bool opened_by_checking) {
    if (accepted) {
        box = choice.count != 0 ? TriState::On : TriState::Off;
        changed = true;
    } else if (opened_by_checking) {
        box = TriState::Off;
    }
}

// ---- Frame page ----------------------------------------------------------------------------

FramePageFields LoadFramePage(const Frame& f) {
    FramePageFields p;
    p.name = f.name;
    p.width = f.width;
    p.height = f.height;
    p.offsetX = std::to_string(f.left);
    p.offsetY = std::to_string(f.top);
    p.delay = std::to_string(f.delay);
    p.interlaced = f.Interlaced();
    p.transparent.box = f.Transparent() ? TriState::On : TriState::Off;
    p.transparent.choice = ChoiceFromFrame(f);
    p.localPaletteEnabled = f.localPalette.has_value();
    p.localPaletteChecked = p.localPaletteEnabled;
    p.disposal = ListSelectionFor(f.Disposal());
    return p;
}

PageCheck CheckFramePage(const FramePageFields& p, uint32_t screen_width, uint32_t screen_height,
                         UiHost& host) {
    return CheckFrameFields(p.offsetX, p.offsetY, p.delay, screen_width, screen_height, false, host);
}

uint8_t ApplyFramePage(PageContext& ctx, int index, FramePageFields& p) {
    Frame* f = ctx.doc.FrameAt(index);
    if (!f) return 0;
    bool changed = false;
    if (p.localPaletteEnabled && !p.localPaletteChecked && f->localPalette) {
        if (RemoveLocalPalette(ctx.doc, index, ctx.host, ctx.progress, ctx.prefs) != Result::Done) return 0;
        changed = true;
        p.localPaletteEnabled = false;
        f = ctx.doc.FrameAt(index);
    }
    changed |= SetName(*f, std::string_view(p.name).substr(0, 260));
    changed |= ApplyInterlaceButton(*f, p.interlaced);
    changed |= WritePlacement(*f, p.offsetX, p.offsetY, p.disposal, p.delay);

    TransparencyField& t = p.transparent;
    if (t.changed || (t.box == TriState::Off && f->Transparent())) {
        if (t.box != TriState::On) t.choice.count = 0;
        changed |= ApplyChoiceWithUndo(ctx.doc, index, t.choice, ctx.history);
    }
    return changed ? sheet_flags::kSelectedFrame : 0;
}

// ---- Global Frame page ---------------------------------------------------------------------

GlobalFramePageFields LoadGlobalFramePage(const Animation& a) {
    const std::vector<const Frame*> frames = a.Frames();
    GlobalFramePageFields p;
    p.width = Shared(frames, [](const Frame& f) { return f.width; });
    p.height = Shared(frames, [](const Frame& f) { return f.height; });
    p.offsetX = Shared(frames, [](const Frame& f) { return f.left; });
    p.offsetY = Shared(frames, [](const Frame& f) { return f.top; });
    p.delay = Shared(frames, [](const Frame& f) { return f.delay; });
    p.interlaced = Compare(frames, [](const Frame& f) { return f.Interlaced(); });
    p.transparent.box = Compare(frames, [](const Frame& f) { return f.Transparent(); });
    if (const Frame* first = GlobalPickerFrame(a)) p.transparent.choice = ChoiceFromFrame(*first);
    p.localPalette = Compare(frames, [](const Frame& f) { return f.localPalette.has_value(); });
    p.localPaletteEnabled = p.localPalette != TriState::Off;
    const std::string disposal = Shared(frames, [](const Frame& f) { return f.Disposal(); });
    p.disposal = disposal.empty() ? -1 : ListSelectionFor(std::atoi(disposal.c_str()));
    return p;
}

const Frame* GlobalPickerFrame(const Animation& a) { return a.FrameAt(0); }

PageCheck CheckGlobalFramePage(const GlobalFramePageFields& p, uint32_t screen_width,
                               uint32_t screen_height, UiHost& host) {
    return CheckFrameFields(p.offsetX, p.offsetY, p.delay, screen_width, screen_height, true, host);
}

uint8_t ApplyGlobalFramePage(PageContext& ctx, GlobalFramePageFields& p) {
    bool changed = false;
    TransparencyField& t = p.transparent;
    bool transparencyChanged = t.changed;
    const int count = ctx.doc.FrameCount();
    for (int i = 0; i < count; ++i) {
        Frame* f = ctx.doc.FrameAt(i);
        if (p.localPaletteEnabled && p.localPalette == TriState::Off && f->localPalette) {
            if (RemoveLocalPalette(ctx.doc, i, ctx.host, ctx.progress, ctx.prefs) != Result::Done)
                return changed ? sheet_flags::kAllFrames : 0;
            changed = true;
            f = ctx.doc.FrameAt(i);
        }
        if (t.box == TriState::Off && f->Transparent()) transparencyChanged = true;
        if (p.interlaced != TriState::Mixed) changed |= ApplyInterlaceButton(*f, p.interlaced == TriState::On);
        changed |= WritePlacement(*f, p.offsetX, p.offsetY, p.disposal, p.delay);
    }
    if (transparencyChanged) {
        if (t.box != TriState::On) t.choice.count = 0;
        bool any = false;
        for (const Frame* f : std::as_const(ctx.doc).Frames()) any = any || ChoiceChangesFrame(*f, t.choice);
        if (any) {
            // One step for the whole document, taken after the other fields
            // were written: only the transparency is undone.
            ctx.history.RecordDocumentCopy(UndoKind::EditAllTransparency, ctx.doc, t.choice.count);
            for (Frame* f : ctx.doc.Frames()) changed |= ApplyChoice(*f, t.choice);
        }
    }
    return changed ? sheet_flags::kAllFrames : 0;
}

// ---- Animation page ------------------------------------------------------------------------

AnimationPageFields LoadAnimationPage(const Animation& a, std::string_view path) {
    AnimationPageFields p;
    p.fileName = std::string(path);
    p.frameCount = a.FrameCount();
    p.iterations = std::to_string(a.playCount);
    p.width = std::to_string(a.width);
    p.height = std::to_string(a.height);
    p.hasGlobalPalette = a.globalPalette.has_value();
    p.backgroundIndex = a.backgroundIndex;
    return p;
}

void AutoSize(AnimationPageFields& p, const Animation& a) {
    const auto [right, bottom] = MaxFrameEdges(a);
    p.width = std::to_string(right);
    p.height = std::to_string(bottom);
    p.sizeEdited = true;
}

PageCheck CheckAnimationPage(const AnimationPageFields& p, const Animation& a, UiHost& host) {
    if (p.sizeEdited) {
        const auto [holdW, holdH] = MaxFrameEdges(a);
        const auto w = ParseFieldInteger(p.width);
        if (!InRange(w, 0, kMaxSide)) {
            Tell(host, StringId::WidthRange, StringId::WidthCaption);
            return Fail(PageField::Width);
        }
        if (*w < holdW && !host.AskYesNo(Text(StringId::WidthClipQuestion), Text(StringId::ImageClippingCaption)))
            return Fail(PageField::Width);
        const auto h = ParseFieldInteger(p.height);
        if (!InRange(h, 0, kMaxSide)) {
            Tell(host, StringId::HeightRange, StringId::HeightCaption);
            return Fail(PageField::Height);
        }
        if (*h < holdH &&
            !host.AskYesNo(Text(StringId::HeightClipQuestion), Text(StringId::ImageClippingCaption)))
            return Fail(PageField::Height);
    }
    if (!InRange(ParseFieldInteger(p.iterations), 0, kMaxIterations)) {
        Tell(host, StringId::IterationsRange, StringId::IterationsCaption);
        return Fail(PageField::Iterations);
    }
    return {};
}

uint8_t ApplyAnimationPage(Animation& a, const AnimationPageFields& p) {
    uint8_t flags = 0;
    if (const auto n = ParseFieldInteger(p.iterations); InRange(n, 0, kMaxIterations) && a.playCount != *n) {
        a.playCount = static_cast<uint32_t>(*n);
        flags |= sheet_flags::kAnimationFields;
    }
    if (p.sizeEdited) {
        const auto w = ParseFieldInteger(p.width);
        const auto h = ParseFieldInteger(p.height);
        if (InRange(w, 0, kMaxSide) && InRange(h, 0, kMaxSide)) {
            a.width = static_cast<uint32_t>(*w);
            a.height = static_cast<uint32_t>(*h);
            flags |= sheet_flags::kScreen;
        }
    }
    if (p.backgroundIndex >= 0 && p.backgroundIndex <= 255 && p.backgroundIndex != a.backgroundIndex) {
        a.backgroundIndex = static_cast<uint8_t>(p.backgroundIndex);
        flags |= sheet_flags::kAnimationFields;
    }
    if (p.paletteEdited) flags |= sheet_flags::kGlobalPalette;
    return flags;
}

// ---- what a page would change ---------------------------------------------------------------

namespace {

// The frame's values without its pixels and palette, for trying out a write.
Frame HeaderOf(const Frame& f) {
    Frame h;
    h.left = f.left;
    h.top = f.top;
    h.width = f.width;
    h.height = f.height;
    h.name = f.name;
    h.delay = f.delay;
    h.controlFlags = f.controlFlags;
    h.transparentIndex = f.transparentIndex;
    h.descriptorFlags = f.descriptorFlags;
    return h;
}

// The choice the apply writes: transparency off unless the box is checked.
TransparencyChoice EffectiveChoice(const TransparencyField& t) {
    TransparencyChoice c = t.choice;
    if (t.box != TriState::On) c.count = 0;
    return c;
}

}  // namespace

bool FramePageChangesBesidesTransparency(const Frame& f, const FramePageFields& p) {
    if (p.localPaletteEnabled && !p.localPaletteChecked && f.localPalette) return true;
    Frame h = HeaderOf(f);
    bool changed = SetName(h, std::string_view(p.name).substr(0, 260));
    changed |= ApplyInterlaceButton(h, p.interlaced);
    changed |= WritePlacement(h, p.offsetX, p.offsetY, p.disposal, p.delay);
    return changed;
}

bool FramePageChangesTransparency(const Frame& f, const FramePageFields& p) {
    const TransparencyField& t = p.transparent;
    if (!t.changed && !(t.box == TriState::Off && f.Transparent())) return false;
    return ChoiceChangesFrame(f, EffectiveChoice(t));
}

bool GlobalFramePageChangesBesidesTransparency(const Animation& a, const GlobalFramePageFields& p) {
    for (const Frame* f : a.Frames()) {
        if (p.localPaletteEnabled && p.localPalette == TriState::Off && f->localPalette) return true;
        Frame h = HeaderOf(*f);
        bool changed = false;
        if (p.interlaced != TriState::Mixed) changed |= ApplyInterlaceButton(h, p.interlaced == TriState::On);
        changed |= WritePlacement(h, p.offsetX, p.offsetY, p.disposal, p.delay);
        if (changed) return true;
    }
    return false;
}

bool GlobalFramePageChangesTransparency(const Animation& a, const GlobalFramePageFields& p) {
    const TransparencyField& t = p.transparent;
    const std::vector<const Frame*> frames = a.Frames();
    bool changed = t.changed;
    for (const Frame* f : frames) changed = changed || (t.box == TriState::Off && f->Transparent());
    if (!changed) return false;
    const TransparencyChoice c = EffectiveChoice(t);
    for (const Frame* f : frames)
        if (ChoiceChangesFrame(*f, c)) return true;
    return false;
}

GlobalFramePageFields OnlyEditedFields(const GlobalFramePageFields& loaded, GlobalFramePageFields now) {
    if (now.offsetX == loaded.offsetX) now.offsetX.clear();
    if (now.offsetY == loaded.offsetY) now.offsetY.clear();
    if (now.delay == loaded.delay) now.delay.clear();
    if (now.interlaced == loaded.interlaced) now.interlaced = TriState::Mixed;
    if (!now.transparent.changed && now.transparent.box == loaded.transparent.box)
        now.transparent.box = TriState::Mixed;
    if (now.localPalette == loaded.localPalette) now.localPalette = TriState::Mixed;
    if (now.disposal == loaded.disposal) now.disposal = -1;
    return now;
}

}  // namespace cinemill
