#include "app/MenuDefinition.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/AboutText.h"
#include "app/CommandIds.h"

namespace tarvik {
namespace {

// Reads the accelerator a menu text announces after its tab: "Ctrl+O",
// "Ctrl-F", "Ctrl-Shift-R". None when there is no tab.
Accelerator AnnouncedAccelerator(const std::string& text) {
    const std::size_t tab = text.find('\t');
    if (tab == std::string::npos) return {};
    Accelerator announced;
    std::string rest = text.substr(tab + 1);
    for (;;) {
        const std::size_t cut = rest.find_first_of("+-");
        if (cut == std::string::npos) break;
        const std::string modifier = rest.substr(0, cut);
        if (modifier == "Ctrl") {
            announced.ctrl = true;
        } else if (modifier == "Shift") {
            announced.shift = true;
        } else {
            ADD_FAILURE() << "unknown modifier in " << text;
        }
        rest = rest.substr(cut + 1);
    }
    EXPECT_EQ(rest.size(), 1u) << text;
    announced.key = rest.empty() ? '?' : rest[0];
    return announced;
}

void ExpectWellFormed(const std::string& menu, const std::vector<MenuItem>& items) {
    SCOPED_TRACE(menu);
    ASSERT_FALSE(items.empty());
    EXPECT_FALSE(items.front().IsSeparator());
    EXPECT_FALSE(items.back().IsSeparator());
    std::set<int> ids;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        if (item.IsSeparator()) {
            EXPECT_EQ(item.text, "");
            EXPECT_FALSE(items[i - 1].IsSeparator()) << "two separators in a row at " << i;
            continue;
        }
        EXPECT_NE(item.text, "");
        EXPECT_TRUE(ids.insert(item.id).second) << "id " << item.id << " twice";
        EXPECT_EQ(item.accelerator, AnnouncedAccelerator(item.text)) << item.text;
    }
}

TEST(MenuDefinitionTest, MenusAreWellFormedAndAcceleratorsMatchTheirTexts) {
    std::vector<std::string> titles;
    std::set<int> allIds;
    std::size_t itemCount = 0;
    for (const Menu& menu : MainMenuBar()) {
        titles.push_back(menu.title);
        ExpectWellFormed(menu.title, menu.items);
        for (const MenuItem& item : menu.items) {
            if (item.IsSeparator()) continue;
            ++itemCount;
            allIds.insert(item.id);
        }
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&View", "&Mode", "&Network", "&Device",
                                                "&System", "&GPS", "&Help"}));
    EXPECT_EQ(allIds.size(), itemCount) << "an id appears in two menus";
    EXPECT_EQ(itemCount, 33u);
    ExpectWellFormed("context", TableContextMenu());
    ExpectWellFormed("tray", TrayMenu());
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
}

TEST(MenuDefinitionTest, ContextAndTrayMenusHoldTheirOwnCommands) {
    std::vector<std::pair<std::string, int>> context;
    for (const MenuItem& item : TableContextMenu()) context.emplace_back(item.text, item.id);
    EXPECT_EQ(context, (std::vector<std::pair<std::string, int>>{
                           {"Connect", 32776},
                           {"Disconnect", 32772},
                           {"", 0},
                           {"Suitable for Hopping", 32863},
                           {"Remember Network", 32874},
                           {"", 0},
                           {"Signal Graph...", 32827},
                       }));
    ASSERT_EQ(TrayMenu().size(), 2u);
    EXPECT_EQ(TrayMenu()[0].text, "Open");
    EXPECT_EQ(TrayMenu()[0].id, 32862);
    EXPECT_EQ(TrayMenu()[1].text, "Exit");
    EXPECT_EQ(TrayMenu()[1].id, 32861);
    EXPECT_LE(std::string(kTrayToolTip).size(), kTrayToolTipMaxLength);
}

TEST(MenuDefinitionTest, LabelsAndKeySequences) {
    EXPECT_EQ(MenuItemLabel("Hard Ref&resh\tCtrl-Shift-R"), "Hard Ref&resh");
    EXPECT_EQ(MenuItemLabel("Close"), "Close");
    EXPECT_EQ(AcceleratorKeySequence({'1', true, false}), "Ctrl+1");
    EXPECT_EQ(AcceleratorKeySequence({}), "");
    EXPECT_EQ(AboutVersionText(), "1.2 Build 063014");
}

}  // namespace
}  // namespace tarvik
