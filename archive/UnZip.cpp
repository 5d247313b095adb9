#include "archive/UnZip.h"

#include <windows.h>

#include <exception>
#include <optional>
#include <utility>

#include "archive/ArcHelpers.h"
#include "archive/EntryChecks.h"
#include "archive/MessageTable.h"
#include "archive/UnZipSelection.h"
#include "archive/UnZipPassword.h"
#include "archive/UnZipTargetPath.h"
#include "codec/DecoderState.h"
#include "codec/ZipCrypto.h"
#include "rtl/Exception.h"
#include "rtl/FileSystem.h"
#include "rtl/WinPath.h"

namespace {

constexpr uint16_t kEncryptedFlag = 0x0001;
constexpr uint32_t kArchiveBitOnly = 0x20;


bool ReadRecord(TReadProc& read, TByteFile& archive, void* record, int32_t size) {
  return read(archive, static_cast<uint8_t*>(record), size, false, ckNone) == size;
}

}  // namespace

TUnZIP::TUnZIP(TComponent* owner) : TUnBase(owner) {}

int32_t TUnZIP::Extract() {
  const TEntryStep step = [this](TByteFile& archive, TByteFile& output, TEntryInfo& entry) {
    return ExtractEntry(archive, output, entry);
  };
  return Run(step);
}

int32_t TUnZIP::List(const std::function<void(const TListedEntry&)>& onEntry) {
  const TEntryStep step = [this, &onEntry](TByteFile& archive, TByteFile&, TEntryInfo& entry) {
    std::string storedName;
    if (!ReadLocalHeader(archive, entry, storedName)) return TEntryResult::Next;
    ++fCount;
    onEntry(TListedEntry{NormalizeEntryName(storedName), entry.FlagWord, entry.Method, entry.PackedSize,
                         entry.UnpackedSize, entry.CRC32, fLocalHeader.FileDate, entry.ExternalAttr});
    return TEntryResult::Next;
  };
  return Run(step);
}

int32_t TUnZIP::Run(const TEntryStep& step) {
  ActiveComponent = this;
  fCount = 0;
  fNewestDate = 0;
  fPosition = 0;
  fArchiveRemaining = 0;
  fTotalBytes = 0;
  fProgressByArchive = 0;
  fCancel = 0;
  fLastDosTime.reset();
  ProcessMessages();
  OutputMode = 0;
  ReadSource = 0;
  if (CpuType == cpt80486) CpuType = cptAuto;

  // The spanned path moves ArchiveFile from disk to disk; the caller gets
  // back what it set, however the run ends.
  struct RestoreArchiveFile {
    std::string& field;
    const std::string saved;
    ~RestoreArchiveFile() { field = saved; }
  } restore{fArchiveFile, fArchiveFile};

  if (fArchiveFile.empty()) RaiseError(fArchiveFile, "", "0", E_FILENOTFOUND);
  // Other kinds may be recognised, but only ZIP entries can be read here:
  // the message names the kind found.
  if (!unzip::IsZipKind(fArcType))
    RaiseError(fArchiveFile, IsRecognised(fArcType) ? unzip::ArcTypeName(fArcType) : "", "0", E_INVALIDARCTYPE);
  if (!OpenArchive(fArcFile, fArchiveFile)) RaiseError(fArchiveFile, "", "0", E_FOPEN);

  TByteFile output;
  auto wrapUp = [&] {
    if (OnDeactivate) OnDeactivate(this);
    fFileList.TearDown();
    if (!CloseArchive(fArcFile)) throw EInOutError(archive::MessageText(E_CLOSE), 0);
  };
  auto stopTimer = [&] {
    if (!OnElapsedTime) return;
    fTimer->Stop();
    OnElapsedTime(this, fTimer->ElapsedTime());
  };

  try {
    if (OnActivate) OnActivate(this);
    fCurrentPassword.clear();
    fTargetPath.clear();
    fArchiveSize = fArcFile.IsOpen() ? fArcFile.Size() : fArchiveSize;
    fEndBound = fArchiveSize;
    fPosition = fOffset;
    fFileList.SetUp();
    fCurrentEntry = TEntryInfo{};
    fStep = &step;
    try {
      if (OnElapsedTime) fTimer->Start();
      ExtractArchive(fArcFile, output);
    } catch (...) {
      fStep = nullptr;
      stopTimer();
      throw;
    }
    fStep = nullptr;
    stopTimer();
  } catch (...) {
    try {
      wrapUp();
    } catch (...) {
      // The first failure is the one to report.
    }
    throw;
  }
  wrapUp();
  return fCount;
}

void TUnZIP::ExtractArchive(TByteFile& archive, TByteFile& output) {
  if (fStep == nullptr) return;
  // However the walk ends, every target is finished before the run is.
  struct StopFinisher {
    TTargetFinisher& finisher;
    ~StopFinisher() { finisher.Stop(); }
  } stopFinisher{fFinisher};
  try {
    WalkAndProcess(archive, output, *fStep);
  } catch (const EInOutError&) {
    // A read or seek the system refused ends the run; what was written stays.
    NotifyError(fArchiveFile, "", "0", E_READERROR);
  } catch (const std::exception&) {
    // Raised through RaiseError, which has told OnError already.
  }
  // The next run reads the end record afresh.
  fEndOfCentralDir.SignatureAtt = 0;
}

void TUnZIP::WalkAndProcess(TByteFile& archive, TByteFile& output, const TEntryStep& step) {
  fPosition = fOffset;
  int32_t passes = 1;
  if (fArcType == atZipMV) {
    // Readies the first disk and positions past its spanning marker.
    passes = PrepareSpannedArchive(archive);
    if (passes <= 0) {
      // The set cannot be followed from here: say so rather than end quietly.
      NotifyError(fArchiveFile, "", std::to_string(fCurrentVolume), E_BROKENCHAIN);
      return;
    }
  } else if (OnCorruptZipHeader &&
             (fHeaderFlags & (hfEndRecordRead | hfCentralHeaderFound | hfLocalHeaderFound)) !=
                 (hfEndRecordRead | hfCentralHeaderFound | hfLocalHeaderFound)) {
    bool cancel = true;
    {
      TorxTimerPause pause(*fTimer);
      OnCorruptZipHeader(this, fHeaderFlags, cancel);
    }
    if (cancel) return;
  }

  const TWalkMode mode = ChooseWalkMode();
  // The central walk starts at the directory; the local scan where the
  // data begins.
  if (mode == wmCentralWalk) fPosition = fOffset;
  if (!archive.TrySeek(fPosition)) RaiseError(fArchiveFile, "", "0", E_SEEKERROR);
  // A split archive that fit one piece still begins with the spanning
  // marker; the local headers follow it.
  if (mode == wmLocalScan && fArcType != atZipMV) {
    uint32_t marker = 0;
    if (ReadRecord(ReadProc, archive, &marker, sizeof marker) &&
        (marker == SPANNED_MARKER_SIGNATURE || marker == ONE_PIECE_MARKER_SIGNATURE))
      fPosition += 4;
  }
  const int32_t start = fPosition;

  fCount = 0;
  const bool selectAll = unzip::SelectsAll(fFileSpec);
  for (int32_t pass = 0; pass < passes; ++pass) {
    fClaimedSpans.Clear();
    {
      TorxTimerPause pause(*fTimer);
      const auto select = [this](const std::string& name) { return MatchesFileSpec(name, false); };
      WalkDirectory(archive, fFileList, mode, start, fEndBound, select, selectAll);
    }
    fArchiveRemaining = fTotalBytes;
    for (int32_t i = 0; i < fFileList.Count() && !Cancelled(); ++i) {
      if (step(archive, output, fFileList.Items(i)) == TEntryResult::Stop) return;
    }
  }
}

bool TUnZIP::ReadLocalHeader(TByteFile& archive, const TEntryInfo& entry, std::string& storedName) {
  fCurrentEntry = entry;
  // A damaged directory may point before the start of the file: that entry
  // is inconsistent like one pointing past its end, not the end of the run.
  if (!archive.TrySeek(entry.LocalHeaderOffset) ||
      !ReadRecord(ReadProc, archive, &fLocalHeader, sizeof fLocalHeader) ||
      fLocalHeader.SignatureAtt != LOCAL_FILE_HEADER_SIGNATURE) {
    NotifyError("", "", "0", E_BADLOCALHEADER);
    return false;
  }
  fPosition = entry.LocalHeaderOffset + static_cast<int32_t>(sizeof fLocalHeader);
  std::string rawName;
  try {
    rawName = ReadEntryName(archive, fPosition, fLocalHeader.FileNameLen);
  } catch (const EInOutError&) {
    // The file ends inside the name.
    NotifyError("", "", "0", E_BADLOCALHEADER);
    return false;
  }
  storedName = unzip::StoredNameAsAnsi(rawName, fLocalHeader.GeneralPurpose);
  // Told, not refused: the name is checked like any other before use.
  if (rawName != entry.StoredName) NotifyError(storedName, "name differs from the directory", "0", E_BADLOCALHEADER);
  return true;
}

bool TUnZIP::RefusedEntry(const TEntryInfo& entry, const std::string& storedName) {
  unzip::TRefusal refusal = unzip::RefusalOf(entry, fLocalHeader, storedName);
  const int64_t start = entry.LocalHeaderOffset;
  const int64_t end = start + static_cast<int64_t>(sizeof fLocalHeader) + fLocalHeader.FileNameLen +
                      fLocalHeader.ExtraFieldLen + entry.PackedSize;
  if (refusal.id == 0 && !fClaimedSpans.Claim(start, end)) refusal = {E_BADLOCALHEADER, "overlaps another entry"};
  if (refusal.id == 0) return false;
  NotifyError(storedName, refusal.detail, "0", refusal.id);
  return true;
}

TUnZIP::TEntryResult TUnZIP::ExtractEntry(TByteFile& archive, TByteFile& output, TEntryInfo& entry) {
  std::string name;
  if (!ReadLocalHeader(archive, entry, name)) return TEntryResult::Next;
  if (RefusedEntry(entry, name)) return TEntryResult::Next;
  BuildTargetPath(name);
  const rtl::TDateTime fileDate = DosDateToDateTime(static_cast<int32_t>(fLocalHeader.FileDate));
  if (!TestOnly && !PlaceableEntry(name)) return TEntryResult::Next;

  std::optional<bool> exists;
  if (!ConfirmEntry(name, exists, fileDate)) return TEntryResult::Stop;
  // A callback may have turned to skipping after the target went unasked.
  if (OverwriteMode == omSkip && (exists ? *exists : !TestOnly && TargetFileExists())) {
    fArchiveRemaining -= static_cast<int32_t>(entry.UnpackedSize);
    Progress(0, 0, fTotalBytes);
    return TEntryResult::Next;
  }

  bool ok = true;
  fPosition += fLocalHeader.ExtraFieldLen;
  archive.Seek(fPosition);
  if (fLocalHeader.GeneralPurpose & kEncryptedFlag) ok = SearchPassword(archive);

  bool decoded = false;
  if (ok) {
    try {
      if (!TestOnly && !OpenTargetAfterFinishing(output, name)) RaiseError(fTargetPath, "", "0", E_FOPEN);
      try {
        decoded = true;
        DecodeEntry(archive, output, entry, fTargetPath);
      } catch (...) {
        FinishTarget(output, entry.ExternalAttr, fLocalHeader.FileDate, fTargetPath);
        throw;
      }
      FinishTarget(output, entry.ExternalAttr, fLocalHeader.FileDate, fTargetPath);
    } catch (const std::exception&) {
      // The entry is abandoned (its fault went to OnError); the run goes on.
    }
  } else if (OnGetPassword) {
    NotifyError(fTargetPath, "", "0", E_PASSWORDFAILED);
    ReportCrcVerdict(entry, name, ok, decoded);
    return TEntryResult::Stop;
  }
  ReportCrcVerdict(entry, name, ok, decoded);
  return TEntryResult::Next;
}

bool TUnZIP::PlaceableEntry(const std::string& storedName) {
  const std::string normalized = NormalizeEntryName(storedName);
  if (unzip::ClimbsOutOfTarget(normalized, UseStoredDirs)) {
    NotifyError(storedName, "", "0", E_INVALIDFN);
    return false;
  }
  if (!unzip::NamesDirectory(normalized)) return true;
  if (UseStoredDirs) {
    try {
      archive::CreateDirectoryChain(fTargetPath);
    } catch (const std::exception&) {
    }
    // Named by the directory itself, not by the empty name after its "\".
    const std::string directory = rtl::RemoveTrailingBackslash(fTargetPath);
    if (!archive::DirExistsOrEmpty(directory)) NotifyError(directory, "", "0", E_UNABLETOCREATEDIR);
  }
  return false;
}

bool TUnZIP::ConfirmEntry(std::string& name, std::optional<bool>& exists, rtl::TDateTime fileDate) {
  (void)name;
  TorxTimerPause pause(*fTimer);
  if (OnProgress) {
    fProgressByFile = 0;
    ProcessMessages();
    OnProgress(this, fProgressByFile, fProgressByArchive);
  }
  // Whether the target exists changes nothing when it is overwritten
  // unasked: it is not looked up then (the create finds out anyway).
  if (ConfirmOverwrites || OverwriteMode == omSkip || Cancelled()) exists = !TestOnly && TargetFileExists();
  if (ConfirmOverwrites && *exists) {
    if (OnFileExists) {
      OnFileExists(this, fTargetPath, fileDate, OverwriteMode);
    } else {
      OverwriteMode = omSkip;
    }
  }
  if (!exists.value_or(false) || (OverwriteMode == omOverwrite && !Cancelled())) {
    ++fCount;
    std::string fileName = fTargetPath;
    bool extract = true;
    if (OnBegin) OnBegin(this, fileName, fCount, extract);
    if (extract) {
      try {
        if (OnRenameCompressedFile) OnRenameCompressedFile(this, fileName);
      } catch (...) {
        fTargetPath = fileName;
        throw;
      }
      fTargetPath = fileName;
    }
  }
  return !Cancelled();
}

bool TUnZIP::TargetFileExists() {
  if (fFinisher.Pending(fTargetPath)) fFinisher.Drain();
  return rtl::IsFile(fTargetPath);
}

bool TUnZIP::OpenTargetAfterFinishing(TByteFile& output, const std::string& storedName) {
  if (fFinisher.Pending(fTargetPath)) fFinisher.Drain();
  if (OpenTarget(output, fTargetPath, storedName)) return true;
  if (fFinisher.Idle()) return false;
  fFinisher.Drain();
  return OpenTarget(output, fTargetPath, storedName);
}

bool TUnZIP::SearchPassword(TByteFile& archive) {
  TorxTimerPause pause(*fTimer);
  uint8_t bytes[codec::kEncryptionHeaderSize] = {};
  const int32_t count = ReadProc(archive, bytes, codec::kEncryptionHeaderSize, false, ckNone);
  TEncryptionHeader header(bytes, count, fLocalHeader);

  bool passed = header.Passes(fCurrentPassword);
  for (size_t i = 0; !passed && i < Passwords.size(); ++i) {
    fCurrentPassword = Passwords[i];
    passed = header.Passes(fCurrentPassword);
  }
  if (passed) return true;

  if (!OnGetPassword) {
    NotifyError(fTargetPath, "OnGetPassword", "0", E_REQUIREDEVENT);
    return false;
  }
  bool tryAgain = true;
  for (int32_t attempt = 0; attempt < PasswordAttempts; ++attempt) {
    OnGetPassword(this, fTargetPath, fCurrentPassword, tryAgain);
    if (!tryAgain) break;
    passed = header.Passes(fCurrentPassword);
    if (passed) {
      Passwords.insert(Passwords.begin(), fCurrentPassword);
      break;
    }
    fCurrentPassword.clear();
    NotifyError(fTargetPath, "", "0", E_INVALIDPASSWORD);
  }
  return passed;
}

void TUnZIP::ReportCrcVerdict(const TEntryInfo& entry, const std::string& storedName, bool ok, bool decoded) {
  const bool crcPass = decoded && (RunningCrc() ^ 0xFFFFFFFFu) == entry.CRC32;
  const bool sizePass = decoded && DeclaredSizeMet();
  if (OnEnd) {
    TorxTimerPause pause(*fTimer);
    OnEnd(this, fTargetPath, crcPass && sizePass);
  } else if (ok && decoded && !crcPass) {
    NotifyError(storedName, "", "0", E_CRCERROR);
  } else if (ok && decoded && !sizePass) {
    NotifyError(storedName, "", "0", E_SIZEDIFFERS);
  }
}

void TUnZIP::FinishTarget(TByteFile& output, uint32_t attributes, uint32_t dosDateTime,
                          const std::string& targetPath) {
  if (TestOnly || !output.IsOpen()) return;
  TFinishedTarget target;
  if (DateAttribute == daSysDate) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    target.LastWrite = now;
  } else {
    target.LastWrite = FileTimeOfDosTime(DateAttribute == daMaxFileDate ? static_cast<uint32_t>(fNewestDate) : dosDateTime);
  }
  if (RestoreFileAttr && attributes != kArchiveBitOnly) target.Attributes = attributes;
  target.Path = targetPath;
  target.Handle = output.Release();
  fFinisher.Finish(std::move(target));
}

std::optional<FILETIME> TUnZIP::FileTimeOfDosTime(uint32_t dosDateTime) {
  // Entries of one archive mostly share a few dates: the local time is
  // converted once per date, not once per file.
  if (fLastDosTime && fLastDosTime->first == dosDateTime) return fLastDosTime->second;
  FILETIME localTime{}, fileTime{};
  std::optional<FILETIME> result;
  if (DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &localTime) &&
      LocalFileTimeToFileTime(&localTime, &fileTime))
    result = fileTime;
  fLastDosTime.emplace(dosDateTime, result);
  return result;
}

int32_t TUnZIP::WriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt) {
  if (!TestOnly) return TUnBase::WriteBlock(file, buffer, count, checkKind, decrypt);
  // Testing decodes and checks exactly as extracting does, without the file.
  DecryptForWrite(decrypt, buffer, count);
  if (count <= 0) return 0;
  AdvanceCheck(buffer, count, checkKind);
  return count;
}
