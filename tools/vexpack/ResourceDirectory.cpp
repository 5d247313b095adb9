#include "ResourceDirectory.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "LittleEndian.h"

namespace vexpack {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kTableHeader = 16;
constexpr uint32_t kTableEntry = 8;
constexpr uint32_t kDataEntry = 16;
constexpr int kLanguageLevel = 2;

// Walks the three levels (type, name, language) of a resource directory.
class TDirectoryReader {
 public:
  TDirectoryReader(const TPeImage& image, std::vector<uint8_t> directory)
      : image_(image), directory_(std::move(directory)) {}

  bool ReadTable(uint32_t offset, int level, TResource& path, std::vector<TResource>& found) {
    // Each table once: a directory that loops or shares tables is damaged.
    if (!visited_.insert(offset).second || !Fits(offset, kTableHeader)) return Damaged();
    const uint32_t count = Get16(directory_, offset + 12) + Get16(directory_, offset + 14);
    if (!Fits(offset + kTableHeader, uint64_t{count} * kTableEntry)) return Damaged();
    for (uint32_t i = 0; i < count; ++i) {
      const size_t entry = offset + kTableHeader + size_t{i} * kTableEntry;
      TResourceKey key;
      if (!ReadKey(Get32(directory_, entry), key)) return false;
      const uint32_t target = Get32(directory_, entry + 4);
      const bool subdirectory = (target & kHighBit) != 0;
      if (subdirectory != (level < kLanguageLevel)) return Damaged();
      if (level == 0) path.Type = key;
      if (level == 1) path.Name = key;
      if (subdirectory) {
        if (!ReadTable(target & ~kHighBit, level + 1, path, found)) return false;
        continue;
      }
      if (key.Name) return Damaged();
      path.Language = key.Id;
      if (!ReadData(target, path)) return false;
      found.push_back(path);
    }
    return true;
  }

  std::string problem;

 private:
  bool Fits(uint64_t offset, uint64_t size) const { return offset + size <= directory_.size(); }
  bool Damaged() {
    problem = "the resource directory is damaged";
    return false;
  }

  bool ReadKey(uint32_t field, TResourceKey& key) {
    if ((field & kHighBit) == 0) {
      key = TResourceKey::Number(static_cast<uint16_t>(field));
      return true;
    }
    const uint32_t at = field & ~kHighBit;
    if (!Fits(at, 2)) return Damaged();
    const uint32_t length = Get16(directory_, at);
    if (!Fits(at + 2, 2 * uint64_t{length})) return Damaged();
    std::u16string name;
    for (uint32_t i = 0; i < length; ++i) name += static_cast<char16_t>(Get16(directory_, at + 2 + 2 * i));
    key = TResourceKey::Text(std::move(name));
    return true;
  }

  bool ReadData(uint32_t entry, TResource& resource) {
    if (!Fits(entry, kDataEntry)) return Damaged();
    std::optional<std::vector<uint8_t>> data = image_.ReadRva(Get32(directory_, entry), Get32(directory_, entry + 4));
    if (!data) {
      problem = "a resource lies outside the program's data";
      return false;
    }
    resource.CodePage = Get32(directory_, entry + 8);
    resource.Data = std::move(*data);
    return true;
  }

  const TPeImage& image_;
  std::vector<uint8_t> directory_;
  std::set<uint32_t> visited_;
};

struct TNameGroup {
  TResourceKey Name;
  std::vector<const TResource*> Languages;
};
struct TTypeGroup {
  TResourceKey Type;
  std::vector<TNameGroup> Names;
};

std::vector<TTypeGroup> Group(const std::vector<TResource>& resources) {
  std::vector<const TResource*> sorted;
  for (const TResource& resource : resources) sorted.push_back(&resource);
  std::sort(sorted.begin(), sorted.end(), [](const TResource* a, const TResource* b) {
    return std::tie(a->Type, a->Name, a->Language) < std::tie(b->Type, b->Name, b->Language);
  });
  std::vector<TTypeGroup> types;
  for (const TResource* resource : sorted) {
    if (types.empty() || !(types.back().Type == resource->Type)) types.push_back({resource->Type, {}});
    std::vector<TNameGroup>& names = types.back().Names;
    if (names.empty() || !(names.back().Name == resource->Name)) names.push_back({resource->Name, {}});
    names.back().Languages.push_back(resource);
  }
  return types;
}

// Writes the section in one pass over precomputed regions: tables, then data
// entries, then name strings, then the data.
class TSectionWriter {
 public:
  TSectionWriter(const std::vector<TTypeGroup>& types, uint32_t rva) : types_(types), rva_(rva) {}

  std::vector<uint8_t> Write() {
    size_t tables = TableSize(types_.size()), entries = 0, strings = 0;
    const auto countKey = [&](const TResourceKey& key) {
      if (key.Name) strings += 2 + 2 * key.Name->size();
    };
    for (const TTypeGroup& type : types_) {
      countKey(type.Type);
      tables += TableSize(type.Names.size());
      for (const TNameGroup& name : type.Names) {
        countKey(name.Name);
        tables += TableSize(name.Languages.size());
        entries += name.Languages.size();
      }
    }
    nextTable_ = 0;
    nextEntry_ = tables;
    nextString_ = tables + kDataEntry * entries;
    out_.assign(AlignUp(nextString_ + strings, 8), 0);

    const size_t root = StartTable(types_.size(), [&](size_t i) { return types_[i].Type; });
    for (size_t t = 0; t < types_.size(); ++t) {
      const std::vector<TNameGroup>& names = types_[t].Names;
      const size_t nameTable = StartTable(names.size(), [&](size_t i) { return names[i].Name; });
      Put32(out_, root + kTableHeader + kTableEntry * t + 4, kHighBit | static_cast<uint32_t>(nameTable));
      for (size_t n = 0; n < names.size(); ++n) {
        const std::vector<const TResource*>& languages = names[n].Languages;
        const size_t languageTable =
            StartTable(languages.size(), [&](size_t i) { return TResourceKey::Number(languages[i]->Language); });
        Put32(out_, nameTable + kTableHeader + kTableEntry * n + 4, kHighBit | static_cast<uint32_t>(languageTable));
        for (size_t l = 0; l < languages.size(); ++l) {
          Put32(out_, languageTable + kTableHeader + kTableEntry * l + 4, static_cast<uint32_t>(AddData(*languages[l])));
        }
      }
    }
    return std::move(out_);
  }

 private:
  static size_t TableSize(size_t count) { return kTableHeader + kTableEntry * count; }

  // A table of `count` entries keyed by `keyAt(i)`; the targets are filled in
  // by the caller. Returns its offset.
  template <typename KeyAt>
  size_t StartTable(size_t count, KeyAt keyAt) {
    const size_t table = nextTable_;
    nextTable_ += TableSize(count);
    uint32_t named = 0;
    for (size_t i = 0; i < count; ++i) {
      const TResourceKey key = keyAt(i);
      named += key.Name ? 1 : 0;
      Put32(out_, table + kTableHeader + kTableEntry * i, key.Name ? kHighBit | AddString(*key.Name) : key.Id);
    }
    Put16(out_, table + 12, named);
    Put16(out_, table + 14, static_cast<uint32_t>(count) - named);
    return table;
  }

  uint32_t AddString(const std::u16string& text) {
    const size_t at = nextString_;
    Put16(out_, at, static_cast<uint32_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) Put16(out_, at + 2 + 2 * i, text[i]);
    nextString_ += 2 + 2 * text.size();
    return static_cast<uint32_t>(at);
  }

  size_t AddData(const TResource& resource) {
    const size_t entry = nextEntry_;
    nextEntry_ += kDataEntry;
    PadTo(out_, 8);
    Put32(out_, entry, rva_ + static_cast<uint32_t>(out_.size()));
    Put32(out_, entry + 4, static_cast<uint32_t>(resource.Data.size()));
    Put32(out_, entry + 8, resource.CodePage);
    out_.insert(out_.end(), resource.Data.begin(), resource.Data.end());
    return entry;
  }

  const std::vector<TTypeGroup>& types_;
  uint32_t rva_;
  size_t nextTable_ = 0, nextEntry_ = 0, nextString_ = 0;
  std::vector<uint8_t> out_;
};

}  // namespace

bool TResourceKey::operator<(const TResourceKey& other) const {
  if (Name.has_value() != other.Name.has_value()) return Name.has_value();
  return Name ? *Name < *other.Name : Id < other.Id;
}

std::optional<TResourceDirectory> TResourceDirectory::Read(const TPeImage& image, std::string& problem) {
  TResourceDirectory result;
  const TDataDirectory where = image.Directory(TPeImage::kResourceDirectory);
  if (where.Rva == 0 && where.Size == 0) return result;
  std::optional<std::vector<uint8_t>> directory = image.ReadRestOfSection(where.Rva);
  if (!directory) {
    problem = "the resource directory lies outside the program's sections";
    return std::nullopt;
  }
  TDirectoryReader reader(image, std::move(*directory));
  TResource path;
  if (!reader.ReadTable(0, 0, path, result.resources_)) {
    problem = reader.problem;
    return std::nullopt;
  }
  return result;
}

void TResourceDirectory::Put(TResource resource) {
  RemoveIf([&](const TResource& old) { return old.Type == resource.Type && old.Name == resource.Name; });
  resources_.push_back(std::move(resource));
}

std::vector<uint8_t> TResourceDirectory::Build(uint32_t rva) const {
  const std::vector<TTypeGroup> types = Group(resources_);
  return TSectionWriter(types, rva).Write();
}

}  // namespace vexpack
