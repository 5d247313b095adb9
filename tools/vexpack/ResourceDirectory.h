// The resources of a program as a flat list of (type, name, language) ->
// bytes: read from a PE image's resource directory and laid out again as a
// resource section.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PeImage.h"

namespace vexpack {

// A type or name: a number, or a text (then Id is unused).
struct TResourceKey {
  std::optional<std::u16string> Name;
  uint16_t Id = 0;

  static TResourceKey Number(uint16_t id) { return {std::nullopt, id}; }
  static TResourceKey Text(std::u16string name) { return {std::move(name), 0}; }
  // Texts before numbers, each in ascending order: the order the Windows
  // loader searches in.
  bool operator<(const TResourceKey& other) const;
  bool operator==(const TResourceKey& other) const = default;
};

struct TResource {
  TResourceKey Type;
  TResourceKey Name;
  uint16_t Language = 0;
  uint32_t CodePage = 0;
  std::vector<uint8_t> Data;
};

namespace resource_type {
constexpr uint16_t kIcon = 3;
constexpr uint16_t kRcData = 10;
constexpr uint16_t kGroupIcon = 14;
constexpr uint16_t kVersion = 16;
}  // namespace resource_type

class TResourceDirectory {
 public:
  // The image's resources; nullopt with `problem` set when the directory is
  // damaged. An image without resources gives an empty list.
  static std::optional<TResourceDirectory> Read(const TPeImage& image, std::string& problem);

  const std::vector<TResource>& Resources() const { return resources_; }
  // Replaces every resource of the same type and name (any language) with it.
  void Put(TResource resource);
  // Removes every resource for which `matches` holds.
  template <typename Predicate>
  void RemoveIf(Predicate matches) {
    std::erase_if(resources_, matches);
  }
  // The resource section for address `rva`: directories, data entries, names
  // and data, in that order.
  std::vector<uint8_t> Build(uint32_t rva) const;

 private:
  std::vector<TResource> resources_;
};

}  // namespace vexpack
