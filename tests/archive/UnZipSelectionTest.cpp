#include "archive/UnZipSelection.h"

#include <gtest/gtest.h>

#include <string>

using unzip::MatchesFileSpec;
using unzip::NormalizeFileSpec;
using unzip::SelectsAll;
using unzip::WildcardMatch;

TEST(UnZipWildcardMatch, PlainNamesCompareCaseInsensitively) {
  EXPECT_TRUE(WildcardMatch("README.TXT", "readme.txt", false));
  EXPECT_FALSE(WildcardMatch("README.TXT", "readme.txd", false));
  EXPECT_FALSE(WildcardMatch("README.TXT", "doc\\readme.txt", false));
  EXPECT_TRUE(WildcardMatch("README.TXT", "doc\\readme.txt", true));
  // Only a-z fold: GBK bytes and other characters compare as they are.
  EXPECT_FALSE(WildcardMatch("\xC4\xE3", "\xE4\xE3", false));
}

TEST(UnZipWildcardMatch, StarsAndQuestionMarksOnEitherSide) {
  EXPECT_TRUE(WildcardMatch("*.txt", "doc\\a.txt", false));
  EXPECT_TRUE(WildcardMatch("doc\\a.txt", "*.txt", false));
  EXPECT_TRUE(WildcardMatch("a?c", "abc", false));
  EXPECT_TRUE(WildcardMatch("abc", "a?c", false));
  EXPECT_FALSE(WildcardMatch("a?c", "abbc", false));
  EXPECT_TRUE(WildcardMatch("a*", "a", false));
  EXPECT_TRUE(WildcardMatch("*", "anything\\at\\all", false));
  EXPECT_TRUE(WildcardMatch("d*\\*.t?t", "doc\\a.txt", false));
  EXPECT_FALSE(WildcardMatch("*.txt", "a.txt.bak", false));
  EXPECT_TRUE(WildcardMatch("a**b", "axxb", false));
  EXPECT_FALSE(WildcardMatch("a*b", "axxc", false));
}

TEST(UnZipWildcardMatch, DotRulesAndEmptySides) {
  // "name." is the name without extension; a dotless name meets ".*".
  EXPECT_TRUE(WildcardMatch("makefile.", "MAKEFILE", false));
  EXPECT_TRUE(WildcardMatch("*.*", "Makefile", false));
  EXPECT_TRUE(WildcardMatch("Makefile", "*.*", false));
  EXPECT_FALSE(WildcardMatch("*.c", "Makefile", false));
  EXPECT_TRUE(WildcardMatch("", "", false));
  EXPECT_TRUE(WildcardMatch("", "**", false));
  EXPECT_FALSE(WildcardMatch("", "*a", false));
  EXPECT_FALSE(WildcardMatch("a", "", false));
  EXPECT_TRUE(WildcardMatch("*", "", false));
}

TEST(UnZipWildcardMatch, HostileNamesEndQuickly) {
  // Stars on both sides would otherwise need astronomically many steps.
  std::string name;
  for (int i = 0; i < 4000; ++i) name += "*a";
  name += "c";
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*b", name, false));
}

TEST(UnZipSelection, SelectionByLines) {
  EXPECT_FALSE(MatchesFileSpec({}, "a.txt", false));
  EXPECT_TRUE(MatchesFileSpec({"*.*"}, "noextension", false));
  EXPECT_TRUE(MatchesFileSpec({"x.bin", "*.txt"}, "doc\\a.txt", false));
  EXPECT_FALSE(MatchesFileSpec({"a.txt"}, "doc\\a.txt", false));
  EXPECT_TRUE(MatchesFileSpec({"a.txt"}, "doc\\a.txt", true));
}

TEST(UnZipSelection, SelectAllUnlessOnePlainName) {
  EXPECT_FALSE(SelectsAll({}));
  EXPECT_FALSE(SelectsAll({"readme.txt"}));
  EXPECT_FALSE(SelectsAll({"read?e.txt"}));
  EXPECT_TRUE(SelectsAll({"*.txt"}));
  EXPECT_TRUE(SelectsAll({"a.txt", "b.txt"}));
}

TEST(UnZipSelection, NormalisedLinesLoseEmptiesAndDirectories) {
  const std::vector<std::string> lines = NormalizeFileSpec({"", "doc/a.txt", "c:\\x\\*.bin", "plain"});
  EXPECT_EQ(lines, (std::vector<std::string>{"a.txt", "*.bin", "plain"}));
}
