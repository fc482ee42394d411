#include "cinemill/app/undo_history.h"

#include <algorithm>
#include <new>
#include <unordered_set>
#include <utility>

#include "cinemill/app/command_id.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/imaging/geometry.h"

namespace cinemill {
namespace {

using namespace undo_flags;

uint32_t PackScreen(const Animation& a) { return (a.height << 16) | (a.width & 0xFFFF); }

uint32_t FrameFlags(int index, uint32_t flags) { return (static_cast<uint32_t>(index) << 16) | flags; }

// Kinds 11 and 12 after the transform: a kept screen that differs from the
// current one is put back, and the record keeps the one it replaced.
uint32_t ExchangeScreen(UndoRecord& r, Animation& doc, uint32_t flags) {
    const uint32_t now = PackScreen(doc);
    if (r.screen == now) return flags;
    doc.width = r.screen & 0xFFFF;
    doc.height = r.screen >> 16;
    r.screen = now;
    return (flags & ~kOneFrame) | kDocument | kFrames;
}

// A record of the kind and value; the caller adds what it keeps.
std::unique_ptr<UndoRecord> NewRecord(UndoKind kind, int32_t value) {
    auto r = std::make_unique<UndoRecord>();
    r->kind = kind;
    r->value = value;
    return r;
}

// What `make` copies; none when memory runs out or when `fail` (the tests'
// hook for a failing copy) is set.
template <typename Make>
auto TryCopy(bool fail, Make make) -> decltype(make()) {
    if (fail) return nullptr;
    try {
        return make();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

std::string UndoKindName(UndoKind kind) {
    if (kind == UndoKind::None) return {};
    return std::string(LoadString(static_cast<StringId>(40257 + static_cast<int>(kind))));
}

size_t FrameBytes(const Frame& f) {
    size_t n = sizeof(Frame) + f.name.size() + f.trueColor.size() + f.transparencyPlane.size();
    if (f.bitmap) n += f.bitmap->pixels.size();
    if (f.localPalette) n += f.localPalette->entries.size() * sizeof(Rgb);
    // The file's compressed data is shared with the document's frame, but a
    // snapshot is left holding it alone once the document's frame changes.
    if (f.keptData) n += sizeof(KeptImageData) + f.keptData->subBlocks.size();
    return n;
}

size_t AnimationBytes(const Animation& a) {
    size_t n = sizeof(Animation);
    if (a.globalPalette) n += a.globalPalette->entries.size() * sizeof(Rgb);
    for (const auto& b : a.blocks) {
        if (const Frame* f = AsFrame(b.get())) n += FrameBytes(*f);
        else if (const ExtensionBlock* e = AsExtension(b.get())) n += sizeof(ExtensionBlock) + e->data.size();
    }
    return n;
}

size_t UndoRecord::Bytes() const {
    size_t n = sizeof(UndoRecord);
    if (snapshot) n += AnimationBytes(*snapshot);
    if (frame) n += FrameBytes(*frame);
    for (const auto& b : blocks) {
        if (const Frame* f = AsFrame(b.get())) n += FrameBytes(*f);
        else if (const ExtensionBlock* e = AsExtension(b.get())) n += sizeof(ExtensionBlock) + e->data.size();
    }
    if (palette) n += palette->entries.size() * sizeof(Rgb);
    return n;
}

// ---- recording ---------------------------------------------------------------------

int UndoHistory::Levels() const {
    return static_cast<int>(std::min<uint32_t>(prefs_.Get(PreferenceBlock::kUndoLevels), 1u << 30));
}

void UndoHistory::DropOldest() {
    if (records_.empty()) return;
    records_.pop_front();
    if (current_ >= 0) --current_;
}

bool UndoHistory::Enter(std::unique_ptr<UndoRecord> r) {
    // The redo branch goes first: everything after the current record.
    records_.erase(records_.begin() + (current_ + 1), records_.end());
    const int n = Levels();
    if (n <= 0 || !r) return false;
    while (static_cast<int>(records_.size()) + 1 > n) DropOldest();
    records_.push_back(std::move(r));
    current_ = static_cast<int>(records_.size()) - 1;
    return true;
}

bool UndoHistory::Record(UndoKind kind, int32_t value) { return Enter(NewRecord(kind, value)); }

bool UndoHistory::RecordFrame(UndoKind kind, std::unique_ptr<Frame> f, int32_t value) {
    auto r = NewRecord(kind, value);
    r->frame = std::move(f);
    return Enter(std::move(r));
}

bool UndoHistory::RecordSnapshot(UndoKind kind, std::unique_ptr<Animation> before, int32_t value) {
    auto r = NewRecord(kind, value);
    r->snapshot = std::move(before);
    return Enter(std::move(r));
}

bool UndoHistory::CopyFails() {
    if (failCopies_ > 0) {
        --failCopies_;
        return true;
    }
    return false;
}

void UndoHistory::WarnLowMemory() {
    if (warned_) return;
    warned_ = true;
    host_.Message(std::string(LoadString(StringId::UndoLowMemory)),
                  std::string(LoadString(StringId::UndoWarningCaption)));
}

template <typename Make>
auto UndoHistory::CopyForRecord(Make make) -> decltype(make()) {
    // The redo branch goes first, so that its memory serves the copy.
    records_.erase(records_.begin() + (current_ + 1), records_.end());
    if (Levels() <= 0) return nullptr;
    for (;;) {
        if (auto copy = TryCopy(CopyFails(), make)) return copy;
        WarnLowMemory();
        if (records_.empty()) return nullptr;
        DropOldest();
    }
}

bool UndoHistory::RecordDocumentCopy(UndoKind kind, const Animation& doc, int32_t value) {
    auto copy = CopyForRecord([&] { return CopyAnimation(doc); });
    return copy && RecordSnapshot(kind, std::move(copy), value);
}

bool UndoHistory::RecordFrameCopy(UndoKind kind, const Frame& f, int32_t value) {
    auto copy = CopyForRecord([&] { return std::make_unique<Frame>(f); });
    return copy && RecordFrame(kind, std::move(copy), value);
}

bool UndoHistory::RecordRotation(UndoKind kind, const Animation& doc, int32_t value) {
    auto r = NewRecord(kind, value);
    r->screen = PackScreen(doc);
    return Enter(std::move(r));
}

bool UndoHistory::RecordTransparency(const Frame& f, int frame_index, int count) {
    auto r = NewRecord(UndoKind::EditTransparency, (frame_index << 16) | (count & 0xFFFF));
    r->keptTransparent = f.Transparent();
    r->keptIndex = f.transparentIndex;
    return Enter(std::move(r));
}

bool UndoHistory::RecordPalette(const Palette& before, int32_t frame_index) {
    auto r = NewRecord(UndoKind::EditPalette, frame_index);
    r->palette = before;
    return Enter(std::move(r));
}

// ---- brackets --------------------------------------------------------------------------

std::unique_ptr<UndoRecord> UndoHistory::Begin(UndoKind kind, const Animation* doc, int position) {
    if (Levels() <= 0 || !doc) return nullptr;
    auto r = NewRecord(kind, position);
    r->snapshot = CopyAnimation(*doc);
    if (!r->snapshot || CopyFails()) return nullptr;
    return r;
}

void UndoHistory::Commit(std::unique_ptr<UndoRecord> pending, const Animation& doc) {
    if (!pending) return;
    Animation& before = *pending->snapshot;
    const bool samePalette = before.globalPalette == doc.globalPalette;
    if (pending->kind == UndoKind::RemoveLocalPalette) {
        if (samePalette) {
            pending->frame = RemoveFrame(before, pending->value);
            pending->snapshot.reset();
        }
    } else if (samePalette && before.width == doc.width && before.height == doc.height &&
               before.playCount == doc.playCount && doc.blocks.size() >= before.blocks.size()) {
        // The light form: the document's old blocks are untouched and the
        // added ones stand together where the insertion put them: before the
        // frame at the position, or after the last frame.
        const size_t added = doc.blocks.size() - before.blocks.size();
        size_t start = 0;
        if (pending->value >= 0 && pending->value < before.FrameCount()) {
            start = before.BlockPosOfFrame(pending->value);
        } else {
            for (size_t i = before.blocks.size(); i-- > 0;)
                if (AsFrame(before.blocks[i].get())) {
                    start = i + 1;
                    break;
                }
        }
        pending->blockPos = start;
        pending->blockCount = added;
        int frames = 0;
        for (size_t i = start; i < start + added && i < doc.blocks.size(); ++i)
            if (AsFrame(doc.blocks[i].get())) ++frames;
        pending->value = (frames << 16) | (pending->value & 0xFFFF);
        pending->snapshot.reset();
    }
    Enter(std::move(pending));
}

void UndoHistory::MarkAsNop(const UndoRecord* r) {
    if (current_ < 0 || records_[static_cast<size_t>(current_)].get() != r) return;
    UndoRecord& rec = *records_[static_cast<size_t>(current_)];
    rec = UndoRecord{};
    rec.kind = UndoKind::Nop;
}

// ---- stepping ----------------------------------------------------------------------------

UndoKind UndoHistory::CurrentKind() const {
    return current_ >= 0 ? records_[static_cast<size_t>(current_)]->kind : UndoKind::None;
}

UndoKind UndoHistory::NextKind() const {
    const size_t next = static_cast<size_t>(current_ + 1);
    return next < records_.size() ? records_[next]->kind : UndoKind::None;
}

const UndoRecord* UndoHistory::Current() const {
    return current_ >= 0 ? records_[static_cast<size_t>(current_)].get() : nullptr;
}

std::string UndoHistory::UndoText() const {
    if (!CanUndo()) return std::string(LoadString(StringId::CantUndo));
    return FormatString(StringId::UndoMenuFormat, UndoKindName(CurrentKind()));
}

std::string UndoHistory::RedoText() const {
    if (!CanRedo()) return std::string(LoadString(StringId::CantRedo));
    return FormatString(StringId::RedoMenuFormat, UndoKindName(NextKind()));
}

void UndoHistory::Clear() {
    records_.clear();
    current_ = -1;
}

size_t UndoHistory::HeldBytes() const {
    size_t n = 0;
    for (const auto& r : records_) n += r->Bytes();
    return n;
}

uint32_t UndoHistory::Step(Animation& doc, bool redo) {
    UndoRecord* r = nullptr;
    if (redo) {
        if (!CanRedo()) return 0;
        ++current_;
        r = records_[static_cast<size_t>(current_)].get();
    } else {
        if (!CanUndo()) return 0;
        r = records_[static_cast<size_t>(current_)].get();
        --current_;
    }
    return Apply(*r, doc, redo);
}

uint32_t UndoHistory::Apply(UndoRecord& r, Animation& doc, bool redo) {
    const int index = r.value >> 16;
    const int low = r.value & 0xFFFF;
    switch (r.kind) {
        case UndoKind::FrameMove: {
            const int insertion = index, old = low;
            const int moved = old < insertion ? insertion - 1 : insertion;
            if (redo) MoveFrame(doc, old, insertion);
            else MoveFrame(doc, moved, old > moved ? old + 1 : old);
            return kDocument | kSelector;
        }
        case UndoKind::DeleteFrame:
            if (redo) r.frame = RemoveFrame(doc, r.value);
            else if (r.frame) InsertFrame(doc, r.value, std::move(r.frame));
            return kDocument | kFrameList | kSize;
        case UndoKind::InsertFrames:
        case UndoKind::Paste:
            if (r.snapshot) {
                std::swap(doc, *r.snapshot);
                return kDocument | kFrameList | kFrames;
            }
            // The comments dialog changes the block list without a step of
            // its own, so the kept positions may now lie beyond the end:
            // they are clamped rather than trusted.
            r.blockPos = std::min(r.blockPos, doc.blocks.size());
            if (redo) {
                doc.blocks.insert(doc.blocks.begin() + static_cast<ptrdiff_t>(r.blockPos),
                                  std::make_move_iterator(r.blocks.begin()),
                                  std::make_move_iterator(r.blocks.end()));
                r.blockCount = r.blocks.size();
                r.blocks.clear();
            } else {
                r.blockCount = std::min(r.blockCount, doc.blocks.size() - r.blockPos);
                const auto first = doc.blocks.begin() + static_cast<ptrdiff_t>(r.blockPos);
                const auto last = first + static_cast<ptrdiff_t>(r.blockCount);
                r.blocks.assign(std::make_move_iterator(first), std::make_move_iterator(last));
                doc.blocks.erase(first, last);
            }
            return kDocument | kFrameList | kSize;
        case UndoKind::Optimize: {
            const int before = doc.FrameCount();
            std::swap(doc, *r.snapshot);
            return kDocument | (before != doc.FrameCount() ? kFrameList : 0);
        }
        case UndoKind::Unoptimize:
        case UndoKind::ReducePalette:
            std::swap(doc, *r.snapshot);
            return kDocument;
        case UndoKind::CropMoveFrame: {
            Frame* f = doc.FrameAt(r.value);
            if (!f || !r.frame) return kRepaint;
            const bool sizeDiffers = f->width != r.frame->width || f->height != r.frame->height;
            ExchangeAll(*f, *r.frame);
            return FrameFlags(r.value, kOneFrame | (sizeDiffers ? kSize : 0));
        }
        case UndoKind::CropAnimation:
        case UndoKind::Scale:
            std::swap(doc, *r.snapshot);
            return kDocument | kFrames;
        case UndoKind::RotateFrame: {
            const auto op = RotateOpOf(low);
            Frame* f = doc.FrameAt(index);
            if (!op || !f) return kRepaint;
            RotateFrame(doc, *f, redo ? *op : InverseOf(*op), false);
            return ExchangeScreen(r, doc, FrameFlags(index, kOneFrame | kSize));
        }
        case UndoKind::RotateAll: {
            const auto op = RotateOpOf(r.value);
            if (!op) return kRepaint;
            for (Frame* f : doc.Frames())
                if (RotateFrame(doc, *f, redo ? *op : InverseOf(*op), false) == RotateResult::Failed) break;
            return ExchangeScreen(r, doc, kDocument | kSize);
        }
        case UndoKind::EditTransparency: {
            Frame* f = doc.FrameAt(index);
            if (!f) return kRepaint;
            if (r.frame) {
                ExchangePixels(*f, *r.frame);
                return FrameFlags(index, kOneFrame | kFrameToolbar | kSize);
            }
            const bool wasOn = f->Transparent();
            const uint8_t wasIndex = f->transparentIndex;
            SetTransparent(*f, r.keptTransparent);
            SetTransparentIndex(*f, r.keptIndex);
            r.keptTransparent = wasOn;
            r.keptIndex = wasIndex;
            r.value = (index << 16) | (f->Transparent() ? 1 : 0);
            return FrameFlags(index, kOneFrame | kFrameToolbar);
        }
        case UndoKind::EditAllTransparency:
            std::swap(doc, *r.snapshot);
            return kDocument | kSize;
        case UndoKind::ReduceFrameCount:
            std::swap(doc, *r.snapshot);
            return kDocument | kFrameList | kSize;
        case UndoKind::EditPalette: {
            if (!r.palette) return kRepaint;
            if (r.value < 0) {
                if (doc.globalPalette) std::swap(doc.globalPalette->entries, r.palette->entries);
                return kDocument;
            }
            Frame* f = doc.FrameAt(r.value);
            if (f && f->localPalette) std::swap(f->localPalette->entries, r.palette->entries);
            return FrameFlags(r.value, kOneFrame);
        }
        case UndoKind::RemoveLocalPalette:
            if (r.snapshot) {
                std::swap(doc, *r.snapshot);
                return kDocument | kSize;
            }
            if (Frame* f = doc.FrameAt(r.value); f && r.frame) ExchangePixels(*f, *r.frame);
            return FrameFlags(r.value, kOneFrame | kFrameToolbar | kSize);
        case UndoKind::Reorder:
            ReverseOrder(doc);
            return kDocument | kSelector;
        case UndoKind::FrameProperties:
            // The document (the local palette was removed) or the frame.
            if (r.snapshot) {
                std::swap(doc, *r.snapshot);
                return kDocument | kSelector | kSize;
            }
            if (Frame* f = doc.FrameAt(r.value); f && r.frame) std::swap(*f, *r.frame);
            return kDocument | kSelector | kSize;
        case UndoKind::GlobalFrameProperties:
            if (!r.snapshot) return kRepaint;
            if (r.value == 1) {
                // The Animation page: the header values only.
                std::swap(doc.width, r.snapshot->width);
                std::swap(doc.height, r.snapshot->height);
                std::swap(doc.playCount, r.snapshot->playCount);
                std::swap(doc.backgroundIndex, r.snapshot->backgroundIndex);
                return kDocument | kFrames | kSize;
            }
            std::swap(doc, *r.snapshot);
            return kDocument | kSelector | kSize;
        case UndoKind::EditComments: {
            // Value 0: the comment at blockPos goes out of the document into
            // the record, or back in; value 1: the kept block and the one at
            // blockPos change places.
            const size_t pos = std::min(r.blockPos, doc.blocks.size());
            if (r.value == 1) {
                if (pos < doc.blocks.size() && !r.blocks.empty()) std::swap(doc.blocks[pos], r.blocks.front());
            } else if (r.blocks.empty()) {
                if (pos < doc.blocks.size()) {
                    r.blocks.push_back(std::move(doc.blocks[pos]));
                    doc.blocks.erase(doc.blocks.begin() + static_cast<ptrdiff_t>(pos));
                }
            } else {
                doc.blocks.insert(doc.blocks.begin() + static_cast<ptrdiff_t>(pos), std::move(r.blocks.front()));
                r.blocks.clear();
            }
            return kSize | kRepaint;
        }
        default:
            return kRepaint;
    }
}

}  // namespace cinemill
