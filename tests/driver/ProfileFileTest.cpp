#include "driver/ProfileFile.h"

#include <gtest/gtest.h>

#include "driver/AppIdentity.h"
#include "tests/support/Sandbox.h"

namespace {

using driver::ParseIniInteger;
using vextest::Sandbox;

TEST(IniInteger, DecimalHexadecimalAndDefaults) {
  EXPECT_EQ(ParseIniInteger("1", 7), 1);
  EXPECT_EQ(ParseIniInteger("0", 7), 0);
  EXPECT_EQ(ParseIniInteger("2", 7), 2);
  EXPECT_EQ(ParseIniInteger("-12", 7), -12);
  EXPECT_EQ(ParseIniInteger("0x1", 7), 1);
  EXPECT_EQ(ParseIniInteger("0X1f", 7), 31);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF", 7), -1);
  EXPECT_EQ(ParseIniInteger("0x", 7), 7);  // two characters only: no number
  EXPECT_EQ(ParseIniInteger("", 7), 7);
  EXPECT_EQ(ParseIniInteger("yes", 7), 7);
  EXPECT_EQ(ParseIniInteger("1x", 7), 7);
  EXPECT_EQ(ParseIniInteger("0x1g", 7), 7);
  EXPECT_EQ(ParseIniInteger("2147483647", 7), 2147483647);
  EXPECT_EQ(ParseIniInteger("2147483648", 7), 7);
  EXPECT_EQ(ParseIniInteger("-2147483648", 7), INT32_MIN);
  EXPECT_EQ(ParseIniInteger("0x100000000", 7), 7);
  EXPECT_EQ(ParseIniInteger("+5", 7), 5);
  EXPECT_EQ(ParseIniInteger("+0x1", 7), 7);  // a sign makes it decimal
  EXPECT_EQ(ParseIniInteger("-0x2", 7), 7);
}

TEST(ProfileFile, ListsSectionsKeysAndTheNamedEntries) {
  Sandbox box;
  box.Write("C:\\p.ini", "[Zip]\r\nCount=9\r\nSource0=a\r\nTaskFlag12=b\r\nx99999999999=c\r\n[File]\r\n[Icon]\r\nName=n\r\n");
  const driver::TProfileFile ini("C:\\p.ini");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Zip", "File", "Icon"}));
  EXPECT_EQ(ini.KeyNames("zip"), (std::vector<std::string>{"Count", "Source0", "TaskFlag12", "x99999999999"}));
  // TaskFlag12 lies beyond the count; eleven digits are no index.
  EXPECT_EQ(ini.EntryIndices("Zip", "Count"), std::vector<int32_t>{0});
  EXPECT_EQ(ini.EntryIndices("File", "Count"), std::vector<int32_t>{});
}

TEST(ProfileFile, ReadsThroughTheProfileService) {
  Sandbox box;
  box.Write("C:\\p.ini", "[Zip]\r\nCount=0x2\r\nSource0=a.zip\r\n[File]\r\nLong=" + std::string(3000, 'v') + "\r\n");
  const driver::TProfileFile ini("C:\\p.ini");
  EXPECT_EQ(ini.ReadInteger("ZIP", "count", 0), 2);
  EXPECT_EQ(ini.ReadString("zip", "SOURCE0", "d"), "a.zip");
  EXPECT_EQ(ini.ReadString("zip", "Source1", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("zip", "Missing", 5), 5);
  EXPECT_EQ(ini.ReadString("File", "Long", "").size(), 2047u);
  EXPECT_EQ(driver::TProfileFile("C:\\none.ini").ReadString("a", "b", "x"), "x");
  EXPECT_EQ(driver::TProfileFile::Numbered("Source", 10), "Source10");
}

TEST(AppIdentity, ReadsEveryValueAndDefaults) {
  Sandbox box;
  box.Write("C:\\HKeyInfo.ini",
            "[hkeyinfo]\r\nsAppInstallKey=SOFTWARE\\M\\P\r\nsAppOtherInstallKey=SOFTWARE\\M\\Q\r\n"
            "sAppOtherExecutable=\\Bin\\O.exe\r\nsAppTitle=T\r\nsAppExecutable=\\P.exe\r\n[EXTRACT]\r\nupdexe=0x1\r\n");
  const auto identity = driver::TAppIdentity::Read("C:\\HKeyInfo.ini");
  EXPECT_EQ(identity.sAppInstallKey, "SOFTWARE\\M\\P");
  EXPECT_EQ(identity.sAppOtherInstallKey, "SOFTWARE\\M\\Q");
  EXPECT_EQ(identity.sAppOtherExecutable, "\\Bin\\O.exe");
  EXPECT_EQ(identity.sAppTitle, "T");
  EXPECT_EQ(identity.sAppExecutable, "\\P.exe");
  EXPECT_EQ(identity.UpdExe, 1);
  const auto missing = driver::TAppIdentity::Read("C:\\none.ini");
  EXPECT_EQ(missing.sAppTitle, "");
  EXPECT_EQ(missing.UpdExe, 0);
}

}  // namespace
