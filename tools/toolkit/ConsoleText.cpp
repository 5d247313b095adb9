#include "ConsoleText.h"

#include <windows.h>

#include "rtl/Gbk.h"

namespace toolkit {
namespace {

bool rawOutput = false;

// The program's texts are code page 936; a console set to UTF-8 (every POSIX
// terminal, a Windows console after "chcp 65001") needs them converted.
bool SpeaksUtf8(UINT codePage) { return codePage == CP_UTF8; }

std::string AnsiText(LPCWSTR wide) {
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.pop_back();
  return text;
}

}  // namespace

void SetRawConsoleOutput(bool Raw) { rawOutput = Raw; }

// Asked once: a console's code page does not change under a running tool,
// and on Windows each question is a call to the console.
bool ConsoleConverts() {
  static const bool outputSpeaksUtf8 = SpeaksUtf8(GetConsoleOutputCP());
  return !rawOutput && outputSpeaksUtf8;
}

std::string FromConsole(const std::string& typed) {
  static const bool inputSpeaksUtf8 = SpeaksUtf8(GetConsoleCP());
  return inputSpeaksUtf8 ? rtl::Utf8ToGbk(typed) : typed;
}

std::string ToConsole(const std::string& ansi) { return ConsoleConverts() ? rtl::GbkToUtf8(ansi) : ansi; }

std::vector<std::string> CommandArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
  if (split == nullptr) return arguments;
  for (int n = 1; n < count; ++n) arguments.push_back(AnsiText(split[n]));
  LocalFree(split);
  return arguments;
}

}  // namespace toolkit
