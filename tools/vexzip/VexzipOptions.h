// The command line of vexzip:
//   vexzip l ARCHIVE | t ARCHIVE [FILESPEC...] | x ARCHIVE [FILESPEC...]
//     -d DIR  -o|-n  -j  -p PASSWORD (repeatable)  -b N  -q  --cp936
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexzip {

enum class Command { List, Test, Extract };
enum class Overwrite { Ask, Always, Never };

struct Options {
  Command command = Command::Extract;
  std::string archive;
  std::vector<std::string> fileSpec;
  std::string extractDir;
  Overwrite overwrite = Overwrite::Ask;
  bool junkPaths = false;
  std::vector<std::string> passwords;
  std::optional<int> commentBufferSize;
  bool quiet = false;      // no progress display, no line per entry
  bool rawOutput = false;  // names in code page 936 as stored
};

// Parses argv[1..]; on a usage error returns nothing and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

const char* UsageText();

}  // namespace vexzip
