// What the ZIP operations share above the block operations: options and
// events, the target path rules, entry selection by name patterns, error reporting,
// progress, and the directory walk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ReadWriteObj.h"
#include "rtl/DateTime.h"

enum TOverwriteMode : uint8_t { omOverwrite, omSkip };
enum TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };
enum TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TOnBegin = std::function<void(TObject* Sender, const std::string& FN, int32_t RecNum, bool& Extract)>;
using TOnEnd = std::function<void(TObject* Sender, const std::string& FN, bool CRC_PASS)>;
using TOnError = std::function<void(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                                    const std::string& VolumeID, int32_t ECode)>;
using TOnFileExists = std::function<void(TObject* Sender, const std::string& FN, rtl::TDateTime FileDate,
                                         TOverwriteMode& OverwriteMode)>;
using TOnGetPassword = std::function<void(TObject* Sender, const std::string& FN, std::string& Password,
                                          bool& TryAgain)>;
using TOnProgress = std::function<void(TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)>;
using TOnRenameFile = std::function<void(TObject* Sender, std::string& Filename)>;
using TOnCorruptZipHeader = std::function<void(TObject* Sender, uint8_t HeadFlag, bool& Cancel)>;
using TOnElapsedTime = std::function<void(TObject* Sender, float ElapsedTime)>;
using TOnGetZipDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipNextDisk = std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;

// How the directory is walked (chosen from HeaderFlags).
enum TWalkMode : uint8_t { wmLocalScan, wmCentralWalk };

class TZipCommon : public TReadWriteObj {
 public:
  explicit TZipCommon(TComponent* owner = nullptr);

  bool ConfirmOverwrites = true;
  TOverwriteMode OverwriteMode = omOverwrite;

  const std::string& ExtractDir() const { return fExtractDir; }
  // "/" becomes "\" and a trailing "\" is added; an empty value stores the
  // directory of ArchiveFile.
  void SetExtractDir(const std::string& value);

  // Lines added here directly are used as they are.
  std::vector<std::string>& FileSpec() { return fFileSpec; }
  const std::vector<std::string>& FileSpec() const { return fFileSpec; }
  // Normalises the given list in place (no empty lines, "\" separators,
  // file-name parts only), then copies it.
  void SetFileSpec(std::vector<std::string>& list);

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TOnBegin OnBegin;
  TOnEnd OnEnd;
  TOnError OnError;
  TOnFileExists OnFileExists;
  TOnGetPassword OnGetPassword;
  TOnProgress OnProgress;
  TOnRenameFile OnRenameCompressedFile;
  TOnCorruptZipHeader OnCorruptZipHeader;
  TOnElapsedTime OnElapsedTime;
  TOnGetZipDisk OnGetZipFirstDisk;
  TOnGetZipNextDisk OnGetZipNextDisk;
  TOnGetZipDisk OnGetZipLastDisk;

  // Target path of a stored name below ExtractDir (sets TargetPath()).
  virtual void BuildTargetPath(const std::string& storedName);
  // Name of volume n of the numbered ACE, ARJ and RAR kinds.
  virtual std::string MakeVolumeName(const std::string& name, int32_t n);
  // 0 and unconvertible values give 1980-01-01.
  virtual rtl::TDateTime DosDateToDateTime(int32_t dosDateTime);
  // Creates the directory chain and the output file (clearing a read-only
  // attribute once when needed). The folder of the last target is taken as
  // standing until a create in it fails.
  virtual bool OpenTarget(TByteFile& output, const std::string& targetPath, const std::string& storedName);
  // OnError (unless the active component was cancelled), then E_RAISE with
  // the text of ECode.
  [[noreturn]] virtual void RaiseError(const std::string& FN, const std::string& MsgEx,
                                       const std::string& VolumeID, int32_t ECode);
  // OnError with the file-name part of FN; no exception.
  virtual void NotifyError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                           int32_t ECode);

  bool MatchesFileSpec(const std::string& name, bool stripPaths) const;
  // Either side may hold "*" and "?"; case-insensitive for a-z.
  static bool WildcardMatch(const std::string& a, const std::string& b, bool stripPaths);

  // Progress point: percentages, pending messages, OnProgress.
  void Progress(int32_t done, int32_t size, int32_t total);
  uint8_t ProgressByFile() const { return fProgressByFile; }
  uint8_t ProgressByArchive() const { return fProgressByArchive; }

  const std::string& TargetPath() const { return fTargetPath; }
  int32_t TotalBytes() const { return fTotalBytes; }
  int32_t ArchiveRemaining() const { return fArchiveRemaining; }

  // Picks the walk mode from HeaderFlags (forcing the local scan when no
  // central header was found); the central walk starts at the directory
  // offset of the end record.
  TWalkMode ChooseWalkMode();
  // One pass over the directory from `start` to `endBound`: clears the list,
  // adds every selected entry, keeps TotalBytes and the newest date. With
  // selectAll off the walk stops at the first selected entry. A walk that
  // does not end on the record that follows it in a sound archive (a cut or
  // foreign record, a step past the end of the file, fewer central records
  // than the end record counts) keeps what it found and reports the damage
  // once: 25236 for the end of the file, 25257 otherwise.
  void WalkDirectory(TByteFile& archive, TorxFileList& list, TWalkMode mode, int32_t start, int32_t endBound,
                     const std::function<bool(const std::string&)>& select, bool selectAll);
  int32_t NewestDate() const { return fNewestDate; }

  // Spanned archives on removable disks labelled "PKBACK# NNN".
  // Readies the first disk at the start of a run and positions the archive
  // at its first record: the number of passes, or 0 when the run ends with
  // nothing extracted. A first disk that begins with no ZIP record raises
  // E_RAISE 25108.
  int32_t PrepareSpannedArchive(TByteFile& archive);
  // Asks (OnGetZipFirstDisk) until the first disk is in the drive, then opens it.
  bool GetFirstDisk(TByteFile& archive);
  // Asks (OnGetZipLastDisk) until the disk with the end record is in, then GetFirstDisk.
  bool GetLastDisk(TByteFile& archive);
  // Opens ArchiveFile again on the disk now in the drive.
  bool OpenVolume(TByteFile& archive);
  // Asks (OnGetZipNextDisk) until the next disk is in the drive and opens it
  // at its start; false when the caller cancelled (the cancel flag stays set).
  bool OpenNextVolume(TByteFile& archive);
  const std::string& CurrentVolumeName() const { return fVolumeName; }
  int32_t CurrentVolumeNumber() const { return fCurrentVolume; }

 protected:
  // Lets the application handle pending window messages (progress points).
  static void ProcessMessages();

  std::string fExtractDir;
  std::vector<std::string> fFileSpec;
  std::string fTargetPath;
  std::string fCurrentPassword;
  int32_t fTotalBytes = 0;
  int32_t fArchiveRemaining = 0;
  int32_t fNewestDate = 0;
  int32_t fEndBound = 0;
  uint8_t fProgressByFile = 0;
  uint8_t fProgressByArchive = 0;
  std::string fVolumeName;     // label of the disk in use
  int32_t fCurrentVolume = 0;  // its number
  std::string fLastTargetFolder;  // made or found for the last target
  TTickGate fMessageGate;         // progress points process messages once per tick

 private:
  // What ended a directory walk early: a message id (0: nothing) and detail.
  struct TWalkDamage {
    int32_t id = 0;
    std::string detail;
  };
  // The walk itself; WalkDirectory reports what it returns.
  TWalkDamage WalkRecords(TByteFile& archive, TorxFileList& list, TWalkMode mode, int32_t start, int32_t endBound,
                          const std::function<bool(const std::string&)>& select, bool selectAll);
  // After a local scan that met the central directory at `at`: the
  // directory must run on to a whole end record that points back at it.
  TWalkDamage CheckDirectoryAfterScan(TByteFile& archive, int64_t at, int64_t endBound);
  void MakeTargetFolder(std::string folder);
  bool PrepareSpannedVolume(TByteFile& archive);
  bool Ask(const TOnGetZipDisk& event);
};
