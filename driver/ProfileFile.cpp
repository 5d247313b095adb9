#include "driver/ProfileFile.h"

#include <windows.h>

#include <limits>
#include <set>

namespace driver {
namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

}  // namespace

int32_t ParseIniInteger(const std::string& Text, int32_t Default) {
  size_t at = 0;
  bool negative = false;
  int base = 10;
  // Only an unsigned text is hexadecimal; a sign belongs to decimals.
  if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
    base = 16;
    at = 2;
  } else if (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) {
    negative = Text[at++] == '-';
  }
  if (at >= Text.size()) return Default;
  int64_t value = 0;
  // Hexadecimal may name the full 32-bit pattern (0xFFFFFFFF is -1).
  const int64_t limit = base == 16 ? 0xFFFFFFFFll : static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  for (; at < Text.size(); ++at) {
    const int digit = DigitValue(Text[at], base);
    if (digit < 0) return Default;
    value = value * base + digit;
    if (value > limit) return Default;
  }
  if (base == 16) return static_cast<int32_t>(static_cast<uint32_t>(value));
  if (negative) return static_cast<int32_t>(-value);
  if (value > std::numeric_limits<int32_t>::max()) return Default;
  return static_cast<int32_t>(value);
}

std::string TProfileFile::ReadString(const std::string& Section, const std::string& Key,
                                     const std::string& Default) const {
  char buffer[2048] = {};
  const DWORD length = GetPrivateProfileStringA(Section.c_str(), Key.c_str(), Default.c_str(), buffer,
                                                sizeof(buffer), fileName_.c_str());
  return std::string(buffer, length < sizeof(buffer) ? length : sizeof(buffer) - 1);
}

int32_t TProfileFile::ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const {
  const std::string text = ReadString(Section, Key, "");
  return text.empty() ? Default : ParseIniInteger(text, Default);
}

namespace {

// A NUL-separated list of names from the profile service. A list that does
// not fit comes back cut to the buffer size - 2: grow.
std::vector<std::string> ReadNameList(const char* Section, const std::string& FileName) {
  for (DWORD size = 65536;; size *= 2) {
    std::vector<char> buffer(size);
    const DWORD length = GetPrivateProfileStringA(Section, nullptr, "", buffer.data(), size, FileName.c_str());
    if (length + 2 == size && size < (1u << 30)) continue;
    std::vector<std::string> names;
    for (DWORD at = 0; at < length && buffer[at] != '\0'; at += static_cast<DWORD>(names.back().size()) + 1)
      names.emplace_back(buffer.data() + at);
    return names;
  }
}

// The index a numbered key carries ("Source12" gives 12), written as
// Numbered writes it; -1 for any other name.
int32_t IndexOfKey(const std::string& Name) {
  const size_t digits = Name.find_last_not_of("0123456789") + 1;
  const std::string index = Name.substr(digits);
  if (digits == 0 || index.empty() || index.size() > 10 || (index[0] == '0' && index.size() > 1)) return -1;
  const int64_t value = std::stoll(index);
  return value <= INT32_MAX ? static_cast<int32_t>(value) : -1;
}

}  // namespace

std::vector<std::string> TProfileFile::SectionNames() const { return ReadNameList(nullptr, fileName_); }

std::vector<std::string> TProfileFile::KeyNames(const std::string& Section) const {
  return ReadNameList(Section.c_str(), fileName_);
}

std::vector<int32_t> TProfileFile::EntryIndices(const std::string& Section, const std::string& CountKey) const {
  const int32_t count = ReadInteger(Section, CountKey, 0);
  std::set<int32_t> indices;
  for (const std::string& name : KeyNames(Section)) {
    const int32_t index = IndexOfKey(name);
    if (index >= 0 && index < count) indices.insert(index);
  }
  return std::vector<int32_t>(indices.begin(), indices.end());
}

std::string TProfileFile::Numbered(const std::string& Key, int32_t Index) { return Key + std::to_string(Index); }

}  // namespace driver
