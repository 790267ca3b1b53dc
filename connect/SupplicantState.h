// The supplicant's progress as one process-wide number, shared by the
// connection procedure (which sets 4 before it waits), the receive path (which
// reads it for the progress texts) and the supplicant. Lock-free; callable
// from any thread.
#pragma once

namespace tarvik {

inline constexpr int SUPP_STATE_IDLE = 0;
inline constexpr int SUPP_STATE_CONNECTING = 4;
inline constexpr int SUPP_STATE_PAIRWISE_1 = 5;  // message 1/4 received
inline constexpr int SUPP_STATE_PAIRWISE_2 = 6;  // message 2/4 being built
inline constexpr int SUPP_STATE_PAIRWISE_3 = 7;  // message 3/4 received
inline constexpr int SUPP_STATE_PAIRWISE_4 = 8;  // message 4/4 being built
inline constexpr int SUPP_STATE_GROUP_1 = 9;     // 4/4 sent, or group message 1/2 received
inline constexpr int SUPP_STATE_GROUP_2 = 10;    // group message 2/2 being built
inline constexpr int SUPP_STATE_COMPLETE = 11;   // keys complete

// Stores any value; states 5 to 10 log "Reached pairwise state N/4" or
// "Reached group state N/2" at Info level.
void SetSupplicantState(int state);
int GetSupplicantState();

}  // namespace tarvik
