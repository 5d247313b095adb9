#include "archive/ZipCommon.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "archive/ArcHelpers.h"
#include "archive/MessageTable.h"
#include "archive/UnZipSelection.h"
#include "archive/UnZipTargetPath.h"
#include "rtl/FileSystem.h"
#include "rtl/WinPath.h"

TZipCommon::TZipCommon(TComponent* owner) : TReadWriteObj(owner) { fCancel = 0; }

void TZipCommon::SetExtractDir(const std::string& value) {
  if (value.empty())
    fExtractDir = rtl::ExtractFilePath(fArchiveFile);
  else
    fExtractDir = rtl::AddTrailingBackslash(archive::SlashToBackslash(value));
}

void TZipCommon::SetFileSpec(std::vector<std::string>& list) {
  list = unzip::NormalizeFileSpec(list);
  fFileSpec = list;
}

void TZipCommon::BuildTargetPath(const std::string& storedName) {
  if (storedName.empty()) {
    fTargetPath.clear();
    return;
  }
  const std::string name = NormalizeEntryName(storedName);
  if (fExtractDir.empty()) SetExtractDir(std::string());
  if (fExtractDir.empty()) SetExtractDir(rtl::CurrentDirectory());
  fTargetPath = unzip::ComposeTargetPath(name, fExtractDir, UseStoredDirs);
}

std::string TZipCommon::MakeVolumeName(const std::string& name, int32_t n) {
  if (n < 0) return std::string();
  const std::string fileName = rtl::ExtractFileName(name);
  const std::string stem =
      rtl::ExtractFilePath(name) + fileName.substr(0, static_cast<size_t>(archive::ExtensionPos(fileName)));
  const std::string number = std::to_string(n);
  if (n <= 9) return stem + "." + fVolumeLetter + "0" + number;
  if (fVolumeCount >= 100) return stem + "." + number;
  return stem + "." + fVolumeLetter + number;
}

rtl::TDateTime TZipCommon::DosDateToDateTime(int32_t dosDateTime) {
  rtl::TDateTime result = kUnknownArchiveDate;
  if (dosDateTime != 0 && rtl::TryFileDateToDateTime(static_cast<uint32_t>(dosDateTime), result)) return result;
  return kUnknownArchiveDate;
}

void TZipCommon::MakeTargetFolder(std::string folder) {
  fLastTargetFolder.clear();
  archive::CreateDirectoryChain(folder);
  fLastTargetFolder = std::move(folder);
}

bool TZipCommon::OpenTarget(TByteFile& output, const std::string& targetPath, const std::string&) {
  // Entries come folder by folder: probing the folder again for each of
  // them costs more than one failed create when it has vanished.
  const std::string_view folder = std::string_view(targetPath).substr(0, rtl::FileNameOffset(targetPath));
  if (folder != fLastTargetFolder) {
    MakeTargetFolder(std::string(folder));
  } else {
    if (output.Rewrite(targetPath)) return true;
    MakeTargetFolder(fLastTargetFolder);
  }
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (output.Rewrite(targetPath)) return true;
    const DWORD attributes = GetFileAttributesA(targetPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return false;
    SetFileAttributesA(targetPath.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return false;
}

namespace {

bool ActiveIsCancelled(const TorxMain& self) {
  const TorxMain* active = TorxMain::ActiveComponent ? TorxMain::ActiveComponent : &self;
  return active->Cancelled();
}

}  // namespace

void TZipCommon::RaiseError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                            int32_t ECode) {
  {
    TorxTimerPause pause(*fTimer);
    if (OnError && !ActiveIsCancelled(*this)) OnError(this, FN, MsgEx, VolumeID, ECode);
  }
  archive::RaiseMessage(ECode);
}

void TZipCommon::NotifyError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                             int32_t ECode) {
  TorxTimerPause pause(*fTimer);
  if (OnError && !ActiveIsCancelled(*this)) OnError(this, rtl::ExtractFileName(FN), MsgEx, VolumeID, ECode);
}

bool TZipCommon::MatchesFileSpec(const std::string& name, bool stripPaths) const {
  return unzip::MatchesFileSpec(fFileSpec, name, stripPaths);
}

bool TZipCommon::WildcardMatch(const std::string& a, const std::string& b, bool stripPaths) {
  return unzip::WildcardMatch(a, b, stripPaths);
}

void TZipCommon::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void TZipCommon::Progress(int32_t done, int32_t size, int32_t total) {
  fProgressByFile = archive::PercentOf(done, size);
  fProgressByArchive = archive::PercentOf(static_cast<int64_t>(total) - fArchiveRemaining, total);
  if (fMessageGate.Pass()) ProcessMessages();
  if (OnProgress) OnProgress(this, fProgressByFile, fProgressByArchive);
}

TWalkMode TZipCommon::ChooseWalkMode() {
  if (!(fHeaderFlags & hfCentralHeaderFound)) fHeaderFlags = hfLocalScan;
  if (fHeaderFlags == hfLocalScan) return wmLocalScan;
  fOffset = static_cast<int32_t>(fEndOfCentralDir.CentralDirOffset);
  return wmCentralWalk;
}

namespace {

// Records that may follow the last header of each walk in a sound archive.
bool EndsCentralWalk(uint32_t signature) {
  return signature == END_OF_CENTRAL_DIR_SIGNATURE || signature == ZIP64_END_OF_CENTRAL_DIR_SIGNATURE ||
         signature == DIGITAL_SIGNATURE_SIGNATURE;
}
bool EndsLocalScan(uint32_t signature) {
  return signature == CENTRAL_FILE_HEADER_SIGNATURE || signature == END_OF_CENTRAL_DIR_SIGNATURE;
}

// The 16-bit entry count of the end record; 0xFFFF means "see the Zip64
// record", which this walk does not read.
constexpr uint16_t kCountInZip64Record = 0xFFFF;

}  // namespace

void TZipCommon::WalkDirectory(TByteFile& archive, TorxFileList& list, TWalkMode mode, int32_t start,
                               int32_t endBound, const std::function<bool(const std::string&)>& select,
                               bool selectAll) {
  list.Clear();
  fTotalBytes = 0;
  TWalkDamage damage;
  try {
    damage = WalkRecords(archive, list, mode, start, endBound, select, selectAll);
  } catch (const EInOutError&) {
    // A name or record that the file ends inside.
    damage = {E_READERROR, ""};
  }
  if (damage.id != 0) NotifyError(fArchiveFile, damage.detail, std::to_string(fCurrentVolume), damage.id);
}

TZipCommon::TWalkDamage TZipCommon::WalkRecords(TByteFile& archive, TorxFileList& list, TWalkMode mode,
                                                int32_t start, int32_t endBound,
                                                const std::function<bool(const std::string&)>& select,
                                                bool selectAll) {
  const bool central = mode == wmCentralWalk;
  const int32_t headerSize = central ? sizeof(TCentralHeader) : sizeof(TLocalHeader);
  auto* record = central ? reinterpret_cast<uint8_t*>(&fCentralHeader) : reinterpret_cast<uint8_t*>(&fLocalHeader);
  const uint32_t signature = central ? CENTRAL_FILE_HEADER_SIGNATURE : LOCAL_FILE_HEADER_SIGNATURE;
  const TWalkDamage cut{E_READERROR, ""};

  // 64-bit so that sizes from a damaged header cannot wrap the position.
  archive.Seek(start);
  int32_t got = ReadProc(archive, record, headerSize, false, ckNone);
  int64_t p = static_cast<int64_t>(start) + got;
  int32_t walked = 0;
  while (true) {
    // The record that ends a walk may be shorter than the walk's headers.
    if (got < 4) return cut;
    const uint32_t found = central ? fCentralHeader.SignatureAtt : fLocalHeader.SignatureAtt;
    if (found != signature) {
      // The passes over a spanned set start on whatever disk is in the
      // drive, so only there a foreign record is no proof of damage.
      const bool sound = central ? EndsCentralWalk(found) : EndsLocalScan(found);
      if (!sound && fArcType != atZipMV) return {E_NOHEADER, ""};
      if (!central && found == CENTRAL_FILE_HEADER_SIGNATURE) return CheckDirectoryAfterScan(archive, p - got, endBound);
      break;
    }
    if (got < headerSize) return cut;
    if (Cancelled()) return {};
    ++walked;
    auto position = static_cast<int32_t>(p);
    archive.Seek(position);
    const uint16_t nameLength = central ? fCentralHeader.FileNameLen : fLocalHeader.FileNameLen;
    if (central && (fCentralHeader.ExternalAttr & (FILE_ATTRIBUTE_DIRECTORY | 0x08))) {
      // Directories and volume labels hold no data: one that does is a
      // file whose attributes were damaged, and it is not extracted.
      if (fCentralHeader.UnpackedSize != 0)
        NotifyError(ReadEntryName(archive, position, nameLength), "", "0", E_INVALIDATTRIBUTE);
      else
        position += nameLength;
    } else {
      std::string name = ReadEntryName(archive, position, nameLength);
      const uint16_t flags = central ? fCentralHeader.GeneralPurpose : fLocalHeader.GeneralPurpose;
      if (!name.empty() && select(NormalizeEntryName(unzip::StoredNameAsAnsi(name, flags)))) {
        TEntryInfo entry;
        if (central) {
          entry = {fCentralHeader.GeneralPurpose,        fCentralHeader.CompressionMethod,
                   static_cast<int32_t>(fCentralHeader.RelativeOffsetOfLocalHeader),
                   fCentralHeader.PackedSize,            fCentralHeader.UnpackedSize,
                   fCentralHeader.CRC32,                 fCentralHeader.ExternalAttr,
                   std::move(name)};
        } else {
          entry = {fLocalHeader.GeneralPurpose, fLocalHeader.CompressionMethod,
                   position - nameLength - static_cast<int32_t>(sizeof(TLocalHeader)),
                   fLocalHeader.PackedSize,     fLocalHeader.UnpackedSize,
                   fLocalHeader.CRC32,          FILE_ATTRIBUTE_ARCHIVE,
                   std::move(name)};
        }
        fTotalBytes += static_cast<int32_t>(entry.UnpackedSize);
        const auto date = static_cast<int32_t>(central ? fCentralHeader.FileDate : fLocalHeader.FileDate);
        if (date > fNewestDate) fNewestDate = date;
        list.Add(std::move(entry));
        // A single plain name selects one entry: the rest is not looked at.
        if (!selectAll) return {};
      }
    }
    p = position;
    p += central ? static_cast<int64_t>(fCentralHeader.ExtraFieldLen) + fCentralHeader.CommentLen
                 : static_cast<int64_t>(fLocalHeader.PackedSize) + fLocalHeader.ExtraFieldLen;
    // Every walk ends on a record of its own: the end of the file is not
    // one, except where a spanned entry goes on on the next disk.
    if (p >= endBound) return fArcType == atZipMV ? TWalkDamage{} : cut;
    archive.Seek(static_cast<int32_t>(p));
    got = ReadProc(archive, record, headerSize, false, ckNone);
    p += got;
  }
  const uint16_t promised = fEndOfCentralDir.TotalEntries;
  if (central && fArcType != atZipMV && promised != kCountInZip64Record && (walked & 0xFFFF) != promised)
    return {E_NOHEADER, std::to_string(walked) + " of " + std::to_string(promised) + " entries found"};
  return {};
}

TZipCommon::TWalkDamage TZipCommon::CheckDirectoryAfterScan(TByteFile& archive, int64_t at, int64_t endBound) {
  if (fArcType == atZipMV) return {};
  const TWalkDamage cut{E_READERROR, ""};
  int64_t p = at;
  TCentralHeader header{};
  while (p + static_cast<int64_t>(sizeof header) <= endBound) {
    archive.Seek(static_cast<int32_t>(p));
    if (archive.BlockRead(&header, sizeof header) < 4) return cut;
    if (header.SignatureAtt != CENTRAL_FILE_HEADER_SIGNATURE) break;
    p += static_cast<int64_t>(sizeof header) + header.FileNameLen + header.ExtraFieldLen + header.CommentLen;
  }
  TEndOfCentralDir end{};
  archive.Seek(static_cast<int32_t>(std::min(p, endBound)));
  if (archive.BlockRead(&end, sizeof end) != sizeof end) return cut;
  if (end.SignatureAtt == ZIP64_END_OF_CENTRAL_DIR_SIGNATURE || end.SignatureAtt == DIGITAL_SIGNATURE_SIGNATURE)
    return {};
  if (end.SignatureAtt != END_OF_CENTRAL_DIR_SIGNATURE) return {E_NOHEADER, ""};
  if (p + static_cast<int64_t>(sizeof end) + end.CommentLen > endBound) return cut;
  // A plain archive's end record names where its directory starts (a
  // self-extractor's may count from the start of the archive part).
  if (fArcType == atZip && end.CentralDirOffset != at) return {E_NOHEADER, "directory offset"};
  return {};
}
