// The registry as the stand-in keeps it in memory between reading and
// rewriting its .reg file. Names are UTF-8 (the file's form) and match
// without regard to ASCII case; string data is UTF-16LE, as Windows keeps it.
// POSIX-only, internal to platform/.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexplat::detail {

struct RegistryValue {
  std::string name;  // empty for the default value "@"
  uint32_t type = 0;
  std::string data;  // raw bytes; UTF-16LE for the string types
};

struct RegistryKey {
  std::string path;  // full path with its root, "HKEY_LOCAL_MACHINE\SOFTWARE\..."
  std::vector<RegistryValue> values;

  RegistryValue* FindValue(std::string_view name);
  const RegistryValue* FindValue(std::string_view name) const;
  void SetValue(RegistryValue value);
  bool DeleteValue(std::string_view name);
};

// ASCII upper case of a UTF-8 name: the key under which names are compared.
std::string FoldName(std::string_view name);

// The names of the four roots, full form.
bool IsRootName(std::string_view fullPath);

class RegistryTree {
 public:
  RegistryKey* Find(std::string_view path);
  const RegistryKey* Find(std::string_view path) const;
  // The key, created with every missing ancestor below its root.
  RegistryKey& Ensure(std::string_view path);
  // Removes the key and everything below it.
  void RemoveTree(std::string_view path);
  // The direct subkeys of a key, sorted by name.
  std::vector<const RegistryKey*> Children(std::string_view path) const;
  std::vector<const RegistryKey*> AllKeys() const;

 private:
  std::map<std::string, RegistryKey> keys_;  // by FoldName(path)
};

// The parent path ("A\B" of "A\B\C"), empty for a root.
std::string_view ParentPath(std::string_view path);
std::string_view LastComponent(std::string_view path);

}  // namespace vexplat::detail
