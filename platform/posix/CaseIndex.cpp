#include "CaseIndex.h"

#include <dirent.h>
#include <limits.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "PathMap.h"

namespace vexplat::detail {
namespace {

// The names of one directory, by their folded spelling.
class NameIndex {
 public:
  void Add(const std::string& name) {
    std::vector<std::string>& spellings = byFolded_[FoldUtf8Case(name)];
    if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.push_back(name);
  }
  void Remove(const std::string& name) {
    const auto it = byFolded_.find(FoldUtf8Case(name));
    if (it == byFolded_.end()) return;
    std::erase(it->second, name);
    if (it->second.empty()) byFolded_.erase(it);
  }
  // Several spellings may exist on POSIX; the same one is taken every time.
  std::optional<std::string> Find(const std::string& name) const {
    const auto it = byFolded_.find(FoldUtf8Case(name));
    if (it == byFolded_.end()) return std::nullopt;
    return *std::min_element(it->second.begin(), it->second.end());
  }

 private:
  std::unordered_map<std::string, std::vector<std::string>> byFolded_;
};

std::optional<NameIndex> ReadNames(const std::string& directory) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return std::nullopt;
  NameIndex names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.Add(entry->d_name);
  }
  return names;
}

// The listings of the directories looked into lately, each watched so that
// a change made since it was read is applied before it is used.
class WatchedListings {
 public:
  WatchedListings() = default;
  WatchedListings(const WatchedListings&) = delete;
  WatchedListings& operator=(const WatchedListings&) = delete;
  ~WatchedListings() {
    if (queue_ >= 0) close(queue_);
  }

  std::optional<std::string> Find(const std::string& directory, const std::string& name,
                                  const struct stat* directoryInfo) {
    std::lock_guard<std::mutex> lock(mutex_);
    struct stat taken;
    if (directoryInfo == nullptr && stat(directory.c_str(), &taken) != 0) return std::nullopt;
    const struct stat& info = directoryInfo != nullptr ? *directoryInfo : taken;
    if (!S_ISDIR(info.st_mode)) return std::nullopt;
    ApplyChanges();
    if (const Listing* listing = Current(directory, info)) return listing->names.Find(name);
    const auto names = ReadNames(directory);
    return names ? names->Find(name) : std::nullopt;
  }

 private:
  struct Listing {
    dev_t device;
    ino_t inode;
    int watch;
    NameIndex names;
    uint64_t lastUse;
  };
  using Listings = std::unordered_map<std::string, Listing>;
  static constexpr size_t kMostListings = 256;
  static constexpr uint32_t kChanges =
      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

  // The listing of the directory `info` describes, read now when there is
  // none yet; nothing when the directory cannot be watched.
  Listing* Current(const std::string& directory, const struct stat& info) {
    const auto known = byPath_.find(directory);
    if (known != byPath_.end()) {
      if (known->second.device == info.st_dev && known->second.inode == info.st_ino) {
        known->second.lastUse = ++clock_;
        return &known->second;
      }
      Forget(known, true);  // another directory now has that path
    }
    return Start(directory, info);
  }

  Listing* Start(const std::string& directory, const struct stat& info) {
    if (queue_ < 0) queue_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (queue_ < 0) return nullptr;
    if (byPath_.size() >= kMostListings) ForgetLeastRecentlyUsed();
    // Watched before it is read: what changes while it is read is queued.
    const int watch = inotify_add_watch(queue_, directory.c_str(), kChanges);
    if (watch < 0) return nullptr;
    // The same directory reached by another path shares the watch.
    if (const auto other = pathOfWatch_.find(watch); other != pathOfWatch_.end()) {
      Forget(byPath_.find(other->second), false);
    }
    auto names = ReadNames(directory);
    if (!names) {
      inotify_rm_watch(queue_, watch);
      return nullptr;
    }
    pathOfWatch_[watch] = directory;
    byPath_[directory] = Listing{info.st_dev, info.st_ino, watch, std::move(*names), ++clock_};
    ApplyChanges();
    const auto started = byPath_.find(directory);  // a change applied may have ended it
    return started != byPath_.end() && started->second.watch == watch ? &started->second : nullptr;
  }

  void ApplyChanges() {
    while (queue_ >= 0) {
      const ssize_t got = read(queue_, events_, sizeof events_);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno != EAGAIN) ForgetAll();  // changes may have been lost
      if (got <= 0) return;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events_ + at);
        Apply(*event);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      // Room for one more event left over: the queue was empty.
      if (static_cast<size_t>(got) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof events_) return;
    }
  }

  void Apply(const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) return ForgetAll();
    const auto path = pathOfWatch_.find(event.wd);
    if (path == pathOfWatch_.end()) return;  // a watch already given up
    const auto listing = byPath_.find(path->second);
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) return Forget(listing, !(event.mask & IN_IGNORED));
    if (event.len == 0) return;
    if (event.mask & (IN_CREATE | IN_MOVED_TO)) listing->second.names.Add(event.name);
    if (event.mask & (IN_DELETE | IN_MOVED_FROM)) listing->second.names.Remove(event.name);
  }

  void Forget(Listings::iterator listing, bool removeWatch) {
    if (removeWatch) inotify_rm_watch(queue_, listing->second.watch);
    pathOfWatch_.erase(listing->second.watch);
    byPath_.erase(listing);
  }

  void ForgetLeastRecentlyUsed() {
    const auto oldest = std::min_element(byPath_.begin(), byPath_.end(), [](const auto& a, const auto& b) {
      return a.second.lastUse < b.second.lastUse;
    });
    Forget(oldest, true);
  }

  void ForgetAll() {
    while (!byPath_.empty()) Forget(byPath_.begin(), true);
  }

  std::mutex mutex_;
  int queue_ = -1;
  Listings byPath_;
  std::unordered_map<int, std::string> pathOfWatch_;
  uint64_t clock_ = 0;
  alignas(inotify_event) char events_[16 * 1024];
};

}  // namespace

std::optional<std::string> FindIgnoringCase(const std::string& directory, const std::string& name,
                                            const struct stat* directoryInfo) {
  static WatchedListings listings;
  return listings.Find(directory, name, directoryInfo);
}

}  // namespace vexplat::detail
