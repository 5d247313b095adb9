#include "rtl/ContainedPath.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace rtl {
namespace {

// Windows takes the forward slash for a separator as well.
bool IsSeparator(char Byte) { return Byte == '\\' || Byte == '/'; }

// The steps between separators, read by whole characters of the code page;
// Colon tells whether a colon stood outside double-byte characters.
std::vector<std::string> SplitSteps(const std::string& Path, bool& Colon) {
  std::vector<std::string> steps(1);
  Colon = false;
  for (size_t i = 0; i < Path.size(); ++i) {
    const char byte = Path[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(byte)) && i + 1 < Path.size()) {
      steps.back() += Path.substr(i++, 2);
    } else if (IsSeparator(byte)) {
      steps.emplace_back();
    } else {
      if (byte == ':') Colon = true;
      steps.back() += byte;
    }
  }
  return steps;
}

// "..", "...", ". ": Windows trims trailing dots and spaces, so every step
// made of nothing else but "." may climb.
bool IsDotStep(const std::string& Step) {
  return !Step.empty() && Step != "." && Step.find_first_not_of(". ") == std::string::npos;
}

char AsciiUpper(char Byte) { return Byte >= 'a' && Byte <= 'z' ? static_cast<char>(Byte - 'a' + 'A') : Byte; }

// CON, NUL.txt, "com1 .log": the name before the first dot, trailing spaces
// trimmed, is a device in every directory.
bool IsDeviceStep(const std::string& Step) {
  std::string name = Step.substr(0, Step.find('.'));
  name.erase(name.find_last_not_of(' ') + 1);
  std::transform(name.begin(), name.end(), name.begin(), AsciiUpper);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kDevices)
    if (name == device) return true;
  const bool numbered = name.size() == 4 && (name.starts_with("COM") || name.starts_with("LPT"));
  return numbered && name[3] >= '0' && name[3] <= '9';
}

}  // namespace

TPathEscape FindPathEscape(const std::string& Relative, TLeadingBackslash Leading) {
  std::string rest = Relative;
  if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) return TPathEscape::Unc;
  if (!rest.empty() && IsSeparator(rest[0])) {
    if (Leading == TLeadingBackslash::Root) return TPathEscape::Rooted;
    rest.erase(0, 1);
  }
  bool colon = false;
  const std::vector<std::string> steps = SplitSteps(rest, colon);
  if (colon) return TPathEscape::Drive;
  bool namesSomething = false;
  for (const std::string& step : steps) {
    if (IsDotStep(step)) return TPathEscape::Parent;
    if (IsDeviceStep(step)) return TPathEscape::Device;
    if (!step.empty() && step != ".") namesSomething = true;
  }
  return namesSomething ? TPathEscape::None : TPathEscape::NamesBase;
}

std::optional<std::string> JoinInside(const std::string& Base, const std::string& Relative,
                                      TLeadingBackslash Leading) {
  if (FindPathEscape(Relative, Leading) != TPathEscape::None) return std::nullopt;
  return Base + Relative;
}

const char* PathEscapeText(TPathEscape Escape) {
  switch (Escape) {
    case TPathEscape::None: return "stays inside its base";
    case TPathEscape::NamesBase: return "names the base directory itself";
    case TPathEscape::Parent: return "climbs to a parent directory (..)";
    case TPathEscape::Rooted: return "starts at the root of a drive";
    case TPathEscape::Drive: return "names a drive or a stream (:)";
    case TPathEscape::Unc: return "is a network or device path (\\\\)";
    case TPathEscape::Device: return "names a device (CON, NUL, COM1, ...)";
  }
  return "leaves its base";
}

}  // namespace rtl
