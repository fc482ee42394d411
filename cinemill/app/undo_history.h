#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cinemill/doc/animation.h"

namespace cinemill {

class PreferenceBlock;
class UiHost;

// Kinds of history steps; the menu name of kind k is string 40257 + k.
enum class UndoKind : int {
    None = 0,
    FrameMove = 1,
    DeleteFrame = 2,
    InsertFrames = 3,
    Optimize = 4,
    Unoptimize = 5,
    ReducePalette = 6,
    GlobalFrameProperties = 7,  // Global Frame or Animation page
    FrameProperties = 8,        // Frame page
    CropMoveFrame = 9,
    CropAnimation = 10,
    RotateFrame = 11,
    RotateAll = 12,
    EditTransparency = 13,
    EditAllTransparency = 14,
    EditPalette = 15,
    RemoveLocalPalette = 16,
    Reorder = 17,
    EditComments = 18,  // one comment added, edited or removed
    ReduceFrameCount = 19,
    Scale = 20,
    Paste = 21,
    Nop = 22,
};

// The menu name of a kind ("Frame Move", ...); empty for None.
std::string UndoKindName(UndoKind kind);

// Refresh flags a step answers (the shell turns them into view updates):
// frame index in the high 16 bits for the one-frame flags.
namespace undo_flags {
constexpr uint32_t kDocument = 0x01;      // document-level change
constexpr uint32_t kFrameList = 0x02;     // with kDocument: the frame list changed
constexpr uint32_t kFrames = 0x04;        // with kDocument: frames changed (screen, metrics)
constexpr uint32_t kSize = 0x08;          // the encoded size and colour usage are stale
constexpr uint32_t kSelector = 0x10;      // rebuild the frame selector
constexpr uint32_t kOneFrame = 0x20;      // without kDocument: the frame at flags >> 16 changed
constexpr uint32_t kFrameToolbar = 0x40;  // with kOneFrame: reload the tool bar when selected
constexpr uint32_t kRepaint = 0x80;       // repaint only
}  // namespace undo_flags

// One step of the history. What it keeps depends on the kind: a whole
// document (`snapshot`), one frame (`frame`), the blocks an insertion added
// (`blocks`), a palette, or only numbers. Applying a record exchanges the
// document's state with the kept one, so one record serves Undo and Redo.
struct UndoRecord {
    UndoKind kind = UndoKind::None;
    std::unique_ptr<Animation> snapshot;
    std::unique_ptr<Frame> frame;
    std::vector<std::unique_ptr<Block>> blocks;
    int32_t value = 0;
    // Kinds 11, 12: the logical screen when recorded, (height << 16) | width.
    uint32_t screen = 0;
    // Kind 15: the palette before the edit.
    std::optional<Palette> palette;
    // Kind 13 without a frame copy: the transparency flag and index that the
    // step exchanges with the frame's.
    bool keptTransparent = false;
    uint8_t keptIndex = 0;
    // Kinds 3, 21 in the light form: where the added blocks start in the
    // block list and how many there are.
    size_t blockPos = 0;
    size_t blockCount = 0;

    // Bytes this record keeps alive (pixels, palettes, block data).
    size_t Bytes() const;
};

// Bytes an animation's blocks and palettes hold.
size_t AnimationBytes(const Animation& a);
size_t FrameBytes(const Frame& f);

// The linear undo/redo history with its length limit (preference slot 12,
// 0 = nothing is recorded) and the low-memory rule: a copy that cannot be
// made drops the oldest record and tries again (the first time with the
// one-time "Undo Warning"), until no record is left.
class UndoHistory {
public:
    UndoHistory(const PreferenceBlock& prefs, UiHost& host) : prefs_(prefs), host_(host) {}

    // ---- recording ----
    // Enters a prepared record: drops the redo branch, then the oldest
    // records beyond the limit, and makes it current. False (and the record
    // freed) when the undo levels are 0.
    bool Enter(std::unique_ptr<UndoRecord> r);
    // A record keeping only numbers.
    bool Record(UndoKind kind, int32_t value);
    // A record taking over a frame or a whole document the command removed
    // or replaced (no copy is made).
    bool RecordFrame(UndoKind kind, std::unique_ptr<Frame> f, int32_t value);
    bool RecordSnapshot(UndoKind kind, std::unique_ptr<Animation> before, int32_t value = 0);
    // A record keeping a fresh copy of the document (kinds 5, 10, 14, 19, 20)
    // or of one frame (9, 13 with several colours), under the low-memory rule.
    bool RecordDocumentCopy(UndoKind kind, const Animation& doc, int32_t value = 0);
    bool RecordFrameCopy(UndoKind kind, const Frame& f, int32_t value);
    // Kind 11 or 12 with the current logical screen.
    bool RecordRotation(UndoKind kind, const Animation& doc, int32_t value);
    // Kind 13 in its simple form: the frame's transparency before the change.
    bool RecordTransparency(const Frame& f, int frame_index, int count);
    // Kind 15: the palette as it was before the edit.
    bool RecordPalette(const Palette& before, int32_t frame_index_or_minus1);

    // ---- brackets (Insert, Paste, Remove Local Palette) ----
    // A pending record with a copy of the document; none when the undo
    // levels are 0 or there is no document (or the copy cannot be made).
    std::unique_ptr<UndoRecord> Begin(UndoKind kind, const Animation* doc, int position);
    // After the operation succeeded: keeps the light form when it is enough
    // (same global palette and screen for Insert/Paste: only the added
    // blocks; same global palette for Remove Local Palette: only the frame),
    // then enters the record. Dropping the pending record is freeing it.
    void Commit(std::unique_ptr<UndoRecord> pending, const Animation& doc);

    // When `r` is the current record: frees what it keeps and makes it a NOP.
    void MarkAsNop(const UndoRecord* r);

    // ---- stepping ----
    // Undo (redo = false) or Redo; answers the refresh flags, 0 when there
    // was nothing to step.
    uint32_t Step(Animation& doc, bool redo);

    UndoKind CurrentKind() const;  // what Undo would apply
    UndoKind NextKind() const;     // what Redo would apply
    bool CanUndo() const { return CurrentKind() != UndoKind::None; }
    bool CanRedo() const { return NextKind() != UndoKind::None; }
    // "&Undo Frame Move\tCtrl-Z" or "Can't &Undo\tCtrl-Z"; the same for Redo.
    std::string UndoText() const;
    std::string RedoText() const;
    // The last record entered (for MarkAsNop); null when none.
    const UndoRecord* Current() const;

    void Clear();
    int Count() const { return static_cast<int>(records_.size()); }
    size_t HeldBytes() const;
    bool WarningShown() const { return warned_; }

    // Tests: the next n copies fail as if memory had run out.
    void FailNextCopies(int n) { failCopies_ = n; }

private:
    int Levels() const;
    void DropOldest();
    // Drops the redo branch, then answers what `make` copies under the
    // low-memory rule: while the copy fails, the warning is shown once and
    // the oldest record dropped. Null when no levels are kept or even an
    // empty history cannot make room.
    template <typename Make>
    auto CopyForRecord(Make make) -> decltype(make());
    bool CopyFails();
    void WarnLowMemory();
    uint32_t Apply(UndoRecord& r, Animation& doc, bool redo);

    const PreferenceBlock& prefs_;
    UiHost& host_;
    std::deque<std::unique_ptr<UndoRecord>> records_;
    int current_ = -1;  // index of the last applied record, -1 = all undone
    bool warned_ = false;
    int failCopies_ = 0;
};

}  // namespace cinemill
