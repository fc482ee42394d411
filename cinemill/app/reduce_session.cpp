#include "cinemill/app/reduce_session.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cinemill/app/number_text.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/tell.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace reduce_dialog {

int LargestEntryCount(const Animation& a) {
    int n = a.globalPalette ? a.globalPalette->size() : 0;
    for (const Frame* f : a.Frames())
        if (f->localPalette) n = std::max(n, f->localPalette->size());
    return n;
}

bool Reducible(int largest_entry_count) { return largest_entry_count > 2; }

int FirstColorCount(int largest_entry_count) {
    return 1 << (ColorTableBits(largest_entry_count) - 1);
}

TypedCount ParseColorCount(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    TypedCount t;
    if (ec == std::errc::result_out_of_range) {
        t.value = text.starts_with('-') ? 2 : 256;
        t.replace_text = true;
        return t;
    }
    if (ec != std::errc() || end != text.data() + text.size()) {
        t.value = 2;
        t.replace_text = true;
        return t;
    }
    t.value = static_cast<int>(std::clamp<long long>(v, 2, 256));
    t.replace_text = t.value != v;
    return t;
}

std::string SavingsText(int64_t unreduced_size, int64_t reduced_size) {
    if (unreduced_size <= 0 || reduced_size >= unreduced_size)
        return std::string(LoadString(StringId::SavingsNone));
    const int64_t saved = unreduced_size - reduced_size;
    char pct[32];
    std::snprintf(pct, sizeof pct, "%.1f", static_cast<double>(saved) * 100.0 / static_cast<double>(unreduced_size));
    std::string text = FormatString(StringId::SavingsFormat, GroupedNumber(saved));
    const auto pos = text.find("%.1f%%");
    if (pos != std::string::npos) text.replace(pos, 6, std::string(pct) + "%");
    return text;
}

}  // namespace reduce_dialog

Result ReduceSession::Apply(int colors, bool dither, ProgressReporter& progress, UiHost& host) {
    progress.SetText(StringId::DuplicatingAnimation);
    auto fresh = CopyAnimation(document_);
    if (!fresh) {
        copy_.reset();
        Tell(host, StringId::ReduceCopyNoMemory);
        return Result::Failed;
    }
    colors_ = std::clamp(colors, 2, 256);
    dither_ = dither;
    const Result r = ReduceAnimation(*fresh, colors_, dither_, progress, host, mapper_);
    // A stopped run leaves its copy half reduced: nothing is kept to accept.
    if (r == Result::Done) copy_ = std::move(fresh);
    else copy_.reset();
    return r;
}

std::unique_ptr<Animation> ReduceSession::Accept(PreferenceBlock& prefs) {
    if (!copy_) return nullptr;
    std::swap(document_, *copy_);
    prefs.Set(PreferenceBlock::kColorReduction, PreferenceBlock::EncodeReduction(colors_, dither_));
    return std::move(copy_);
}

}  // namespace cinemill
