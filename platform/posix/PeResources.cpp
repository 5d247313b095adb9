#include "PeResources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ErrnoMap.h"
#include "PathMap.h"
#include "Utf16Text.h"

namespace vexplat::detail {

namespace {

constexpr uint16_t kPe32 = 0x10B;
constexpr uint16_t kPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kHighBit = 0x80000000u;
// The stand-in is a Chinese (PRC) system, as its code page 936 says. A
// resource asked for in no particular language is taken in the first of
// these that the module has, else in whichever language comes first.
constexpr uint16_t kNeutralLanguage = 0x0000;
constexpr uint16_t kUserLanguage = 0x0804;
constexpr uint16_t kUserLanguageNeutral = kUserLanguage & 0x3FF;
constexpr uint16_t kEnglish = 0x0409;
constexpr uint16_t kPreferredLanguages[] = {kNeutralLanguage, kUserLanguage, kUserLanguageNeutral, kEnglish};

bool Matches(const ResourceId& a, const ResourceId& b) {
  return a.isNumber == b.isNumber && (a.isNumber ? a.number == b.number : a.name == b.name);
}

}  // namespace

std::unique_ptr<PeResourceModule> PeResourceModule::Open(const std::string& posixPath, DWORD* error) {
  const int fd = open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ENOENT ? MissingPathError(posixPath) : Win32ErrorFromErrno(errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    *error = ERROR_ACCESS_DENIED;
    close(fd);
    return nullptr;
  }
  std::unique_ptr<PeResourceModule> module(new PeResourceModule(fd, static_cast<uint64_t>(info.st_size)));
  if (!module->ParseHeaders()) {
    *error = ERROR_BAD_EXE_FORMAT;
    return nullptr;
  }
  return module;
}

PeResourceModule::~PeResourceModule() { close(fd_); }

bool PeResourceModule::ReadAt(uint64_t offset, uint32_t size, std::string* bytes) {
  if (offset > fileSize_ || size > fileSize_ - offset) return false;
  return ReadFileAt(fd_, offset, size, bytes);
}

bool PeResourceModule::ReadU16(uint64_t offset, uint16_t* value) {
  std::string bytes;
  if (!ReadAt(offset, 2, &bytes)) return false;
  *value = static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8);
  return true;
}

bool PeResourceModule::ReadU32(uint64_t offset, uint32_t* value) {
  std::string bytes;
  if (!ReadAt(offset, 4, &bytes)) return false;
  *value = 0;
  for (int i = 3; i >= 0; --i) *value = *value << 8 | static_cast<uint8_t>(bytes[static_cast<size_t>(i)]);
  return true;
}

bool PeResourceModule::ParseHeaders() {
  std::string magic;
  uint32_t peOffset = 0;
  if (!ReadAt(0, 2, &magic) || magic != "MZ" || !ReadU32(0x3C, &peOffset)) return false;
  std::string signature;
  if (!ReadAt(peOffset, 4, &signature) || signature != std::string("PE\0\0", 4)) return false;
  const uint64_t coff = uint64_t{peOffset} + 4;
  uint16_t sectionCount = 0;
  uint16_t optionalSize = 0;
  uint16_t optionalMagic = 0;
  if (!ReadU16(coff + 2, &sectionCount) || !ReadU16(coff + 16, &optionalSize)) return false;
  const uint64_t optional = coff + 20;
  if (!ReadU16(optional, &optionalMagic)) return false;
  if (optionalMagic != kPe32 && optionalMagic != kPe32Plus) return false;
  const uint64_t countField = optionalMagic == kPe32 ? 92 : 108;
  const uint64_t directories = countField + 4;
  uint32_t directoryCount = 0;
  if (optionalSize < directories || !ReadU32(optional + countField, &directoryCount)) return false;

  const uint64_t sectionTable = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    Section section{};
    const uint64_t at = sectionTable + uint64_t{i} * 40;
    if (!ReadU32(at + 8, &section.virtualSize) || !ReadU32(at + 12, &section.virtualAddress) ||
        !ReadU32(at + 16, &section.rawSize) || !ReadU32(at + 20, &section.rawOffset)) {
      return false;
    }
    sections_.push_back(section);
  }

  const uint64_t resourceEntry = directories + kResourceDirectoryIndex * 8;
  if (directoryCount <= kResourceDirectoryIndex || optionalSize < resourceEntry + 8) return true;  // no resources
  if (!ReadU32(optional + resourceEntry, &resourceRva_) || !ReadU32(optional + resourceEntry + 4, &resourceSize_)) {
    return false;
  }
  if (resourceRva_ == 0) return true;
  const auto base = FileOffsetOf(resourceRva_, 16);
  if (!base) {
    resourceRva_ = 0;  // a directory outside the file counts as none
    return true;
  }
  resourceBase_ = *base;
  return true;
}

std::optional<uint64_t> PeResourceModule::FileOffsetOf(uint32_t rva, uint32_t size) const {
  for (const Section& section : sections_) {
    if (rva < section.virtualAddress) continue;
    const uint64_t into = uint64_t{rva} - section.virtualAddress;
    if (into + size > section.rawSize) continue;
    const uint64_t offset = uint64_t{section.rawOffset} + into;
    if (offset + size > fileSize_) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

std::optional<ResourceId> PeResourceModule::ReadName(uint32_t offset) {
  uint16_t length = 0;
  std::string utf16;
  if (!ReadU16(resourceBase_ + offset, &length) || !ReadAt(resourceBase_ + offset + 2, uint32_t{length} * 2, &utf16)) {
    return std::nullopt;
  }
  return ResourceId::Named(Utf16LeToGbk(utf16));
}

std::optional<std::vector<PeResourceModule::Entry>> PeResourceModule::ReadDirectory(uint32_t offset) {
  uint16_t named = 0;
  uint16_t numbered = 0;
  if (!ReadU16(resourceBase_ + offset + 12, &named) || !ReadU16(resourceBase_ + offset + 14, &numbered)) {
    return std::nullopt;
  }
  const uint32_t count = uint32_t{named} + numbered;
  std::string raw;
  if (!ReadAt(resourceBase_ + offset + 16, count * 8, &raw)) return std::nullopt;
  std::vector<Entry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t fields[2] = {};
    for (int f = 0; f < 2; ++f) {
      for (int b = 3; b >= 0; --b) {
        fields[f] = fields[f] << 8 | static_cast<uint8_t>(raw[i * 8 + static_cast<uint32_t>(f) * 4 +
                                                              static_cast<uint32_t>(b)]);
      }
    }
    Entry entry{};
    if ((fields[0] & kHighBit) != 0) {
      auto name = ReadName(fields[0] & ~kHighBit);
      if (!name) return std::nullopt;
      entry.id = std::move(*name);
    } else {
      entry.id.isNumber = true;
      entry.id.number = static_cast<WORD>(fields[0] & 0xFFFF);
    }
    entry.isDirectory = (fields[1] & kHighBit) != 0;
    entry.offset = fields[1] & ~kHighBit;
    entries.push_back(std::move(entry));
  }
  return entries;
}

const PeResourceModule::Entry* PeResourceModule::ChooseLanguage(const std::vector<Entry>& languages) {
  for (uint16_t wanted : kPreferredLanguages) {
    for (const Entry& language : languages) {
      if (language.id.Is(wanted)) return &language;
    }
  }
  return &languages.front();
}

std::optional<ResourceRecord> PeResourceModule::Locate(const ResourceId& type, const ResourceId& name,
                                                       DWORD* error) {
  *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
  if (resourceRva_ == 0) return std::nullopt;
  const auto find = [this](uint32_t directory, const ResourceId& id) -> std::optional<Entry> {
    auto entries = ReadDirectory(directory);
    if (!entries) return std::nullopt;
    for (Entry& entry : *entries) {
      if (entry.isDirectory && Matches(entry.id, id)) return entry;
    }
    return std::nullopt;
  };
  const auto typeEntry = find(0, type);
  if (!typeEntry) return std::nullopt;
  *error = ERROR_RESOURCE_NAME_NOT_FOUND;
  const auto nameEntry = find(typeEntry->offset, name);
  if (!nameEntry) return std::nullopt;
  *error = ERROR_RESOURCE_DATA_NOT_FOUND;
  const auto languages = ReadDirectory(nameEntry->offset);
  if (!languages || languages->empty()) return std::nullopt;
  const Entry* chosen = ChooseLanguage(*languages);
  if (chosen->isDirectory) return std::nullopt;
  uint32_t dataRva = 0;
  uint32_t dataSize = 0;
  if (!ReadU32(resourceBase_ + chosen->offset, &dataRva) || !ReadU32(resourceBase_ + chosen->offset + 4, &dataSize)) {
    return std::nullopt;
  }
  const auto offset = FileOffsetOf(dataRva, dataSize);
  if (!offset) return std::nullopt;
  return ResourceRecord{*offset, dataSize};
}

}  // namespace vexplat::detail
