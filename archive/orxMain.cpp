#include "archive/orxMain.h"

#include <windows.h>

#include "archive/ArcHelpers.h"
#include "rtl/FileSystem.h"
#include "rtl/WinPath.h"

TorxMain* TorxMain::ActiveComponent = nullptr;

bool IsRecognised(TArcType type) {
  return type != atNA && type != atUnsupported && type != atFileOpenErr && type != atUnknown;
}

TorxMain::TorxMain(TComponent* owner)
    : TComponent(owner),
      fDiskManager(std::make_unique<TDiskManager>()),
      fFileAttr(std::make_unique<TorxFileAttr>()),
      fTimer(std::make_unique<TorxTimer>()) {}

TorxMain::~TorxMain() {
  if (ActiveComponent == this) ActiveComponent = nullptr;
}

std::string TorxMain::About() const { return "vexupd archive component"; }

void TorxMain::SetArchiveFile(const std::string& value) {
  if (ComponentState() != 0 || value.empty()) {
    fArchiveFile.clear();
    ActiveComponent = nullptr;
    fArcType = atNA;
    return;
  }
  fCount = 0;
  fPosition = 1;
  fArchiveFile = archive::SlashToBackslash(value);
  DetectArcType();
  DeriveVolumeNaming();
}

void TorxMain::SetArcType(TArcType) { DetectArcType(); }

void TorxMain::SetZipCmntBufSize(int32_t value) {
  if (value > 0x7FFF)
    value = 0x7FFF;
  else if (value < 2000)
    value = 2000;
  fZipCmntBufSize = value;
}

bool TorxMain::OpenArchive(TByteFile& file, const std::string& path) { return file.Reset(path); }

bool TorxMain::CloseArchive(TByteFile& file) { return file.Close(); }

namespace {

// "C:" of "C:\dir\a.zip", "\\server\share" of a UNC path, else "".
std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    size_t end = path.find('\\', 2);
    if (end != std::string::npos) end = path.find('\\', end + 1);
    return path.substr(0, end);
  }
  return std::string();
}

}  // namespace

void TorxMain::CheckArchiveDrive() {
  const bool named = fArchiveFile.find("\\\\") != std::string::npos || fArchiveFile.find(':', 1) != std::string::npos;
  fDiskManager->SetDrive(ExtractFileDrive(named ? fArchiveFile : rtl::CurrentDirectory()));
}

void TorxMain::DeriveVolumeNaming() {
  char letter;
  switch (fArcType) {
    case atACE:
      letter = 'C';
      break;
    case atArj:
    case atArjExe:
      letter = 'a';
      break;
    case atRar:
    case atRarExe:
      letter = 'r';
      break;
    default:
      return;
  }
  const std::string name = rtl::ExtractFileName(fArchiveFile);
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  size_t digitsFrom = extension.size();
  while (digitsFrom > 0 && extension[digitsFrom - 1] >= '0' && extension[digitsFrom - 1] <= '9') --digitsFrom;
  const std::string digits = extension.substr(digitsFrom);
  if (!digits.empty() && digits.size() <= 4) {
    fVolumeCount = std::stoi(digits) + 1;
    letter = extension[0];
  } else {
    fVolumeCount = (fArcType == atArj || fArcType == atArjExe) ? 1 : 0;
  }
  fVolumeLetter = letter;
  fVolumeNumber = 0;
}
