// Document operations that go through palette merging: insert, remove a
// local palette, paste.
#include "cinemill/base/tell.h"
#include "cinemill/imaging/document_ops.h"

#include <algorithm>

#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/clipboard.h"
#include "cinemill/imaging/palette_merge.h"

namespace cinemill {
namespace {

size_t PosAfterLastFrame(const Animation& a) {
    for (size_t i = a.blocks.size(); i-- > 0;)
        if (a.blocks[i]->kind == BlockKind::Image) return i + 1;
    return 0;
}

// Insert at a block position (blocks.size() + 1 or more: after the last frame).
Result InsertAt(Animation& target, Animation& incoming, size_t pos, UiHost& host,
                ProgressReporter& progress, PreferenceBlock& prefs, uint32_t merge_method) {
    const uint32_t old_w = target.width, old_h = target.height;
    if (incoming.width > target.width || incoming.height > target.height) {
        const uint32_t choice = prefs.AskOrUse(PreferenceBlock::kFrameSizeConflict, host);
        if (choice == 0) return Result::Stopped;
        if (choice & PreferenceBlock::kSizeGrow) {
            target.width = std::max(target.width, incoming.width);
            target.height = std::max(target.height, incoming.height);
        }
    }
    const Result r = MergePalettes(&target, incoming, merge_method, host, progress, prefs);
    if (r != Result::Done) {
        target.width = old_w;
        target.height = old_h;
        return r;
    }
    const int old_count = target.FrameCount();
    if (pos > target.blocks.size()) pos = PosAfterLastFrame(target);
    target.blocks.insert(target.blocks.begin() + static_cast<ptrdiff_t>(pos),
                         std::make_move_iterator(incoming.blocks.begin()),
                         std::make_move_iterator(incoming.blocks.end()));
    incoming.blocks.clear();
    incoming.globalPalette.reset();
    RecountColorUsage(target, true);
    if (old_count == 1 && target.FrameCount() > 1) target.playCount = prefs.DefaultLoop();
    target.cachedSize = -1;
    return Result::Done;
}

}  // namespace

Result InsertAnimation(Animation& target, Animation& incoming, int before_index, UiHost& host,
                       ProgressReporter& progress, PreferenceBlock& prefs, uint32_t merge_method) {
    size_t pos = target.BlockPosOfFrame(before_index);
    if (pos >= target.blocks.size()) pos = target.blocks.size() + 1;
    return InsertAt(target, incoming, pos, host, progress, prefs, merge_method);
}

Result RemoveLocalPalette(Animation& document, int frame_index, UiHost& host,
                          ProgressReporter& progress, PreferenceBlock& prefs) {
    const size_t pos = document.BlockPosOfFrame(frame_index);
    if (pos >= document.blocks.size()) return Result::Done;
    Frame* f = AsFrame(document.blocks[pos].get());
    if (!f->localPalette) return Result::Done;
    std::unique_ptr<Animation> temp;
    std::unique_ptr<Block> backup;
    try {
        temp = HeaderCopy(document);
        backup = CopyBlock(*f);
    } catch (const std::bad_alloc&) {
        temp.reset();
    }
    if (!temp || !backup) {
        Tell(host, StringId::RemoveLocalPaletteNoMemory);
        return Result::Failed;
    }
    std::unique_ptr<Block> taken = std::move(document.blocks[pos]);
    document.blocks.erase(document.blocks.begin() + static_cast<ptrdiff_t>(pos));
    Frame& moved = static_cast<Frame&>(*taken);
    SetGlobalPalette(*temp, SetLocalPalette(moved, std::nullopt));
    temp->blocks.push_back(std::move(taken));
    RecountColorUsage(*temp, true);
    const Result r = InsertAt(document, *temp, pos, host, progress, prefs, 0);
    if (r != Result::Done) {
        // Whatever the merge did to the frame, the copy taken before is put back.
        document.blocks.insert(document.blocks.begin() + static_cast<ptrdiff_t>(pos),
                               std::move(backup));
    }
    return r;
}

Result PasteFrame(std::unique_ptr<Animation>& document, int selected_frame,
                  std::optional<std::span<const uint8_t>> record,
                  std::optional<std::span<const uint8_t>> dib, UiHost& host,
                  ProgressReporter& progress, PreferenceBlock& prefs) {
    progress.SetText(StringId::PastingFrame);
    auto pasted = AnimationFromClipboard(record, dib, host, prefs);
    if (!pasted) {
        progress.End();
        return Result::Failed;
    }
    Result r;
    if (document) {
        r = InsertAnimation(*document, *pasted, selected_frame, host, progress, prefs);
    } else {
        r = MergePalettes(nullptr, *pasted, 0, host, progress, prefs);
        if (r == Result::Done) {
            RecountColorUsage(*pasted, true);
            document = std::move(pasted);
        }
    }
    progress.End();
    return r;
}

}  // namespace cinemill
