#include "ToolConventions.h"

#include <windows.h>

#include <cstdio>

#include "ConsoleText.h"
#include "rtl/Win32Error.h"

namespace toolkit {

const char* ProjectVersion() { return VEXUPD_VERSION; }

std::optional<int> StandardOption(const std::string& Argument, const TToolInfo& Tool) {
  if (Argument == "--help" || Argument == "-h") {
    std::fputs(Tool.Usage, stdout);
  } else if (Argument == "--version") {
    std::printf("%s (vexupd) %s\n", Tool.Name, ProjectVersion());
  } else {
    return std::nullopt;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

std::string UnreadableReason(const std::string& File) {
  // Opened as the tools open their input, so that the reason is the one the
  // system gives for the name as the tools read it (drive letters included).
  const HANDLE file = CreateFileA(File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return rtl::SystemErrorText(GetLastError());
  char probe = 0;
  DWORD got = 0;
  const bool readable = ReadFile(file, &probe, 1, &got, nullptr) != FALSE;
  const DWORD error = GetLastError();
  CloseHandle(file);
  return readable ? std::string() : rtl::SystemErrorText(error);
}

std::string FullPath(const std::string& Path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetFullPathNameA(Path.c_str(), sizeof buffer, buffer, nullptr);
  return length > 0 && length <= MAX_PATH ? std::string(buffer, length) : Path;
}

void ReportUnreadable(const TToolInfo& Tool, const std::string& File, const std::string& Reason) {
  std::fprintf(stderr, "%s: %s: %s\n", Tool.Name, ToConsole(File).c_str(), ToConsole(Reason).c_str());
}

}  // namespace toolkit
