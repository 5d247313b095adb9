// Elapsed time in seconds from the system tick count; time spent while paused
// (in the caller's event handlers) is not counted. Pauses nest: a handler
// that pauses again inside a paused stretch (an error reported during the
// password search) counts that stretch once.
#pragma once

#include <cstdint>

class TorxTimer {
 public:
  using TTickSource = uint32_t (*)();
  // The tick source is GetTickCount unless a test supplies its own clock.
  explicit TorxTimer(TTickSource tick = nullptr);

  void Start();
  void Stop();
  void Pause();
  void Resume();
  float ElapsedTime() const { return elapsed_; }

 private:
  TTickSource tick_;
  bool running_ = false;
  uint32_t startTick_ = 0;
  uint32_t pausedMs_ = 0;  // paused time already over
  int pauseDepth_ = 0;
  uint32_t pauseTick_ = 0;  // when the outermost pause began
  float elapsed_ = 0.0f;
};

// Pauses a timer for one scope, so that the caller's handlers do not count as
// working time, also when they throw.
class TorxTimerPause {
 public:
  explicit TorxTimerPause(TorxTimer& timer) : timer_(timer) { timer_.Pause(); }
  ~TorxTimerPause() { timer_.Resume(); }
  TorxTimerPause(const TorxTimerPause&) = delete;
  TorxTimerPause& operator=(const TorxTimerPause&) = delete;

 private:
  TorxTimer& timer_;
};

// Passes once per tick of the clock: a step that the decoding loop reaches
// every 32 KB (processing window messages) then runs at most once per tick,
// 10 to 16 ms on Windows, however fast the blocks come. Under Wine each
// PeekMessageA is a round trip to the wine server.
class TTickGate {
 public:
  explicit TTickGate(TorxTimer::TTickSource tick = nullptr);

  bool Pass();

 private:
  TorxTimer::TTickSource tick_;
  bool passed_ = false;
  uint32_t lastTick_ = 0;
};
