#include "DosAttributes.h"

#include <sys/xattr.h>

#include <cstdio>
#include <cstdlib>

namespace vexplat::detail {
namespace {

constexpr char kAttributeName[] = "user.DOSATTRIB";

std::optional<DWORD> Parse(const char* text, ssize_t length) {
  if (length <= 2) return std::nullopt;
  const std::string value(text, static_cast<size_t>(length));
  if (value.rfind("0x", 0) != 0) return std::nullopt;
  char* end = nullptr;
  const unsigned long bits = std::strtoul(value.c_str() + 2, &end, 16);
  return static_cast<DWORD>(bits) & kStoredAttributes;
}

std::string Format(DWORD attributes) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes & kStoredAttributes));
  return text;
}

}  // namespace

DWORD AttributesOf(const std::string& posixPath, const struct stat& info) {
  char text[64];
  const ssize_t length = getxattr(posixPath.c_str(), kAttributeName, text, sizeof text);
  const bool directory = S_ISDIR(info.st_mode);
  DWORD attributes = 0;
  if (const auto stored = Parse(text, length)) {
    attributes = *stored;
  } else if (!directory) {
    attributes = FILE_ATTRIBUTE_ARCHIVE;
  }
  if (directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (IsReadOnly(info)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

void StoreDosAttributes(const std::string& posixPath, DWORD attributes) {
  const std::string value = Format(attributes);
  setxattr(posixPath.c_str(), kAttributeName, value.data(), value.size(), 0);
}

void StoreDosAttributes(int fd, DWORD attributes) {
  const std::string value = Format(attributes);
  fsetxattr(fd, kAttributeName, value.data(), value.size(), 0);
}

std::optional<DWORD> StoredDosAttributes(int fd) {
  char text[64];
  return Parse(text, fgetxattr(fd, kAttributeName, text, sizeof text));
}

void MarkArchived(int fd) {
  const auto stored = StoredDosAttributes(fd);
  if (stored && (*stored & FILE_ATTRIBUTE_ARCHIVE) == 0) StoreDosAttributes(fd, *stored | FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace vexplat::detail
