#include "driver/UnZipExtractor.h"

#include "archive/UnZip.h"
#include "driver/ArchiveTest.h"

namespace driver {
namespace {

// One run over every entry, overwriting, with what it reported: the entries
// begun and the faults (errors, entries whose check failed, an archive that
// could not be read at all).
struct TRunOutcome {
  int32_t Begun = 0;
  int32_t Faults = 0;
};

TRunOutcome ExtractAll(TUnZIP& UnZip) {
  TRunOutcome outcome;
  UnZip.OnError = [&outcome](TObject*, const std::string&, const std::string&, const std::string&, int32_t) {
    ++outcome.Faults;
  };
  UnZip.OnEnd = [&outcome](TObject*, const std::string&, bool crcPass) {
    if (!crcPass) ++outcome.Faults;
  };
  UnZip.FileSpec().push_back("*.*");
  try {
    outcome.Begun = UnZip.Extract();
  } catch (...) {
    ++outcome.Faults;
  }
  return outcome;
}

}  // namespace

bool TUnZipExtractor::ExtractPackage(const std::string& Archive, const std::string& Dir,
                                     const std::string& Password) {
  try {
    TUnZIP unzip(nullptr);
    unzip.SetArchiveFile(Archive);
    unzip.SetExtractDir(Dir);
    unzip.ConfirmOverwrites = false;
    unzip.OverwriteMode = omOverwrite;
    unzip.Passwords.push_back(Password);
    unzip.PasswordAttempts = 1;
    const TRunOutcome outcome = ExtractAll(unzip);
    return outcome.Begun > 0 && outcome.Faults == 0;
  } catch (...) {
    return false;
  }
}

bool TUnZipExtractor::ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) {
  try {
    TUnZIP unzip(nullptr);
    unzip.SetArcType(atZip);
    unzip.SetArchiveFile(Archive);
    unzip.SetExtractDir(Dir);
    unzip.ConfirmOverwrites = !Quiet;
    unzip.OverwriteMode = omOverwrite;
    return ExtractAll(unzip).Begun > 0;
  } catch (...) {
    return false;
  }
}

bool TUnZipExtractor::TestArchive(const std::string& Archive) {
  // An archive without entries is whole when nothing went wrong reading it.
  return driver::TestArchive(Archive, true).Sound();
}

}  // namespace driver
