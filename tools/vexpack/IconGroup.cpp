#include "IconGroup.h"

#include <algorithm>
#include <set>

#include "LittleEndian.h"

namespace vexpack {
namespace {

constexpr size_t kDirectoryHeader = 6;
constexpr size_t kFileEntry = 16;   // 12 bytes of description and a 32-bit file offset
constexpr size_t kGroupEntry = 14;  // 12 bytes of description and a 16-bit resource number
constexpr size_t kDescription = 12;
constexpr uint32_t kIconType = 1;

bool IsGroup(const TResource& resource) {
  return !resource.Type.Name && resource.Type.Id == resource_type::kGroupIcon;
}
bool IsIcon(const TResource& resource) { return !resource.Type.Name && resource.Type.Id == resource_type::kIcon; }

// The icon numbers a group directory names (as much of it as is whole).
std::set<uint16_t> IconsOfGroup(const std::vector<uint8_t>& group) {
  std::set<uint16_t> icons;
  if (group.size() < kDirectoryHeader) return icons;
  const size_t count = Get16(group, 4);
  for (size_t i = 0; i < count && kDirectoryHeader + (i + 1) * kGroupEntry <= group.size(); ++i) {
    icons.insert(static_cast<uint16_t>(Get16(group, kDirectoryHeader + i * kGroupEntry + kDescription)));
  }
  return icons;
}

}  // namespace

std::optional<std::vector<TIconImage>> ReadIconFile(const std::vector<uint8_t>& file, std::string& problem) {
  problem = "not an icon file";
  if (file.size() < kDirectoryHeader || Get16(file, 0) != 0 || Get16(file, 2) != kIconType) return std::nullopt;
  const size_t count = Get16(file, 4);
  if (count == 0) {
    problem = "the icon file holds no images";
    return std::nullopt;
  }
  if (kDirectoryHeader + count * kFileEntry > file.size()) return std::nullopt;
  std::vector<TIconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kDirectoryHeader + i * kFileEntry;
    const uint64_t length = Get32(file, entry + 8), offset = Get32(file, entry + 12);
    if (length == 0 || offset + length > file.size()) {
      problem = "image " + std::to_string(i + 1) + " of the icon file lies beyond its end";
      return std::nullopt;
    }
    TIconImage image;
    image.Entry.assign(file.begin() + entry, file.begin() + entry + kDescription);
    image.Data.assign(file.begin() + offset, file.begin() + offset + length);
    images.push_back(std::move(image));
  }
  return images;
}

void SetProgramIcon(TResourceDirectory& resources, const std::vector<TIconImage>& images) {
  TResourceKey groupName = TResourceKey::Number(1);
  uint16_t language = 0;
  std::set<uint16_t> replaced;
  std::vector<const TResource*> groups;
  for (const TResource& resource : resources.Resources()) {
    if (IsGroup(resource)) groups.push_back(&resource);
  }
  if (!groups.empty()) {
    // The first group in the loader's order is the one Explorer shows.
    const TResource& first = **std::min_element(groups.begin(), groups.end(), [](const TResource* a, const TResource* b) {
      return a->Name < b->Name || (a->Name == b->Name && a->Language < b->Language);
    });
    groupName = first.Name;
    language = first.Language;
    replaced = IconsOfGroup(first.Data);
  }
  resources.RemoveIf([&](const TResource& resource) {
    return (IsGroup(resource) && resource.Name == groupName) ||
           (IsIcon(resource) && !resource.Name.Name && replaced.count(resource.Name.Id) != 0);
  });

  std::set<uint16_t> taken;
  for (const TResource& resource : resources.Resources()) {
    if (IsIcon(resource) && !resource.Name.Name) taken.insert(resource.Name.Id);
  }
  std::vector<uint8_t> group;
  Append16(group, 0);
  Append16(group, kIconType);
  Append16(group, static_cast<uint32_t>(images.size()));
  uint16_t next = 1;
  for (const TIconImage& image : images) {
    while (taken.count(next) != 0) ++next;
    group.insert(group.end(), image.Entry.begin(), image.Entry.end());
    Append16(group, next);
    resources.Put({TResourceKey::Number(resource_type::kIcon), TResourceKey::Number(next), language, 0, image.Data});
    taken.insert(next);
  }
  resources.Put({TResourceKey::Number(resource_type::kGroupIcon), groupName, language, 0, std::move(group)});
}

}  // namespace vexpack
