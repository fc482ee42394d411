// Palette editing: applying edited colours and the editor's field rules.
#include "cinemill/imaging/palette_edit.h"

#include <algorithm>
#include <cstdio>

#include "cinemill/base/strings.h"

namespace cinemill {

namespace {
void WriteEntries(Palette& p, const std::vector<Rgb>& entries) {
    const size_t n = std::min(p.entries.size(), entries.size());
    std::copy_n(entries.begin(), n, p.entries.begin());
}

ColorUsage FramePixels(const Frame& f) {
    ColorUsage c{};
    if (!f.bitmap) return c;
    for (int y = 0; y < f.bitmap->height; ++y) {
        const uint8_t* row = f.bitmap->Row(y);
        for (int x = 0; x < f.bitmap->width; ++x) ++c[row[x]];
    }
    return c;
}

PaletteEditorState StateFor(const Palette& p, const ColorUsage& usage, int transparent) {
    PaletteEditorState s;
    s.working.assign(256, Rgb{});
    std::copy_n(p.entries.begin(), std::min<size_t>(p.entries.size(), 256), s.working.begin());
    s.entryCount = std::min(p.size(), 256);
    s.usage = usage;
    s.previewTransparentIndex = transparent;
    return s;
}
}  // namespace

bool ApplyLocalPaletteEdit(Frame& f, const std::vector<Rgb>& entries) {
    if (!f.localPalette) return false;
    WriteEntries(*f.localPalette, entries);
    return true;
}

bool ApplyGlobalPaletteEdit(Animation& a, const std::vector<Rgb>& entries) {
    if (!a.globalPalette) return false;
    WriteEntries(*a.globalPalette, entries);
    a.cachedSize = -1;
    return true;
}

int PreviewFrameForGlobal(const Animation& a, int selected_frame) {
    const auto frames = a.Frames();
    if (frames.empty()) return -1;
    int i = selected_frame >= 0 && selected_frame < static_cast<int>(frames.size()) ? selected_frame : 0;
    if (!frames[static_cast<size_t>(i)]->localPalette) return i;
    for (size_t k = 0; k < frames.size(); ++k)
        if (!frames[k]->localPalette) return static_cast<int>(k);
    return -1;
}

std::optional<PaletteEditorState> OpenLocalPaletteEditor(const Frame& f) {
    if (!f.localPalette) return std::nullopt;
    return StateFor(*f.localPalette, FramePixels(f), f.Transparent() ? f.transparentIndex : -1);
}

std::optional<PaletteEditorState> OpenGlobalPaletteEditor(const Animation& a, int selected_frame) {
    if (!a.globalPalette) return std::nullopt;
    ColorUsage usage{};
    for (const Frame* f : a.Frames()) {
        if (f->localPalette) continue;
        const ColorUsage c = FramePixels(*f);
        for (size_t i = 0; i < 256; ++i) usage[i] += c[i];
    }
    const int pf = PreviewFrameForGlobal(a, selected_frame);
    const Frame* preview = pf >= 0 ? a.FrameAt(pf) : nullptr;
    return StateFor(*a.globalPalette, usage,
                    preview && preview->Transparent() ? preview->transparentIndex : -1);
}

void SelectEntry(PaletteEditorState& s, int index) {
    s.selected = index >= 0 && index < s.entryCount ? index : -1;
}

int TypeChannel(PaletteEditorState& s, int channel, int value) {
    const int v = std::clamp(value, 0, 255);
    if (s.selected < 0 || channel < 0 || channel > 2) return v;
    Rgb& c = s.working[static_cast<size_t>(s.selected)];
    uint8_t& ch = channel == 0 ? c.r : channel == 1 ? c.g : c.b;
    if (ch != v) {
        ch = static_cast<uint8_t>(v);
        s.modified = true;
    }
    return v;
}

void ChooseColor(PaletteEditorState& s, Rgb c) {
    if (s.selected < 0) return;
    Rgb& e = s.working[static_cast<size_t>(s.selected)];
    if (!(e == c)) {
        e = c;
        s.modified = true;
    }
}

std::optional<std::vector<Rgb>> PaletteEditorResult(const PaletteEditorState& s) {
    if (!s.modified) return std::nullopt;
    return s.working;
}

std::string ColorsInUseText(const ColorUsage& usage, int entry_count) {
    int used = 0;
    for (int i = 0; i < entry_count && i < 256; ++i) used += usage[static_cast<size_t>(i)] != 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Colors in use: %d of %d", used, entry_count);
    return buf;
}

std::string PaletteEntryTip(int index, Rgb c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "#%d: R=%d, G=%d, B=%d", index + 1, c.r, c.g, c.b);
    return buf;
}

BackgroundPicker OpenBackgroundPicker(const Animation& a) {
    BackgroundPicker p;
    p.count = a.globalPalette ? a.globalPalette->size() : 0;
    p.selected = a.backgroundIndex;
    return p;
}

void PickBackgroundEntry(BackgroundPicker& p, int index) {
    if (index >= 0 && index < p.count) p.selected = index;
}

int BackgroundPickerResult(const BackgroundPicker& p, bool ok) { return ok ? p.selected : -1; }

}  // namespace cinemill
