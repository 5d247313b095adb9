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

namespace {

// Every pending target, the queued ones and the one in hand, fits a count.
static_assert(TTargetFinisher::kMostPending + 1 <= 0xFF);

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

uint64_t TTargetFinisher::KeyOf(const std::string& path) {
  // Folding a DBCS trail byte too only makes two names look alike: one wait more.
  uint64_t key = 0xCBF29CE484222325u;  // FNV-1a
  for (char c : path) key = (key ^ static_cast<unsigned char>(FoldAscii(c))) * 0x100000001B3u;
  return key;
}

bool TTargetFinisher::TQueued::Names(uint64_t otherKey, const std::string& path) const {
  return key == otherKey && target.Path.size() == path.size() &&
         std::equal(path.begin(), path.end(), target.Path.begin(),
                    [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
}

void TTargetFinisher::Finish(TFinishedTarget target) {
  const uint64_t key = KeyOf(target.Path);
  std::unique_lock lock(fMutex);
  if (!fWorker.joinable() && (!fSecondProcessor || (!fFinishedOne && !fHeld))) {
    fFinishedOne = true;
    lock.unlock();
    Complete(target);
    return;
  }
  TQueued queued{std::move(target), key};
  try {
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
    ++fKeyCounts[key & 0xFF];
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
  const uint64_t key = KeyOf(path);
  std::lock_guard lock(fMutex);
  if (fKeyCounts[key & 0xFF] == 0) return false;
  if (fInHand && fInHand->Names(key, path)) return true;
  return std::any_of(fQueue.begin(), fQueue.end(), [&](const TQueued& queued) { return queued.Names(key, path); });
}

bool TTargetFinisher::Idle() const {
  std::lock_guard lock(fMutex);
  return fQueue.empty() && fInHand == nullptr;
}

void TTargetFinisher::Drain() {
  std::unique_lock lock(fMutex);
  fHeld = false;
  if (fQueue.empty() && fInHand == nullptr) return;
  ++fDrainers;
  fChanged.notify_all();
  fChanged.wait(lock, [this] { return fQueue.empty() && fInHand == nullptr; });
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
      fInHand = &queued;
      lock.unlock();
      Complete(queued.target);
      lock.lock();
      --fKeyCounts[queued.key & 0xFF];
      fInHand = nullptr;
      if (fDrainers > 0) fChanged.notify_all();
    }
  }
}
