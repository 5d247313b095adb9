// Windows command lines: splitting one into arguments and quoting arguments
// into one, with the rules of the Microsoft C runtime. POSIX-only, internal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexplat::detail {

std::vector<std::string> SplitCommandLine(std::string_view commandLine);
std::string QuoteCommandLine(const std::vector<std::string>& arguments);

}  // namespace vexplat::detail
