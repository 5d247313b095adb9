#include "archive/TargetFinisher.h"

#include <algorithm>
#include <utility>

TTargetFinisher::TTargetFinisher() : fSecondProcessor(std::thread::hardware_concurrency() > 1) {}

TTargetFinisher::~TTargetFinisher() { Stop(); }

void TTargetFinisher::Complete(TFinishedTarget& target) {
  // A date that cannot be set leaves the file as written.
  if (target.LastWrite) SetFileTime(target.Handle, nullptr, nullptr, &*target.LastWrite);
  CloseHandle(target.Handle);
  target.Handle = INVALID_HANDLE_VALUE;
  if (target.Attributes) SetFileAttributesA(target.Path.c_str(), *target.Attributes);
}

std::string TTargetFinisher::KeyOf(const std::string& path) {
  // Folding a DBCS trail byte too only makes two names look alike: one wait more.
  std::string key = path;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return key;
}

void TTargetFinisher::Finish(TFinishedTarget target) {
  std::unique_lock lock(fMutex);
  if (!fWorker.joinable() && (!fSecondProcessor || (!fFinishedOne && !fHeld))) {
    fFinishedOne = true;
    lock.unlock();
    Complete(target);
    return;
  }
  TQueued queued{std::move(target), {}};
  try {
    queued.key = KeyOf(queued.target.Path);
    if (!fWorker.joinable()) {
      fStopping = false;
      fWorker = std::thread([this] { Work(); });
    }
    if (fQueue.size() >= kMostPending) {
      fHeld = false;
      ++fDrainers;
      fChanged.notify_all();
      fChanged.wait(lock, [this] { return fQueue.size() < kMostPending; });
      --fDrainers;
    }
    fQueue.push_back(std::move(queued));
  } catch (...) {
    // No thread or no memory: the target is finished here.
    lock.unlock();
    Complete(queued.target);
    return;
  }
  const bool wake = fQueue.size() >= kWakeBatch;
  lock.unlock();
  if (wake) fChanged.notify_all();
}

bool TTargetFinisher::Pending(const std::string& path) const {
  const std::string key = KeyOf(path);
  std::lock_guard lock(fMutex);
  if (fInHand == key) return true;
  return std::any_of(fQueue.begin(), fQueue.end(), [&key](const TQueued& queued) { return queued.key == key; });
}

bool TTargetFinisher::Idle() const {
  std::lock_guard lock(fMutex);
  return fQueue.empty() && !fInHand;
}

void TTargetFinisher::Drain() {
  std::unique_lock lock(fMutex);
  fHeld = false;
  if (fQueue.empty() && !fInHand) return;
  ++fDrainers;
  fChanged.notify_all();
  fChanged.wait(lock, [this] { return fQueue.empty() && !fInHand; });
  --fDrainers;
}

void TTargetFinisher::Stop() {
  Drain();
  {
    std::lock_guard lock(fMutex);
    fStopping = true;
    fHeld = false;
    fFinishedOne = false;
  }
  fChanged.notify_all();
  if (fWorker.joinable()) fWorker.join();
}

void TTargetFinisher::Hold() {
  std::lock_guard lock(fMutex);
  fHeld = true;
}

void TTargetFinisher::Work() {
  std::unique_lock lock(fMutex);
  for (;;) {
    fChanged.wait(lock, [this] {
      return fStopping || (!fHeld && (fQueue.size() >= kWakeBatch || (fDrainers > 0 && !fQueue.empty())));
    });
    if (fStopping && fQueue.empty()) return;
    // Once awake, the thread empties the queue before it sleeps again.
    while (!fHeld && !fQueue.empty()) {
      TQueued queued = std::move(fQueue.front());
      fQueue.pop_front();
      fInHand = std::move(queued.key);
      lock.unlock();
      Complete(queued.target);
      lock.lock();
      fInHand.reset();
      if (fDrainers > 0) fChanged.notify_all();
    }
  }
}
