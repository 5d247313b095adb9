#include "PeResource.h"

#include <algorithm>
#include <optional>

namespace vexpack {
namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kRtRcData = 10;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kNameIsStringBit = 0x80000000u;
constexpr uint32_t kInitializedReadableData = 0x40000040u;  // CNT_INITIALIZED_DATA | MEM_READ

uint32_t Get16(const std::vector<uint8_t>& bytes, size_t at) { return bytes[at] | bytes[at + 1] << 8; }
uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return Get16(bytes, at) | static_cast<uint32_t>(Get16(bytes, at + 2)) << 16;
}
void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}
uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Where the parts of the headers lie, checked against the image size.
struct PeLayout {
  size_t coffHeader = 0;
  size_t optionalHeader = 0;
  size_t dataDirectories = 0;
  uint32_t directoryCount = 0;
  size_t sectionTable = 0;
  uint32_t sectionCount = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfHeaders = 0;
};

std::optional<PeLayout> ReadLayout(const std::vector<uint8_t>& image) {
  if (!IsPeImage(image)) return std::nullopt;
  const size_t pe = Get32(image, 0x3C);
  if (image.size() - pe < 24) return std::nullopt;
  PeLayout layout;
  layout.coffHeader = pe + 4;
  layout.sectionCount = Get16(image, layout.coffHeader + 2);
  const uint32_t optionalSize = Get16(image, layout.coffHeader + 16);
  layout.optionalHeader = layout.coffHeader + 20;
  if (image.size() - layout.optionalHeader < optionalSize || optionalSize < 96) return std::nullopt;
  const uint32_t magic = Get16(image, layout.optionalHeader);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
  const size_t countField = layout.optionalHeader + (magic == kPe32Magic ? 92 : 108);
  layout.dataDirectories = countField + 4;
  if (countField + 4 > layout.optionalHeader + optionalSize) return std::nullopt;
  layout.directoryCount = Get32(image, countField);
  if (layout.directoryCount > (layout.optionalHeader + optionalSize - layout.dataDirectories) / 8) return std::nullopt;
  layout.sectionAlignment = Get32(image, layout.optionalHeader + 32);
  layout.fileAlignment = Get32(image, layout.optionalHeader + 36);
  layout.sizeOfHeaders = Get32(image, layout.optionalHeader + 60);
  layout.sectionTable = layout.optionalHeader + optionalSize;
  const bool powerOfTwo = layout.fileAlignment != 0 && (layout.fileAlignment & (layout.fileAlignment - 1)) == 0 &&
                          layout.sectionAlignment != 0 &&
                          (layout.sectionAlignment & (layout.sectionAlignment - 1)) == 0;
  if (!powerOfTwo || layout.sizeOfHeaders > image.size() ||
      layout.sectionTable + uint64_t{layout.sectionCount} * kSectionHeaderSize > layout.sizeOfHeaders) {
    return std::nullopt;
  }
  return layout;
}

// The resource section: root (type RCDATA) -> one name -> language neutral ->
// data entry, the name string, then the data, all addressed from `rva`.
std::vector<uint8_t> BuildResourceSection(uint32_t rva, const std::string& name, const std::vector<uint8_t>& data) {
  constexpr uint32_t kDirectory = 16, kEntry = 8;
  constexpr uint32_t kTypeDirectory = kDirectory + kEntry;
  constexpr uint32_t kNameDirectory = kTypeDirectory + kDirectory + kEntry;
  constexpr uint32_t kDataEntry = kNameDirectory + kDirectory + kEntry;
  constexpr uint32_t kNameString = kDataEntry + 16;
  const uint32_t dataOffset = static_cast<uint32_t>(AlignUp(kNameString + 2 + 2 * name.size(), 16));
  std::vector<uint8_t> section(dataOffset + data.size(), 0);

  // Each directory holds one entry: the root an id, the type a name, the
  // name an id (language 0).
  Put16(section, 14, 1);
  Put32(section, kDirectory, kRtRcData);
  Put32(section, kDirectory + 4, kSubdirectoryBit | kTypeDirectory);
  Put16(section, kTypeDirectory + 12, 1);
  Put32(section, kTypeDirectory + kDirectory, kNameIsStringBit | kNameString);
  Put32(section, kTypeDirectory + kDirectory + 4, kSubdirectoryBit | kNameDirectory);
  Put16(section, kNameDirectory + 14, 1);
  Put32(section, kNameDirectory + kDirectory, 0);
  Put32(section, kNameDirectory + kDirectory + 4, kDataEntry);
  Put32(section, kDataEntry, rva + dataOffset);
  Put32(section, kDataEntry + 4, static_cast<uint32_t>(data.size()));

  Put16(section, kNameString, static_cast<uint32_t>(name.size()));
  for (size_t i = 0; i < name.size(); ++i) Put16(section, kNameString + 2 + 2 * i, static_cast<uint8_t>(name[i]));
  std::copy(data.begin(), data.end(), section.begin() + dataOffset);
  return section;
}

// The PE checksum: a 16-bit folded sum of the image with the checksum field
// taken as zero, plus the image length.
uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumField) {
  uint64_t sum = 0;
  for (size_t at = 0; at < image.size(); at += 2) {
    if (at == checksumField || at == checksumField + 2) continue;
    sum += at + 1 < image.size() ? Get16(image, at) : image[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + image.size());
}

}  // namespace

bool IsPeImage(const std::vector<uint8_t>& image) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
  const size_t pe = Get32(image, 0x3C);
  return pe <= image.size() - 4 && Get32(image, pe) == kPeSignature;
}

std::string AddRcDataResource(std::vector<uint8_t>& image, const std::string& name, const std::vector<uint8_t>& data) {
  const std::optional<PeLayout> layout = ReadLayout(image);
  if (!layout) return "not a PE image";
  if (layout->directoryCount <= kResourceDirectoryIndex) return "the program has no resource directory entry";
  const size_t resourceDirectory = layout->dataDirectories + 8 * kResourceDirectoryIndex;
  if (Get32(image, resourceDirectory) != 0 || Get32(image, resourceDirectory + 4) != 0) {
    return "the program already has resources";
  }
  const size_t newHeader = layout->sectionTable + size_t{layout->sectionCount} * kSectionHeaderSize;
  if (newHeader + kSectionHeaderSize > layout->sizeOfHeaders ||
      std::any_of(image.begin() + newHeader, image.begin() + newHeader + kSectionHeaderSize,
                  [](uint8_t b) { return b != 0; })) {
    return "no room for another section header";
  }

  uint64_t imageEnd = layout->sizeOfHeaders;
  for (uint32_t i = 0; i < layout->sectionCount; ++i) {
    const size_t header = layout->sectionTable + size_t{i} * kSectionHeaderSize;
    const uint64_t virtualSize = std::max(Get32(image, header + 8), Get32(image, header + 16));
    imageEnd = std::max(imageEnd, Get32(image, header + 12) + virtualSize);
  }
  const uint64_t rva = AlignUp(imageEnd, layout->sectionAlignment);
  const uint64_t rawOffset = AlignUp(image.size(), layout->fileAlignment);
  const std::vector<uint8_t> section = BuildResourceSection(static_cast<uint32_t>(rva), name, data);
  const uint64_t rawSize = AlignUp(section.size(), layout->fileAlignment);
  const uint64_t sizeOfImage = AlignUp(rva + section.size(), layout->sectionAlignment);
  if (sizeOfImage > 0xFFFFFFFFu || rawOffset + rawSize > 0xFFFFFFFFu) return "the package is too large for a program";

  image.resize(rawOffset, 0);
  image.insert(image.end(), section.begin(), section.end());
  image.resize(rawOffset + rawSize, 0);
  static constexpr char kSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  std::copy(std::begin(kSectionName), std::end(kSectionName), image.begin() + newHeader);
  Put32(image, newHeader + 8, static_cast<uint32_t>(section.size()));
  Put32(image, newHeader + 12, static_cast<uint32_t>(rva));
  Put32(image, newHeader + 16, static_cast<uint32_t>(rawSize));
  Put32(image, newHeader + 20, static_cast<uint32_t>(rawOffset));
  Put32(image, newHeader + 36, kInitializedReadableData);
  Put16(image, layout->coffHeader + 2, layout->sectionCount + 1);
  Put32(image, layout->optionalHeader + 56, static_cast<uint32_t>(sizeOfImage));
  Put32(image, resourceDirectory, static_cast<uint32_t>(rva));
  Put32(image, resourceDirectory + 4, static_cast<uint32_t>(section.size()));
  const size_t checksumField = layout->optionalHeader + 64;
  Put32(image, checksumField, PeChecksum(image, checksumField));
  return std::string();
}

}  // namespace vexpack
