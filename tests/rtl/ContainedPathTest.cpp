#include "rtl/ContainedPath.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using rtl::TLeadingBackslash;
using rtl::TPathEscape;

struct TCase {
  std::string Relative;
  TLeadingBackslash Leading;
  TPathEscape Expected;
};

constexpr auto kRoot = TLeadingBackslash::Root;
constexpr auto kJoint = TLeadingBackslash::Joint;

// "乗" in GBK is 0x81 0x5C and "能" 0xC4 0x5C: their second byte looks like a backslash.
const std::string kTrail5C = "\x81\x5C";
const std::string kNeng = "\xC4\x5C";

const TCase kCases[] = {
    {"Data", kRoot, TPathEscape::None},
    {"Data\\Old\\x.dat", kRoot, TPathEscape::None},
    {".\\Data\\.", kRoot, TPathEscape::None},
    {"a..b\\.hidden\\x.", kRoot, TPathEscape::None},
    {"console\\nul1\\com10\\LPT", kRoot, TPathEscape::None},
    {kTrail5C, kRoot, TPathEscape::None},
    {kNeng + "..", kRoot, TPathEscape::None},  // one step "能..", not "能\.."
    {"\\Data\\x.dat", kJoint, TPathEscape::None},
    {"Data", kJoint, TPathEscape::None},
    {"", kRoot, TPathEscape::NamesBase},
    {"", kJoint, TPathEscape::NamesBase},
    {".", kRoot, TPathEscape::NamesBase},
    {".\\.\\", kRoot, TPathEscape::NamesBase},
    {"\\", kJoint, TPathEscape::NamesBase},
    {"\\.", kJoint, TPathEscape::NamesBase},
    {"..", kRoot, TPathEscape::Parent},
    {"..\\..\\..", kRoot, TPathEscape::Parent},
    {"a\\..", kRoot, TPathEscape::Parent},
    {"a/../../b", kRoot, TPathEscape::Parent},
    {"a\\...\\b", kRoot, TPathEscape::Parent},
    {".. \\b", kRoot, TPathEscape::Parent},
    {"\\..\\x", kJoint, TPathEscape::Parent},
    {kTrail5C + "\\..", kRoot, TPathEscape::Parent},
    {"\\", kRoot, TPathEscape::Rooted},
    {"\\Windows", kRoot, TPathEscape::Rooted},
    {"/etc", kRoot, TPathEscape::Rooted},
    {"C:", kRoot, TPathEscape::Drive},
    {"C:\\Windows", kRoot, TPathEscape::Drive},
    {"d:x.dat", kRoot, TPathEscape::Drive},
    {"\\D:\\x", kJoint, TPathEscape::Drive},
    {"x.dat:stream", kRoot, TPathEscape::Drive},
    {"\\\\server\\share", kRoot, TPathEscape::Unc},
    {"\\\\?\\C:\\x", kRoot, TPathEscape::Unc},
    {"\\\\.\\PhysicalDrive0", kJoint, TPathEscape::Unc},
    {"//server/share", kRoot, TPathEscape::Unc},
    {"CON", kRoot, TPathEscape::Device},
    {"a\\nul.txt", kRoot, TPathEscape::Device},
    {"Aux \\x", kRoot, TPathEscape::Device},
    {"com1", kRoot, TPathEscape::Device},
    {"LPT9.log", kRoot, TPathEscape::Device},
    {"\\prn", kJoint, TPathEscape::Device},
    {"conout$", kRoot, TPathEscape::Device},
};

TEST(ContainedPath, FindPathEscapeJudgesEveryForm) {
  for (const TCase& c : kCases)
    EXPECT_EQ(rtl::FindPathEscape(c.Relative, c.Leading), c.Expected) << '"' << c.Relative << '"';
}

TEST(ContainedPath, JoinInsideConcatenatesOrRefuses) {
  EXPECT_EQ(rtl::JoinInside("C:\\App\\", "Data\\x.dat"), "C:\\App\\Data\\x.dat");
  EXPECT_EQ(rtl::JoinInside("C:\\App\\Task", "\\x.dat", kJoint), "C:\\App\\Task\\x.dat");
  EXPECT_EQ(rtl::JoinInside("C:\\App\\Task", "x.dat", kJoint), "C:\\App\\Taskx.dat");
  EXPECT_EQ(rtl::JoinInside("C:\\App\\", "..\\x.dat"), std::nullopt);
  EXPECT_EQ(rtl::JoinInside("C:\\App\\Task", "\\x.dat"), std::nullopt);
}

TEST(ContainedPath, EveryEscapeHasItsOwnWords) {
  std::set<std::string> texts;
  for (const TCase& c : kCases) texts.insert(rtl::PathEscapeText(c.Expected));
  EXPECT_EQ(texts.size(), 7u);
}

}  // namespace
