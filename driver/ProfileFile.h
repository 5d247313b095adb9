// Reading an INI file through the Windows profile-string service: names match
// without regard to case, values hold at most 2047 bytes, and anything missing
// reads as the default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace driver {

// Decimal, or hexadecimal after "0x"/"0X" (more than two characters); text
// that does not parse, or does not fit 32 bits, gives Default.
int32_t ParseIniInteger(const std::string& Text, int32_t Default);

class TProfileFile {
 public:
  explicit TProfileFile(std::string FileName) : fileName_(std::move(FileName)) {}

  std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) const;
  int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const;
  // The file's section names, and the key names of a section (its first
  // occurrence), in file order.
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(const std::string& Section) const;

  // The entries 0 .. CountKey - 1 of Section that some key names, in index
  // order: the others have only empty values and no effect, so a count of
  // two thousand million costs nothing.
  std::vector<int32_t> EntryIndices(const std::string& Section, const std::string& CountKey) const;

  // Key + the index in decimal: Source0, Source1, ...
  static std::string Numbered(const std::string& Key, int32_t Index);

 private:
  std::string fileName_;
};

}  // namespace driver
