// Modules with resources: the program itself (its appended payload) and PE
// files loaded as data files. POSIX-only, internal to platform/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vexplat::detail {

// A resource type or name: a number, or a name compared in upper case.
struct ResourceId {
  bool isNumber = false;
  WORD number = 0;
  std::string name;  // upper-cased GBK

  // MAKEINTRESOURCE values and "#123" are numbers, anything else a name.
  static std::optional<ResourceId> Of(LPCSTR id);
  // A name, upper-cased as resource compilers store names.
  static ResourceId Named(std::string gbk);
  bool Is(WORD value) const { return isNumber && number == value; }
};

// Where a resource's bytes lie in the module's file.
struct ResourceRecord {
  uint64_t offset = 0;
  uint32_t size = 0;
};

class ResourceModule {
 public:
  virtual ~ResourceModule() = default;

  // The record of a resource (stable for the module's life), or nothing
  // with the last error set (1813 type missing, 1814 name missing).
  const ResourceRecord* Find(const ResourceId& type, const ResourceId& name);
  // The bytes of one of this module's records, read once and kept.
  const std::string* Load(const ResourceRecord* record);
  bool Owns(const ResourceRecord* record) const;

 protected:
  virtual std::optional<ResourceRecord> Locate(const ResourceId& type, const ResourceId& name, DWORD* error) = 0;
  virtual bool ReadAt(uint64_t offset, uint32_t size, std::string* bytes) = 0;

 private:
  std::deque<ResourceRecord> records_;
  std::map<const ResourceRecord*, std::string> loaded_;
};

// Reads exactly size bytes of an open file at offset; false when the file
// ends before them or cannot be read.
bool ReadFileAt(int fd, uint64_t offset, uint32_t size, std::string* bytes);

// Every module known to the stand-in, behind one lock: HMODULE values are
// checked against it.
class ModuleTable {
 public:
  static ModuleTable& Instance();

  std::mutex& Lock() { return lock_; }
  // The program itself, the module of hModule NULL.
  ResourceModule& Self();
  HMODULE SelfHandle() { return ToHandle(&Self()); }
  // The module of a handle; NULL stands for the program.
  ResourceModule* Get(HMODULE handle);
  HMODULE Add(std::unique_ptr<ResourceModule> module);
  bool Remove(HMODULE handle);

 private:
  static HMODULE ToHandle(ResourceModule* module) { return reinterpret_cast<HMODULE>(module); }

  std::mutex lock_;
  std::unique_ptr<ResourceModule> self_;
  std::map<HMODULE, std::unique_ptr<ResourceModule>> loaded_;
};

}  // namespace vexplat::detail
