// The COM runtime of the stand-in: per-thread initialisation, the task
// allocator and the one class it serves, the shell link.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>

#include "ShellLink.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IMalloc = {0x00000002, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

thread_local unsigned initialisations = 0;

// The task allocator: malloc with a size header, so GetSize can answer.
class TaskAllocator final : public IMalloc {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMalloc) {
      *object = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }  // lives as long as the process
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return CoTaskMemAlloc(size); }
  void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override { return CoTaskMemRealloc(block, size); }
  void STDMETHODCALLTYPE Free(void* block) override { CoTaskMemFree(block); }
  SIZE_T STDMETHODCALLTYPE GetSize(void* block) override {
    return block == nullptr ? static_cast<SIZE_T>(-1) : *(static_cast<SIZE_T*>(block) - 2);
  }
  int STDMETHODCALLTYPE DidAlloc(void* block) override { return block == nullptr ? 0 : -1; }
  void STDMETHODCALLTYPE HeapMinimize() override {}
};

TaskAllocator taskAllocator;

// Blocks carry their size in a header of two words (keeping alignment).
constexpr size_t kHeader = 2 * sizeof(SIZE_T);

}  // namespace

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  (void)dwCoInit;
  if (pvReserved != nullptr) return E_INVALIDARG;
  return initialisations++ == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void WINAPI CoUninitialize() {
  if (initialisations > 0) --initialisations;
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (initialisations == 0) return CO_E_NOTINITIALIZED;
  if (rclsid != CLSID_ShellLink || (dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  return vexplat::detail::CreateShellLink(riid, ppv);
}

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
  auto* block = static_cast<SIZE_T*>(std::malloc(cb + kHeader));
  if (block == nullptr) return nullptr;
  block[0] = cb;
  return reinterpret_cast<char*>(block) + kHeader;
}

LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  if (pv == nullptr) return CoTaskMemAlloc(cb);
  auto* block = static_cast<SIZE_T*>(std::realloc(static_cast<char*>(pv) - kHeader, cb + kHeader));
  if (block == nullptr) return nullptr;
  block[0] = cb;
  return reinterpret_cast<char*>(block) + kHeader;
}

void WINAPI CoTaskMemFree(LPVOID pv) {
  if (pv != nullptr) std::free(static_cast<char*>(pv) - kHeader);
}

HRESULT WINAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc) {
  if (ppMalloc == nullptr) return E_POINTER;
  if (dwMemContext != 1) {  // MEMCTX_TASK
    *ppMalloc = nullptr;
    return E_INVALIDARG;
  }
  *ppMalloc = &taskAllocator;
  return S_OK;
}

HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc) { return CoGetMalloc(1, ppMalloc); }

void WINAPI ILFree(PIDLIST_ABSOLUTE pidl) { CoTaskMemFree(pidl); }
