// The program's arguments as the system hands them to every program in the
// ANSI code page: the command line split by the rules of the C runtime.
#pragma once

#include <string>
#include <vector>

namespace vexzip {

// Splits a command line into its arguments (the program name first):
// blanks separate, double quotes group, 2n backslashes before a quote give
// n backslashes and the quote groups, 2n+1 give n backslashes and a
// literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace vexzip
