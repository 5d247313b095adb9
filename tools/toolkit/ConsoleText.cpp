#include "ConsoleText.h"

#ifndef _WIN32
#include "rtl/Gbk.h"
#endif

namespace toolkit {
namespace {

bool rawOutput = false;

}  // namespace

void SetRawConsoleOutput(bool Raw) { rawOutput = Raw; }

#ifdef _WIN32
bool ConsoleConverts() { return false; }
std::string FromConsole(const std::string& typed) { return typed; }
std::string ToConsole(const std::string& ansi) { return ansi; }
#else
bool ConsoleConverts() { return !rawOutput; }
std::string FromConsole(const std::string& typed) { return rtl::Utf8ToGbk(typed); }
std::string ToConsole(const std::string& ansi) { return rawOutput ? ansi : rtl::GbkToUtf8(ansi); }
#endif

}  // namespace toolkit
