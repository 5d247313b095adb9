#include "archive/DiskManager.h"

#include <windows.h>

#include "archive/ArcHelpers.h"
#include "archive/MessageTable.h"
#include "rtl/Format.h"
#include "rtl/Win32Error.h"
#include "rtl/WinPath.h"

namespace {

// The label of every disk of a spanned archive, followed by the disk number.
constexpr char kSpanLabel[] = "PKBACK# ";

// Critical-error boxes of the system stay off while a drive is queried.
class TCriticalErrorsOff {
 public:
  TCriticalErrorsOff() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~TCriticalErrorsOff() { SetErrorMode(previous_); }

 private:
  UINT previous_;
};

std::string DefaultApplicationTitle() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = rtl::ExtractFileName(std::string(path, length));
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TDiskManager::TDiskManager(TComponent* owner) : TComponent(owner), ApplicationTitle(DefaultApplicationTitle()) {}

bool TDiskManager::IsSpannedDiskLabel(const std::string& label) {
  return label.find(kSpanLabel) != std::string::npos;
}

int32_t TDiskManager::VolumeNumberFromLabel(const std::string& label) {
  const size_t at = label.rfind(kSpanLabel);
  if (at == std::string::npos) return 0;
  const std::string digits = label.substr(at + sizeof(kSpanLabel) - 1);
  if (digits.empty() || !archive::IsAllDigits(digits) || digits.size() > 9) return 0;
  return std::stoi(digits);
}

std::string TDiskManager::DriveTypeNameOf(uint8_t type) {
  static const char* const kNames[] = {"Unknown", "None", "Floppy", "Fixed", "Network",
                                       "CD-ROM", "RAM", "3\xBD Floppy", "5\xBC Floppy"};
  return type < sizeof(kNames) / sizeof(kNames[0]) ? kNames[type] : std::string();
}

void TDiskManager::SetDrive(const std::string& drive) {
  if (drive == drive_) return;
  drive_ = drive;
  if (!monitoring_) Refresh();
  if (OnDriveChange) OnDriveChange(this);
}

bool TDiskManager::ReadVolumeInformation() {
  char label[MAX_PATH + 1] = {};
  char fileSystem[MAX_PATH + 1] = {};
  DWORD serial = 0;
  DWORD maxLength = 0;
  DWORD flags = 0;
  const std::string root = rtl::AddTrailingBackslash(drive_);
  BOOL ok;
  {
    TCriticalErrorsOff quiet;
    ok = GetVolumeInformationA(root.c_str(), label, MAX_PATH, &serial, &maxLength, &flags, fileSystem, MAX_PATH);
  }
  if (!ok) return false;
  volumeLabel_ = label;
  fileSystemName_ = fileSystem;
  maxComponentLength_ = maxLength;
  fileSystemFlags_ = flags;
  volumeNumber_ = VolumeNumberFromLabel(volumeLabel_);
  serial_ = rtl::Format("%8.8X", static_cast<unsigned>(serial));
  driveType_ = drive_.empty() ? DRIVE_NO_ROOT_DIR : static_cast<uint8_t>(GetDriveTypeA(root.c_str()));
  return true;
}

bool TDiskManager::Refresh() {
  for (;;) {
    if (ReadVolumeInformation()) {
      if (driveType_ == DRIVE_REMOVABLE) {
        WaitForDisk(drive_);
        driveTypeName_ = DriveTypeNameOf(mediaType_);
      } else {
        while (!GetDiskFree(drive_, diskFree_)) {
          if (!AskRetry(drive_)) break;
        }
        driveTypeName_ = DriveTypeNameOf(driveType_);
      }
      diskPresent_ = true;
      return true;
    }
    // A drive letter that does not exist has no disk to insert: asking would
    // only repeat the box.
    const UINT type = drive_.empty() ? DRIVE_NO_ROOT_DIR : GetDriveTypeA(rtl::AddTrailingBackslash(drive_).c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN || !AskRetry(drive_)) {
      driveType_ = static_cast<uint8_t>(type);
      diskPresent_ = false;
      return false;
    }
  }
}

void TDiskManager::SetMonitoring(bool on) {
  if (on == monitoring_) return;
  monitoring_ = on;
  Refresh();
  lastSerial_ = serial_;
  // No polling timer: nothing in the program needs disk-change events.
  monitoring_ = false;
}

bool TDiskManager::WaitForDisk(const std::string& drive) {
  if (driveType_ != DRIVE_REMOVABLE) return false;
  // The media type comes from a DOS device that only old systems provide.
  mediaType_ = 0;
  for (;;) {
    if (GetDiskFree(drive, diskFree_)) return true;
    if (!AskRetry(drive)) return false;
  }
}

bool TDiskManager::GetDiskFree(const std::string& drive, TDiskFreeRecord& record) {
  if (driveType_ == DRIVE_REMOTE) return true;
  record = TDiskFreeRecord();
  const std::string root = rtl::AddTrailingBackslash(drive);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  BOOL ok;
  {
    TCriticalErrorsOff quiet;
    ok = GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
  }
  if (!ok) return false;
  record.SectorsPerCluster = sectorsPerCluster;
  record.BytesPerSector = bytesPerSector;
  record.FreeClusters = freeClusters;
  record.TotalClusters = totalClusters;
  // 32-bit arithmetic, as the record holds it.
  record.FreeBytes = sectorsPerCluster * bytesPerSector * freeClusters;
  record.TotalBytes = sectorsPerCluster * bytesPerSector * totalClusters;
  return true;
}

bool TDiskManager::AskRetry(const std::string& drive) {
  const DWORD error = GetLastError();
  // "%s<is not accessible.>\r\n\r\n%s" with the drive and the system's text.
  const std::string text = rtl::AddTrailingBackslash(archive::AsciiUpperCase(drive)) +
                           archive::MessageText(E_NOTACCESSIBLE) + "\r\n\r\n" + rtl::SystemErrorText(error);
  return MessageBoxA(nullptr, text.c_str(), ApplicationTitle.c_str(), MB_RETRYCANCEL | MB_ICONHAND) == IDRETRY;
}
