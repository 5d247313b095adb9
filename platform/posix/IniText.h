// An INI file as lines of ANSI (GBK) text, classified with the rules of the
// Windows profile functions. POSIX-only, internal to platform/.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexplat::detail {

struct IniLine {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed, one pair of enclosing quotes removed
};

// Blank lines and ';' comments are kOther; "[name]" a section; any other
// line a key, with the text after its first '=' as value (none: empty).
IniLine ClassifyIniLine(std::string_view line);

class IniText {
 public:
  // The file named in Windows form; a name without folder is in the Windows
  // folder. Nothing, with *error set, when it cannot be read.
  static std::optional<IniText> Read(LPCSTR fileName, DWORD* error);
  static IniText Empty(bool crlf = true);

  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Line index of the first section of that name.
  std::optional<size_t> FindSection(std::string_view section) const;
  // One past the section's last line (the next section's header or the end).
  size_t SectionEnd(size_t header) const;
  std::optional<size_t> FindKey(size_t header, std::string_view key) const;
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(size_t header) const;

  // Writes the lines back in the file's encoding, through a temporary file.
  DWORD Write(LPCSTR fileName) const;

 private:
  enum class Encoding { kAnsi, kUtf8Bom, kUtf16Bom };

  std::vector<std::string> lines_;
  bool crlf_ = true;
  Encoding encoding_ = Encoding::kAnsi;
};

}  // namespace vexplat::detail
