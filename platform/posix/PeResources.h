// The resource directory of a PE image (an .exe or .dll built for Windows),
// read from the file without loading it. POSIX-only, internal to platform/.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ResourceModule.h"

namespace vexplat::detail {

class PeResourceModule : public ResourceModule {
 public:
  // Nothing, with *error set, when the file cannot be read (an errno-based
  // code) or is not a PE image (ERROR_BAD_EXE_FORMAT).
  static std::unique_ptr<PeResourceModule> Open(const std::string& posixPath, DWORD* error);
  ~PeResourceModule() override;

 protected:
  std::optional<ResourceRecord> Locate(const ResourceId& type, const ResourceId& name, DWORD* error) override;
  bool ReadAt(uint64_t offset, uint32_t size, std::string* bytes) override;

 private:
  struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
  };
  struct Entry {
    ResourceId id;
    bool isDirectory;
    uint32_t offset;  // from the start of the resource directory
  };

  PeResourceModule(int fd, uint64_t fileSize) : fd_(fd), fileSize_(fileSize) {}
  bool ParseHeaders();
  // The entry of a non-empty language directory that Windows would take.
  static const Entry* ChooseLanguage(const std::vector<Entry>& languages);
  std::optional<uint64_t> FileOffsetOf(uint32_t rva, uint32_t size) const;
  std::optional<std::vector<Entry>> ReadDirectory(uint32_t offset);
  std::optional<ResourceId> ReadName(uint32_t offset);
  bool ReadU16(uint64_t offset, uint16_t* value);
  bool ReadU32(uint64_t offset, uint32_t* value);

  int fd_;
  uint64_t fileSize_;
  std::vector<Section> sections_;
  uint64_t resourceBase_ = 0;  // file offset of the resource directory
  uint32_t resourceRva_ = 0;
  uint32_t resourceSize_ = 0;
};

}  // namespace vexplat::detail
