// ZIP archives spanned over removable disks: every disk holds a file of the
// same name and carries the label "PKBACK# " with its number; the caller is
// asked through events to insert the first, next and last disk.
#include <windows.h>

#include <string>

#include "archive/ArcHelpers.h"
#include "archive/MessageTable.h"
#include "archive/ZipCommon.h"
#include "rtl/FileSystem.h"

bool TZipCommon::Ask(const TOnGetZipDisk& event) {
  bool cancel = true;
  TorxTimerPause pause(*fTimer);
  event(this, cancel);
  return !cancel;
}

int32_t TZipCommon::PrepareSpannedArchive(TByteFile& archive) {
  if (fEndOfCentralDir.SignatureAtt == END_OF_CENTRAL_DIR_SIGNATURE) {
    CheckArchiveDrive();
    if (!fDiskManager->IsRemovable() || !rtl::IsFile(fArchiveFile) || !GetFirstDisk(archive)) return 0;
  } else if (!PrepareSpannedVolume(archive)) {
    return 0;
  }

  fPosition = fOffset > 0 ? fOffset - 1 : 0;
  archive.Seek(fPosition);
  if (ReadProc(archive, reinterpret_cast<uint8_t*>(&fLocalHeader), 4, false, ckNone) != 4)
    RaiseError(fVolumeName, "", std::to_string(fCurrentVolume), E_BADHEADER);
  if (fLocalHeader.SignatureAtt == SPANNED_MARKER_SIGNATURE)
    fPosition += 4;
  else if (fLocalHeader.SignatureAtt != LOCAL_FILE_HEADER_SIGNATURE)
    RaiseError(fVolumeName, "", std::to_string(fCurrentVolume), E_BADHEADER);
  return fEndOfCentralDir.CentralDirDiskNo + 1;
}

bool TZipCommon::PrepareSpannedVolume(TByteFile& archive) {
  CheckArchiveDrive();
  if (!fDiskManager->IsRemovable()) {
    // Read from a fixed disk the pieces form one file.
    fEndOfCentralDir.CentralDirDiskNo = 0;
    return true;
  }
  const std::string& label = fDiskManager->VolumeLabel();
  if (!TDiskManager::IsSpannedDiskLabel(label)) return false;
  fCurrentVolume = TDiskManager::VolumeNumberFromLabel(label);
  fVolumeName = fCurrentVolume > 0 ? label : std::string();
  SetZipCmntBufSize(32000);
  return GetLastDisk(archive);
}

bool TZipCommon::GetLastDisk(TByteFile& archive) {
  if (!OnGetZipLastDisk) return false;
  while (!(fHeaderFlags & hfEndRecordRead)) {
    if (!Ask(OnGetZipLastDisk)) return false;
    SetArchiveFile(fArchiveFile);
  }
  return GetFirstDisk(archive);
}

bool TZipCommon::GetFirstDisk(TByteFile& archive) {
  bool found = false;
  if (fHeaderFlags & hfLocalHeaderFound) {
    found = OpenVolume(archive);
  } else {
    if (!OnGetZipFirstDisk) return false;
    while (!(fHeaderFlags & hfLocalHeaderFound)) {
      if (!Ask(OnGetZipFirstDisk)) return false;
      SetArchiveFile(fArchiveFile);
    }
    found = OpenVolume(archive) && fDiskManager->VolumeNumber() == 1;
  }
  if (found) {
    fCurrentVolume = fDiskManager->VolumeNumber();
    fVolumeName = fDiskManager->VolumeLabel();
  }
  return found;
}

bool TZipCommon::OpenVolume(TByteFile& archive) {
  const std::string volumeId = std::to_string(fCurrentVolume);
  if (archive.IsOpen() && !CloseArchive(archive)) RaiseError(fVolumeName, "", volumeId, E_CLOSE);
  if (!OpenArchive(archive, fArchiveFile)) RaiseError(fVolumeName, "", volumeId, E_READERROR);
  try {
    fArchiveSize = archive.Size();
  } catch (const EInOutError&) {
    RaiseError(fVolumeName, "", volumeId, E_READERROR);
  }
  fEndBound = fArchiveSize;
  const bool present = fDiskManager->Refresh();
  fVolumeName = fDiskManager->VolumeLabel();
  fCurrentVolume = fDiskManager->VolumeNumber();
  return present;
}

bool TZipCommon::OpenNextVolume(TByteFile& archive) {
  const int32_t wanted = fCurrentVolume + 1;
  while (fDiskManager->VolumeNumber() != wanted) {
    fCancel = 1;
    bool cancel = true;
    if (OnGetZipNextDisk) {
      TorxTimerPause pause(*fTimer);
      OnGetZipNextDisk(this, std::to_string(wanted), cancel);
    }
    fCancel = cancel ? 1 : 0;
    if (cancel) return false;
    fDiskManager->Refresh();
  }
  OpenVolume(archive);
  fPosition = 0;
  archive.Seek(0);
  return true;
}
