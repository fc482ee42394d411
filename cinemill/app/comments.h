#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/base/strings.h"
#include "cinemill/doc/animation.h"

// The "Edit GIF Comments" dialog's rules: one list entry per comment block
// in block order, and where Add, Edit and Remove act in the block list.
namespace cinemill {

// The list text of a comment: up to its first CR or LF, then " ..." when
// there was a line break.
std::string CommentListEntry(std::string_view text);

// The longest comment the editor takes (one data sub-block and a spare byte).
constexpr size_t kMaxCommentLength = 254;

// The comment editor's OK: an unedited text closes without a change; an
// edited text longer than 254 characters is refused with its message and
// the editor stays open; otherwise the text is taken.
struct CommentEditorOutcome {
    bool close = true;
    bool changed = false;
    std::optional<StringId> message;
    std::optional<StringId> caption;
};
CommentEditorOutcome CommentEditorOk(std::string_view text, bool edited);

// One block-list change the dialog made, so the owner can keep positions
// that refer to the block list (undo records) in step.
struct BlockListEdit {
    size_t position = 0;
    bool inserted = false;  // else removed
};

// The dialog's state over the document's comment blocks. The document is
// changed at once by Add, Edit and Remove.
class CommentsSession {
public:
    explicit CommentsSession(Animation& doc);

    const std::vector<std::string>& entries() const { return entries_; }
    int selected() const { return selected_; }
    // Selects an entry (-1 or out of range: none).
    void Select(int index);
    // Edit and Remove are enabled only while an entry is selected.
    bool EditEnabled() const { return selected_ >= 0; }
    // The full text of the selected comment (the editor starts with it).
    std::string SelectedText() const;

    // Add: a new comment block right after the comment block of the entry
    // before the selected one (after the list head when the first entry is
    // selected or there is no comment; after the last comment block when
    // nothing is selected); its entry goes to that list position and is
    // selected.
    void Add(std::string_view text);
    // Edit: the selected block's text is replaced and its entry rewritten.
    bool Edit(std::string_view text);
    // Remove: the selected block is unlinked and freed, its entry deleted,
    // and the same list index selected when it still exists.
    bool Remove();

    // Done reports a change when anything was added, edited or removed.
    bool changed() const { return changed_; }
    const std::vector<BlockListEdit>& blockEdits() const { return edits_; }

private:
    size_t PositionOf(const Block* b) const;

    Animation& doc_;
    std::vector<Block*> blocks_;  // the comment block of each entry
    std::vector<std::string> entries_;
    std::vector<BlockListEdit> edits_;
    int selected_ = -1;
    bool changed_ = false;
};

}  // namespace cinemill
