// Profile changes are refused while the window runs: it keeps the list it
// loaded and writes all of it back at its next change, which would undo
// ours. Holding the window's own instance lock for the change keeps a window
// from starting in the middle of it.
#pragma once

#include <string>

#include "platform/HolderLock.h"

namespace tarvik::cli {

class CProfileEditLock {
  public:
    // Empty when the change may go ahead (also when the lock cannot be used
    // at all: a broken lock never keeps the user from the profiles);
    // otherwise the refusal.
    std::string Take();

  private:
    CHolderLock lock_;
};

}  // namespace tarvik::cli
