#include "LnkFile.h"

#include <algorithm>

#include "Utf16Text.h"

namespace vexplat::detail {

namespace {

enum LinkFlags : uint32_t {
  kHasLinkInfo = 0x00000002,
  kHasName = 0x00000004,
  kHasRelativePath = 0x00000008,
  kHasWorkingDir = 0x00000010,
  kHasArguments = 0x00000020,
  kHasIconLocation = 0x00000040,
  kIsUnicode = 0x00000080,
};

constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr char kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      '\xC0', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutTime(std::string& out, const FILETIME& time) {
  Put32(out, time.dwLowDateTime);
  Put32(out, time.dwHighDateTime);
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A counted UTF-16 string of the StringData section; the count is 16 bits.
void PutCountedString(std::string& out, const std::string& gbk) {
  std::string utf16 = GbkToUtf16Le(gbk);
  utf16.resize(std::min<size_t>(utf16.size(), 0xFFFF * 2));
  Put16(out, static_cast<uint32_t>(utf16.size() / 2));
  out += utf16;
}

std::string VolumeId(const LinkTarget& target) {
  std::string volume;
  const std::string label = target.volumeLabel + '\0';
  Put32(volume, static_cast<uint32_t>(16 + label.size()));
  Put32(volume, target.driveType);
  Put32(volume, target.serialNumber);
  Put32(volume, 16);  // label offset
  return volume + label;
}

// LinkInfo with the volume and the target as local base path; a path that
// is not plain ASCII gets its Unicode form too, as Windows writes it.
std::string LinkInfo(const LinkTarget& target) {
  const bool unicode = !IsAscii(target.path);
  const uint32_t headerSize = unicode ? 0x24 : 0x1C;
  const std::string volume = VolumeId(target);
  const std::string basePath = target.path + '\0';
  const std::string suffix(1, '\0');
  const uint32_t volumeOffset = headerSize;
  const uint32_t baseOffset = volumeOffset + static_cast<uint32_t>(volume.size());
  const uint32_t suffixOffset = baseOffset + static_cast<uint32_t>(basePath.size());
  uint32_t end = suffixOffset + static_cast<uint32_t>(suffix.size());
  std::string unicodeParts;
  uint32_t baseOffsetUnicode = 0;
  uint32_t suffixOffsetUnicode = 0;
  if (unicode) {
    end += end % 2;  // UTF-16 strings start on an even offset
    baseOffsetUnicode = end;
    unicodeParts = GbkToUtf16Le(target.path) + std::string(2, '\0');
    suffixOffsetUnicode = baseOffsetUnicode + static_cast<uint32_t>(unicodeParts.size());
    unicodeParts += std::string(2, '\0');
  }
  std::string info;
  Put32(info, end + static_cast<uint32_t>(unicodeParts.size()));
  Put32(info, headerSize);
  Put32(info, kVolumeIdAndLocalBasePath);
  Put32(info, volumeOffset);
  Put32(info, baseOffset);
  Put32(info, 0);  // no network location
  Put32(info, suffixOffset);
  if (unicode) {
    Put32(info, baseOffsetUnicode);
    Put32(info, suffixOffsetUnicode);
  }
  info += volume + basePath + suffix;
  info.resize(end, '\0');
  return info + unicodeParts;
}

int ShowCommandOf(int showCommand) {
  // Only these three are stored; anything else means normal.
  return showCommand == 3 || showCommand == 7 ? showCommand : 1;
}

}  // namespace

std::string FormatLnkFile(const LinkParts& parts) {
  uint32_t flags = kIsUnicode;
  if (!parts.target.path.empty()) flags |= kHasLinkInfo;
  if (!parts.description.empty()) flags |= kHasName;
  if (!parts.relativePath.empty()) flags |= kHasRelativePath;
  if (!parts.workingDirectory.empty()) flags |= kHasWorkingDir;
  if (!parts.arguments.empty()) flags |= kHasArguments;
  if (!parts.iconLocation.empty()) flags |= kHasIconLocation;

  std::string out;
  Put32(out, 0x4C);
  out.append(kShellLinkClsid, sizeof kShellLinkClsid);
  Put32(out, flags);
  Put32(out, parts.target.attributes);
  PutTime(out, parts.target.creation);
  PutTime(out, parts.target.access);
  PutTime(out, parts.target.write);
  Put32(out, parts.target.size);
  Put32(out, static_cast<uint32_t>(parts.iconIndex));
  Put32(out, static_cast<uint32_t>(ShowCommandOf(parts.showCommand)));
  Put16(out, parts.hotkey);
  Put16(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  if ((flags & kHasLinkInfo) != 0) out += LinkInfo(parts.target);
  if ((flags & kHasName) != 0) PutCountedString(out, parts.description);
  if ((flags & kHasRelativePath) != 0) PutCountedString(out, parts.relativePath);
  if ((flags & kHasWorkingDir) != 0) PutCountedString(out, parts.workingDirectory);
  if ((flags & kHasArguments) != 0) PutCountedString(out, parts.arguments);
  if ((flags & kHasIconLocation) != 0) PutCountedString(out, parts.iconLocation);
  Put32(out, 0);  // terminal block of the extra data
  return out;
}

}  // namespace vexplat::detail
