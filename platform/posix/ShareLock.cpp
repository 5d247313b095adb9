#include "ShareLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace vexplat::detail {
namespace {

// Far beyond the end of any real file, so no data range is ever touched.
constexpr off_t kMarkerBase = 0x7FFFFFFF00000000LL;

// Ordered so that the usual handles hold one run of markers, taken with one
// lock: reading {reads}, writing without sharing writes {reads..deniesDelete}.
enum Marker : off_t {
  kReads = 0,         // a handle has read access
  kWrites = 1,        // a handle has write access
  kDeniesWrite = 2,   // a handle does not share writing
  kDeniesDelete = 3,  // a handle does not share deletion
  kDeniesRead = 4,    // a handle does not share reading
  kMarkers = 5
};

struct flock MarkerRange(off_t first, off_t count, short type) {
  struct flock range{};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = kMarkerBase + first;
  range.l_len = count;
  return range;
}

// Another open file description holds this marker.
bool IsHeldByOthers(int fd, Marker marker) {
  struct flock probe = MarkerRange(marker, 1, F_WRLCK);
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

void Hold(int fd, off_t first, off_t count) {
  struct flock range = MarkerRange(first, count, F_RDLCK);
  fcntl(fd, F_OFD_SETLK, &range);
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
// Each run of adjacent markers is taken with one lock.
void Hold(int fd, const Intent& intent) {
  bool held[kMarkers] = {};
  held[kReads] = intent.reads;
  held[kWrites] = intent.writes;
  held[kDeniesWrite] = !intent.sharesWrite;
  held[kDeniesDelete] = !intent.sharesDelete;
  held[kDeniesRead] = !intent.sharesRead;
  for (off_t first = 0; first < kMarkers;) {
    off_t end = first;
    while (end < kMarkers && held[end]) ++end;
    if (end > first) Hold(fd, first, end - first);
    first = end + 1;
  }
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
