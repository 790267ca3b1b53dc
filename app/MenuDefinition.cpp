#include "app/MenuDefinition.h"

#include "app/CommandIds.h"

namespace tarvik {
namespace {

MenuItem Item(const char* text, int id) {
    return MenuItem{text, id, {}, false};
}
MenuItem Item(const char* text, int id, char key, bool shift = false) {
    return MenuItem{text, id, Accelerator{key, true, shift}, false};
}
MenuItem Check(const char* text, int id) {
    return MenuItem{text, id, {}, true};
}
MenuItem Check(const char* text, int id, char key) {
    return MenuItem{text, id, Accelerator{key, true, false}, true};
}
MenuItem Separator() {
    return MenuItem{};
}

std::vector<Menu> BuildMenuBar() {
    return {
        {"&File",
         {Item("&Open...\tCtrl+O", ID_FILE_OPEN, 'O'),
          Item("&Merge...\tCtrl+M", ID_FILE_MERGE, 'M'), Item("&Export...", ID_FILE_EXPORT),
          Separator(), Item("&Save\tCtrl+S", ID_FILE_SAVE, 'S'),
          Item("Save As...", ID_FILE_SAVE_AS), Item("Close", ID_FILE_CLOSE),
          Check("Auto Save", ID_FILE_AUTO_SAVE), Separator(), Item("Exit", ID_FILE_EXIT)}},
        {"&View",
         {Item("Clear all Access Points", ID_VIEW_CLEAR_ALL), Separator(),
          Item("Apply &Filters...\tCtrl-F", ID_VIEW_FILTERS, 'F'),
          Item("Select Co&lumns...\tCtrl-L", ID_VIEW_COLUMNS, 'L'), Separator(),
          Item("Network Profiles...\tCtrl-N", ID_VIEW_PROFILES, 'N'),
          Item("Options...\tCtrl-P", ID_VIEW_OPTIONS, 'P'), Separator(),
          Item("Channel View", ID_VIEW_CHANNELS)}},
        {"&Mode",
         {Check("Network Scanning\tCtrl-1", ID_MODE_SCANNING, '1'),
          Check("Network Hopping\tCtrl-2", ID_MODE_HOPPING, '2'),
          Check("Connection Manager\tCtrl-3", ID_MODE_CONNECTION_MANAGER, '3')}},
        {"&Network",
         {Item("&Connect\tCtrl-C", ID_NETWORK_CONNECT, 'C'),
          Item("&Disconnect\tCtrl-D", ID_NETWORK_DISCONNECT, 'D'), Separator(),
          Check("Suitable for Hopping", ID_NETWORK_SUITABLE_FOR_HOPPING),
          Check("Remember Network", ID_NETWORK_REMEMBER), Separator(),
          Item("Signal &Graph...\tCtrl-G", ID_NETWORK_SIGNAL_GRAPH, 'G')}},
        {"&Device",
         {Item("Soft Ref&resh\tCtrl-R", ID_DEVICE_SOFT_REFRESH, 'R'),
          Item("Hard Ref&resh\tCtrl-Shift-R", ID_DEVICE_HARD_REFRESH, 'R', true), Separator(),
          Item("Device &Information...\tCtrl-I", ID_DEVICE_INFORMATION, 'I')}},
        {"&System",
         {Item("Re-Enumerate Devices\tCtrl-E", ID_SYSTEM_REENUMERATE, 'E'), Separator(),
          Item("Start Windows Zero Configuration Service...", ID_SYSTEM_START_WZC),
          Item("Stop Windows Zero Configuration Service...", ID_SYSTEM_STOP_WZC)}},
        {"&GPS",
         {Item("Connect To Serial Port", ID_GPS_CONNECT),
          Item("Disconnect From Serial Port", ID_GPS_DISCONNECT), Separator(),
          Item("GPS Tester...", ID_GPS_TESTER)}},
        {"&Help",
         {Item("User Manual", ID_HELP_MANUAL), Separator(),
          Item("Check for newer version...", ID_HELP_CHECK_VERSION), Separator(),
          Item("Credits...", ID_HELP_CREDITS), Item("About Tarvik...", ID_HELP_ABOUT)}},
    };
}

}  // namespace

const std::vector<Menu>& MainMenuBar() {
    static const std::vector<Menu> menus = BuildMenuBar();
    return menus;
}

const std::vector<MenuItem>& TableContextMenu() {
    static const std::vector<MenuItem> items = {
        Item("Connect", ID_CONTEXT_CONNECT),
        Item("Disconnect", ID_CONTEXT_DISCONNECT),
        Separator(),
        Check("Suitable for Hopping", ID_CONTEXT_SUITABLE_FOR_HOPPING),
        Check("Remember Network", ID_CONTEXT_REMEMBER),
        Separator(),
        Item("Signal Graph...", ID_CONTEXT_SIGNAL_GRAPH),
    };
    return items;
}

const std::vector<MenuItem>& TrayMenu() {
    static const std::vector<MenuItem> items = {
        Item("Open", ID_TRAY_OPEN),
        Item("Exit", ID_TRAY_EXIT),
    };
    return items;
}

std::vector<AcceleratorBinding> AcceleratorTable() {
    std::vector<AcceleratorBinding> table;
    for (const Menu& menu : MainMenuBar()) {
        for (const MenuItem& item : menu.items) {
            if (item.accelerator.IsSet()) table.push_back({item.accelerator, item.id});
        }
    }
    return table;
}

std::string AcceleratorKeySequence(const Accelerator& accelerator) {
    if (!accelerator.IsSet()) return {};
    std::string text;
    if (accelerator.ctrl) text += "Ctrl+";
    if (accelerator.shift) text += "Shift+";
    text += accelerator.key;
    return text;
}

std::string MenuItemLabel(const std::string& text) {
    return text.substr(0, text.find('\t'));
}

}  // namespace tarvik
