#include "archive/ZipCommon.h"

#include <windows.h>

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

bool TZipCommon::OpenTarget(TByteFile& output, const std::string& targetPath, const std::string&) {
  archive::CreateDirectoryChain(rtl::ExtractFilePath(targetPath));
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
  ProcessMessages();
  if (OnProgress) OnProgress(this, fProgressByFile, fProgressByArchive);
}

TWalkMode TZipCommon::ChooseWalkMode() {
  if (!(fHeaderFlags & hfCentralHeaderFound)) fHeaderFlags = hfLocalScan;
  if (fHeaderFlags == hfLocalScan) return wmLocalScan;
  fOffset = static_cast<int32_t>(fEndOfCentralDir.CentralDirOffset);
  return wmCentralWalk;
}

void TZipCommon::WalkDirectory(TByteFile& archive, TorxFileList& list, TWalkMode mode, int32_t start,
                               int32_t endBound, const std::function<bool(const std::string&)>& select,
                               bool selectAll) {
  list.Clear();
  fTotalBytes = 0;
  const bool central = mode == wmCentralWalk;
  const int32_t headerSize = central ? sizeof(TCentralHeader) : sizeof(TLocalHeader);
  auto* record = central ? reinterpret_cast<uint8_t*>(&fCentralHeader) : reinterpret_cast<uint8_t*>(&fLocalHeader);
  const uint32_t signature = central ? CENTRAL_FILE_HEADER_SIGNATURE : LOCAL_FILE_HEADER_SIGNATURE;

  // 64-bit so that sizes from a damaged header cannot wrap the position.
  archive.Seek(start);
  int64_t p = static_cast<int64_t>(start) + ReadProc(archive, record, headerSize, false, ckNone);
  while (p < endBound) {
    const uint32_t found = central ? fCentralHeader.SignatureAtt : fLocalHeader.SignatureAtt;
    if (found != signature || Cancelled()) break;
    auto position = static_cast<int32_t>(p);
    archive.Seek(position);
    const uint16_t nameLength = central ? fCentralHeader.FileNameLen : fLocalHeader.FileNameLen;
    if (central && (fCentralHeader.ExternalAttr & (FILE_ATTRIBUTE_DIRECTORY | 0x08))) {
      position += nameLength;
    } else {
      const std::string name = ReadEntryName(archive, position, nameLength);
      if (!name.empty() && select(NormalizeEntryName(name))) {
        TEntryInfo entry;
        if (central) {
          entry = {fCentralHeader.GeneralPurpose,        fCentralHeader.CompressionMethod,
                   static_cast<int32_t>(fCentralHeader.RelativeOffsetOfLocalHeader),
                   fCentralHeader.PackedSize,            fCentralHeader.UnpackedSize,
                   fCentralHeader.CRC32,                 fCentralHeader.ExternalAttr};
        } else {
          entry = {fLocalHeader.GeneralPurpose, fLocalHeader.CompressionMethod,
                   position - nameLength - static_cast<int32_t>(sizeof(TLocalHeader)),
                   fLocalHeader.PackedSize,     fLocalHeader.UnpackedSize,
                   fLocalHeader.CRC32,          FILE_ATTRIBUTE_ARCHIVE};
        }
        fTotalBytes += static_cast<int32_t>(entry.UnpackedSize);
        const auto date = static_cast<int32_t>(central ? fCentralHeader.FileDate : fLocalHeader.FileDate);
        if (date > fNewestDate) fNewestDate = date;
        list.Add(entry);
        if (!selectAll) break;
      }
    }
    p = position;
    p += central ? static_cast<int64_t>(fCentralHeader.ExtraFieldLen) + fCentralHeader.CommentLen
                 : static_cast<int64_t>(fLocalHeader.PackedSize) + fLocalHeader.ExtraFieldLen;
    if (p >= endBound) break;
    archive.Seek(static_cast<int32_t>(p));
    const int32_t got = ReadProc(archive, record, headerSize, false, ckNone);
    if (got < headerSize) break;
    p += got;
  }
}
