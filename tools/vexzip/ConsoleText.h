// Text between vexzip and its console. Inside the program every name and
// message is in the ANSI code page (936), as on Windows, where the console
// shares it. POSIX terminals and argument vectors speak UTF-8 instead.
#pragma once

#include <string>

namespace vexzip {

// An argument or an answer typed at the console, in the ANSI code page.
std::string FromConsole(const std::string& typed);
// A name or message of the program, as the console shows it.
std::string ToConsole(const std::string& ansi);

}  // namespace vexzip
