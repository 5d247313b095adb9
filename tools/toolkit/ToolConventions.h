// What every command-line tool of the project does alike: --help and -h print
// the usage on standard output, --version the project's version, and a file
// that cannot be read is named with the system's reason before anything else
// is said about it.
#pragma once

#include <optional>
#include <string>

namespace toolkit {

// Tool: the program name; Usage: its whole usage text.
struct TToolInfo {
  const char* Name;
  const char* Usage;
};

// For --help, -h and --version: prints the answer and gives exit code 0;
// nothing for any other argument.
std::optional<int> StandardOption(const std::string& Argument, const TToolInfo& Tool);

// The system's reason why File (in the ANSI code page) cannot be read, "" when
// it can.
std::string UnreadableReason(const std::string& File);

// "NAME: FILE: REASON" on standard error, in the console's encoding.
void ReportUnreadable(const TToolInfo& Tool, const std::string& File, const std::string& Reason);

const char* ProjectVersion();

// Path (ANSI) made absolute: the engine reads a path without drive as one
// below the root of the current drive, where a user means the working
// directory.
std::string FullPath(const std::string& Path);

}  // namespace toolkit
