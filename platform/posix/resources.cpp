// Resources: the program's own (the payload appended to its file) and those
// of PE files loaded as data files.
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "AnsiCase.h"
#include "ResourceModule.h"
#include "Recode.h"
#include "vexplat/payload_trailer.h"

namespace vexplat::detail {

namespace {

constexpr WORD kRcData = 10;
constexpr char kPayloadName[] = "APPEXE";

// The program file on POSIX: its one resource is the RCDATA "APPEXE", the
// payload behind the trailer at the end of the file.
class PayloadModule : public ResourceModule {
 public:
  PayloadModule() : fd_(open("/proc/self/exe", O_RDONLY | O_CLOEXEC)) {}
  ~PayloadModule() override {
    if (fd_ >= 0) close(fd_);
  }
  PayloadModule(const PayloadModule&) = delete;
  PayloadModule& operator=(const PayloadModule&) = delete;

 protected:
  std::optional<ResourceRecord> Locate(const ResourceId& type, const ResourceId& name, DWORD* error) override {
    *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    const auto payload = FindPayload();
    if (!payload || !type.Is(kRcData)) return std::nullopt;
    *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    if (name.isNumber || name.name != kPayloadName) return std::nullopt;
    if (payload->length > 0xFFFFFFFFu) {
      *error = ERROR_NOT_ENOUGH_MEMORY;  // a resource size is 32 bits
      return std::nullopt;
    }
    return ResourceRecord{payload->offset, static_cast<uint32_t>(payload->length)};
  }

  bool ReadAt(uint64_t offset, uint32_t size, std::string* bytes) override {
    return ReadFileAt(fd_, offset, size, bytes);
  }

 private:
  std::optional<PayloadLocation> FindPayload() {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0) return std::nullopt;
    const auto size = static_cast<uint64_t>(info.st_size);
    if (size < kPayloadTrailerSize) return std::nullopt;
    std::string trailer;
    if (!ReadAt(size - kPayloadTrailerSize, kPayloadTrailerSize, &trailer)) return std::nullopt;
    PayloadTrailerBytes bytes{};
    std::copy(trailer.begin(), trailer.end(), bytes.begin());
    return DecodePayloadTrailer(bytes, size);
  }

  int fd_;
};

}  // namespace

ResourceId ResourceId::Named(std::string gbk) {
  ResourceId id;
  id.name = UpperAnsi(gbk);
  return id;
}

std::optional<ResourceId> ResourceId::Of(LPCSTR id) {
  if (id == nullptr) return std::nullopt;
  if (IS_INTRESOURCE(id)) {
    ResourceId number;
    number.isNumber = true;
    number.number = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id) & 0xFFFF);
    return number;
  }
  if (id[0] == '#' && id[1] != '\0') {
    char* end = nullptr;
    const unsigned long value = std::strtoul(id + 1, &end, 10);
    if (*end == '\0' && value <= 0xFFFF) {
      ResourceId number;
      number.isNumber = true;
      number.number = static_cast<WORD>(value);
      return number;
    }
  }
  return Named(id);
}

bool ReadFileAt(int fd, uint64_t offset, uint32_t size, std::string* bytes) {
  bytes->resize(size);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, bytes->data() + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

const ResourceRecord* ResourceModule::Find(const ResourceId& type, const ResourceId& name) {
  DWORD error = ERROR_SUCCESS;
  const auto record = Locate(type, name, &error);
  if (!record) {
    SetLastError(error);
    return nullptr;
  }
  for (const ResourceRecord& known : records_) {
    if (known.offset == record->offset && known.size == record->size) return &known;
  }
  records_.push_back(*record);
  return &records_.back();
}

const std::string* ResourceModule::Load(const ResourceRecord* record) {
  if (const auto it = loaded_.find(record); it != loaded_.end()) return &it->second;
  std::string bytes;
  if (!ReadAt(record->offset, record->size, &bytes)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return &loaded_.emplace(record, std::move(bytes)).first->second;
}

bool ResourceModule::Owns(const ResourceRecord* record) const {
  for (const ResourceRecord& known : records_) {
    if (&known == record) return true;
  }
  return false;
}

ModuleTable& ModuleTable::Instance() {
  static ModuleTable table;
  return table;
}

ResourceModule& ModuleTable::Self() {
  if (!self_) self_ = std::make_unique<PayloadModule>();
  return *self_;
}

ResourceModule* ModuleTable::Get(HMODULE handle) {
  if (handle == nullptr || handle == SelfHandle()) return &Self();
  const auto it = loaded_.find(handle);
  return it == loaded_.end() ? nullptr : it->second.get();
}

HMODULE ModuleTable::Add(std::unique_ptr<ResourceModule> module) {
  const HMODULE handle = ToHandle(module.get());
  loaded_.emplace(handle, std::move(module));
  return handle;
}

bool ModuleTable::Remove(HMODULE handle) { return loaded_.erase(handle) != 0; }

}  // namespace vexplat::detail

namespace {

using vexplat::detail::ModuleTable;
using vexplat::detail::ResourceId;
using vexplat::detail::ResourceModule;
using vexplat::detail::ResourceRecord;

// The module and record behind a pair of handles, checked.
const ResourceRecord* RecordOf(ResourceModule* module, HRSRC hResInfo) {
  const auto* record = reinterpret_cast<const ResourceRecord*>(hResInfo);
  if (module == nullptr || record == nullptr || !module->Owns(record)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return record;
}

}  // namespace

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  const auto name = ResourceId::Of(lpName);
  const auto type = ResourceId::Of(lpType);
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  ResourceModule* module = table.Get(hModule);
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const ResourceRecord* record = module->Find(*type, *name);
  return reinterpret_cast<HRSRC>(const_cast<ResourceRecord*>(record));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  ResourceModule* module = table.Get(hModule);
  const ResourceRecord* record = RecordOf(module, hResInfo);
  if (record == nullptr) return nullptr;
  const std::string* bytes = module->Load(record);
  return bytes == nullptr ? nullptr : static_cast<HGLOBAL>(const_cast<char*>(bytes->data()));
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  const ResourceRecord* record = RecordOf(table.Get(hModule), hResInfo);
  return record == nullptr ? 0 : record->size;
}

BOOL WINAPI FreeResource(HGLOBAL hResData) {
  (void)hResData;
  return FALSE;
}
