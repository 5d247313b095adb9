#include "RegistryFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ErrnoMap.h"
#include "RegFileFormat.h"

namespace vexplat::detail {

namespace {

constexpr DWORD kErrorBadDb = 1009;  // ERROR_BADDB: the registry file is damaged

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return "/tmp";
}

std::string DirectoryOf(const std::string& path) {
  const size_t cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

// mkdir -p for the folder of the registry file.
bool MakeDirectories(const std::string& dir) {
  struct stat info {};
  if (stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::string parent = DirectoryOf(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

std::optional<std::string> ReadWholeFile(const std::string& path, int* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  ssize_t got;
  while ((got = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
  *error = got < 0 ? errno : 0;
  close(fd);
  if (got < 0) return std::nullopt;
  return bytes;
}

// Holds an exclusive flock on the side file "<registry>.lock".
class FileLock {
 public:
  explicit FileLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace

std::string RegistryFile::Location() {
  if (const char* path = std::getenv("VEXUPD_REGISTRY"); path != nullptr && *path != '\0') return path;
  return HomeDirectory() + "/.config/vexupd/registry.reg";
}

std::optional<RegistryTree> RegistryFile::Read(DWORD* error) const {
  int readError = 0;
  const auto bytes = ReadWholeFile(path_, &readError);
  if (!bytes) {
    if (readError == ENOENT) return RegistryTree();
    *error = Win32ErrorFromErrno(readError);
    return std::nullopt;
  }
  std::string problem;
  auto tree = ParseRegFile(*bytes, &problem);
  if (!tree) {
    std::fprintf(stderr, "vexupd: registry file %s is damaged (%s)\n", path_.c_str(), problem.c_str());
    *error = kErrorBadDb;
  }
  return tree;
}

DWORD RegistryFile::Update(const std::function<DWORD(RegistryTree&)>& change) const {
  if (!MakeDirectories(DirectoryOf(path_))) return ERROR_ACCESS_DENIED;
  FileLock lock(path_ + ".lock");
  if (!lock.Held()) return Win32ErrorFromErrno(errno);
  DWORD error = ERROR_SUCCESS;
  auto tree = Read(&error);
  if (!tree) return error;
  error = change(*tree);
  if (error != ERROR_SUCCESS) return error;
  return WriteAtomically(FormatRegFile(*tree));
}

bool RegistryFile::Writable() const {
  if (access(path_.c_str(), F_OK) == 0) return access(path_.c_str(), W_OK) == 0;
  // A file yet to be made: its nearest existing folder decides.
  std::string dir = DirectoryOf(path_);
  while (access(dir.c_str(), F_OK) != 0 && dir != "/" && dir != ".") dir = DirectoryOf(dir);
  return access(dir.c_str(), W_OK) == 0;
}

DWORD RegistryFile::WriteAtomically(const std::string& text) const {
  static std::atomic<unsigned> counter{0};
  const std::string temporary =
      path_ + ".tmp." + std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1));
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Win32ErrorFromErrno(errno);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    written += static_cast<size_t>(n);
  }
  const int writeError = written == text.size() ? 0 : errno;
  const bool synced = writeError == 0 && fsync(fd) == 0;
  close(fd);
  if (!synced || rename(temporary.c_str(), path_.c_str()) != 0) {
    const int error = writeError != 0 ? writeError : errno;
    unlink(temporary.c_str());
    return Win32ErrorFromErrno(error);
  }
  return ERROR_SUCCESS;
}

}  // namespace vexplat::detail
