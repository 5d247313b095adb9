#include "ExtractTestFixture.h"

namespace {

// Two encrypted stored entries with the password "right", then a plain one.
// A checked-in archive: a fresh one would let each wrong password of these
// tests pass the one-byte check by chance once in 256 runs; this one fails
// "wrong" and "nope1" to "nope3" for both entries.
bool MakeEncrypted() {
  return std::system("mkdir -p src && cd src && printf 'secret one' > e1.txt"
                     " && for i in $(seq 500); do printf 'deflate me '; done > big.txt"
                     " && cp '" VEX_SHARED_DIR "/testdata/encrypted/stored-right.zip' ../enc.zip") == 0;
}

}  // namespace

class ExtractPasswordTest : public ExtractTest {
 protected:
  void SetUp() override {
    ExtractTest::SetUp();
    ASSERT_TRUE(MakeEncrypted());
  }
};

TEST_F(ExtractPasswordTest, ListedPasswordsAreTriedInOrderAndTheFitKept) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  unzip.Passwords = {"wrong", "right"};
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(ReadFile("out/e1.txt"), "secret one");
  EXPECT_EQ(ReadFile("out/e2.txt"), "secret two");
  EXPECT_EQ(ReadFile("out/p.txt"), "plain");
  EXPECT_EQ(unzip.Passwords, (std::vector<std::string>{"wrong", "right"}));
}

TEST_F(ExtractPasswordTest, NoPasswordAndNoHandlerSkipsEncryptedEntries) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  EXPECT_EQ(unzip.Extract(), 3);  // begun, though not written
  EXPECT_EQ(ErrorIds(), (std::vector<int32_t>{25270, 25270}));
  EXPECT_EQ(errors_[0].extra, "OnGetPassword");
  EXPECT_EQ(errors_[0].fileName, "e1.txt");
  EXPECT_FALSE(Exists("out/e1.txt"));
  EXPECT_FALSE(Exists("out/e2.txt"));
  EXPECT_EQ(ReadFile("out/p.txt"), "plain");
}

TEST_F(ExtractPasswordTest, HandlerIsAskedOnceAndItsPasswordServesTheNextEntry) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  std::vector<std::string> asked;
  unzip.OnGetPassword = [&](TObject*, const std::string& fn, std::string& password, bool& tryAgain) {
    asked.push_back(fn);
    EXPECT_TRUE(tryAgain);
    password = "right";
  };
  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(asked, std::vector<std::string>{Win("out/e1.txt")});
  EXPECT_EQ(unzip.Passwords, std::vector<std::string>{"right"});
  EXPECT_EQ(ReadFile("out/e2.txt"), "secret two");
}

TEST_F(ExtractPasswordTest, WrongAnswersAreReportedUntilAttemptsRunOut) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  unzip.PasswordAttempts = 2;
  int calls = 0;
  unzip.OnGetPassword = [&](TObject*, const std::string&, std::string& password, bool&) {
    ++calls;
    password = "nope" + std::to_string(calls);
  };
  bool ended = false;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) {
    ended = true;
    EXPECT_FALSE(pass);
  };
  EXPECT_EQ(unzip.Extract(), 1);  // the run ends after the first entry
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ErrorIds(), (std::vector<int32_t>{26517, 26517, 26522}));
  EXPECT_TRUE(ended);
  EXPECT_FALSE(Exists("out/p.txt"));
}

TEST_F(ExtractPasswordTest, GivingUpEndsTheRun) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  unzip.OnGetPassword = [&](TObject*, const std::string&, std::string&, bool& tryAgain) { tryAgain = false; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ErrorIds(), std::vector<int32_t>{26522});
  EXPECT_FALSE(Exists("out/e1.txt"));
}

TEST_F(ExtractPasswordTest, NoAttemptsAllowedMeansFailure) {
  TUnZIP unzip;
  Prepare(unzip, "enc.zip");
  unzip.PasswordAttempts = 0;
  int calls = 0;
  unzip.OnGetPassword = [&](TObject*, const std::string&, std::string&, bool&) { ++calls; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ErrorIds(), std::vector<int32_t>{26522});
}

TEST_F(ExtractPasswordTest, DeflatedEncryptedEntriesDecryptOnTheReadSide) {
  if (!Run("cd src && zip -q -P right ../encdef.zip big.txt e1.txt")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "encdef.zip");
  unzip.Passwords = {"right"};
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(ReadFile("out/big.txt").size(), 5500u);
  EXPECT_EQ(ReadFile("out/e1.txt"), "secret one");
}
