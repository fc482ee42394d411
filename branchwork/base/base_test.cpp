#include <gtest/gtest.h>

#include <filesystem>

#include "branchwork/base/file_url.h"
#include "branchwork/base/text_util.h"

namespace branchwork {
namespace {

TEST(FileUrlTest, DrivePathsNativePathsAndAddresses) {
    EXPECT_EQ(FileUrl("C:\\Prog\\help\\start.htm"), "file:///C|/Prog/help/start.htm");
    EXPECT_EQ(FileUrl("/opt/bw/help/start.htm"), "file:///opt/bw/help/start.htm");
    EXPECT_EQ(FileUrl("http://example.com/a.htm"), "http://example.com/a.htm");
    EXPECT_EQ(FileUrl("file:///C|/x.htm"), "file:///C|/x.htm");
    EXPECT_EQ(FileUrl("relative/start.htm"), "relative/start.htm");
    EXPECT_EQ(FileUrl(""), "");
}

TEST(TextUtilTest, WholeNumbers) {
    EXPECT_EQ(ParseWholeNumber("12"), 12);
    EXPECT_EQ(ParseWholeNumber(" -3 "), -3);
    EXPECT_EQ(ParseWholeNumber("2147483647"), 2147483647);
    EXPECT_EQ(ParseWholeNumber("-2147483648"), INT32_MIN);
    EXPECT_FALSE(ParseWholeNumber("2147483648"));
    EXPECT_FALSE(ParseWholeNumber("99999999999999999999999"));
    EXPECT_FALSE(ParseWholeNumber("1x"));
    EXPECT_FALSE(ParseWholeNumber(""));
    EXPECT_FALSE(ParseWholeNumber("-"));
    EXPECT_EQ(NotANumberMessage("abc"), "'abc' is not a valid integer value");
    // Long values are cut to a few dozen characters, never inside a character.
    EXPECT_EQ(NotANumberMessage(std::string(40, 'x')), "'" + std::string(40, 'x') + "' is not a valid integer value");
    EXPECT_EQ(NotANumberMessage(std::string(31'000'000, '7') + "x"),
              "'" + std::string(40, '7') + "...' is not a valid integer value");
    EXPECT_EQ(NotANumberMessage(std::string(39, 'a') + "\xc3\xa9tc"),
              "'" + std::string(39, 'a') + "...' is not a valid integer value");
}

TEST(TextUtilTest, CaseInsensitiveSearchTrimAndPaths) {
    EXPECT_EQ(FindNoCase("<param NAME=\"x\">", "name="), 7u);
    EXPECT_TRUE(ContainsText("Tree_AutoExpand", "TREE_AUTOEXPAND"));
    EXPECT_FALSE(ContainsText("ab", "abc"));
    EXPECT_EQ(Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(StripOneQuotePair("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(FileNamePart("C:\\a\\b.gif"), "b.gif");
    EXPECT_EQ(FileNamePart("/a/b.gif"), "b.gif");
    EXPECT_EQ(DirectoryPart("/a/b.gif"), "/a/");
    EXPECT_EQ(DirectoryPart("b.gif"), "");
    EXPECT_EQ(WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(WithTrailingSeparator("C:\\a"), "C:\\a\\");
    EXPECT_EQ(WithTrailingSeparator("/a/"), "/a/");
    EXPECT_TRUE(HasDriveLetter("c:\\x"));
    EXPECT_FALSE(HasDriveLetter("/x"));
}

TEST(TextUtilTest, SplitLinesHandlesEveryLineEnd) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(TextUtilTest, WriteFileReplacingReplacesWholeFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "bw_base_test_write";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "out.txt").string();
    ASSERT_TRUE(WriteFileReplacing(path, "first version, long"));
    ASSERT_TRUE(WriteFileReplacing(path, "second"));
    std::string back;
    ASSERT_TRUE(ReadTextFile(path, back));
    EXPECT_EQ(back, "second");
    // Only the target remains; no temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_FALSE(WriteFileReplacing((dir / "missing" / "x.txt").string(), "x"));
    EXPECT_FALSE(ReadTextFile((dir / "nope.txt").string(), back));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace branchwork
