#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "PathMap.h"
#include "Recode.h"
#include "vexplat/standin.h"

namespace vexplat::detail {
namespace {

// Drive mappings set by tests; they win over the environment.
class DriveOverrides {
 public:
  void Set(char letter, Drive drive) {
    std::lock_guard lock(mutex_);
    slots_[Index(letter)] = std::move(drive);
  }
  void Clear(char letter) {
    std::lock_guard lock(mutex_);
    slots_[Index(letter)].reset();
  }
  std::optional<Drive> Get(char letter) const {
    std::lock_guard lock(mutex_);
    return slots_[Index(letter)];
  }

 private:
  static size_t Index(char letter) { return static_cast<size_t>(letter - 'A'); }
  mutable std::mutex mutex_;
  std::array<std::optional<Drive>, 26> slots_;
};

DriveOverrides& Overrides() {
  static DriveOverrides overrides;
  return overrides;
}

std::optional<char> DriveLetter(char letter) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (upper < 'A' || upper > 'Z') return std::nullopt;
  return upper;
}

// A directory as an absolute path without trailing slash ("/" stays).
std::string AbsoluteDirectory(std::string dir) {
  if (dir.empty()) return dir;
  if (dir.front() != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return {};
    dir = std::string(cwd) + "/" + dir;
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// VEXUPD_DRIVE_<L> = DIR[;removable][;label=TEXT], TEXT in UTF-8.
Drive ParseDriveVariable(char letter, const std::string& value) {
  Drive drive;
  drive.letter = letter;
  size_t start = 0;
  bool first = true;
  while (start <= value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    const std::string part = value.substr(start, end - start);
    if (first) {
      drive.root = AbsoluteDirectory(part);
    } else if (part == "removable") {
      drive.removable = true;
    } else if (part.rfind("label=", 0) == 0) {
      drive.label = Utf8ToGbkLossy(part.substr(6));
    }
    first = false;
    start = end + 1;
  }
  return drive;
}

}  // namespace

std::optional<Drive> LookupDrive(char letter) {
  const auto upper = DriveLetter(letter);
  if (!upper) return std::nullopt;
  if (auto overridden = Overrides().Get(*upper)) return overridden;
  const std::string variable = std::string("VEXUPD_DRIVE_") + *upper;
  if (const char* value = std::getenv(variable.c_str())) return ParseDriveVariable(*upper, value);
  if (*upper == 'C') return Drive{'C', "/", false, {}};
  return std::nullopt;
}

std::vector<Drive> MappedDrives() {
  std::vector<Drive> drives;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (auto drive = LookupDrive(letter)) drives.push_back(std::move(*drive));
  }
  return drives;
}

}  // namespace vexplat::detail

namespace vexplat {

void SetDriveMapping(char letter, const std::string& posixDir, bool removable, const std::string& label) {
  const auto upper = detail::DriveLetter(letter);
  if (!upper) return;
  detail::Overrides().Set(*upper, detail::Drive{*upper, detail::AbsoluteDirectory(posixDir), removable, label});
}

void ClearDriveMapping(char letter) {
  if (const auto upper = detail::DriveLetter(letter)) detail::Overrides().Clear(*upper);
}

}  // namespace vexplat
