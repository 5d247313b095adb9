#include "VexzipConsole.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "ConsoleText.h"
#include "archive/MessageTable.h"

namespace vexzip {

namespace {

constexpr int kBarWidth = 40;

std::string ReadAnswer() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::string();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

Console::Console() : inputIsTerminal_(isatty(0) != 0), errorIsTerminal_(isatty(2) != 0) {}

void Console::Attach(TUnZIP& unzip, bool askOverwrite, const char* beginVerb) {
  unzip.OnError = [this](TObject*, const std::string& fileName, const std::string& extra, const std::string&,
                         int32_t id) { ShowError(fileName, extra, id); };
  const std::string verb = beginVerb;
  unzip.OnBegin = [this, verb](TObject*, const std::string& fileName, int32_t, bool&) {
    EndProgress();
    std::printf("%12s: %s\n", verb.c_str(), ToConsole(fileName).c_str());
    std::fflush(stdout);
  };
  if (errorIsTerminal_) {
    unzip.OnProgress = [this](TObject*, uint8_t, uint8_t byArchive) { ShowProgress(byArchive); };
  }
  if (askOverwrite) {
    unzip.ConfirmOverwrites = true;
    unzip.OnFileExists = [this, &unzip](TObject*, const std::string& fileName, rtl::TDateTime,
                                        TOverwriteMode& mode) { AskOverwrite(unzip, fileName, mode); };
  }
  // Without a terminal nobody can answer: an entry no listed password fits
  // is skipped with an error instead.
  if (inputIsTerminal_) {
    unzip.OnGetPassword = [this](TObject*, const std::string& fileName, std::string& password, bool& tryAgain) {
      AskPassword(fileName, password, tryAgain);
    };
  }
}

void Console::ShowError(const std::string& fileName, const std::string& extra, int32_t id) {
  EndProgress();
  errorsReported_ = true;
  std::string line = "vexzip: ";
  if (!fileName.empty()) line += fileName + ": ";
  line += archive::MessageText(id);
  if (!extra.empty()) line += " (" + extra + ")";
  std::fprintf(stderr, "%s [E%d]\n", ToConsole(line).c_str(), static_cast<int>(id));
}

void Console::ShowProgress(uint8_t byArchive) {
  if (byArchive == lastPercent_) return;
  lastPercent_ = byArchive;
  const int filled = byArchive * kBarWidth / 100;
  std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
               std::string(kBarWidth - filled, ' ').c_str(), static_cast<int>(byArchive));
  std::fflush(stderr);
  progressShown_ = true;
}

void Console::EndProgress() {
  if (!progressShown_) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
  std::fflush(stderr);
  progressShown_ = false;
  lastPercent_ = -1;
}

void Console::AskOverwrite(TUnZIP& unzip, const std::string& fileName, TOverwriteMode& mode) {
  EndProgress();
  if (!inputIsTerminal_) {
    mode = omSkip;
    return;
  }
  while (true) {
    std::fprintf(stderr, "replace %s? [y]es, [n]o, [A]ll, [N]one: ", ToConsole(fileName).c_str());
    std::fflush(stderr);
    const std::string answer = ReadAnswer();
    if (answer == "y" || answer == "Y") {
      mode = omOverwrite;
    } else if (answer == "n" || answer.empty()) {
      mode = omSkip;
    } else if (answer == "A") {
      mode = omOverwrite;
      unzip.ConfirmOverwrites = false;
    } else if (answer == "N") {
      mode = omSkip;
      unzip.ConfirmOverwrites = false;
    } else {
      continue;
    }
    return;
  }
}

void Console::AskPassword(const std::string& fileName, std::string& password, bool& tryAgain) {
  EndProgress();
  std::fprintf(stderr, "password for %s (empty to give up): ", ToConsole(fileName).c_str());
  std::fflush(stderr);
  password = FromConsole(ReadAnswer());
  tryAgain = !password.empty();
}

}  // namespace vexzip
