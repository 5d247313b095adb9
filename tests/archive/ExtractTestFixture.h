// The extraction component set up the way the installer uses it, in a
// scratch directory, with every reported error recorded.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <string>
#include <vector>

#include "ArcDirTestSupport.h"
#include "archive/UnZip.h"

class ExtractTest : public arcdir_test::ScratchTest {
 protected:
  struct ErrorRecord {
    std::string fileName, extra;
    int32_t id;
  };
  void Prepare(TUnZIP& unzip, const std::string& archive, const std::string& outDir = "out") {
    unzip.SetArchiveFile(Win(archive));
    unzip.SetExtractDir(Win(outDir));
    unzip.FileSpec().push_back("*.*");
    unzip.OnError = [this](TObject*, const std::string& fileName, const std::string& extra, const std::string&,
                           int32_t id) { errors_.push_back({fileName, extra, id}); };
  }
  std::vector<int32_t> ErrorIds() const {
    std::vector<int32_t> ids;
    for (const ErrorRecord& e : errors_) ids.push_back(e.id);
    return ids;
  }

  static time_t ModificationTime(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mtime : 0;
  }
  static time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
  }

  std::vector<ErrorRecord> errors_;
};
