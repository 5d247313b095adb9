// A whole archive extracted by the installer's component into a scratch
// directory: no crash, no hang, nothing written anywhere but below the
// target directory, and no entry's output longer than its declared size.
// Drive C: of the stand-in is the scratch directory, so even a name that
// reaches for the drive root lands where it is seen.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/UnZip.h"
#include "rtl/Exception.h"

namespace fs = std::filesystem;

namespace {

// Counts what each entry writes and stops the fuzzer when an entry writes
// more than it declares.
class TCountingUnZip : public TUnZIP {
 public:
  int64_t written = 0;
  int32_t WriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt) override {
    written += count;
    if (written > static_cast<int64_t>(CurrentEntry().UnpackedSize)) {
      std::fprintf(stderr, "entry wrote %lld bytes, declared %u\n", static_cast<long long>(written),
                   CurrentEntry().UnpackedSize);
      std::abort();
    }
    return TUnZIP::WriteBlock(file, buffer, count, checkKind, decrypt);
  }
};

const fs::path& Scratch() {
  static const fs::path root = [] {
    const fs::path path = fs::temp_directory_path() / ("archive-fuzz-" + std::to_string(getpid()));
    fs::create_directories(path);
    setenv("VEXUPD_DRIVE_C", path.c_str(), 1);
    return path;
  }();
  return root;
}

// Everything below the scratch root must be the archive or below out/t.
void CheckNothingOutside() {
  for (auto it = fs::recursive_directory_iterator(Scratch()); it != fs::recursive_directory_iterator(); ++it) {
    const std::string relative = fs::relative(it->path(), Scratch()).generic_string();
    if (relative == "a.zip" || relative == "out" || relative == "out/t" || relative.rfind("out/t/", 0) == 0)
      continue;
    std::fprintf(stderr, "written outside the target: %s\n", relative.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path& root = Scratch();
  fs::remove_all(root / "out");
  fs::create_directories(root / "out" / "t");
  {
    std::ofstream archive(root / "a.zip", std::ios::binary | std::ios::trunc);
    archive.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TCountingUnZip unzip;
  unzip.SetArchiveFile("C:\\a.zip");
  unzip.SetExtractDir("C:\\out\\t");
  unzip.FileSpec().push_back("*.*");
  unzip.ConfirmOverwrites = false;
  unzip.Passwords = {"secret"};
  unzip.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int32_t) {};
  unzip.OnBegin = [&unzip](TObject*, const std::string&, int32_t, bool&) { unzip.written = 0; };
  try {
    unzip.Extract();
  } catch (const rtl::Exception&) {
    // A refused archive.
  }
  CheckNothingOutside();
  return 0;
}
