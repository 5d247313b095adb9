// FILETIME (100-ns ticks since 1601-01-01 UTC) and POSIX times.
// POSIX-only, internal to platform/.
#pragma once

#include <time.h>

#include <cstdint>

#include <windows.h>

namespace vexplat::detail {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

inline uint64_t TicksOf(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

inline FILETIME FileTimeOfTicks(uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

inline FILETIME FileTimeOf(const timespec& time) {
  const int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond +
                        time.tv_nsec / 100;
  return FileTimeOfTicks(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

inline timespec TimespecOf(const FILETIME& time) {
  const int64_t ticks = static_cast<int64_t>(TicksOf(time));
  timespec result{};
  result.tv_sec = static_cast<time_t>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
  result.tv_nsec = static_cast<long>((ticks % kTicksPerSecond) * 100);
  return result;
}

}  // namespace vexplat::detail
