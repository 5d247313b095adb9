#include "ConsoleText.h"

#ifndef _WIN32
#include "rtl/Gbk.h"
#endif

namespace vexzip {

#ifdef _WIN32
std::string FromConsole(const std::string& typed) { return typed; }
std::string ToConsole(const std::string& ansi) { return ansi; }
#else
std::string FromConsole(const std::string& typed) { return rtl::Utf8ToGbk(typed); }
std::string ToConsole(const std::string& ansi) { return rtl::GbkToUtf8(ansi); }
#endif

}  // namespace vexzip
