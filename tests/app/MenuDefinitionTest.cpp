#include "app/MenuDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvik {
namespace {

// Separators only between items; ids unique across every menu; the keys a
// text announces after its tab ("Ctrl-Shift-R") are the ones it binds.
void ExpectWellFormed(const std::string& menu, const std::vector<MenuItem>& items,
                      std::set<int>& ids, std::map<std::string, int>* bound = nullptr) {
    SCOPED_TRACE(menu);
    ASSERT_FALSE(items.empty());
    EXPECT_FALSE(items.front().IsSeparator() || items.back().IsSeparator());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        if (item.IsSeparator()) {
            EXPECT_FALSE(items[i - 1].IsSeparator()) << "two separators in a row at " << i;
            continue;
        }
        EXPECT_TRUE(ids.insert(item.id).second) << "id " << item.id << " twice";
        const std::size_t tab = item.text.find('\t');
        std::string keys = tab == std::string::npos ? "" : item.text.substr(tab + 1);
        std::replace(keys.begin(), keys.end(), '-', '+');
        EXPECT_EQ(AcceleratorKeySequence(item.accelerator), keys) << item.text;
        EXPECT_EQ(MenuItemLabel(item.text), item.text.substr(0, tab));
        if (bound && item.accelerator.IsSet()) (*bound)[keys] = item.id;
    }
}

// The accelerator table binds each key of the menu bar once, to its item.
TEST(MenuDefinitionTest, MenusAreWellFormedAndTheAcceleratorTableIsTheMenuBarsKeys) {
    std::set<int> ids;
    std::map<std::string, int> bound;
    for (const Menu& menu : MainMenuBar()) ExpectWellFormed(menu.title, menu.items, ids, &bound);
    ExpectWellFormed("context", TableContextMenu(), ids);
    ExpectWellFormed("tray", TrayMenu(), ids);
    std::map<std::string, int> table;
    for (const AcceleratorBinding& binding : AcceleratorTable()) {
        EXPECT_TRUE(table.emplace(AcceleratorKeySequence(binding.accelerator), binding.id).second)
            << AcceleratorKeySequence(binding.accelerator);
    }
    EXPECT_EQ(table, bound);
    EXPECT_TRUE(table.count("Ctrl+R") && table.count("Ctrl+Shift+R"));
}

}  // namespace
}  // namespace tarvik
