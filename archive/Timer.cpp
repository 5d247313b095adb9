#include "archive/Timer.h"

#include <windows.h>

namespace {

uint32_t SystemTick() { return GetTickCount(); }

}  // namespace

TorxTimer::TorxTimer(TTickSource tick) : tick_(tick != nullptr ? tick : SystemTick) {}

void TorxTimer::Start() {
  elapsed_ = 0.0f;
  running_ = true;
  startTick_ = tick_();
  pausedMs_ = 0;
  pauseDepth_ = 0;
}

void TorxTimer::Stop() {
  if (!running_) return;
  // Stopped while paused: the open pause does not count either.
  const uint32_t end = pauseDepth_ > 0 ? pauseTick_ : tick_();
  const uint32_t wall = end - startTick_;  // modulo 2^32, like the tick count
  elapsed_ = static_cast<float>(wall - (pausedMs_ < wall ? pausedMs_ : wall)) / 1000.0f;
  running_ = false;
}

void TorxTimer::Pause() {
  if (!running_) return;
  if (pauseDepth_++ == 0) pauseTick_ = tick_();
}

void TorxTimer::Resume() {
  if (!running_ || pauseDepth_ == 0) return;
  if (--pauseDepth_ == 0) pausedMs_ += tick_() - pauseTick_;
}

TTickGate::TTickGate(TorxTimer::TTickSource tick) : tick_(tick != nullptr ? tick : SystemTick) {}

bool TTickGate::Pass() {
  const uint32_t now = tick_();
  if (passed_ && now == lastTick_) return false;
  passed_ = true;
  lastTick_ = now;
  return true;
}
