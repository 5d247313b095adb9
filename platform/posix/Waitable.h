// Handles that can be waited for (threads, processes). All of them change
// state under one process-wide lock and wake one condition, so a wait on
// several handles sees every change. POSIX-only, internal to platform/.
#pragma once

#include <condition_variable>
#include <mutex>

#include "KernelObject.h"

namespace vexplat::detail {

struct Waitable : KernelObject {
  // Asked with WaitLock() held.
  virtual bool Signaled() const = 0;
};

std::mutex& WaitLock();
std::condition_variable& WaitCondition();

// Runs a state change under the lock and wakes every waiter.
template <typename Change>
void SignalChange(Change&& change) {
  {
    std::lock_guard lock(WaitLock());
    change();
  }
  WaitCondition().notify_all();
}

}  // namespace vexplat::detail
