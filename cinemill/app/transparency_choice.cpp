#include "cinemill/app/transparency_choice.h"

#include <algorithm>
#include <array>

#include "cinemill/app/undo_history.h"

namespace cinemill {
namespace {

// The indexes of a choice that are merged into the first one.
std::array<bool, 256> MergedSet(const TransparencyChoice& c) {
    std::array<bool, 256> merged{};
    if (c.indexes.empty()) return merged;
    const size_t n = std::min(static_cast<size_t>(std::max(c.count, 0)), c.indexes.size());
    for (size_t i = 1; i < n; ++i) merged[c.indexes[i]] = true;
    merged[c.indexes[0]] = false;  // a repeated first index maps onto itself
    return merged;
}

bool HasUsableIndex(const TransparencyChoice& c) { return c.count >= 1 && !c.indexes.empty(); }

bool AnyPixelIn(const Frame& f, const std::array<bool, 256>& set) {
    if (!f.bitmap) return false;
    const FrameBitmap& b = *f.bitmap;
    for (int y = 0; y < b.height; ++y) {
        const uint8_t* row = b.Row(y);
        for (int x = 0; x < b.width; ++x)
            if (set[row[x]]) return true;
    }
    return false;
}

}  // namespace

TransparencyChoice ChoiceFromFrame(const Frame& f) {
    if (f.Transparent()) return TransparencyChoice{1, {f.transparentIndex}};
    return ChoiceOff();
}

TransparencyChoice ChoiceOff() { return TransparencyChoice{0, {}}; }

TransparencyChoice ChoiceOf(std::vector<uint8_t> indexes) {
    if (indexes.size() > 256) indexes.resize(256);
    const int n = static_cast<int>(indexes.size());
    return TransparencyChoice{n, std::move(indexes)};
}

bool ChoiceChangesFrame(const Frame& f, const TransparencyChoice& c) {
    if (c.count < 0) return false;
    if (c.count == 0) return f.Transparent();
    if (!HasUsableIndex(c)) return false;
    const bool sameIndex = f.Transparent() && f.transparentIndex == c.indexes[0];
    if (c.count == 1) return !sameIndex;
    return !sameIndex || AnyPixelIn(f, MergedSet(c));
}

bool ApplyChoice(Frame& f, const TransparencyChoice& c) {
    if (!ChoiceChangesFrame(f, c)) return false;
    if (c.count == 0) {
        SetTransparent(f, false);
        return true;
    }
    if (c.count >= 2 && f.bitmap) {
        const auto merged = MergedSet(c);
        const uint8_t first = c.indexes[0];
        FrameBitmap& b = *f.bitmap;
        for (int y = 0; y < b.height; ++y) {
            uint8_t* row = b.Row(y);
            for (int x = 0; x < b.width; ++x)
                if (merged[row[x]]) row[x] = first;
        }
    }
    SetTransparentIndex(f, c.indexes[0]);
    SetTransparent(f, true);
    return true;
}

int32_t TransparencyUndoValue(int frame_index, int count) {
    return static_cast<int32_t>((static_cast<uint32_t>(frame_index) << 16) |
                                (static_cast<uint32_t>(count) & 0xFFFF));
}

bool ApplyChoiceWithUndo(Animation& doc, int index, const TransparencyChoice& c, UndoHistory& history) {
    Frame* f = doc.FrameAt(index);
    if (!f || !ChoiceChangesFrame(*f, c)) return false;
    // A merge rewrites pixels, so the step keeps the whole frame; switching
    // or moving the transparent index keeps only the old flag and index.
    if (c.count >= 2)
        history.RecordFrameCopy(UndoKind::EditTransparency, *f, TransparencyUndoValue(index, c.count));
    else
        history.RecordTransparency(*f, index, c.count);
    return ApplyChoice(*f, c);
}

// ---- picker ----------------------------------------------------------------------------------

TransparencyPicker::TransparencyPicker(const TransparencyChoice& c) {
    const size_t n = std::min(static_cast<size_t>(std::max(c.count, 0)), c.indexes.size());
    for (size_t i = 0; i < n; ++i)
        if (!Marked(c.indexes[i])) list_.push_back(c.indexes[i]);
}

bool TransparencyPicker::Marked(int index) const {
    return std::find(list_.begin(), list_.end(), index) != list_.end();
}

void TransparencyPicker::Click(int index, int palette_size) {
    changed_ = true;
    const bool valid = index >= 0 && index < std::min(palette_size, 256);
    switch (mode_) {
        case Mode::Pick:
            list_.clear();
            if (valid) list_.push_back(static_cast<uint8_t>(index));
            break;
        case Mode::Add:
            if (valid && !Marked(index)) list_.push_back(static_cast<uint8_t>(index));
            break;
        case Mode::Remove:
            std::erase(list_, index);
            break;
    }
}

bool TransparencyPicker::Accept(TransparencyChoice& c) const {
    if (!changed_) return false;
    c.indexes = list_;
    c.count = static_cast<int>(list_.size());
    return true;
}

}  // namespace cinemill
