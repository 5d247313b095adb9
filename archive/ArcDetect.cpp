// Archive type detection: the ZIP fast path, self-extracting executables and
// plain files of every known archive kind.
#include <windows.h>

#include <cstring>
#include <vector>

#include "archive/ArcHelpers.h"
#include "archive/orxMain.h"
#include "rtl/ByteOrder.h"
#include "rtl/Exception.h"
#include "rtl/WinPath.h"

namespace {

constexpr int32_t kDetectBufferSize = 32768;
constexpr uint32_t kRarSignature = 0x21726152;  // "Rar!"

using rtl::LoadUInt16;
using rtl::LoadUInt32;

// The four bytes at an offset, or false when they cannot all be read.
bool ReadUInt32At(TByteFile& archive, int32_t offset, uint32_t& value) {
  uint8_t bytes[4];
  if (!archive.TrySeek(offset) || archive.BlockRead(bytes, 4) != 4) return false;
  value = LoadUInt32(bytes);
  return true;
}

bool HasAceMarker(const uint8_t* buffer, int32_t count) {
  return count >= 14 && std::memcmp(buffer + 7, "**ACE**", 7) == 0;
}

// The last write time of a file as a date-time, or false.
bool FileAge(const std::string& path, rtl::TDateTime& result) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  FILETIME local;
  WORD dosDate = 0, dosTime = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &dosDate, &dosTime))
    return false;
  return rtl::TryFileDateToDateTime(static_cast<uint32_t>(dosDate) << 16 | dosTime, result);
}

// Loads the module as data only and frees it when done.
class TDataModule {
 public:
  explicit TDataModule(const std::string& path)
      : module_(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~TDataModule() {
    if (module_) FreeLibrary(module_);
  }
  TDataModule(const TDataModule&) = delete;
  TDataModule& operator=(const TDataModule&) = delete;
  HMODULE Handle() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace

bool TorxMain::LabelHasSpanMarker() {
  return TDiskManager::IsSpannedDiskLabel(fDiskManager->VolumeLabel());
}

TArcType TorxMain::IdentifySignature(int32_t mode, uint32_t d, int32_t& dataStart) {
  const uint16_t w = d & 0xFFFF;
  const uint16_t h = d >> 16;
  auto byMode = [mode](TArcType inExecutable, TArcType inPlainFile) {
    return mode == smInsideExecutable ? inExecutable : mode == smPlainFile ? inPlainFile : atNA;
  };
  if (w == 0x4B50 && h == 0x0807) {
    fHeaderFlags = hfLocalScan;
    if (fDiskManager->IsRemovable()) return LabelHasSpanMarker() ? atZipMV : atNA;
    return atZip;
  }
  if (w == 0x4B50 && h == 0x0201) {
    if (!LabelHasSpanMarker()) return atNA;
    LocateEndOfCentralDir(fArcFile);
    return atZipMV;
  }
  if (w == 0x4B50 && h == 0x3447) return atNA;
  if (w == 0x4B50) return byMode(atZipExe, atZip);
  if (d == 0x4643534D) return byMode(atUnsupported, atCab);
  if (d == 0x07054842) return byMode(atBhExe, atBh);
  if (d == 0x8C655D13) return byMode(atUnsupported, atMsGZ);
  if (w == 0x4148) return byMode(atUnsupported, atHa);
  if (w == 0x8B1F || w == 0x9D1F || w == 0x9E1F || w == 0x1E1F || w == 0x2125 || w == 0xA01F)
    return byMode(atUnsupported, atGZip);
  if (w == 0xEA60) return byMode(atArjExe, atArj);
  if (w == 0x4F5A) return byMode(atUnsupported, atZoo);
  if (h == 0x6C2D) return byMode(atLhaExe, atLha);
  if (d == kRarSignature) return byMode(atRarExe, atRar);
  if (w == 0x0A1A || w == 0x0B1A) return byMode(atPakExe, atPak);
  if (w == 0x1E1A || w == 0x021A) return byMode(atUnsupported, atArc);
  if (w == 0x081A || w == 0x091A) return byMode(atArcExe, atArc);
  if (w == 0x92B7 || w == 0xDFB7) {
    dataStart = 7717;
    return atArcExe;
  }
  return atUnknown;
}

void TorxMain::DetectArcType() {
  if (fArchiveFile.empty()) {
    fArcType = atNA;
    return;
  }
  fArcType = atFileOpenErr;
  if (!OpenArchive(fArcFile, fArchiveFile)) return;
  CheckArchiveDrive();
  std::vector<uint8_t> buffer(kDetectBufferSize);
  fOffset = 1;
  try {
    fArchiveSize = fArcFile.Size();
    fHeaderFlags = 0;
    if (fArchiveSize > 19 && !FindZipExe(fArcFile)) {
      fArcFile.Seek(0);
      const int32_t count = fArcFile.BlockRead(buffer.data(), kDetectBufferSize - 1);
      if (count >= 2 && buffer[0] == 'M' && buffer[1] == 'Z')
        DetectExecutable(fArcFile, buffer.data(), count);
      else
        DetectPlainFile(fArcFile, buffer.data(), count);
    }
  } catch (const rtl::Exception&) {
    // Detection never raises: what was found so far stands.
  }
  fArchiveDate = kUnknownArchiveDate;
  if (IsRecognised(fArcType)) {
    const std::string name = rtl::ExtractFileName(fArchiveFile);
    const size_t dot = name.rfind('.');
    if (fArcType == atZip && dot != std::string::npos && archive::AsciiUpperCase(name.substr(dot)) == ".JAR")
      fArcType = atJar;
    rtl::TDateTime date;
    if (FileAge(fArchiveFile, date)) fArchiveDate = date;
  }
  CloseArchive(fArcFile);
}

bool TorxMain::FindZipExe(TByteFile& archive) {
  fArcType = atZipExe;
  uint32_t signature = 0;
  if (fArchiveSize >= 5 && ReadUInt32At(archive, 0, signature)) {
    if (signature == LOCAL_FILE_HEADER_SIGNATURE) {
      fOffset = FindZipStart(archive);
      if (fOffset > 0) {
        fArcType = atZip;
        return true;
      }
    } else {
      // Where the stubs of known self-extractors end.
      struct StubEnd {
        int32_t offset;
        bool localScan;
      };
      static constexpr StubEnd kStubEnds[] = {{7612, true}, {15770, true}, {25661, false}};
      for (const StubEnd& stub : kStubEnds) {
        if (fArchiveSize < stub.offset + 5) break;
        if (ReadUInt32At(archive, stub.offset, signature) && signature == LOCAL_FILE_HEADER_SIGNATURE) {
          fOffset = stub.offset;
          if (stub.localScan) fHeaderFlags = hfLocalScan;
          return true;
        }
      }
    }
  }
  fArcType = atNA;
  return false;
}

bool TorxMain::FindInStringResources(TByteFile& archive) {
  TDataModule module(fArchiveFile);
  if (!module.Handle()) return false;
  for (UINT id = 1; id <= 4; ++id) {
    char text[6] = {};
    const int length = LoadStringA(module.Handle(), id, text, sizeof(text));
    if (length <= 0) return false;
    const std::string number(text, static_cast<size_t>(length));
    if (!archive::IsAllDigits(number)) return false;
    fOffset = std::stoi(number);
    if (fOffset >= fArchiveSize) return false;
    uint32_t signature = 0;
    if (!ReadUInt32At(archive, fOffset, signature)) continue;
    fArcType = IdentifySignature(smInsideExecutable, signature, fOffset);
    if (fArcType != atUnknown) {
      fHeaderFlags = hfLocalScan;
      return true;
    }
  }
  return false;
}

void TorxMain::DetectExecutable(TByteFile& archive, const uint8_t* buffer, int32_t count) {
  fArcType = atUnknown;
  if (FindInStringResources(archive)) return;

  // The archive may begin right where the DOS image ends.
  if (count >= 6) {
    const int32_t pages = LoadUInt16(buffer + 4);
    const int32_t lastPageBytes = LoadUInt16(buffer + 2);
    const int32_t imageEnd = (pages - 1) * 512 + lastPageBytes;
    if (imageEnd > 0 && imageEnd + 4 < fArchiveSize) {
      if (!archive.TrySeek(imageEnd)) {
        fArcType = atFileOpenErr;
        return;
      }
      uint8_t bytes[4];
      if (archive.BlockRead(bytes, 4) == 4) {
        fOffset = imageEnd + 1 + (LoadUInt16(bytes + 2) == 0xEA60 ? 2 : 0);
        uint32_t signature = 0;
        if (fOffset + 4 < fArchiveSize && ReadUInt32At(archive, fOffset - 1, signature) &&
            signature != LOCAL_FILE_HEADER_SIGNATURE) {
          fArcType = IdentifySignature(smInsideExecutable, signature, fOffset);
          if (IsRecognised(fArcType)) return;
        }
      }
    }
  }

  fEndOfCentralDir.SignatureAtt = 0;
  fOffset = IsRecognised(fArcType) ? FindZipStart(archive) : LocateEndOfCentralDir(archive);
  if (fOffset > 0) {
    fArcType = atZipExe;
    return;
  }
  if (fEndOfCentralDir.SignatureAtt == END_OF_CENTRAL_DIR_SIGNATURE && !IsRecognised(fArcType)) {
    fOffset = FindZipStart(archive);
    if (fOffset > 0) fArcType = atZipExe;
    return;
  }
  fOffset = ScanForSfx(archive, 17000);
}

int32_t TorxMain::ScanForSfx(TByteFile& archive, int32_t start) {
  fArcType = atUnknown;
  constexpr int32_t kBlockSize = 32768;
  constexpr int32_t kMaxBlocks = 6;
  try {
    if (start >= fArchiveSize || !archive.TrySeek(start)) return 0;
    std::vector<uint8_t> block(kBlockSize);
    for (int32_t b = 0; b < kMaxBlocks; ++b) {
      const int32_t count = archive.BlockRead(block.data(), kBlockSize);
      if (count <= 0) return 0;
      // Only patterns that lie wholly inside what was read are looked at.
      for (int32_t k = 0; k + 4 <= count; ++k) {
        const int32_t absolute = start + kBlockSize * b + k;
        const uint8_t* at = block.data() + k;
        if (k + 5 <= count && at[0] == '-' && at[1] == 'l' && at[2] == 'h' && at[4] == '-' &&
            absolute + 5 < fArchiveSize) {
          fArcType = atLhaExe;
          return absolute - 1;
        }
        const uint32_t value = LoadUInt32(at);
        if (value == LOCAL_FILE_HEADER_SIGNATURE) {
          fArcType = atZipExe;
          fHeaderFlags = hfLocalScan;
          return absolute;
        }
        if (value == kRarSignature) {
          fArcType = atRarExe;
          return absolute + 1;
        }
      }
    }
  } catch (const rtl::Exception&) {
    // A failing read ends the scan with nothing found.
  }
  return 0;
}

void TorxMain::DetectPlainFile(TByteFile& archive, const uint8_t* buffer, int32_t count) {
  int32_t p = 0;
  while (p < count && buffer[p] == 0) ++p;
  uint8_t first[4] = {};
  for (int32_t i = 0; i < 4 && p + i < count; ++i) first[i] = buffer[p + i];
  fArcType = IdentifySignature(smPlainFile, LoadUInt32(first), fOffset);

  if (fArcType == atJar || fArcType == atZip || fArcType == atZipExe) {
    if (fDiskManager->IsRemovable()) fArcType = atZipMV;
    fOffset = LocateEndOfCentralDir(archive);
    if (fOffset == 0) {
      // Walk the local headers from the first non-zero byte.
      fOffset = p;
      fHeaderFlags |= hfLocalScan;
    }
  } else if (fArcType != atZipMV && HasAceMarker(buffer, count)) {
    fArcType = atACE;
  }
  if (IsRecognised(fArcType)) return;

  if (fDiskManager->IsRemovable() && LabelHasSpanMarker()) {
    fOffset = LocateEndOfCentralDir(archive);
    if (fHeaderFlags < hfLocalScan) fArcType = atZipMV;
  } else if (HasAceMarker(buffer, count)) {
    fArcType = atACE;
  } else if (IsUue(archive)) {
    fArcType = atUue;
    fOffset = 1;
  } else if (IsTar(archive)) {
    fArcType = atTar;
  } else {
    fOffset = LocateEndOfCentralDir(archive);
    if (fOffset > 0) fArcType = atZip;
  }
}

bool TorxMain::IsUue(TByteFile& archive) {
  try {
    const int32_t size = fArchiveSize < 2500 ? fArchiveSize : 2500;
    std::string text(static_cast<size_t>(size), '\0');
    if (!archive.TrySeek(0)) return false;
    text.resize(static_cast<size_t>(archive.BlockRead(text.data(), size)));
    for (size_t at = text.find("begin "); at != std::string::npos; at = text.find("begin ", at + 1)) {
      const bool lineStart = at == 0 || text[at - 1] == '\n';
      if (lineStart && at + 6 + 2 <= text.size()) return true;
    }
  } catch (const rtl::Exception&) {
  }
  return false;
}

bool TorxMain::IsTar(TByteFile& archive) {
  constexpr int32_t kBlock = 512;
  if (fArchiveSize <= kBlock) return false;
  uint8_t header[kBlock];
  if (!archive.TrySeek(0) || archive.BlockRead(header, kBlock) != kBlock) return false;
  if (header[156] == 'V') {
    // A volume header comes first; the archive's own header follows it.
    fOffset = archive.Position() + 1;
    if (fArchiveSize - archive.Position() >= kBlock && archive.BlockRead(header, kBlock) != kBlock) return false;
  }
  const int32_t stored = archive::OctalToInt(std::string(reinterpret_cast<const char*>(header + 148), 8));
  int32_t sum = 0;
  for (int32_t i = 0; i < kBlock; ++i) sum += (i >= 148 && i < 156) ? ' ' : header[i];
  if (stored == sum) return true;
  fOffset = 1;
  return false;
}
