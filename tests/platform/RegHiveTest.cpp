#include "platform/RegHive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarvik {
namespace {

using ::testing::ElementsAre;

TEST(RegHiveTest, NormalizesPaths) {
    EXPECT_EQ(RegHive::NormalizePath("\\A\\\\B\\"), "A\\B");
    EXPECT_EQ(RegHive::NormalizePath(""), "");
    EXPECT_EQ(RegHive::NormalizePath("A\\B\x7f"), std::nullopt);
    EXPECT_EQ(RegHive::NormalizePath("A\nB"), std::nullopt);
    EXPECT_TRUE(RegHive::IsValidValueName("any [text] \"here\" \\ ="));
    EXPECT_FALSE(RegHive::IsValidValueName(std::string("nul\0", 4)));
}

TEST(RegHiveTest, CreatesParentsAndKeepsFirstSpelling) {
    RegHive hive;
    EXPECT_TRUE(hive.CreateKey("Software\\Tarvik\\App"));
    EXPECT_TRUE(hive.CreateKey("SOFTWARE\\tarvik\\Other"));
    EXPECT_TRUE(hive.HasKey("software"));
    EXPECT_THAT(hive.Subkeys("Software\\Tarvik"), ElementsAre("App", "Other"));
    std::vector<std::string> paths;
    for (const RegHive::Key* key : hive.Subtree("")) paths.push_back(key->path);
    EXPECT_THAT(paths, ElementsAre("", "Software", "Software\\Tarvik", "Software\\Tarvik\\App",
                                   "Software\\Tarvik\\Other"));
}

TEST(RegHiveTest, SubtreeStopsAtSiblingsWithTheSamePrefix) {
    RegHive hive;
    hive.CreateKey("A\\B\\C");
    hive.CreateKey("A\\B C");
    hive.CreateKey("A\\B!");
    hive.CreateKey("A\\BB");
    std::vector<std::string> paths;
    for (const RegHive::Key* key : hive.Subtree("a\\b")) paths.push_back(key->path);
    EXPECT_THAT(paths, ElementsAre("A\\B", "A\\B\\C"));
    EXPECT_THAT(hive.Subkeys("A"), ElementsAre("B", "B C", "B!", "BB"));
    EXPECT_TRUE(hive.DeleteKey("A\\B"));
    EXPECT_THAT(hive.Subkeys("A"), ElementsAre("B C", "B!", "BB"));
    EXPECT_TRUE(hive.DeleteKey(""));
    EXPECT_TRUE(hive.HasKey(""));
    EXPECT_TRUE(hive.Subkeys("").empty());
}

}  // namespace
}  // namespace tarvik
