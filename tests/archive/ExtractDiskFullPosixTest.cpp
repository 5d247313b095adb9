// A disk that fills up while an entry is written, simulated with a file size
// limit in a child process: the entry ends with a CRC error, what was written
// stays, and the next entry that fits is extracted whole.
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "ExtractTestFixture.h"

namespace {

constexpr rlim_t kFileSizeLimit = 48 * 1024;

}  // namespace

TEST_F(ExtractTest, AFullDiskEndsTheEntryWithACrcErrorAndTheRunGoesOn) {
  if (!PythonZip("full.zip",
                 "import random\n"
                 "random.seed(5)\n"
                 "z.writestr('big.bin', bytes(random.getrandbits(8) for _ in range(200000)), zipfile.ZIP_DEFLATED)\n"
                 "z.writestr('stored.bin', b'S' * 100000)\n"
                 "z.writestr('small.txt', b'fits on the disk')")) {
    GTEST_SKIP() << "python3 missing";
  }
  std::filesystem::create_directories("out");
  const auto extractWithLimit = [this] {
    // Past the limit a write fails with EFBIG instead of killing the process.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kFileSizeLimit, kFileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
    TUnZIP unzip;
    Prepare(unzip, "full.zip");
    unzip.Extract();
    const std::vector<int32_t> expected{25151, 25151};
    const bool reported = ErrorIds() == expected && errors_[0].fileName == "big.bin" &&
                          errors_[1].fileName == "stored.bin";
    const bool partial = std::filesystem::file_size("out/big.bin") == kFileSizeLimit &&
                         std::filesystem::file_size("out/stored.bin") == kFileSizeLimit;
    const bool whole = ReadFile("out/small.txt") == "fits on the disk";
    std::fprintf(stderr, "reported=%d partial=%d whole=%d\n", reported, partial, whole);
    std::_Exit(reported && partial && whole ? 0 : 1);
  };
  EXPECT_EXIT(extractWithLimit(), ::testing::ExitedWithCode(0), "reported=1 partial=1 whole=1");
}
