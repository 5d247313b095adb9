#include "VexzipConsole.h"

#include <windows.h>

#include <cstdio>
#include <iostream>

#include "ConsoleText.h"
#include "archive/MessageTable.h"

namespace vexzip {

using toolkit::FromConsole;
using toolkit::ToConsole;

namespace {

// Wide enough for the figures, narrow enough for any terminal.
constexpr size_t kLineWidth = 79;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kOutputBuffer = 64 * 1024;

std::string Bytes(double count) {
  const char* units[] = {"B", "KB", "MB", "GB"};
  int unit = 0;
  while (count >= 1024 && unit < 3) {
    count /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", count, units[unit]);
  return text;
}

// The end of a name that is too long for the line, cut at a character.
std::string TailOf(const std::string& text, size_t width) {
  if (text.size() <= width) return text;
  if (width <= 3) return std::string();
  size_t at = text.size() - width + 3;
  // Not inside a UTF-8 character.
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  return "..." + text.substr(at);
}

std::string ReadAnswer() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::string();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A console, not merely a character device: on Windows NUL is one too.
bool IsConsole(DWORD standardHandle) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(standardHandle), &mode) != FALSE;
}

}  // namespace

Console::Console()
    : inputIsTerminal_(IsConsole(STD_INPUT_HANDLE)),
      outputIsTerminal_(IsConsole(STD_OUTPUT_HANDLE)),
      errorIsTerminal_(IsConsole(STD_ERROR_HANDLE)) {
  // Lines go out whole: the Windows runtime leaves standard output unbuffered
  // on a console and on NUL, and an unbuffered fwrite costs one write per
  // character. A console still gets each entry's line at once (flushed).
  std::setvbuf(stdout, nullptr, outputIsTerminal_ ? _IOLBF : _IOFBF, kOutputBuffer);
}

void Console::Attach(TUnZIP& unzip, bool askOverwrite, const char* beginVerb, bool quiet) {
  unzip.OnError = [this](TObject*, const std::string& fileName, const std::string& extra, const std::string&,
                         int32_t id) { ShowError(fileName, extra, id); };
  // The verb right-aligned in 12 columns, made once: a line is one write.
  std::string prefix = beginVerb;
  if (prefix.size() < 12) prefix.insert(0, 12 - prefix.size(), ' ');
  prefix += ": ";
  unzip.OnBegin = [this, prefix, quiet](TObject*, const std::string& fileName, int32_t, bool&) {
    currentEntry_ = fileName;
    if (quiet) return;
    ClearProgressLine();
    entryLine_.assign(prefix).append(ToConsole(fileName)).push_back('\n');
    std::fwrite(entryLine_.data(), 1, entryLine_.size(), stdout);
    // A file or pipe gets the lines in blocks (EndProgress keeps them before
    // anything on standard error); a console line by line.
    if (outputIsTerminal_) std::fflush(stdout);
  };
  if (errorIsTerminal_ && !quiet) {
    started_ = std::chrono::steady_clock::now();
    unzip.OnProgress = [this, &unzip](TObject*, uint8_t, uint8_t) { ShowProgress(unzip); };
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

void Console::ShowProgress(const TUnZIP& unzip) {
  if (currentEntry_.empty()) return;  // the directory is still being read
  const auto now = std::chrono::steady_clock::now();
  if (progressShown_ && now - lastShown_ < kRedrawInterval) return;
  lastShown_ = now;
  const double total = unzip.TotalBytes();
  const double done = total - unzip.ArchiveRemaining();
  const double seconds = std::chrono::duration<double>(now - started_).count();
  std::string line = Bytes(done) + " of " + Bytes(total);
  line += "  " + Bytes(seconds > 0 ? done / seconds : 0) + "/s";
  line += "  ";
  line += TailOf(ToConsole(currentEntry_), kLineWidth > line.size() ? kLineWidth - line.size() : 0);
  // Erases the rest of a longer line shown before.
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  progressShown_ = true;
}

void Console::EndProgress() {
  std::fflush(stdout);
  ClearProgressLine();
}

void Console::ClearProgressLine() {
  if (!progressShown_) return;
  std::fprintf(stderr, "\r\x1b[K");
  std::fflush(stderr);
  progressShown_ = false;
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
