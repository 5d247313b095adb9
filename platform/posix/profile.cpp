// INI files through the Windows profile functions.
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "IniText.h"
#include "Recode.h"

namespace {

using vexplat::detail::IniLine;
using vexplat::detail::IniText;

// Copies a value with the Windows rule: a value that does not fit is cut
// to nSize - 1 bytes (here never inside a double-byte character).
DWORD DeliverValue(const std::string& value, LPSTR buffer, DWORD size) {
  size_t count = 0;
  while (count < value.size()) {
    const size_t width = vexplat::detail::IsGbkLeadByte(static_cast<unsigned char>(value[count])) ? 2 : 1;
    if (count + width > size - 1) break;
    count += width;
  }
  count = std::min(count, value.size());
  std::memcpy(buffer, value.data(), count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}

// Copies names as "a\0b\0\0"; a list that does not fit is cut and closed
// with two NULs, answering nSize - 2.
DWORD DeliverList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::string list;
  for (const std::string& name : names) list += name + '\0';
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    if (list.empty()) buffer[1] = '\0';
    return static_cast<DWORD>(list.size());
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::string DefaultOf(LPCSTR lpDefault) {
  std::string text = lpDefault != nullptr ? lpDefault : "";
  // Windows drops trailing blanks of the default.
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// The value of a key; nothing (last error 2) when the file, section or key
// is missing.
std::optional<std::string> LookUp(LPCSTR section, LPCSTR key, LPCSTR fileName) {
  DWORD error = ERROR_SUCCESS;
  const auto text = IniText::Read(fileName, &error);
  if (!text) {
    SetLastError(error);
    return std::nullopt;
  }
  const auto header = text->FindSection(section);
  const auto line = header ? text->FindKey(*header, key) : std::nullopt;
  if (!line) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  return vexplat::detail::ClassifyIniLine(text->Lines()[*line]).value;
}

// Decimal, or hexadecimal after "0x"; reading stops at the first character
// that is no digit.
UINT ParseProfileInt(const std::string& text) {
  size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative || (i < text.size() && text[i] == '+')) ++i;
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  UINT value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

}  // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    lpReturnedString[0] = '\0';
    return 0;
  }
  if (lpAppName == nullptr || lpKeyName == nullptr) {
    DWORD error = ERROR_SUCCESS;
    const auto text = IniText::Read(lpFileName, &error);
    if (!text) SetLastError(error);
    std::vector<std::string> names;
    if (text && lpAppName == nullptr) {
      names = text->SectionNames();
    } else if (text) {
      if (const auto header = text->FindSection(lpAppName)) names = text->KeyNames(*header);
    }
    if (!text || (names.empty() && lpAppName != nullptr)) {
      // Nothing to list: the default stands in, as on Windows.
      return DeliverValue(DefaultOf(lpDefault), lpReturnedString, nSize);
    }
    return DeliverList(names, lpReturnedString, nSize);
  }
  const auto value = LookUp(lpAppName, lpKeyName, lpFileName);
  return DeliverValue(value ? *value : DefaultOf(lpDefault), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  if (lpAppName == nullptr || lpKeyName == nullptr || lpFileName == nullptr) return static_cast<UINT>(nDefault);
  const auto value = LookUp(lpAppName, lpKeyName, lpFileName);
  if (!value || value->empty()) return static_cast<UINT>(nDefault);
  return ParseProfileInt(*value);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName) {
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lpAppName == nullptr) {
    // All NULL flushes the (nonexistent) cache.
    if (lpKeyName == nullptr && lpString == nullptr) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = ERROR_SUCCESS;
  auto text = IniText::Read(lpFileName, &error);
  if (!text) {
    if (error != ERROR_FILE_NOT_FOUND) {
      SetLastError(error);
      return FALSE;
    }
    if (lpKeyName == nullptr || lpString == nullptr) return TRUE;  // nothing to remove
    text = IniText::Empty();
  }
  std::vector<std::string>& lines = text->Lines();
  const auto header = text->FindSection(lpAppName);
  if (lpKeyName == nullptr) {
    if (!header) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*header),
                lines.begin() + static_cast<std::ptrdiff_t>(text->SectionEnd(*header)));
  } else if (lpString == nullptr) {
    const auto line = header ? text->FindKey(*header, lpKeyName) : std::nullopt;
    if (!line) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*line));
  } else {
    const std::string entry = std::string(lpKeyName) + "=" + lpString;
    if (!header) {
      // Appended piece by piece: GCC 12 warns falsely about "[" + string.
      std::string sectionHeader = "[";
      sectionHeader += lpAppName;
      sectionHeader += ']';
      lines.push_back(std::move(sectionHeader));
      lines.push_back(entry);
    } else if (const auto line = text->FindKey(*header, lpKeyName)) {
      lines[*line] = entry;
    } else {
      // After the section's last non-blank line.
      size_t at = text->SectionEnd(*header);
      while (at > *header + 1 && vexplat::detail::ClassifyIniLine(lines[at - 1]).kind == IniLine::kOther &&
             lines[at - 1].find_first_not_of(" \t") == std::string::npos) {
        --at;
      }
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    }
  }
  error = text->Write(lpFileName);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
