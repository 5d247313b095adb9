#include "PeImage.h"

#include <algorithm>
#include <array>

#include "LittleEndian.h"

namespace vexpack {
namespace {

constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kInitializedReadableData = 0x40000040u;  // CNT_INITIALIZED_DATA | MEM_READ
constexpr std::array<uint8_t, 8> kResourceSectionName = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
// A resource section left behind goes by another name, so that tools which
// look for ".rsrc" by name find the one in use; its bytes are cleared, so
// that an old package does not travel on unseen.
constexpr std::array<uint8_t, 8> kRetiredSectionName = {'.', 'o', 'l', 'd', 'r', 's', 'r', 'c'};

}  // namespace

bool IsPeImage(const std::vector<uint8_t>& image) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
  const size_t pe = Get32(image, 0x3C);
  return pe <= image.size() - 4 && Get32(image, pe) == kPeSignature;
}

std::optional<TPeImage> TPeImage::Parse(std::vector<uint8_t> bytes, std::string& problem) {
  TPeImage image(std::move(bytes));
  if (!image.ReadHeaders(problem)) return std::nullopt;
  return image;
}

bool TPeImage::ReadHeaders(std::string& problem) {
  problem = "not a PE image";
  if (!IsPeImage(bytes_)) return false;
  const size_t pe = Get32(bytes_, 0x3C);
  if (bytes_.size() - pe < 24) return false;
  coffHeader_ = pe + 4;
  const uint32_t sectionCount = Get16(bytes_, coffHeader_ + 2);
  const uint32_t optionalSize = Get16(bytes_, coffHeader_ + 16);
  optionalHeader_ = coffHeader_ + 20;
  if (bytes_.size() - optionalHeader_ < optionalSize || optionalSize < 96) return false;
  const uint32_t magic = Get16(bytes_, optionalHeader_);
  if (magic != kPe32Magic && magic != kPe32PlusMagic) return false;
  const size_t countField = optionalHeader_ + (magic == kPe32Magic ? 92 : 108);
  dataDirectories_ = countField + 4;
  if (dataDirectories_ > optionalHeader_ + optionalSize) return false;
  directoryCount_ = Get32(bytes_, countField);
  if (directoryCount_ > (optionalHeader_ + optionalSize - dataDirectories_) / 8) return false;
  sectionAlignment_ = Get32(bytes_, optionalHeader_ + 32);
  fileAlignment_ = Get32(bytes_, optionalHeader_ + 36);
  sizeOfHeaders_ = Get32(bytes_, optionalHeader_ + 60);
  sectionTable_ = optionalHeader_ + optionalSize;
  const auto powerOfTwo = [](uint32_t value) { return value != 0 && (value & (value - 1)) == 0; };
  if (!powerOfTwo(fileAlignment_) || !powerOfTwo(sectionAlignment_) || sizeOfHeaders_ > bytes_.size() ||
      sectionTable_ + uint64_t{sectionCount} * kSectionHeaderSize > sizeOfHeaders_) {
    return false;
  }
  for (uint32_t i = 0; i < sectionCount; ++i) {
    TSection section;
    section.Header = sectionTable_ + size_t{i} * kSectionHeaderSize;
    section.VirtualSize = Get32(bytes_, section.Header + 8);
    section.Rva = Get32(bytes_, section.Header + 12);
    section.RawSize = Get32(bytes_, section.Header + 16);
    section.RawOffset = Get32(bytes_, section.Header + 20);
    if (section.RawSize != 0 && uint64_t{section.RawOffset} + section.RawSize > bytes_.size()) {
      problem = "a section lies beyond the end of the file";
      return false;
    }
    sections_.push_back(section);
  }
  problem.clear();
  return true;
}

TDataDirectory TPeImage::Directory(uint32_t index) const {
  if (index >= directoryCount_) return {};
  return {Get32(bytes_, dataDirectories_ + 8 * index), Get32(bytes_, dataDirectories_ + 8 * index + 4)};
}

void TPeImage::SetDirectory(uint32_t index, TDataDirectory directory) {
  Put32(bytes_, dataDirectories_ + 8 * index, directory.Rva);
  Put32(bytes_, dataDirectories_ + 8 * index + 4, directory.Size);
}

const TPeImage::TSection* TPeImage::SectionHolding(uint32_t rva) const {
  for (const TSection& section : sections_) {
    if (rva >= section.Rva && rva - section.Rva < section.RawSize) return &section;
  }
  return nullptr;
}

std::optional<std::vector<uint8_t>> TPeImage::ReadRva(uint32_t rva, uint32_t size) const {
  const TSection* section = SectionHolding(rva);
  if (section == nullptr || size > section->RawSize - (rva - section->Rva)) return std::nullopt;
  const auto first = bytes_.begin() + section->RawOffset + (rva - section->Rva);
  return std::vector<uint8_t>(first, first + size);
}

std::optional<std::vector<uint8_t>> TPeImage::ReadRestOfSection(uint32_t rva) const {
  const TSection* section = SectionHolding(rva);
  if (section == nullptr) return std::nullopt;
  return ReadRva(rva, section->RawSize - (rva - section->Rva));
}

// The resource section can be rewritten where it is when it holds nothing
// but the resources and nothing follows it, in memory or in the file.
std::optional<size_t> TPeImage::ResourceSectionToReuse() const {
  const TDataDirectory resources = Directory(kResourceDirectory);
  for (size_t i = 0; i < sections_.size(); ++i) {
    const TSection& section = sections_[i];
    if (resources.Rva == 0 || section.Rva != resources.Rva) continue;
    const bool lastInMemory = std::all_of(sections_.begin(), sections_.end(),
                                          [&](const TSection& other) { return other.Rva <= section.Rva; });
    const bool lastInFile = uint64_t{section.RawOffset} + section.RawSize == bytes_.size();
    if (lastInMemory && lastInFile) return i;
  }
  return std::nullopt;
}

std::string TPeImage::AddSectionHeader(size_t& index) {
  const size_t header = sectionTable_ + sections_.size() * kSectionHeaderSize;
  size_t firstData = sizeOfHeaders_;
  for (const TSection& section : sections_) {
    if (section.RawSize != 0) firstData = std::min<size_t>(firstData, section.RawOffset);
  }
  if (header + kSectionHeaderSize > firstData ||
      std::any_of(bytes_.begin() + header, bytes_.begin() + header + kSectionHeaderSize,
                  [](uint8_t b) { return b != 0; })) {
    return "no room for another section header";
  }
  for (const TSection& section : sections_) {
    const auto name = bytes_.begin() + section.Header;
    if (section.Rva == Directory(kResourceDirectory).Rva &&
        std::equal(kResourceSectionName.begin(), kResourceSectionName.end(), name)) {
      std::copy(kRetiredSectionName.begin(), kRetiredSectionName.end(), name);
      std::fill_n(bytes_.begin() + section.RawOffset, section.RawSize, 0);
    }
  }
  TSection added;
  added.Header = header;
  sections_.push_back(added);
  Put16(bytes_, coffHeader_ + 2, static_cast<uint32_t>(sections_.size()));
  index = sections_.size() - 1;
  return std::string();
}

std::string TPeImage::ReplaceResources(const std::function<std::vector<uint8_t>(uint32_t rva)>& build) {
  if (directoryCount_ <= kResourceDirectory) return "the program has no resource directory entry";
  uint32_t rva = 0;
  uint64_t rawOffset = 0;
  size_t index = 0;
  if (const std::optional<size_t> reuse = ResourceSectionToReuse()) {
    index = *reuse;
    rva = sections_[index].Rva;
    rawOffset = sections_[index].RawOffset;
  } else {
    uint64_t imageEnd = sizeOfHeaders_;
    for (const TSection& section : sections_) {
      imageEnd = std::max<uint64_t>(imageEnd, uint64_t{section.Rva} + std::max(section.VirtualSize, section.RawSize));
    }
    rva = static_cast<uint32_t>(std::min<uint64_t>(AlignUp(imageEnd, sectionAlignment_), 0xFFFFFFFFu));
    rawOffset = AlignUp(bytes_.size(), fileAlignment_);
    if (const std::string problem = AddSectionHeader(index); !problem.empty()) return problem;
  }
  const std::vector<uint8_t> data = build(rva);
  const uint64_t rawSize = AlignUp(data.size(), fileAlignment_);
  const uint64_t sizeOfImage = AlignUp(uint64_t{rva} + data.size(), sectionAlignment_);
  if (sizeOfImage > 0x7FFFFFFFu || rawOffset + rawSize > 0x7FFFFFFFu) return "the package is too large for a program";

  bytes_.resize(rawOffset, 0);
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  bytes_.resize(rawOffset + rawSize, 0);
  TSection& section = sections_[index];
  section.VirtualSize = static_cast<uint32_t>(data.size());
  section.Rva = rva;
  section.RawSize = static_cast<uint32_t>(rawSize);
  section.RawOffset = static_cast<uint32_t>(rawOffset);
  std::copy(kResourceSectionName.begin(), kResourceSectionName.end(), bytes_.begin() + section.Header);
  Put32(bytes_, section.Header + 8, section.VirtualSize);
  Put32(bytes_, section.Header + 12, section.Rva);
  Put32(bytes_, section.Header + 16, section.RawSize);
  Put32(bytes_, section.Header + 20, section.RawOffset);
  Put32(bytes_, section.Header + 36, kInitializedReadableData);
  Put32(bytes_, optionalHeader_ + 56, static_cast<uint32_t>(sizeOfImage));
  SetDirectory(kResourceDirectory, {rva, section.VirtualSize});
  return std::string();
}

// A 16-bit folded sum of the image with the checksum field taken as zero,
// plus the image length.
void TPeImage::UpdateChecksum() {
  const size_t field = optionalHeader_ + 64;
  uint64_t sum = 0;
  for (size_t at = 0; at < bytes_.size(); at += 2) {
    if (at == field || at == field + 2) continue;
    sum += at + 1 < bytes_.size() ? Get16(bytes_, at) : bytes_[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  Put32(bytes_, field, static_cast<uint32_t>(sum + bytes_.size()));
}

}  // namespace vexpack
