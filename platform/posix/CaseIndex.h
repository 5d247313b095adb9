// Finding the other spelling of a name in a directory. Windows treats names
// that differ only in case as one file; on POSIX that needs the directory's
// listing, and reading it again for every new file makes filling a folder
// quadratic. So each directory's names are kept, folded, and kept current
// through inotify: every change to the directory, by this process or any
// other, is applied before the next lookup, so no lookup answers from an
// outdated listing. A directory whose watch cannot be set up is read whole,
// as before.
// A listing is also kept as the answer for its path, without a stat of the
// directory, while every folder on the way to it is watched too: a folder of
// that chain moved, or the directory removed or replaced in its parent, drops
// the listing at once. Removing or replacing a folder further up needs it
// empty, so the directory goes first. Only paths without symbolic links are
// kept so. POSIX-only, internal to platform/.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

namespace vexplat::detail {

// The entry of `directory` whose name equals `name` but for case, the
// smallest spelling when several exist; nothing when there is none or the
// directory cannot be read. `directoryInfo` is the directory's stat() when
// the caller has just taken it, else null.
std::optional<std::string> FindIgnoringCase(const std::string& directory, const std::string& name,
                                            const struct stat* directoryInfo = nullptr);

// A descriptor of a kept folder: while its listing is kept the path names
// it, so a name in it can be opened relative to it without walking the path.
class OpenFolder {
 public:
  explicit OpenFolder(int fd) : fd_(fd) {}
  ~OpenFolder();
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// What a kept listing of `directory` says of `name` (the exact spelling
// when it exists, else the smallest other one; none when no spelling
// exists), without looking at the disk; nothing when no listing of that
// path is kept.
struct ListedName {
  std::optional<std::string> spelling;
  std::shared_ptr<const OpenFolder> folder;  // when the folder could be opened
};
std::optional<ListedName> FindInKeptListing(const std::string& directory, const std::string& name);

}  // namespace vexplat::detail
