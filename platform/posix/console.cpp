// The standard handles and the one console question the programs ask.
#include <windows.h>

#include <unistd.h>

#include "KernelObject.h"

namespace {

// Standard input, output or error: the descriptor stays the process's.
struct StandardStream : vexplat::KernelObject {
  explicit StandardStream(int descriptor) : fd(descriptor) {}
  int fd;
};

constexpr DWORD kInputMode = 0x0007;   // processed, line and echo input
constexpr DWORD kOutputMode = 0x0003;  // processed output, wrap at end of line

}  // namespace

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  static StandardStream* const streams[] = {new StandardStream(0), new StandardStream(1), new StandardStream(2)};
  switch (nStdHandle) {
    case STD_INPUT_HANDLE: return vexplat::ToHandle(streams[0]);
    case STD_OUTPUT_HANDLE: return vexplat::ToHandle(streams[1]);
    case STD_ERROR_HANDLE: return vexplat::ToHandle(streams[2]);
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
  }
}

BOOL WINAPI GetConsoleMode(HANDLE hConsoleHandle, LPDWORD lpMode) {
  const auto* stream = vexplat::FromHandle<StandardStream>(hConsoleHandle);
  if (stream == nullptr || lpMode == nullptr || isatty(stream->fd) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpMode = stream->fd == 0 ? kInputMode : kOutputMode;
  return TRUE;
}

UINT WINAPI GetConsoleCP() { return CP_UTF8; }
UINT WINAPI GetConsoleOutputCP() { return CP_UTF8; }
