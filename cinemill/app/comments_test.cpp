#include "cinemill/app/comments.h"

#include <gtest/gtest.h>

#include "cinemill/app/undo_history.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {
namespace {

// The block list as letters: F for a frame, the comment's text otherwise.
std::vector<std::string> Layout(const Animation& a) {
    std::vector<std::string> out;
    for (const auto& b : a.blocks) {
        if (AsFrame(b.get()))
            out.push_back("F");
        else
            out.push_back(CommentText(*AsExtension(b.get())));
    }
    return out;
}

// F, "one", F, "two", F
std::unique_ptr<Animation> MakeDoc() {
    auto a = NewAnimation();
    a->blocks.push_back(std::make_unique<Frame>());
    a->blocks.push_back(NewComment("one"));
    a->blocks.push_back(std::make_unique<Frame>());
    a->blocks.push_back(NewComment("two"));
    a->blocks.push_back(std::make_unique<Frame>());
    return a;
}

TEST(CommentEntries, FirstLineWithEllipsisAfterALineBreak) {
    EXPECT_EQ(CommentListEntry("abc\r\ndef"), "abc ...");
    EXPECT_EQ(CommentListEntry("abc\ndef"), "abc ...");
    EXPECT_EQ(CommentListEntry("abc\r"), "abc ...");
    EXPECT_EQ(CommentListEntry("abc"), "abc");
    EXPECT_EQ(CommentListEntry("\nabc"), " ...");
    EXPECT_EQ(CommentListEntry(""), "");
}

TEST(CommentEditor, The254CharacterRule) {
    const std::string ok(254, 'x');
    const std::string tooLong(255, 'x');
    CommentEditorOutcome o = CommentEditorOk(ok, true);
    EXPECT_TRUE(o.close);
    EXPECT_TRUE(o.changed);
    o = CommentEditorOk(tooLong, true);
    EXPECT_FALSE(o.close);
    EXPECT_FALSE(o.changed);
    ASSERT_TRUE(o.message);
    EXPECT_EQ(LoadString(*o.message),
              "The comment string must be shorter than 255 characters. Use multiple comment blocks if "
              "necessary.");
    EXPECT_EQ(LoadString(*o.caption), "Comment Too Long");
    // Not edited: OK closes without a change, whatever the length.
    o = CommentEditorOk(std::string(400, 'y'), false);
    EXPECT_TRUE(o.close);
    EXPECT_FALSE(o.changed);
    EXPECT_FALSE(o.message);
}

TEST(CommentsSession, ListsCommentsInBlockOrder) {
    auto doc = MakeDoc();
    SetCommentText(*AsExtension(doc->blocks[3].get()), "two\r\nlines");
    CommentsSession s(*doc);
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"one", "two ..."}));
    EXPECT_EQ(s.selected(), -1);
    EXPECT_FALSE(s.EditEnabled());
    s.Select(1);
    EXPECT_TRUE(s.EditEnabled());
    EXPECT_EQ(s.SelectedText(), "two\r\nlines");
    s.Select(5);
    EXPECT_EQ(s.selected(), -1);
    EXPECT_FALSE(s.changed());
}

TEST(CommentsSession, AddPlacement) {
    {  // nothing selected: after the last comment block, at the end of the list
        auto doc = MakeDoc();
        CommentsSession s(*doc);
        s.Add("new");
        EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"F", "one", "F", "two", "new", "F"}));
        EXPECT_EQ(s.entries().back(), "new");
        EXPECT_EQ(s.selected(), 2);
        EXPECT_TRUE(s.changed());
        ASSERT_EQ(s.blockEdits().size(), 1u);
        EXPECT_EQ(s.blockEdits()[0].position, 4u);
        EXPECT_TRUE(s.blockEdits()[0].inserted);
    }
    {  // the first entry selected: right after the list head
        auto doc = MakeDoc();
        CommentsSession s(*doc);
        s.Select(0);
        s.Add("new");
        EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"new", "F", "one", "F", "two", "F"}));
        EXPECT_EQ(s.entries(), (std::vector<std::string>{"new", "one", "two"}));
        EXPECT_EQ(s.selected(), 0);
    }
    {  // a later entry selected: right after the comment before it
        auto doc = MakeDoc();
        CommentsSession s(*doc);
        s.Select(1);
        s.Add("new");
        EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"F", "one", "new", "F", "two", "F"}));
        EXPECT_EQ(s.entries(), (std::vector<std::string>{"one", "new", "two"}));
        EXPECT_EQ(s.selected(), 1);
    }
    {  // no comments at all: after the list head
        auto doc = NewAnimation();
        doc->blocks.push_back(std::make_unique<Frame>());
        CommentsSession s(*doc);
        s.Add("first\nsecond");
        EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"first\nsecond", "F"}));
        EXPECT_EQ(s.entries(), std::vector<std::string>{"first ..."});
    }
}

TEST(CommentsSession, EditAndRemove) {
    auto doc = MakeDoc();
    CommentsSession s(*doc);
    EXPECT_FALSE(s.Edit("x"));  // nothing selected
    EXPECT_FALSE(s.Remove());
    EXPECT_FALSE(s.changed());
    s.Select(0);
    EXPECT_TRUE(s.Edit("edited\nmore"));
    EXPECT_EQ(s.entries()[0], "edited ...");
    EXPECT_EQ(Layout(*doc)[1], "edited\nmore");
    EXPECT_TRUE(s.Remove());
    EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"F", "F", "two", "F"}));
    EXPECT_EQ(s.entries(), std::vector<std::string>{"two"});
    EXPECT_EQ(s.selected(), 0);  // the same index, now the next comment
    ASSERT_EQ(s.blockEdits().size(), 1u);
    EXPECT_EQ(s.blockEdits()[0].position, 1u);
    EXPECT_FALSE(s.blockEdits()[0].inserted);
    EXPECT_TRUE(s.Remove());
    EXPECT_EQ(s.selected(), -1);  // the last entry went: Edit and Remove disabled
    EXPECT_FALSE(s.EditEnabled());
    EXPECT_EQ(Layout(*doc), (std::vector<std::string>{"F", "F", "F"}));
    EXPECT_TRUE(s.changed());
}

TEST(CommentsSession, LongTextsAreCutToTheLimit) {
    auto doc = NewAnimation();
    CommentsSession s(*doc);
    s.Add(std::string(300, 'z'));
    EXPECT_EQ(CommentText(*AsExtension(doc->blocks[0].get())).size(), kMaxCommentLength);
}

// Comment edits are not undo steps, yet they move blocks under a kept
// insertion: stepping that insertion afterwards must stay inside the list.
TEST(CommentsSession, RemovingACommentBeforeAnInsertionKeepsUndoInsideTheList) {
    auto doc = NewAnimation();
    doc->blocks.push_back(NewComment("c"));
    doc->blocks.push_back(std::make_unique<Frame>());
    PreferenceBlock prefs;
    ScriptedUiHost host;
    UndoHistory history(prefs, host);
    auto pending = history.Begin(UndoKind::InsertFrames, doc.get(), -1);
    ASSERT_TRUE(pending);
    doc->blocks.push_back(std::make_unique<Frame>());
    history.Commit(std::move(pending), *doc);
    ASSERT_EQ(history.CurrentKind(), UndoKind::InsertFrames);

    CommentsSession s(*doc);
    s.Select(0);
    ASSERT_TRUE(s.Remove());
    ASSERT_EQ(doc->blocks.size(), 2u);
    history.Step(*doc, false);
    EXPECT_LE(doc->blocks.size(), 2u);
    for (const auto& b : doc->blocks) EXPECT_TRUE(AsFrame(b.get()));
    history.Step(*doc, true);
    EXPECT_EQ(doc->FrameCount(), 2);
}

}  // namespace
}  // namespace cinemill
