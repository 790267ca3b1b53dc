#include "platform/RegHive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarvik {
namespace {

using ::testing::ElementsAre;

TEST(RegHiveTest, SubtreesStopAtSiblingsAndValuesKeepTheirOrderAndFirstSpelling) {
    RegHive hive;
    for (const char* path : {"A\\B\\C", "a\\B C", "A\\B!", "A\\BB"}) hive.CreateKey(path);
    std::vector<std::string> paths;
    for (const RegHive::Key* key : hive.Subtree("a\\b")) paths.push_back(key->path);
    EXPECT_THAT(paths, ElementsAre("A\\B", "A\\B\\C"));
    EXPECT_THAT(hive.Subkeys("A"), ElementsAre("B", "B C", "B!", "BB"));
    EXPECT_TRUE(hive.DeleteKey("A\\B"));
    EXPECT_THAT(hive.Subkeys("A"), ElementsAre("B C", "B!", "BB"));
    EXPECT_TRUE(hive.DeleteKey(""));
    EXPECT_TRUE(hive.HasKey(""));
    EXPECT_TRUE(hive.Subkeys("").empty());

    for (const char* name : {"a", "B", "c", "D"}) hive.SetValue("K", RegValue::MakeDword(name, 1));
    EXPECT_TRUE(hive.DeleteValue("k", "b"));
    EXPECT_FALSE(hive.DeleteValue("k", "b")) << "nothing left to delete";
    EXPECT_TRUE(hive.SetValue("K", RegValue::MakeDword("d", 2)));
    EXPECT_THAT(hive.Values("K"),
                ElementsAre(RegValue::MakeDword("a", 1), RegValue::MakeDword("c", 1),
                            RegValue::MakeDword("D", 2)));
    ASSERT_NE(hive.FindValue("K", "C"), nullptr);
    EXPECT_EQ(hive.FindValue("K", "C")->name, "c") << "the index follows a deletion";
}

}  // namespace
}  // namespace tarvik
