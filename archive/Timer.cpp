#include "archive/Timer.h"

#include <windows.h>

void TorxTimer::Start() {
  elapsed_ = 0.0f;
  startTick_ = GetTickCount();
}

void TorxTimer::Stop() {
  if (startTick_ == 0) return;
  stopTick_ = GetTickCount();
  elapsed_ = static_cast<float>(stopTick_ - startTick_) / 1000.0f;
  startTick_ = 0;
}

void TorxTimer::Pause() {
  if (startTick_ > 0) pauseTick_ = GetTickCount();
}

void TorxTimer::Resume() {
  if (startTick_ > 0 && pauseTick_ > 0) startTick_ += GetTickCount() - pauseTick_;
}
