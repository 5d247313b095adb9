// Text between the tools and their console. Inside the program every name and
// message is in the ANSI code page (936), as on Windows, where the console
// shares it. POSIX terminals and argument vectors speak UTF-8 instead, unless
// raw output is asked for.
#pragma once

#include <string>

namespace toolkit {

// An argument or an answer typed at the console, in the ANSI code page.
std::string FromConsole(const std::string& typed);
// A name or message of the program, as the console shows it.
std::string ToConsole(const std::string& ansi);

// Whether ToConsole converts (a UTF-8 terminal, raw output not asked for).
bool ConsoleConverts();

// Raw: ToConsole hands code page 936 bytes over unchanged.
void SetRawConsoleOutput(bool Raw);

}  // namespace toolkit
