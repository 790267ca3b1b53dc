// The main window's menu bar, the network table's context menu and the tray
// icon's menu as plain data: texts (with "\t" before the accelerator text),
// command ids and key bindings. The GUI builds its menus and its accelerator
// table from these and nothing else.
#pragma once

#include <string>
#include <vector>

namespace tarvik {

// A key binding: a letter or digit (upper case) with modifiers. key 0 is none.
struct Accelerator {
    char key = 0;
    bool ctrl = false;
    bool shift = false;

    bool IsSet() const { return key != 0; }
    bool operator==(const Accelerator&) const = default;
};

struct MenuItem {
    std::string text;  // "" for a separator
    int id = 0;        // 0 for a separator
    Accelerator accelerator;
    bool checkable = false;  // shows a check mark while its state is on

    bool IsSeparator() const { return id == 0; }
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
};

struct AcceleratorBinding {
    Accelerator accelerator;
    int id = 0;
};

inline constexpr const char* kTrayToolTip = "Tarvik";
// The tray tooltip's limit, in characters.
inline constexpr std::size_t kTrayToolTipMaxLength = 127;

// "&File", "&View", "&Mode", "&Network", "&Device", "&System", "&GPS", "&Help".
const std::vector<Menu>& MainMenuBar();
// Connect, Disconnect, separator, Suitable for Hopping, Remember Network,
// separator, Signal Graph...
const std::vector<MenuItem>& TableContextMenu();
// "Open" and "Exit".
const std::vector<MenuItem>& TrayMenu();
// Every key binding of the menu bar: the window's accelerator table.
std::vector<AcceleratorBinding> AcceleratorTable();

// "Ctrl+O", "Ctrl+Shift+R": the portable key-sequence text of a binding.
std::string AcceleratorKeySequence(const Accelerator& accelerator);
// The item text without its "\t..." accelerator part.
std::string MenuItemLabel(const std::string& text);

}  // namespace tarvik
