#include <thread>

#include "ExtractTestFixture.h"

namespace {

// Extraction whose finished targets wait until the run needs them.
class THeldUnZIP : public TUnZIP {
 public:
  void HoldFinishing() { fFinisher.Hold(); }
};

bool ReadOnly(const std::string& winPath) {
  const DWORD attributes = GetFileAttributesA(winPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

TEST_F(ExtractTest, FinisherHoldsAtMostItsBoundOfTargets) {
  if (std::thread::hardware_concurrency() <= 1) GTEST_SKIP() << "finished at once on one processor";
  TTargetFinisher finisher;
  finisher.Hold();
  auto finish = [&](int i) {
    const std::string path = Win(std::string("f").append(std::to_string(i)));
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    finisher.Finish({handle, std::nullopt, FILE_ATTRIBUTE_READONLY, path});
  };
  const int bound = static_cast<int>(TTargetFinisher::kMostPending);
  for (int i = 0; i < bound; ++i) finish(i);
  EXPECT_TRUE(finisher.Pending(Win("F0")));
  EXPECT_TRUE(finisher.Pending(Win(std::string("f").append(std::to_string(bound - 1)))));
  for (int i = 0; i < bound; ++i) EXPECT_FALSE(ReadOnly(Win(std::string("f").append(std::to_string(i))))) << i;
  finish(bound);  // one past the bound: the hold gives way
  finisher.Drain();
  EXPECT_TRUE(finisher.Idle());
  for (int i = 0; i <= bound; ++i) EXPECT_TRUE(ReadOnly(Win(std::string("f").append(std::to_string(i))))) << i;
}

TEST_F(ExtractTest, ANameComingAgainMeetsItsEarlierTargetFinished) {
  struct Case {
    const char* second;
    int secondAttributes;
    bool readOnly;
  };
  const Case cases[] = {{"dup.txt", 0x20, false}, {"DUP.TXT", 0x20, false}, {"dup.txt", 0x21, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.second) + " " + std::to_string(c.secondAttributes));
    const std::string archive = std::string("dup") + std::to_string(&c - cases) + ".zip";
    if (!PythonZip(archive, "r = zipfile.ZipInfo('dup.txt')\nr.external_attr = 0x21\n"
                                   "z.writestr(r, b'first')\n"
                                   "s = zipfile.ZipInfo('" + std::string(c.second) + "')\n"
                                   "s.external_attr = " + std::to_string(c.secondAttributes) + "\n"
                                   "z.writestr(s, b'second')\n"))
      GTEST_SKIP();
    THeldUnZIP unzip;
    Prepare(unzip, archive, archive + ".out");
    unzip.ConfirmOverwrites = false;
    unzip.HoldFinishing();
    errors_.clear();
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_EQ(ErrorIds(), std::vector<int32_t>{});
    EXPECT_EQ(ReadFile(archive + ".out/dup.txt"), "second");
    EXPECT_EQ(ReadOnly(Win(archive + ".out/dup.txt")), c.readOnly);
  }
}
