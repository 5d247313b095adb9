// The root of the archive component: the archive path and its detected type,
// the ZIP header records and HeaderFlags, the helper objects and the options
// every archive operation shares. Assigning ArchiveFile runs type detection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ByteFile.h"
#include "rtl/Component.h"
#include "archive/DiskManager.h"
#include "archive/FileAttr.h"
#include "archive/Timer.h"
#include "archive/ZipRecords.h"
#include "rtl/DateTime.h"

enum TArcType : uint8_t {
  atNA,
  atUnsupported,
  atFileOpenErr,
  atUnknown,
  atACE,
  atArc,
  atArcExe,
  atArj,
  atArjExe,
  atBh,
  atBhExe,
  atCab,
  atGZip,
  atHa,
  atJar,
  atLha,
  atLhaExe,
  atLzh,
  atLzhExe,
  atMsGZ,
  atPak,
  atPakExe,
  atRar,
  atRarExe,
  atTar,
  atUue,
  atZip,
  atZipExe,
  atZipMV,
  atZoo,
};

// A usable archive was found: none of atNA, atUnsupported, atFileOpenErr, atUnknown.
bool IsRecognised(TArcType type);

// 1980-01-01, the date of an archive whose file date is unknown.
constexpr rtl::TDateTime kUnknownArchiveDate = 29221.0;

// Where IdentifySignature found the four bytes.
enum TSignatureMode : int32_t { smInsideExecutable = 0, smPlainFile = 1 };

class TorxMain : public TComponent {
 public:
  explicit TorxMain(TComponent* owner = nullptr);
  ~TorxMain() override;

  const std::string& ArchiveFile() const { return fArchiveFile; }
  virtual void SetArchiveFile(const std::string& value);
  TArcType ArcType() const { return fArcType; }
  // Runs detection again; the value itself is ignored.
  virtual void SetArcType(TArcType value);

  std::string About() const;
  void SetAbout(const std::string&) {}

  int32_t ZipCmntBufSize() const { return fZipCmntBufSize; }
  // Stores 2000..32767 (values outside are clamped).
  void SetZipCmntBufSize(int32_t value);

  // Candidate passwords, tried in order.
  std::vector<std::string> Passwords;
  int32_t PasswordAttempts = 3;
  bool UseStoredDirs = true;

  // Detection results and the state of the ZIP header records.
  int32_t StartOffset() const { return fOffset; }
  int32_t ArchiveSize() const { return fArchiveSize; }
  rtl::TDateTime ArchiveDate() const { return fArchiveDate; }
  uint8_t HeaderFlags() const { return fHeaderFlags; }
  const TLocalHeader& LocalHeader() const { return fLocalHeader; }
  const TCentralHeader& CentralHeader() const { return fCentralHeader; }
  const TEndOfCentralDir& EndOfCentralDir() const { return fEndOfCentralDir; }

  TDiskManager& DiskManager() { return *fDiskManager; }
  TorxFileAttr& FileAttr() { return *fFileAttr; }
  TorxTimer& Timer() { return *fTimer; }

  // Sets the cancel flag; every loop of the component checks it.
  void Cancel() { fCancel = 1; }
  bool Cancelled() const { return fCancel != 0; }

  // The archive type of the first four bytes (little-endian) found in an
  // executable (smInsideExecutable) or at the start of a plain file.
  TArcType IdentifySignature(int32_t mode, uint32_t d, int32_t& dataStart);

  // The ZIP directory search. Both fill the header records as far as they
  // get and set HeaderFlags.
  // Offset of the central directory when the whole chain behind the end
  // record holds, else 0.
  int32_t LocateEndOfCentralDir(TByteFile& archive);
  // Offset where ZIP data starts, or 0; sets ArcType to atUnknown first.
  int32_t FindZipStart(TByteFile& archive);
  // Reads `length` name bytes at position and advances it.
  static std::string ReadEntryName(TByteFile& archive, int32_t& position, int32_t length);
  // "/" to "\" in a name already in the ANSI code page (see StoredNameAsAnsi).
  static std::string NormalizeEntryName(std::string name);

  // The component every running extraction registers as active.
  static TorxMain* ActiveComponent;

 protected:
  void DetectArcType();
  bool OpenArchive(TByteFile& file, const std::string& path);
  bool CloseArchive(TByteFile& file);
  // Hands the archive's drive to the volume manager.
  void CheckArchiveDrive();
  // ACE, ARJ and RAR volume naming from the extension of ArchiveFile.
  void DeriveVolumeNaming();

  std::string fArchiveFile;
  TArcType fArcType = atNA;
  TByteFile fArcFile;               // the archive while it is open
  int32_t fOffset = 0;              // data start offset (1-based for some formats)
  int32_t fArchiveSize = 0;
  rtl::TDateTime fArchiveDate = kUnknownArchiveDate;
  char fVolumeLetter = 0;
  int32_t fVolumeNumber = 0;
  int32_t fVolumeCount = 0;
  int32_t fZipCmntBufSize = 0;
  int32_t fCount = 0;               // entries begun in this run
  int32_t fPosition = 0;            // the current archive position
  uint8_t fCancel = 0;

  uint8_t fHeaderFlags = 0;
  TLocalHeader fLocalHeader{};
  TCentralHeader fCentralHeader{};
  TEndOfCentralDir fEndOfCentralDir{};

  std::unique_ptr<TDiskManager> fDiskManager;
  std::unique_ptr<TorxFileAttr> fFileAttr;
  std::unique_ptr<TorxTimer> fTimer;

 private:
  // Detection steps; each returns true when detection is complete.
  bool FindZipExe(TByteFile& archive);
  void DetectExecutable(TByteFile& archive, const uint8_t* buffer, int32_t count);
  bool FindInStringResources(TByteFile& archive);
  void DetectPlainFile(TByteFile& archive, const uint8_t* buffer, int32_t count);
  int32_t ScanForSfx(TByteFile& archive, int32_t start);
  bool IsUue(TByteFile& archive);
  bool IsTar(TByteFile& archive);
  bool LabelHasSpanMarker();
  bool ReadRecordAt(TByteFile& archive, int32_t offset, void* record, int32_t size, uint32_t signature);
};
