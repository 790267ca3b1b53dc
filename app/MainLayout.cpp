#include <algorithm>

#include "app/MainWindowView.h"

namespace tarvik {

MainWindowLayout ComputeLayout(int clientWidth, int clientHeight) {
    // A window dragged smaller than its margins would give negative sizes.
    const auto atLeastZero = [](int value) { return std::max(value, 0); };
    MainWindowLayout layout;
    layout.statusLine = {10, 10, atLeastZero(clientWidth - 20), 20};
    layout.scanningButton = {10, 34, 120, 23};
    layout.adapterChooser = {140, 35, atLeastZero(clientWidth - 150), 20};
    layout.networkTable = {10, 70, atLeastZero(clientWidth - 20), atLeastZero(clientHeight - 80)};
    return layout;
}

}  // namespace tarvik
