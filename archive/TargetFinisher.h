// Finishes written target files on a second thread: dates the handle,
// closes it and gives the file its attributes by name, in that order, as
// the extraction loop did itself. Closing a new file is the slow call (the
// system, and on Windows a virus scanner, settle the file then); the next
// entry is decoded meanwhile. At most kMostPending files wait; the thread
// starts with the second file (a single file, or a single processor, is
// finished at once, on the caller's thread). Nothing here reports failure:
// the extraction never looked at these results.
#pragma once

#include <windows.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

struct TFinishedTarget {
  HANDLE Handle = INVALID_HANDLE_VALUE;  // taken over: closed by the finisher
  std::optional<FILETIME> LastWrite;
  std::optional<DWORD> Attributes;  // set by name after the close
  std::string Path;
};

class TTargetFinisher {
 public:
  static constexpr size_t kMostPending = 64;
  // The thread sleeps until this many wait (or someone waits for them):
  // one wake-up per file would cost about what the thread saves, and each
  // costs the waking thread a system call. Half the bound leaves room to go
  // on while the thread catches up.
  static constexpr size_t kWakeBatch = 32;

  TTargetFinisher();
  ~TTargetFinisher();
  TTargetFinisher(const TTargetFinisher&) = delete;
  TTargetFinisher& operator=(const TTargetFinisher&) = delete;

  // Queues the target (or finishes it at once); waits while the queue is full.
  void Finish(TFinishedTarget target);
  // True while a target of that name (ASCII letters in any case) waits or is
  // being finished.
  bool Pending(const std::string& path) const;
  bool Idle() const;
  // Returns once every queued target is finished.
  void Drain();
  // Drains and ends the thread; the next Finish starts afresh.
  void Stop();
  // Tests: queued targets stay unfinished until the next Drain (or until the
  // queue is full), so that a later entry meets them pending.
  void Hold();

 private:
  struct TQueued {
    TFinishedTarget target;
    uint64_t key = 0;  // KeyOf the path
    // The same path, ASCII letters in any case.
    bool Names(uint64_t otherKey, const std::string& path) const;
  };
  static void Complete(TFinishedTarget& target);
  // A hash of the path with ASCII letters in upper case.
  static uint64_t KeyOf(const std::string& path);
  void Work();

  const bool fSecondProcessor;
  mutable std::mutex fMutex;
  std::condition_variable fChanged;
  std::deque<TQueued> fQueue;
  const TQueued* fInHand = nullptr;  // the target the thread is finishing
  // Pending targets (queued or in hand) by the low byte of their key: most
  // names are known absent without a look at the queue.
  std::array<uint8_t, 256> fKeyCounts{};
  int fDrainers = 0;  // threads waiting for the queue to empty
  bool fStopping = false;
  bool fHeld = false;
  bool fFinishedOne = false;
  std::thread fWorker;
};
