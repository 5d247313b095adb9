// Elapsed time in seconds from the system tick count; time spent while paused
// (in the caller's event handlers) is not counted.
#pragma once

#include <cstdint>

class TorxTimer {
 public:
  void Start();
  void Stop();
  void Pause();
  void Resume();
  float ElapsedTime() const { return elapsed_; }

 private:
  uint32_t startTick_ = 0;
  uint32_t stopTick_ = 0;
  uint32_t pauseTick_ = 0;
  float elapsed_ = 0.0f;
};
