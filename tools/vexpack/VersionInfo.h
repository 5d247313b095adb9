// A program's version information (the VS_VERSION_INFO resource): the fixed
// file and product versions and the version strings, read, changed and
// written back with every other part kept.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexpack {

using TFourPartVersion = std::array<uint16_t, 4>;

// "A.B.C.D", each part 0..65535; nullopt for anything else.
std::optional<TFourPartVersion> ParseFourPartVersion(const std::string& text);

class TVersionInfo {
 public:
  // nullopt when the bytes are not a well-formed VS_VERSION_INFO.
  static std::optional<TVersionInfo> Parse(const std::vector<uint8_t>& bytes);
  // Version information for a program that has none: an application,
  // versions 0.0.0.0, one US English Unicode string table.
  static TVersionInfo Empty();

  // Sets the fixed version and the FileVersion / ProductVersion string.
  void SetFileVersion(const TFourPartVersion& version);
  void SetProductVersion(const TFourPartVersion& version);
  // Sets the string in every string table, adding it where missing.
  void SetString(const std::u16string& name, const std::u16string& value);

  std::vector<uint8_t> Build() const;

  // One block of the structure: key, value (text in UTF-16 when IsText,
  // else bytes) and children.
  struct TNode {
    std::u16string Key;
    bool IsText = false;
    std::vector<uint8_t> Value;
    std::vector<TNode> Children;
  };

 private:
  explicit TVersionInfo(TNode root) : root_(std::move(root)) {}
  std::vector<TNode*> StringTables();
  void SetFixedVersion(size_t offset, const TFourPartVersion& version);

  TNode root_;
};

}  // namespace vexpack
