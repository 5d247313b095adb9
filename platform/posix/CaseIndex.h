// Finding the other spelling of a name in a directory. Windows treats names
// that differ only in case as one file; on POSIX that needs the directory's
// listing, and reading it again for every new file makes filling a folder
// quadratic. So each directory's names are kept, folded, and kept current
// through inotify: every change to the directory, by this process or any
// other, is applied before the next lookup, so no lookup answers from an
// outdated listing. A directory whose watch cannot be set up is read whole,
// as before. POSIX-only, internal to platform/.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace vexplat::detail {

// The entry of `directory` whose name equals `name` but for case, the
// smallest spelling when several exist; nothing when there is none or the
// directory cannot be read. `directoryInfo` is the directory's stat() when
// the caller has just taken it, else null.
std::optional<std::string> FindIgnoringCase(const std::string& directory, const std::string& name,
                                            const struct stat* directoryInfo = nullptr);

}  // namespace vexplat::detail
