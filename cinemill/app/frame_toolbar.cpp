#include "cinemill/app/frame_toolbar.h"

#include <cctype>
#include <limits>

#include "cinemill/app/undo_history.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/document_ops.h"

namespace cinemill {
namespace {

constexpr int64_t kMaxDelay = 65535;
constexpr int64_t kMaxPlayCount = 65536;

// A range-checked edit: outside 0..max warns and puts `reset` in the field,
// which then counts as the typed value.
EditOutcome RangeEdited(std::string_view text, uint32_t current, int64_t max, uint32_t reset,
                        StringId message, StringId caption) {
    EditOutcome o;
    const auto v = ParseFieldInteger(text);
    if (!v) return o;
    uint32_t value = 0;
    if (*v < 0 || *v > max) {
        o.message = message;
        o.caption = caption;
        o.replaceText = std::to_string(reset);
        value = reset;
    } else {
        value = static_cast<uint32_t>(*v);
    }
    if (value != current) o.store = value;
    return o;
}

}  // namespace

std::optional<int64_t> ParseFieldInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    constexpr int64_t kCap = std::numeric_limits<int64_t>::max() / 10 - 10;
    int64_t v = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (v < kCap) v = v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

std::string FrameSelectorEntry(int frame_index, std::string_view name) {
    std::string text = ReplaceToken(std::string(LoadString(StringId::SelectorEntry)), "%d",
                                    std::to_string(frame_index + 1));
    return ReplaceToken(std::move(text), "%s", name);
}

std::vector<std::string> FrameSelectorEntries(const Animation* doc) {
    std::vector<std::string> entries{std::string(LoadString(StringId::SelectorNone))};
    if (!doc) return entries;
    int i = 0;
    for (const Frame* f : doc->Frames()) entries.push_back(FrameSelectorEntry(i++, f->name));
    return entries;
}

EditOutcome DelayEdited(std::string_view text, uint32_t current_delay) {
    return RangeEdited(text, current_delay, kMaxDelay, static_cast<uint32_t>(kMaxDelay),
                       StringId::DelayRange, StringId::DelayCaption);
}

EditOutcome PlayCountEdited(std::string_view text, uint32_t current_count) {
    return RangeEdited(text, current_count, kMaxPlayCount, 0, StringId::IterationsRangeToolbar,
                       StringId::IterationsCaption);
}

void TellOutcome(UiHost& host, const EditOutcome& outcome) {
    if (!outcome.message) return;
    host.Message(std::string(LoadString(*outcome.message)),
                 outcome.caption ? std::string(LoadString(*outcome.caption)) : std::string());
}

int DisposalForButton(CommandId id) {
    switch (id) {
        case CommandId::DisposalLeave: return 1;
        case CommandId::DisposalBackground: return 2;
        case CommandId::DisposalPrevious: return 3;
        default: return -1;
    }
}

bool ApplyDisposalButton(Frame& f, CommandId id) {
    const int method = DisposalForButton(id);
    if (method < 0 || f.Disposal() == method) return false;
    SetDisposal(f, method);
    return true;
}

bool ApplyInterlaceButton(Frame& f, bool checked) {
    if (f.Interlaced() == checked) return false;
    SetInterlaced(f, checked);
    return true;
}

ToggleOutcome ToggleTransparency(Animation& doc, int selected, bool now_checked, UndoHistory& history) {
    if (!doc.FrameAt(selected)) return ToggleOutcome::None;
    if (now_checked) return ToggleOutcome::OpenPicker;
    return ApplyChoiceWithUndo(doc, selected, ChoiceOff(), history) ? ToggleOutcome::SwitchedOff
                                                                    : ToggleOutcome::None;
}

bool PickTransparencyAccepted(Animation& doc, int selected, const TransparencyChoice& c,
                              UndoHistory& history) {
    return ApplyChoiceWithUndo(doc, selected, c, history);
}

Result RemoveLocalPaletteWithUndo(Animation& doc, int selected, UndoHistory& history, UiHost& host,
                                  ProgressReporter& progress, PreferenceBlock& prefs) {
    const Frame* f = doc.FrameAt(selected);
    if (!f || !f->localPalette) return Result::Failed;
    auto pending = history.Begin(UndoKind::RemoveLocalPalette, &doc, selected);
    const Result r = RemoveLocalPalette(doc, selected, host, progress, prefs);
    if (r == Result::Done) history.Commit(std::move(pending), doc);
    return r;
}

}  // namespace cinemill
