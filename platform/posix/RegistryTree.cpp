#include "RegistryTree.h"

#include <algorithm>

namespace vexplat::detail {

namespace {

constexpr std::string_view kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                       "HKEY_USERS"};

bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

bool IsRootName(std::string_view fullPath) {
  return std::any_of(std::begin(kRoots), std::end(kRoots),
                     [&](std::string_view root) { return SameName(root, fullPath); });
}

std::string_view ParentPath(std::string_view path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

std::string_view LastComponent(std::string_view path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

RegistryValue* RegistryKey::FindValue(std::string_view name) {
  for (RegistryValue& value : values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  return const_cast<RegistryKey*>(this)->FindValue(name);
}

void RegistryKey::SetValue(RegistryValue value) {
  if (RegistryValue* existing = FindValue(value.name)) {
    // The stored name keeps the case it was created with, as on Windows.
    existing->type = value.type;
    existing->data = std::move(value.data);
    return;
  }
  values.push_back(std::move(value));
}

bool RegistryKey::DeleteValue(std::string_view name) {
  const auto it = std::find_if(values.begin(), values.end(),
                               [&](const RegistryValue& value) { return SameName(value.name, name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

RegistryKey* RegistryTree::Find(std::string_view path) {
  const auto it = keys_.find(FoldName(path));
  return it == keys_.end() ? nullptr : &it->second;
}

const RegistryKey* RegistryTree::Find(std::string_view path) const {
  return const_cast<RegistryTree*>(this)->Find(path);
}

RegistryKey& RegistryTree::Ensure(std::string_view path) {
  if (RegistryKey* existing = Find(path)) return *existing;
  const std::string_view parent = ParentPath(path);
  if (!parent.empty()) Ensure(parent);
  RegistryKey& key = keys_[FoldName(path)];
  key.path = std::string(path);
  return key;
}

void RegistryTree::RemoveTree(std::string_view path) {
  const std::string folded = FoldName(path);
  const std::string below = folded + "\\";
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == folded || it->first.compare(0, below.size(), below) == 0) {
      it = keys_.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<const RegistryKey*> RegistryTree::Children(std::string_view path) const {
  const std::string below = FoldName(path) + "\\";
  std::vector<const RegistryKey*> children;
  for (auto it = keys_.lower_bound(below); it != keys_.end(); ++it) {
    if (it->first.compare(0, below.size(), below) != 0) break;
    if (it->first.find('\\', below.size()) == std::string::npos) children.push_back(&it->second);
  }
  return children;
}

std::vector<const RegistryKey*> RegistryTree::AllKeys() const {
  std::vector<const RegistryKey*> all;
  all.reserve(keys_.size());
  for (const auto& entry : keys_) all.push_back(&entry.second);
  return all;
}

}  // namespace vexplat::detail
