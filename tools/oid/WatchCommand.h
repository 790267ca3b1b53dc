// `tarvik-oid watch`: the scan cycle and the status refresh on their timers,
// without a window, printing the network list once a second.
#pragma once

namespace tarvik::oidtool {

// `argv` starts at the word "watch". 0 when stopped by --seconds or a signal,
// 1 without a driver, 2 on bad arguments.
int RunWatch(int argc, char** argv);

}  // namespace tarvik::oidtool
