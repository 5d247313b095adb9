// Finding the ZIP directory: the end record from the end of the file, the
// chain behind it, and the first local header when the chain does not hold.
#include <windows.h>

#include <cstring>
#include <vector>

#include "archive/ArcHelpers.h"
#include "archive/orxMain.h"
#include "rtl/ByteOrder.h"
#include "rtl/Exception.h"

namespace {

using rtl::LoadUInt32;

// Index of the first local header signature that lies wholly inside the
// count bytes read, or -1.
int32_t FindLocalSignature(const uint8_t* buffer, int32_t count) {
  for (int32_t i = 0; i + 4 <= count; ++i)
    if (buffer[i] == 0x50 && LoadUInt32(buffer + i) == LOCAL_FILE_HEADER_SIGNATURE) return i;
  return -1;
}

}  // namespace

bool TorxMain::ReadRecordAt(TByteFile& archive, int32_t offset, void* record, int32_t size, uint32_t signature) {
  if (!archive.TrySeek(offset)) return false;
  if (archive.BlockRead(record, size) != size) return false;
  uint32_t found;
  std::memcpy(&found, record, sizeof(found));
  return found == signature;
}

int32_t TorxMain::LocateEndOfCentralDir(TByteFile& archive) {
  const int32_t size = fArchiveSize;
  int32_t window;
  if (static_cast<int64_t>(fZipCmntBufSize) + 23 <= size)
    window = fZipCmntBufSize + 23;
  else if (fZipCmntBufSize == 0)
    window = 23;
  else if (size > 32768)
    window = 32768;
  else
    window = size - 1;

  fHeaderFlags = 0;
  if (size <= window) return 0;
  const int32_t windowStart = size - window;
  if (!archive.TrySeek(windowStart)) return 0;
  std::vector<uint8_t> buffer(static_cast<size_t>(window) + 1);
  const int32_t count = archive.BlockRead(buffer.data(), window);

  // The highest candidate decides; the first record of a comment that merely
  // looks like an end record ends the search.
  for (int32_t i = count - 21; i >= 1; --i) {
    if (LoadUInt32(&buffer[static_cast<size_t>(i)]) != END_OF_CENTRAL_DIR_SIGNATURE) continue;
    if (!ReadRecordAt(archive, windowStart + i, &fEndOfCentralDir, sizeof(fEndOfCentralDir),
                      END_OF_CENTRAL_DIR_SIGNATURE))
      return 0;
    fHeaderFlags |= hfEndRecordRead;
    const auto directory = static_cast<int32_t>(fEndOfCentralDir.CentralDirOffset);
    if (!ReadRecordAt(archive, directory, &fCentralHeader, sizeof(fCentralHeader), CENTRAL_FILE_HEADER_SIGNATURE))
      return 0;
    fHeaderFlags |= hfCentralHeaderFound;
    if (!ReadRecordAt(archive, static_cast<int32_t>(fCentralHeader.RelativeOffsetOfLocalHeader), &fLocalHeader,
                      sizeof(fLocalHeader), LOCAL_FILE_HEADER_SIGNATURE))
      return 0;
    fHeaderFlags |= hfLocalHeaderFound;
    return directory;
  }
  return 0;
}

int32_t TorxMain::FindZipStart(TByteFile& archive) {
  fArcType = atUnknown;
  LocateEndOfCentralDir(archive);
  const int64_t directory = fEndOfCentralDir.CentralDirOffset;
  if (!(fHeaderFlags & hfEndRecordRead) || directory >= fArchiveSize) return 0;

  if (directory > 0 && ReadRecordAt(archive, static_cast<int32_t>(directory), &fCentralHeader,
                                    sizeof(fCentralHeader), CENTRAL_FILE_HEADER_SIGNATURE))
    return static_cast<int32_t>(directory);

  // Self-extractor stubs end somewhere after 25000 bytes: look for the first
  // local header in the next 32 KB.
  constexpr int32_t kScanStart = 25000;
  constexpr int32_t kScanSize = 32768;
  if (fArchiveSize <= kScanStart || !archive.TrySeek(kScanStart)) return 0;
  std::vector<uint8_t> buffer(kScanSize + 1);
  const int32_t count = archive.BlockRead(buffer.data(), kScanSize);
  const int32_t hit = FindLocalSignature(buffer.data(), count);
  if (hit < 0) return 0;
  fHeaderFlags = hfLocalScan;
  return kScanStart + hit;
}

std::string TorxMain::ReadEntryName(TByteFile& archive, int32_t& position, int32_t length) {
  std::string name(static_cast<size_t>(length), '\0');
  archive.Seek(position);
  if (archive.BlockRead(name.data(), length) != length)
    throw EInOutError("Read beyond end of file", 38 /* ERROR_HANDLE_EOF */);
  position += length;
  return name;
}

std::string TorxMain::NormalizeEntryName(std::string name) {
  if (name.empty()) return name;
  return archive::SlashToBackslash(std::move(name));
}
