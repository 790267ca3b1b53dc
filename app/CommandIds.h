// Command identifiers of the main window's menus, the table's context menu,
// the tray menu and the system menu. The numbers are the program's own and
// stay fixed: menu definitions, accelerators and the controller's dispatch
// all key on them.
#pragma once

namespace tarvik {

enum CommandId : int {
    // File
    ID_FILE_OPEN = 32779,
    ID_FILE_MERGE = 32814,
    ID_FILE_EXPORT = 32900,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_CLOSE = 32813,
    ID_FILE_AUTO_SAVE = 32809,
    ID_FILE_EXIT = 32783,
    // View
    ID_VIEW_CLEAR_ALL = 32800,
    ID_VIEW_FILTERS = 32819,
    ID_VIEW_COLUMNS = 32798,
    ID_VIEW_PROFILES = 32803,
    ID_VIEW_OPTIONS = 32791,
    ID_VIEW_CHANNELS = 32910,
    // Mode
    ID_MODE_SCANNING = 32821,
    ID_MODE_HOPPING = 32788,
    ID_MODE_CONNECTION_MANAGER = 32870,
    // Network
    ID_NETWORK_CONNECT = 32796,
    ID_NETWORK_DISCONNECT = 32789,
    ID_NETWORK_SUITABLE_FOR_HOPPING = 32864,
    ID_NETWORK_REMEMBER = 32875,
    ID_NETWORK_SIGNAL_GRAPH = 32826,
    // Device
    ID_DEVICE_SOFT_REFRESH = 32792,
    ID_DEVICE_HARD_REFRESH = 32793,
    ID_DEVICE_INFORMATION = 32805,
    // System
    ID_SYSTEM_REENUMERATE = 32818,
    ID_SYSTEM_START_WZC = 32808,
    ID_SYSTEM_STOP_WZC = 32807,
    // GPS
    ID_GPS_CONNECT = 32831,
    ID_GPS_DISCONNECT = 32832,
    ID_GPS_TESTER = 32828,
    // Help
    ID_HELP_MANUAL = 32784,
    ID_HELP_CHECK_VERSION = 32804,
    ID_HELP_CREDITS = 32865,
    ID_HELP_ABOUT = 32785,
    // The network table's context menu
    ID_CONTEXT_CONNECT = 32776,
    ID_CONTEXT_DISCONNECT = 32772,
    ID_CONTEXT_SUITABLE_FOR_HOPPING = 32863,
    ID_CONTEXT_REMEMBER = 32874,
    ID_CONTEXT_SIGNAL_GRAPH = 32827,
    // The tray icon's menu
    ID_TRAY_OPEN = 32862,
    ID_TRAY_EXIT = 32861,
    // The system menu's About item
    ID_SYSTEM_MENU_ABOUT = 16,
};

// Private messages that other threads send to the main window.
enum MainWindowMessage : unsigned {
    WM_APP_LOG_TEXT = 0x8101,
    WM_APP_STATUS_TEXT = 0x8102,
    WM_APP_CONNECTION_STARTED = 0x8103,
    WM_APP_CONNECTION_ENDED = 0x8104,
    WM_APP_TRAY_NOTIFY = 0x8201,
};

// Timers of the main window.
enum MainWindowTimer : int {
    TIMER_SOFT_REFRESH = 1,
    TIMER_HARD_REFRESH = 2,
    TIMER_HOPPING = 3,
    // The Device Information page's refresh; the page starts and stops it.
    TIMER_DEVICE_INFO = 5,
    TIMER_AUTO_SAVE = 6,
    TIMER_SIGNAL_GRAPH = 7,
    TIMER_GPS_STATUS = 8,
    TIMER_CONNECTION_STATUS = 9,
    TIMER_CONNECTION_MANAGER = 10,
    // One-shot: a driver that came back while re-enumeration was held off.
    TIMER_DRIVER_RETURNED = 11,
};

}  // namespace tarvik
