#include "driver/UnZipExtractor.h"

#include "archive/UnZip.h"

namespace driver {
namespace {

// Every entry, overwriting; a failing archive counts as "nothing begun".
int32_t ExtractAll(TUnZIP& UnZip) {
  UnZip.FileSpec().push_back("*.*");
  try {
    return UnZip.Extract();
  } catch (...) {
    return 0;
  }
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
    return ExtractAll(unzip) != 0;
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
    return ExtractAll(unzip) > 0;
  } catch (...) {
    return false;
  }
}

}  // namespace driver
