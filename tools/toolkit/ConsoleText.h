// Text between the tools and their console. Inside the program every name and
// message is in the ANSI code page (936). A console that speaks UTF-8 (POSIX
// terminals, a Windows console set to it) gets UTF-8 unless raw output is
// asked for; the arguments come from the command line in the ANSI code page.
#pragma once

#include <string>
#include <vector>

namespace toolkit {

// The program's arguments (without its name), in the ANSI code page.
std::vector<std::string> CommandArguments();

// Text in the console's code page (an answer typed at it, or an argument as
// the program's argument vector holds it on POSIX), in the ANSI code page.
std::string FromConsole(const std::string& typed);
// A name or message of the program, as the console shows it.
std::string ToConsole(const std::string& ansi);

// Whether ToConsole converts (a UTF-8 console, raw output not asked for).
bool ConsoleConverts();

// Raw: ToConsole hands code page 936 bytes over unchanged.
void SetRawConsoleOutput(bool Raw);

}  // namespace toolkit
