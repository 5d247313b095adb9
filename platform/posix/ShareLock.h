// Windows share modes between open handles, also across processes: every
// handle holds shared OFD locks on marker bytes far beyond any file's end,
// saying what it does (reads, writes) and what it refuses to share. A new
// open is tested against the markers of all others. POSIX-only, internal.
#pragma once

#include <windows.h>

namespace vexplat::detail {

// Takes the markers for a handle with `access` and `shareMode` on `fd`, or
// answers false (ERROR_SHARING_VIOLATION set) when an existing handle
// conflicts. The markers go away with the last descriptor of this open.
bool AcquireShareMarkers(int fd, DWORD access, DWORD shareMode);

// Takes the markers without testing: for a file this open has just created,
// which no other handle can have refused to share.
void HoldShareMarkers(int fd, DWORD access, DWORD shareMode);

// Whether some handle on the open file `fd` refuses to share deletion
// (a delete or rename of the file then fails with ERROR_SHARING_VIOLATION).
bool DeleteIsRefused(int fd);

}  // namespace vexplat::detail
