#include "app/MenuDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/AboutText.h"

namespace tarvik {
namespace {

// The accelerator a menu text announces after its tab ("Ctrl-Shift-R"), in
// key-sequence form ("Ctrl+Shift+R"); "" without a tab.
std::string AnnouncedKeys(const std::string& text) {
    const std::size_t tab = text.find('\t');
    std::string keys = tab == std::string::npos ? "" : text.substr(tab + 1);
    std::replace(keys.begin(), keys.end(), '-', '+');
    return keys;
}

void ExpectWellFormed(const std::string& menu, const std::vector<MenuItem>& items,
                      std::set<int>& ids) {
    SCOPED_TRACE(menu);
    ASSERT_FALSE(items.empty());
    EXPECT_FALSE(items.front().IsSeparator());
    EXPECT_FALSE(items.back().IsSeparator());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        if (item.IsSeparator()) {
            EXPECT_EQ(item.text, "");
            EXPECT_FALSE(items[i - 1].IsSeparator()) << "two separators in a row at " << i;
            continue;
        }
        EXPECT_NE(item.text, "");
        EXPECT_TRUE(ids.insert(item.id).second) << "id " << item.id << " twice";
        EXPECT_EQ(AcceleratorKeySequence(item.accelerator), AnnouncedKeys(item.text)) << item.text;
    }
}

TEST(MenuDefinitionTest, MenusAreWellFormedAndAcceleratorsMatchTheirTexts) {
    std::vector<std::string> titles;
    std::set<int> ids;
    for (const Menu& menu : MainMenuBar()) {
        titles.push_back(menu.title);
        ExpectWellFormed(menu.title, menu.items, ids);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&View", "&Mode", "&Network", "&Device",
                                                "&System", "&GPS", "&Help"}));
    EXPECT_EQ(ids.size(), 33u);
    ExpectWellFormed("context", TableContextMenu(), ids);
    ExpectWellFormed("tray", TrayMenu(), ids);
}

TEST(MenuDefinitionTest, AcceleratorTableBindsEachKeyOnce) {
    const std::vector<AcceleratorBinding> table = AcceleratorTable();
    EXPECT_EQ(table.size(), 17u);
    std::set<std::string> keys;
    for (const AcceleratorBinding& binding : table) {
        EXPECT_TRUE(keys.insert(AcceleratorKeySequence(binding.accelerator)).second)
            << AcceleratorKeySequence(binding.accelerator);
    }
    EXPECT_TRUE(keys.count("Ctrl+R") && keys.count("Ctrl+Shift+R"));
    EXPECT_EQ(MenuItemLabel("Hard Ref&resh\tCtrl-Shift-R"), "Hard Ref&resh");
    EXPECT_EQ(MenuItemLabel("Close"), "Close");
    EXPECT_EQ(AboutVersionText(), "1.2 Build 063014");
}

}  // namespace
}  // namespace tarvik
