// What vexzip shows and asks on the console while the component runs: one
// line per error, the overwrite and password questions (only on a
// terminal), and a progress line on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "archive/UnZip.h"

namespace vexzip {

class Console {
 public:
  Console();

  // Hooks the component's events up to this console. askOverwrite: ask
  // OnFileExists on a terminal (skip elsewhere); without it the component's
  // own settings decide. quiet: no progress and no line per entry.
  void Attach(TUnZIP& unzip, bool askOverwrite, const char* beginVerb, bool quiet);

  bool ErrorsReported() const { return errorsReported_; }
  // Ends a progress line, if one is showing; what standard output holds goes
  // out first, so that it comes before what follows on standard error.
  void EndProgress();

 private:
  void ShowError(const std::string& fileName, const std::string& extra, int32_t id);
  void ShowProgress(const TUnZIP& unzip);
  void ClearProgressLine();
  void AskOverwrite(TUnZIP& unzip, const std::string& fileName, TOverwriteMode& mode);
  void AskPassword(const std::string& fileName, std::string& password, bool& tryAgain);

  bool inputIsTerminal_;
  bool outputIsTerminal_;
  bool errorIsTerminal_;
  bool errorsReported_ = false;
  bool progressShown_ = false;
  std::string currentEntry_;
  std::string entryLine_;  // kept: its room is reused for every entry
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace vexzip
