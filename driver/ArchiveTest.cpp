#include "driver/ArchiveTest.h"

#include <exception>

#include "archive/MessageTable.h"
#include "archive/UnZip.h"
#include "rtl/WinPath.h"

namespace driver {

TArchiveVerdict TestArchive(const std::string& Archive, bool ZipOnly) {
  TArchiveVerdict verdict;
  try {
    TUnZIP unzip(nullptr);
    if (ZipOnly) unzip.SetArcType(atZip);
    unzip.SetArchiveFile(Archive);
    unzip.TestOnly = true;
    unzip.ConfirmOverwrites = false;
    unzip.FileSpec().push_back("*.*");
    unzip.OnError = [&verdict, &Archive](TObject*, const std::string& fileName, const std::string& extra,
                                         const std::string&, int32_t id) {
      // A fault of the archive as a whole needs no name: the caller has it.
      std::string line = fileName.empty() || fileName == Archive ? std::string() : fileName + ": ";
      line += archive::MessageText(id);
      if (!extra.empty()) line += " (" + extra + ")";
      verdict.Faults.push_back(line);
    };
    // An entry whose contents fail their check without an error of its own.
    // It names the entry by the path it would have been written to.
    const std::string targetDir = rtl::ExtractFilePath(Archive);
    unzip.OnEnd = [&verdict, &targetDir](TObject*, const std::string& fileName, bool crcPass) {
      const std::string name = fileName.rfind(targetDir, 0) == 0 ? fileName.substr(targetDir.size()) : fileName;
      if (crcPass || (!verdict.Faults.empty() && verdict.Faults.back().rfind(name + ": ", 0) == 0)) return;
      verdict.Faults.push_back(name + ": its contents fail their check");
    };
    verdict.Entries = unzip.Extract();
    verdict.Opened = true;
  } catch (const std::exception& e) {
    // The error that ends the run is often the one just reported.
    if (verdict.Faults.empty() || verdict.Faults.back().find(e.what()) == std::string::npos) {
      verdict.Faults.push_back(e.what());
    }
  }
  return verdict;
}

}  // namespace driver
