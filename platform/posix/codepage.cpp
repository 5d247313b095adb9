#include <windows.h>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "Recode.h"

namespace vexplat::detail {
namespace {

constexpr UINT kGbk = 936;

// One iconv descriptor per direction and thread: descriptors keep state and
// must not be shared between threads.
class IconvHandle {
 public:
  IconvHandle(const char* from, const char* to) : descriptor_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(descriptor_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool valid() const { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return descriptor_; }
  void Reset() { iconv(descriptor_, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t descriptor_;
};

IconvHandle* ThreadConverter(const char* from, const char* to) {
  thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<IconvHandle>> converters;
  auto& slot = converters[{from, to}];
  if (!slot) slot = std::make_unique<IconvHandle>(from, to);
  return slot->valid() ? slot.get() : nullptr;
}

}  // namespace

const char* IconvName(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case kGbk:
      return "CP936";
    case CP_UTF8:
      return "UTF-8";
    default:
      return nullptr;
  }
}

std::optional<RecodeResult> Recode(std::string_view input, const char* from, const char* to, bool strict,
                                   size_t inputUnit, std::string_view replacement) {
  IconvHandle* converter = ThreadConverter(from, to);
  if (converter == nullptr) return std::nullopt;
  converter->Reset();

  RecodeResult result;
  std::string chunk(4 * input.size() + 16, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = chunk.data();
    size_t outLeft = chunk.size();
    const size_t rc = iconv(converter->get(), &in, &inLeft, &out, &outLeft);
    const int error = errno;
    result.bytes.append(chunk.data(), chunk.size() - outLeft);
    if (rc != static_cast<size_t>(-1)) break;
    if (error == E2BIG) continue;
    // EILSEQ (bad sequence) or EINVAL (truncated at the end).
    if (strict) return std::nullopt;
    result.replaced = true;
    result.bytes.append(replacement);
    size_t skip = std::min(inLeft, error == EINVAL ? inLeft : inputUnit);
    // A bad UTF-8 character is replaced once, not once per byte.
    if (std::strcmp(from, "UTF-8") == 0) {
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    }
    in += skip;
    inLeft -= skip;
    converter->Reset();
  }
  return result;
}

namespace {

// Both code pages spell ASCII alike: most names need no converter.
bool IsAscii(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  auto result = Recode(gbk, "CP936", "UTF-8", true, 1, {});
  if (!result) return std::nullopt;
  return std::move(result->bytes);
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  auto result = Recode(utf8, "UTF-8", "CP936", true, 1, {});
  if (!result) return std::nullopt;
  return std::move(result->bytes);
}

std::string Utf8ToGbkLossy(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  auto result = Recode(utf8, "UTF-8", "CP936", false, 1, "?");
  return result ? std::move(result->bytes) : std::string(utf8.size(), '?');
}

}  // namespace vexplat::detail

namespace {

using vexplat::detail::IconvName;
using vexplat::detail::Recode;

constexpr char kWide[] = "WCHAR_T";

// Copies a converted result to the caller's buffer with the Win32 rules:
// a zero capacity asks for the size; too small a buffer is an error.
template <typename Unit>
int Deliver(const std::string& bytes, Unit* buffer, int capacity) {
  const int count = static_cast<int>(bytes.size() / sizeof(Unit));
  if (capacity == 0) return count;
  if (count > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, bytes.data(), bytes.size());
  return count;
}

}  // namespace

UINT WINAPI GetACP() { return 936; }
UINT WINAPI GetOEMCP() { return 936; }

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
  const char* name = IconvName(CodePage);
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (CodePage == CP_UTF8) return FALSE;
  return vexplat::detail::IsGbkLeadByte(TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  const char* name = IconvName(CodePage);
  if (name == nullptr || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // -1: the text is NUL-terminated and the terminator is converted too.
  const size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
  const bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  const wchar_t replacement = CodePage == CP_UTF8 ? L'\xFFFD' : L'?';
  auto result = Recode(std::string_view(lpMultiByteStr, length), name, kWide, strict, 1,
                       std::string_view(reinterpret_cast<const char*>(&replacement), sizeof replacement));
  if (!result) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(result->bytes, lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
  (void)dwFlags;
  const char* name = IconvName(CodePage);
  const bool utf8 = CodePage == CP_UTF8;
  if (name == nullptr || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
      (utf8 && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t count = cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<size_t>(cchWideChar);
  const std::string_view replacement = utf8 ? std::string_view("\xEF\xBF\xBD")
                                            : std::string_view(lpDefaultChar != nullptr ? lpDefaultChar : "?", 1);
  auto result = Recode(std::string_view(reinterpret_cast<const char*>(lpWideCharStr), count * sizeof(wchar_t)),
                       kWide, name, false, sizeof(wchar_t), replacement);
  if (!result) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = result->replaced ? TRUE : FALSE;
  return Deliver(result->bytes, lpMultiByteStr, cbMultiByte);
}

namespace vexplat::detail {

std::wstring WideOf(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int count = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), count);
  return wide;
}

std::optional<std::string> NarrowOf(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace vexplat::detail
