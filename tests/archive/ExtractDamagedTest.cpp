#include <random>

#include "ExtractTestFixture.h"
#include "rtl/Exception.h"

// Damaged copies of a real archive: every run ends with worded errors or
// none, never with a crash, a foreign exception or a file outside the
// target directory.
TEST_F(ExtractTest, DamagedArchivesEndCleanly) {
  if (!PythonZip("good.zip",
                 "z.writestr('a.txt', b'alpha ' * 300)\n"
                 "z.writestr('d/b.bin', bytes(range(256)) * 40, zipfile.ZIP_DEFLATED)\n"
                 "z.writestr('c.txt', b'gamma')")) {
    GTEST_SKIP();
  }
  const std::vector<uint8_t> good = ReadBytes("good.zip");
  std::filesystem::create_directories("target/out");
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> bytes = good;
    const int damage = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < damage; ++i) {
      const size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] = static_cast<uint8_t>(random()); break;
        case 1: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        default: bytes.resize(std::max<size_t>(at, 1)); break;
      }
    }
    WriteBytes("bad.zip", bytes);
    SCOPED_TRACE(round);
    TUnZIP unzip;
    Prepare(unzip, "bad.zip", "target/out");
    unzip.ConfirmOverwrites = false;
    try {
      unzip.Extract();
    } catch (const rtl::Exception&) {
      // A refused archive: the run checks raise E_RAISE.
    } catch (const std::exception& e) {
      ADD_FAILURE() << "foreign exception: " << e.what();
    }
    for (const auto& entry : std::filesystem::directory_iterator("target")) {
      EXPECT_EQ(entry.path().filename(), "out");
    }
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "good.zip" || name == "bad.zip" || name == "make.py" || name == "target") << name;
    }
  }
}
