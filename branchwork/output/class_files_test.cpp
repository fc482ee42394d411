#include <gtest/gtest.h>

#include <filesystem>

#include "branchwork/model/test_support.h"
#include "branchwork/output/class_files.h"
#include "branchwork/output/markup.h"

namespace branchwork {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

TEST(ClassFilesTest, ExtractsTheThreeMainClassesWhenMissing) {
    ScratchDir dir("classes_extract");
    BwScriptedUiHost host;
    const auto written = ExtractMainClasses(dir.Dir(), host);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0], dir.Dir() + "help/JClass/VoltarixR.class");
    EXPECT_EQ(written[1], dir.Dir() + "help/JClass/VoltanR.class");
    EXPECT_EQ(written[2], dir.Dir() + "help/JClass/VoltarR.class");
    EXPECT_EQ(ReadAll(written[1]), BuiltInClassBytes("VoltanR.class"));
    EXPECT_NE(ReadAll(written[1]).find("PLACEHOLDER VoltanR.class"), std::string::npos);
    EXPECT_TRUE(host.messages.empty());
    // Present already: nothing is written again, even when others are missing.
    std::filesystem::remove(written[2]);
    EXPECT_TRUE(ExtractMainClasses(dir.Dir(), host).empty());
    EXPECT_FALSE(std::filesystem::exists(written[2]));
}

TEST(ClassFilesTest, FailureIsReportedPerFile) {
    ScratchDir dir("classes_fail");
    // A file where the directory should be makes every write fail.
    testing::WriteAll(dir.File("help"), "in the way");
    BwScriptedUiHost host;
    EXPECT_TRUE(ExtractMainClasses(dir.Dir(), host).empty());
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0].text.rfind("An error occurred while trying to extract VoltarixR.class to " + dir.Dir() +
                                              "help/JClass/VoltarixR.class.\n\n",
                                          0),
              0u);
    EXPECT_GT(host.messages[0].text.size(), 80u);  // the system's reason follows
}

TEST(ClassFilesTest, InstalledPlaceholdersCoverEveryClass) {
    // The data directory holds a placeholder for each of the twelve classes,
    // with the same text the program writes.
    const std::string data = std::string(CM_TESTDATA_DIR) + "/../branchwork/data/help/JClass/";
    std::vector<std::string> all = MainClassFiles();
    for (const auto& c : SupportClassFiles()) all.push_back(c);
    ASSERT_EQ(all.size(), 12u);
    for (const auto& c : all) {
        SCOPED_TRACE(c);
        ASSERT_TRUE(std::filesystem::exists(data + c));
        EXPECT_EQ(ReadAll(data + c), PlaceholderClassText(c));
    }
    EXPECT_TRUE(BuiltInClassBytes("Beans.class").empty());
}

}  // namespace
}  // namespace branchwork
