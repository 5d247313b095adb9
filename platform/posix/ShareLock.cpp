#include "ShareLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace vexplat::detail {
namespace {

// Far beyond the end of any real file, so no data range is ever touched.
constexpr off_t kMarkerBase = 0x7FFFFFFF00000000LL;

enum Marker : off_t {
  kReads = 0,        // a handle has read access
  kWrites = 1,       // a handle has write access
  kDeniesRead = 2,   // a handle does not share reading
  kDeniesWrite = 3,  // a handle does not share writing
  kDeniesDelete = 4  // a handle does not share deletion
};

struct flock MarkerRange(Marker marker, short type) {
  struct flock range{};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = kMarkerBase + marker;
  range.l_len = 1;
  return range;
}

// Another open file description holds this marker.
bool IsHeldByOthers(int fd, Marker marker) {
  struct flock probe = MarkerRange(marker, F_WRLCK);
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

bool Hold(int fd, Marker marker) {
  struct flock range = MarkerRange(marker, F_RDLCK);
  return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

// What a handle does and what it shares.
struct Intent {
  Intent(DWORD access, DWORD shareMode)
      : reads((access & (GENERIC_READ | GENERIC_ALL)) != 0),
        writes((access & (GENERIC_WRITE | GENERIC_ALL)) != 0),
        sharesRead((shareMode & FILE_SHARE_READ) != 0),
        sharesWrite((shareMode & FILE_SHARE_WRITE) != 0),
        sharesDelete((shareMode & FILE_SHARE_DELETE) != 0) {}
  bool reads, writes, sharesRead, sharesWrite, sharesDelete;
};

// A descriptor that cannot hold read locks (write-only) takes no part.
void Hold(int fd, const Intent& intent) {
  if (intent.reads) Hold(fd, kReads);
  if (intent.writes) Hold(fd, kWrites);
  if (!intent.sharesRead) Hold(fd, kDeniesRead);
  if (!intent.sharesWrite) Hold(fd, kDeniesWrite);
  if (!intent.sharesDelete) Hold(fd, kDeniesDelete);
}

// Serialises test-and-take between processes (flock is separate from the
// record locks and works on descriptors of any access).
class OpenGuard {
 public:
  explicit OpenGuard(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~OpenGuard() { flock(fd_, LOCK_UN); }
  OpenGuard(const OpenGuard&) = delete;
  OpenGuard& operator=(const OpenGuard&) = delete;

 private:
  int fd_;
};

}  // namespace

bool AcquireShareMarkers(int fd, DWORD access, DWORD shareMode) {
  const Intent intent(access, shareMode);
  // Opens for neither reading nor writing (attribute queries) take no part.
  if (!intent.reads && !intent.writes) return true;

  OpenGuard guard(fd);
  const bool conflict = (intent.reads && IsHeldByOthers(fd, kDeniesRead)) ||
                        (intent.writes && IsHeldByOthers(fd, kDeniesWrite)) ||
                        (!intent.sharesRead && IsHeldByOthers(fd, kReads)) ||
                        (!intent.sharesWrite && IsHeldByOthers(fd, kWrites));
  if (conflict) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  Hold(fd, intent);
  return true;
}

void HoldShareMarkers(int fd, DWORD access, DWORD shareMode) {
  const Intent intent(access, shareMode);
  if (intent.reads || intent.writes) Hold(fd, intent);
}

bool DeleteIsRefused(int fd) { return IsHeldByOthers(fd, kDeniesDelete); }

}  // namespace vexplat::detail
