// The shell link: IShellLinkA stores the parts, IPersistFile::Save writes
// them as a binary .lnk file that Windows and lnkinfo read.
#include <windows.h>

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "LnkFile.h"
#include "Recode.h"
#include "ShellLink.h"

namespace vexplat::detail {

namespace {

HRESULT CopyOut(const std::string& text, LPSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return E_INVALIDARG;
  const size_t count = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return S_OK;
}

HRESULT Store(std::string& slot, LPCSTR text) {
  if (text == nullptr) return E_INVALIDARG;
  slot = text;
  return S_OK;
}

std::optional<std::string> AnsiOf(LPCOLESTR wide) { return vexplat::detail::NarrowOf(CP_ACP, wide); }

// What the file system knows of the target: full path, attributes, size,
// times and its volume. A target that does not exist keeps zeros.
LinkTarget DescribeTarget(const std::string& path) {
  LinkTarget target;
  char full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  target.path = length > 0 && length < MAX_PATH ? std::string(full, length) : path;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA(target.path.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    target.attributes = found.dwFileAttributes;
    target.size = found.nFileSizeLow;
    target.creation = found.ftCreationTime;
    target.access = found.ftLastAccessTime;
    target.write = found.ftLastWriteTime;
  }
  if (target.path.size() >= 3 && target.path[1] == ':' && target.path[2] == '\\') {
    const std::string root = target.path.substr(0, 3);
    target.driveType = GetDriveTypeA(root.c_str());
    char label[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, nullptr, nullptr, nullptr, 0)) {
      target.volumeLabel = label;
      target.serialNumber = serial;
    }
  }
  return target;
}

class ShellLink final : public IShellLinkA, public IPersistFile {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
      *object = static_cast<IShellLinkA*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IShellLinkA
  HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int size, WIN32_FIND_DATAA* found, DWORD flags) override {
    (void)flags;
    if (found != nullptr) {
      *found = WIN32_FIND_DATAA{};
      const size_t cut = parts_.target.path.find_last_of("\\:");
      const std::string name = cut == std::string::npos ? parts_.target.path : parts_.target.path.substr(cut + 1);
      CopyOut(name, found->cFileName, MAX_PATH);
    }
    const HRESULT result = CopyOut(parts_.target.path, file, size);
    return result == S_OK && parts_.target.path.empty() ? S_FALSE : result;
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) override {
    if (list != nullptr) *list = nullptr;
    return E_NOTIMPL;  // links are made from paths here, never from item lists
  }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) override {
    (void)list;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int size) override {
    return CopyOut(parts_.description, name, size);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) override { return Changed(Store(parts_.description, name)); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR dir, int size) override {
    return CopyOut(parts_.workingDirectory, dir, size);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR dir) override {
    return Changed(Store(parts_.workingDirectory, dir));
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPSTR args, int size) override {
    return CopyOut(parts_.arguments, args, size);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR args) override { return Changed(Store(parts_.arguments, args)); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* hotkey) override {
    if (hotkey == nullptr) return E_INVALIDARG;
    *hotkey = parts_.hotkey;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotkey) override {
    parts_.hotkey = hotkey;
    return Changed(S_OK);
  }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* show) override {
    if (show == nullptr) return E_INVALIDARG;
    *show = parts_.showCommand;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int show) override {
    parts_.showCommand = show;
    return Changed(S_OK);
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR path, int size, int* icon) override {
    if (icon == nullptr) return E_INVALIDARG;
    *icon = parts_.iconIndex;
    return CopyOut(parts_.iconLocation, path, size);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR path, int icon) override {
    parts_.iconIndex = icon;
    return Changed(Store(parts_.iconLocation, path));
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR path, DWORD reserved) override {
    (void)reserved;
    return Changed(Store(parts_.relativePath, path));
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND window, DWORD flags) override {
    (void)window;
    (void)flags;
    return S_OK;  // the stored path is the link target; there is nothing to look for
  }
  HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) override {
    if (file == nullptr) return E_INVALIDARG;
    parts_.target.path = file;
    return Changed(S_OK);
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
    if (id == nullptr) return E_POINTER;
    *id = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR file, DWORD mode) override {
    (void)file;
    (void)mode;
    return E_NOTIMPL;  // the program only writes links
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, BOOL remember) override {
    std::optional<std::string> path = file != nullptr ? AnsiOf(file) : current_;
    if (!path || path->empty()) return E_INVALIDARG;
    LinkParts parts = parts_;
    if (!parts.target.path.empty()) parts.target = DescribeTarget(parts.target.path);
    const std::string bytes = FormatLnkFile(parts);
    HANDLE handle =
        CreateFileA(path->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    DWORD written = 0;
    const BOOL ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok || written != bytes.size()) {
      DeleteFileA(path->c_str());  // no half-written link stays behind
      return HRESULT_FROM_WIN32(ok ? ERROR_DISK_FULL : error);
    }
    if (remember) current_ = *path;
    dirty_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR file) override {
    (void)file;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* file) override {
    if (file == nullptr) return E_POINTER;
    *file = nullptr;
    const std::string name = current_.value_or("*.lnk");
    const int count = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, nullptr, 0);
    if (count <= 0) return E_FAIL;
    *file = static_cast<LPOLESTR>(CoTaskMemAlloc(static_cast<SIZE_T>(count) * sizeof(OLECHAR)));
    if (*file == nullptr) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, *file, count);
    return current_ ? S_OK : S_FALSE;
  }

 private:
  ~ShellLink() = default;

  HRESULT Changed(HRESULT result) {
    if (result == S_OK) dirty_ = true;
    return result;
  }

  std::atomic<ULONG> references_{1};
  LinkParts parts_;
  std::optional<std::string> current_;
  bool dirty_ = false;
};

}  // namespace

HRESULT CreateShellLink(REFIID riid, void** object) {
  auto* link = new ShellLink;
  const HRESULT result = link->QueryInterface(riid, object);
  link->Release();  // the interface holds the reference now, or the object goes
  return result;
}

}  // namespace vexplat::detail
