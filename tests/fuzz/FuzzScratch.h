// A scratch directory of the fuzzing process, in Windows form, for harnesses
// whose code under test reads its input from a named file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

// TEMP\vexfuzz-<process id>\, made on first use.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string made = std::string(temp) + "vexfuzz-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(made.c_str(), nullptr);
    return made;
  }();
  return dir;
}

// ScratchDir() + Name holding exactly Data; the harness cannot go on without it.
inline std::string WriteScratchFile(const std::string& Name, const uint8_t* Data, size_t Size) {
  const std::string path = ScratchDir() + Name;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::abort();
  DWORD written = 0;
  const bool whole = Size == 0 || (WriteFile(file, Data, static_cast<DWORD>(Size), &written, nullptr) && written == Size);
  CloseHandle(file);
  if (!whole) std::abort();
  return path;
}

}  // namespace fuzz
