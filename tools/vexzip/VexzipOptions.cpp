#include "VexzipOptions.h"

#include <cerrno>
#include <cstdlib>

namespace vexzip {

const char* UsageText() {
  return "usage: vexzip [OPTIONS] l ARCHIVE\n"
         "       vexzip [OPTIONS] t ARCHIVE [FILESPEC...]\n"
         "       vexzip [OPTIONS] x ARCHIVE [FILESPEC...]\n"
         "Lists (l), tests (t) or extracts (x) a ZIP archive with the update\n"
         "installer's own extraction engine.\n"
         "options:\n"
         "  -d DIR       extract into DIR (default: the archive's directory)\n"
         "  -o           overwrite existing files without asking\n"
         "  -n           never overwrite existing files\n"
         "  -j           do not recreate stored directories\n"
         "  -p PASSWORD  try this password (repeatable)\n"
         "  -b N         allow archive comments of up to N bytes when locating the directory\n"
         "  -q           quiet: no progress display and no line per entry\n"
         "  --cp936      print names in code page 936 as stored, not in the terminal's encoding\n"
         "  -h, --help   show this help and exit\n"
         "  --version    show the version and exit\n"
         "A progress line (bytes done of total, rate, current entry) is shown on\n"
         "standard error while it is a terminal.\n"
         "Exit status: 0 nothing reported, 1 some entry had an error, 2 the run\n"
         "failed (the archive is missing, unreadable or not an archive), 3 usage error.\n";
}

namespace {

std::optional<Command> CommandOf(const std::string& word) {
  if (word == "l") return Command::List;
  if (word == "t") return Command::Test;
  if (word == "x") return Command::Extract;
  return std::nullopt;
}

std::optional<int> NumberOf(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > 0x7FFFFFFF) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const bool takesValue = arg == "-d" || arg == "-p" || arg == "-b";
    if (takesValue && i + 1 >= args.size()) {
      error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    if (arg == "-d") {
      options.extractDir = args[++i];
    } else if (arg == "-p") {
      options.passwords.push_back(args[++i]);
    } else if (arg == "-b") {
      options.commentBufferSize = NumberOf(args[++i]);
      if (!options.commentBufferSize) {
        error = "-b needs a non-negative number, not \"" + args[i] + "\"";
        return std::nullopt;
      }
    } else if (arg == "-o" || arg == "-n") {
      const Overwrite wanted = arg == "-o" ? Overwrite::Always : Overwrite::Never;
      if (options.overwrite != Overwrite::Ask && options.overwrite != wanted) {
        error = "-o and -n exclude each other";
        return std::nullopt;
      }
      options.overwrite = wanted;
    } else if (arg == "-j") {
      options.junkPaths = true;
    } else if (arg == "-q") {
      options.quiet = true;
    } else if (arg == "--cp936") {
      options.rawOutput = true;
    } else {
      error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (positional.size() < 2) {
    error = positional.empty() ? "no command given" : "no archive given";
    return std::nullopt;
  }
  const std::optional<Command> command = CommandOf(positional[0]);
  if (!command) {
    error = "unknown command \"" + positional[0] + "\"";
    return std::nullopt;
  }
  options.command = *command;
  options.archive = positional[1];
  options.fileSpec.assign(positional.begin() + 2, positional.end());
  if (options.command == Command::List && !options.fileSpec.empty()) {
    error = "l takes no file names";
    return std::nullopt;
  }
  return options;
}

}  // namespace vexzip
