#include "cinemill/app/comments.h"

namespace cinemill {

std::string CommentListEntry(std::string_view text) {
    const size_t brk = text.find_first_of("\r\n");
    if (brk == std::string_view::npos) return std::string(text);
    return std::string(text.substr(0, brk)) + " ...";
}

CommentEditorOutcome CommentEditorOk(std::string_view text, bool edited) {
    CommentEditorOutcome o;
    if (!edited) return o;
    if (text.size() > kMaxCommentLength) {
        o.close = false;
        o.message = StringId::CommentTooLong;
        o.caption = StringId::CommentTooLongCaption;
        return o;
    }
    o.changed = true;
    return o;
}

CommentsSession::CommentsSession(Animation& doc) : doc_(doc) {
    for (const auto& b : doc_.blocks)
        if (b->kind == BlockKind::Comment) {
            blocks_.push_back(b.get());
            entries_.push_back(CommentListEntry(CommentText(*AsExtension(b.get()))));
        }
}

void CommentsSession::Select(int index) {
    selected_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
}

std::string CommentsSession::SelectedText() const {
    if (selected_ < 0) return {};
    return CommentText(*AsExtension(blocks_[static_cast<size_t>(selected_)]));
}

size_t CommentsSession::PositionOf(const Block* b) const {
    for (size_t i = 0; i < doc_.blocks.size(); ++i)
        if (doc_.blocks[i].get() == b) return i;
    return doc_.blocks.size();
}

void CommentsSession::Add(std::string_view text) {
    const std::string_view kept = text.substr(0, kMaxCommentLength);
    size_t listPos = entries_.size();
    size_t blockPos = 0;
    if (selected_ >= 0) {
        listPos = static_cast<size_t>(selected_);
        if (listPos > 0) blockPos = PositionOf(blocks_[listPos - 1]) + 1;
    } else if (!blocks_.empty()) {
        blockPos = PositionOf(blocks_.back()) + 1;
    }
    auto block = NewComment(kept);
    Block* raw = block.get();
    doc_.blocks.insert(doc_.blocks.begin() + static_cast<ptrdiff_t>(blockPos), std::move(block));
    blocks_.insert(blocks_.begin() + static_cast<ptrdiff_t>(listPos), raw);
    entries_.insert(entries_.begin() + static_cast<ptrdiff_t>(listPos), CommentListEntry(kept));
    edits_.push_back({blockPos, true});
    selected_ = static_cast<int>(listPos);
    changed_ = true;
}

bool CommentsSession::Edit(std::string_view text) {
    if (selected_ < 0) return false;
    const std::string_view kept = text.substr(0, kMaxCommentLength);
    const size_t i = static_cast<size_t>(selected_);
    SetCommentText(*AsExtension(blocks_[i]), kept);
    entries_[i] = CommentListEntry(kept);
    changed_ = true;
    return true;
}

bool CommentsSession::Remove() {
    if (selected_ < 0) return false;
    const size_t i = static_cast<size_t>(selected_);
    const size_t pos = PositionOf(blocks_[i]);
    if (pos < doc_.blocks.size()) {
        doc_.blocks.erase(doc_.blocks.begin() + static_cast<ptrdiff_t>(pos));
        edits_.push_back({pos, false});
    }
    blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(i));
    entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(i));
    Select(selected_);
    changed_ = true;
    return true;
}

}  // namespace cinemill
