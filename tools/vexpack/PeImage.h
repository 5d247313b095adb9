// A Windows program (PE image) in memory: its headers checked against its
// size, its data read by RVA, and its resource data replaced by a new block.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexpack {

// True when the bytes start like a PE image ("MZ" and a "PE\0\0" header).
bool IsPeImage(const std::vector<uint8_t>& image);

struct TDataDirectory {
  uint32_t Rva = 0;
  uint32_t Size = 0;
};

class TPeImage {
 public:
  // Reads the headers of `bytes`; nullopt with `problem` set when they are
  // damaged.
  static std::optional<TPeImage> Parse(std::vector<uint8_t> bytes, std::string& problem);

  TDataDirectory Directory(uint32_t index) const;
  // `size` bytes at `rva` as the file holds them; nullopt when they are not
  // all inside one section's file data.
  std::optional<std::vector<uint8_t>> ReadRva(uint32_t rva, uint32_t size) const;
  // Every byte of the section that holds `rva`, from `rva` on.
  std::optional<std::vector<uint8_t>> ReadRestOfSection(uint32_t rva) const;

  // Puts the resource data that `build(rva)` makes for its address into the
  // image: over the old resource section when that one ends the image, else
  // in a new last section. An empty result means done.
  std::string ReplaceResources(const std::function<std::vector<uint8_t>(uint32_t rva)>& build);
  // Sets the header checksum as the Windows loader and signing tools
  // compute it.
  void UpdateChecksum();

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  static constexpr uint32_t kResourceDirectory = 2;
  static constexpr uint32_t kSecurityDirectory = 4;

 private:
  struct TSection {
    size_t Header = 0;
    uint32_t VirtualSize = 0, Rva = 0, RawSize = 0, RawOffset = 0;
  };
  explicit TPeImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool ReadHeaders(std::string& problem);
  const TSection* SectionHolding(uint32_t rva) const;
  std::optional<size_t> ResourceSectionToReuse() const;
  std::string AddSectionHeader(size_t& index);
  void SetDirectory(uint32_t index, TDataDirectory directory);

  std::vector<uint8_t> bytes_;
  size_t coffHeader_ = 0, optionalHeader_ = 0, dataDirectories_ = 0, sectionTable_ = 0;
  uint32_t directoryCount_ = 0, sectionAlignment_ = 0, fileAlignment_ = 0, sizeOfHeaders_ = 0;
  std::vector<TSection> sections_;
};

}  // namespace vexpack
