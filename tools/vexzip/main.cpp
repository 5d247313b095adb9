// vexzip: lists, tests and extracts ZIP archives with the installer's own
// extraction component. Exit status: 0 nothing reported, 1 some entry had an
// error, 2 the run itself failed, 3 usage error.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "ConsoleText.h"
#include "ToolConventions.h"
#include "VexzipConsole.h"
#include "VexzipOptions.h"
#include "archive/UnZip.h"

namespace {

enum ExitCode { kClean = 0, kEntryErrors = 1, kRunFailed = 2, kUsage = 3 };

std::string MethodName(uint32_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: case 3: case 4: case 5: return "Reduce" + std::to_string(method - 1);
    case 6: return "Implode";
    case 8: return "Defl";
    default: return "Unk:" + std::to_string(method);
  }
}

std::string DosDateText(uint32_t dosDateTime) {
  const unsigned date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                time >> 11, (time >> 5) & 63);
  return text;
}

int Percent(uint32_t packed, uint32_t unpacked) {
  if (unpacked == 0) return 0;
  return static_cast<int>(100 - static_cast<double>(packed) * 100 / unpacked + 0.5);
}

void ListEntries(TUnZIP& unzip) {
  std::printf(" Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n");
  std::printf("--------  ------  ------- ---- ---------- ----- --------  ----\n");
  uint64_t totalPacked = 0, totalUnpacked = 0;
  const int32_t count = unzip.List([&](const TListedEntry& entry) {
    std::printf("%8u  %-7s%8u %3d%% %s %08x  %s%s\n", entry.UnpackedSize, MethodName(entry.Method).c_str(),
                entry.PackedSize, Percent(entry.PackedSize, entry.UnpackedSize),
                DosDateText(entry.DosDateTime).c_str(), entry.CRC32, toolkit::ToConsole(entry.Name).c_str(),
                (entry.FlagWord & 1) ? " (encrypted)" : "");
    totalPacked += entry.PackedSize;
    totalUnpacked += entry.UnpackedSize;
  });
  std::printf("--------          ------- ----                            -------\n");
  std::printf("%8llu         %8llu %3d%%                            %d files\n",
              static_cast<unsigned long long>(totalUnpacked), static_cast<unsigned long long>(totalPacked),
              totalUnpacked == 0 ? 0 : static_cast<int>(100 - totalPacked * 100.0 / totalUnpacked + 0.5),
              static_cast<int>(count));
}

void Configure(TUnZIP& unzip, const vexzip::Options& options) {
  // The comment allowance governs how the archive is recognised, so it
  // comes before the archive.
  if (options.commentBufferSize) unzip.SetZipCmntBufSize(*options.commentBufferSize);
  unzip.SetArchiveFile(toolkit::FullPath(options.archive));
  if (!options.extractDir.empty()) unzip.SetExtractDir(toolkit::FullPath(options.extractDir));
  // Patterns match the whole stored path, so they are added as given.
  if (options.fileSpec.empty()) {
    unzip.FileSpec().push_back("*.*");
  } else {
    for (std::string line : options.fileSpec) {
      for (char& c : line) {
        if (c == '/') c = '\\';
      }
      unzip.FileSpec().push_back(line);
    }
  }
  unzip.UseStoredDirs = !options.junkPaths;
  unzip.Passwords = options.passwords;
  unzip.TestOnly = options.command == vexzip::Command::Test;
  if (options.overwrite != vexzip::Overwrite::Ask) {
    unzip.ConfirmOverwrites = false;
    unzip.OverwriteMode = options.overwrite == vexzip::Overwrite::Always ? omOverwrite : omSkip;
  }
}

}  // namespace

int main() {
  const toolkit::TToolInfo tool{"vexzip", vexzip::UsageText()};
  const std::vector<std::string> arguments = toolkit::CommandArguments();
  for (const std::string& argument : arguments) {
    if (const std::optional<int> answered = toolkit::StandardOption(argument, tool)) return *answered;
  }
  std::string error;
  const std::optional<vexzip::Options> options = vexzip::ParseOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "vexzip: %s\n%s", error.c_str(), vexzip::UsageText());
    return kUsage;
  }
  toolkit::SetRawConsoleOutput(options->rawOutput);
  const std::string archiveName = toolkit::ToConsole(options->archive);
  const std::string reason = toolkit::UnreadableReason(toolkit::FullPath(options->archive));
  if (!reason.empty()) {
    toolkit::ReportUnreadable(tool, options->archive, reason);
    return kRunFailed;
  }

  vexzip::Console console;
  TUnZIP unzip;
  try {
    Configure(unzip, *options);
    const bool testing = options->command == vexzip::Command::Test;
    console.Attach(unzip, options->overwrite == vexzip::Overwrite::Ask && !testing,
                   testing ? "testing" : "extracting", options->quiet);
    if (options->command == vexzip::Command::List) {
      ListEntries(unzip);
    } else {
      const int32_t count = unzip.Extract();
      console.EndProgress();
      if (testing && !console.ErrorsReported()) {
        std::printf("No errors detected in %d entries of %s.\n", static_cast<int>(count),
                    archiveName.c_str());
      }
    }
  } catch (const std::exception& e) {
    console.EndProgress();
    std::fprintf(stderr, "vexzip: %s: %s\n", archiveName.c_str(),
                 toolkit::ToConsole(e.what()).c_str());
    return kRunFailed;
  }
  return console.ErrorsReported() ? kEntryErrors : kClean;
}
