#include "connect/SupplicantState.h"

#include <atomic>

#include "core/EventLog.h"

namespace tarvik {

namespace {

std::atomic<int> g_state{SUPP_STATE_IDLE};

const char* StateLine(int state) {
    switch (state) {
        case SUPP_STATE_PAIRWISE_1:
            return "Reached pairwise state 1/4";
        case SUPP_STATE_PAIRWISE_2:
            return "Reached pairwise state 2/4";
        case SUPP_STATE_PAIRWISE_3:
            return "Reached pairwise state 3/4";
        case SUPP_STATE_PAIRWISE_4:
            return "Reached pairwise state 4/4";
        case SUPP_STATE_GROUP_1:
            return "Reached group state 1/2";
        case SUPP_STATE_GROUP_2:
            return "Reached group state 2/2";
        default:
            return nullptr;
    }
}

}  // namespace

void SetSupplicantState(int state) {
    g_state.store(state);
    if (const char* line = StateLine(state)) LogInfo("%s", line);
}

int GetSupplicantState() {
    return g_state.load();
}

}  // namespace tarvik
