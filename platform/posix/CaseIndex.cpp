#include "CaseIndex.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "PathMap.h"

namespace vexplat::detail {
namespace {

// Windows compares names without regard to case. For UTF-8 names (as on
// disk) folding the letters A-Z is enough: no byte of a multi-byte UTF-8
// character is a letter.
char FoldedByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names hashed and compared as their folded spellings, without a folded copy.
struct FoldedHash {
  size_t operator()(const std::string& name) const {
    size_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(FoldedByte(c))) * 1099511628211ull;
    return hash;
  }
};
struct FoldedEqual {
  bool operator()(const std::string& a, const std::string& b) const {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldedByte(x) == FoldedByte(y); });
  }
};

// The names of one directory; the spellings of one folded name are neighbours.
class NameIndex {
 public:
  void Add(const std::string& name) {
    if (!Contains(name)) names_.insert(name);
  }
  void Remove(const std::string& name) {
    const auto [first, last] = names_.equal_range(name);
    const auto exact = std::find(first, last, name);
    if (exact != last) names_.erase(exact);
  }
  // The exact spelling when it exists; of several others (POSIX allows
  // them) the same one every time.
  std::optional<std::string> Find(const std::string& name) const {
    const auto [first, last] = names_.equal_range(name);
    if (first == last) return std::nullopt;
    if (std::find(first, last, name) != last) return name;
    return *std::min_element(first, last);
  }

 private:
  bool Contains(const std::string& name) const {
    const auto [first, last] = names_.equal_range(name);
    return std::find(first, last, name) != last;
  }

  std::unordered_multiset<std::string, FoldedHash, FoldedEqual> names_;
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

// "/a/b" and "c" make "/a/b/c"; "/" and "c" make "/c".
std::string ChildPath(const std::string& directory, const char* name) {
  std::string path;
  path.reserve(directory.size() + 1 + std::strlen(name));
  if (directory != "/") path += directory;
  path += '/';
  path += name;
  return path;
}

// The folders on the way to an absolute path, from "/" to its parent.
std::vector<std::string> Ancestors(const std::string& path) {
  std::vector<std::string> folders;
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    folders.push_back(path.substr(0, slash));
  }
  if (path.size() > 1) folders.insert(folders.begin(), "/");
  return folders;
}

bool IsAtOrBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
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

  std::optional<ListedName> FindKept(const std::string& directory, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    ApplyChanges();
    const auto known = byPath_.find(directory);
    if (known == byPath_.end() || !known->second.pathKept) return std::nullopt;
    known->second.lastUse = ++clock_;
    return ListedName{known->second.names.Find(name), known->second.folder};
  }

 private:
  struct Listing {
    dev_t device;
    ino_t inode;
    int watch;
    NameIndex names;
    uint64_t lastUse;
    std::vector<int> chain;  // watches of the folders on the way, when the path is kept
    bool pathKept = false;
    std::shared_ptr<const OpenFolder> folder;  // of a kept path
  };
  // What one watch is for: the listing of a path, and the folder of that
  // path on the way to kept listings.
  struct WatchUse {
    std::string listing;
    std::string chainFolder;
    int chainUses = 0;
  };
  using Listings = std::unordered_map<std::string, Listing>;
  static constexpr size_t kMostListings = 256;
  // Descriptors held for the latest kept folders only: the program's own
  // files need the descriptors more.
  static constexpr size_t kMostOpenFolders = 16;
  static constexpr uint32_t kChanges =
      IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
  // A folder further up can only go or be replaced once it is empty, so its
  // moves are enough; the parent also tells when the directory goes.
  static constexpr uint32_t kAncestorChanges = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
  static constexpr uint32_t kParentChanges = kAncestorChanges | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

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
    if (const auto other = watches_.find(watch); other != watches_.end() && !other->second.listing.empty()) {
      Forget(byPath_.find(other->second.listing), false);
    }
    auto names = ReadNames(directory);
    if (!names) {
      if (!watches_.contains(watch)) inotify_rm_watch(queue_, watch);
      return nullptr;
    }
    watches_[watch].listing = directory;
    Listing& listing = byPath_[directory] = Listing{info.st_dev, info.st_ino, watch, std::move(*names), ++clock_, {}, false, nullptr};
    listing.pathKept = WatchChain(directory, info, listing.chain);
    if (listing.pathKept) HoldOpen(listing, directory, info);
    if (!listing.pathKept) DropChain(listing.chain);
    ApplyChanges();
    const auto started = byPath_.find(directory);  // a change applied may have ended it
    return started != byPath_.end() && started->second.watch == watch ? &started->second : nullptr;
  }

  // Watches the folders on the way to `directory`, then checks that the path
  // still names the directory read and has no symbolic link in it.
  bool WatchChain(const std::string& directory, const struct stat& info, std::vector<int>& chain) {
    const std::vector<std::string> folders = Ancestors(directory);
    for (size_t i = 0; i < folders.size(); ++i) {
      const uint32_t mask = i + 1 == folders.size() ? kParentChanges : kAncestorChanges;
      const int watch = inotify_add_watch(queue_, folders[i].c_str(), mask);
      if (watch < 0) return false;
      WatchUse& use = watches_[watch];
      // One folder reached by two paths (a bind mount) cannot say which changed.
      if (use.chainUses > 0 && use.chainFolder != folders[i]) return false;
      use.chainFolder = folders[i];
      ++use.chainUses;
      chain.push_back(watch);
    }
    char* real = realpath(directory.c_str(), nullptr);
    const bool plain = real != nullptr && directory == real;
    free(real);
    struct stat now;
    return plain && stat(directory.c_str(), &now) == 0 && now.st_dev == info.st_dev && now.st_ino == info.st_ino;
  }

  void HoldOpen(Listing& listing, const std::string& directory, const struct stat& info) {
    listing.folder = OpenSame(directory, info);
    if (!listing.folder) return;
    openFolders_.push_back(directory);
    if (openFolders_.size() <= kMostOpenFolders) return;
    if (const auto oldest = byPath_.find(openFolders_.front()); oldest != byPath_.end()) oldest->second.folder.reset();
    openFolders_.pop_front();
  }

  // The directory `info` describes, opened by its path; null when the path
  // names another one now.
  static std::shared_ptr<const OpenFolder> OpenSame(const std::string& directory, const struct stat& info) {
    const int fd = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto folder = std::make_shared<const OpenFolder>(fd);
    struct stat opened;
    const bool same = fstat(fd, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino;
    return same ? folder : nullptr;
  }

  void DropChain(std::vector<int>& chain) {
    for (const int watch : chain) {
      const auto use = watches_.find(watch);
      if (use == watches_.end() || --use->second.chainUses > 0) continue;
      use->second.chainFolder.clear();
      Release(use);
    }
    chain.clear();
  }

  // Removes a watch nothing uses any more.
  void Release(std::unordered_map<int, WatchUse>::iterator use) {
    if (!use->second.listing.empty() || use->second.chainUses > 0) return;
    inotify_rm_watch(queue_, use->first);
    watches_.erase(use);
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
    const auto use = watches_.find(event.wd);
    if (use == watches_.end()) return;  // a watch already given up
    const std::string listingPath = use->second.listing;
    const std::string chainFolder = use->second.chainFolder;
    if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
      if (!chainFolder.empty()) ForgetAtOrBelow(chainFolder);
      if (const auto listing = byPath_.find(listingPath); listing != byPath_.end()) {
        Forget(listing, !(event.mask & IN_IGNORED));
      }
      if (event.mask & IN_IGNORED) watches_.erase(event.wd);
      return;
    }
    if (event.len == 0) return;
    // A folder on the way to kept listings went or was replaced.
    if ((event.mask & IN_ISDIR) && (event.mask & (IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))) {
      if (!chainFolder.empty()) ForgetAtOrBelow(ChildPath(chainFolder, event.name));
      if (!listingPath.empty()) ForgetAtOrBelow(ChildPath(listingPath, event.name));
    }
    const auto listing = byPath_.find(listingPath);
    if (listing == byPath_.end()) return;
    if (event.mask & (IN_CREATE | IN_MOVED_TO)) listing->second.names.Add(event.name);
    if (event.mask & (IN_DELETE | IN_MOVED_FROM)) listing->second.names.Remove(event.name);
  }

  void Forget(Listings::iterator listing, bool removeWatch) {
    DropChain(listing->second.chain);
    const auto use = watches_.find(listing->second.watch);
    byPath_.erase(listing);
    if (use == watches_.end()) return;
    use->second.listing.clear();
    if (removeWatch) {
      Release(use);
    } else if (use->second.chainUses == 0) {
      watches_.erase(use);  // gone already, or taken over by another path
    }
  }

  void ForgetAtOrBelow(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& [path, listing] : byPath_) {
      if (IsAtOrBelow(path, folder)) paths.push_back(path);
    }
    for (const std::string& path : paths) {
      if (const auto listing = byPath_.find(path); listing != byPath_.end()) Forget(listing, true);
    }
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
  std::unordered_map<int, WatchUse> watches_;
  uint64_t clock_ = 0;
  std::deque<std::string> openFolders_;  // paths of listings holding a descriptor, oldest first
  alignas(inotify_event) char events_[16 * 1024];
};

WatchedListings& Listings() {
  static WatchedListings listings;
  return listings;
}

}  // namespace

OpenFolder::~OpenFolder() { close(fd_); }

std::optional<std::string> FindIgnoringCase(const std::string& directory, const std::string& name,
                                            const struct stat* directoryInfo) {
  return Listings().Find(directory, name, directoryInfo);
}

std::optional<ListedName> FindInKeptListing(const std::string& directory, const std::string& name) {
  return Listings().FindKept(directory, name);
}

}  // namespace vexplat::detail
