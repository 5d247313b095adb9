// What the drive holding an archive is: type, volume label and number, serial,
// file system, free space, and whether a disk is in it. Spanned ZIP archives
// use the label "PKBACK# NNN" to know which disk is in the drive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "rtl/Component.h"

struct TDiskFreeRecord {
  uint32_t SectorsPerCluster = 0;
  uint32_t BytesPerSector = 0;
  uint32_t FreeClusters = 0;
  uint32_t TotalClusters = 0;
  uint32_t FreeBytes = 0;
  uint32_t TotalBytes = 0;
};

class TDiskManager : public TComponent {
 public:
  using TNotifyEvent = std::function<void(TObject* Sender)>;

  explicit TDiskManager(TComponent* owner = nullptr);

  const std::string& Drive() const { return drive_; }
  // A new drive is inspected (Refresh) and announced (OnDriveChange).
  void SetDrive(const std::string& drive);
  // Reads the volume information and free space again; false only when the
  // volume could not be read and the user chose Cancel.
  bool Refresh();
  bool Monitoring() const { return monitoring_; }
  // Polling is not offered: turning it on inspects the drive once and falls
  // back to off.
  void SetMonitoring(bool on);
  int32_t PollingInterval = 2000;

  // Removable drives only: waits (through AskRetry) until free space can be read.
  bool WaitForDisk(const std::string& drive);
  bool GetDiskFree(const std::string& drive, TDiskFreeRecord& record);
  // The Retry/Cancel box naming the drive and the last system error.
  bool AskRetry(const std::string& drive);

  const std::string& VolumeLabel() const { return volumeLabel_; }
  int32_t VolumeNumber() const { return volumeNumber_; }
  const std::string& Serial() const { return serial_; }
  uint32_t MaxComponentLength() const { return maxComponentLength_; }
  uint32_t FileSystemFlags() const { return fileSystemFlags_; }
  const std::string& FileSystemName() const { return fileSystemName_; }
  uint8_t DriveType() const { return driveType_; }
  uint8_t MediaType() const { return mediaType_; }
  const std::string& DriveTypeName() const { return driveTypeName_; }
  bool DiskPresent() const { return diskPresent_; }
  const TDiskFreeRecord& DiskFree() const { return diskFree_; }
  bool IsRemovable() const { return driveType_ == 2; }

  // A spanned archive's disk: its label holds "PKBACK# ".
  static bool IsSpannedDiskLabel(const std::string& label);
  // The number after the last "PKBACK# " of a label when it is all digits, else 0.
  static int32_t VolumeNumberFromLabel(const std::string& label);
  // The name of a drive type (or removable media type) 0..8; "" beyond.
  static std::string DriveTypeNameOf(uint8_t type);

  // Caption of the Retry/Cancel box.
  std::string ApplicationTitle;
  TNotifyEvent OnDriveChange;
  TNotifyEvent OnDiskChange;

 private:
  bool ReadVolumeInformation();

  std::string drive_;
  bool monitoring_ = false;
  std::string lastSerial_;
  std::string volumeLabel_;
  int32_t volumeNumber_ = 0;
  std::string serial_;
  uint32_t maxComponentLength_ = 0;
  uint32_t fileSystemFlags_ = 0;
  std::string fileSystemName_;
  uint8_t driveType_ = 0;
  uint8_t mediaType_ = 0;
  std::string driveTypeName_;
  bool diskPresent_ = false;
  TDiskFreeRecord diskFree_;
};
