// Every member of the legacy archives made by other encoders decodes to the
// content its SHA-256 list pins.
#include <gtest/gtest.h>

#include "codec/MemoryEntryHost.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

using legacytest::Bytes;

const std::filesystem::path kLegacyDir = std::filesystem::path(VEX_SHARED_DIR) / "testdata" / "legacy";

struct LegacyArchive {
  const char* file;
  const char* hashList;
  uint16_t method;  // the method of every compressed member
};

class LegacyArchiveTest : public ::testing::TestWithParam<LegacyArchive> {};

TEST_P(LegacyArchiveTest, EveryMemberMatchesItsPinnedContent) {
  const Bytes zip = legacytest::ReadFileBytes(kLegacyDir / GetParam().file);
  const auto hashes = legacytest::ReadSha256List(kLegacyDir / GetParam().hashList);
  const auto members = legacytest::ListZipMembers(zip);
  ASSERT_EQ(members.size(), hashes.size());
  int compressed = 0;
  for (const auto& member : members) {
    SCOPED_TRACE(member.name);
    ASSERT_TRUE(hashes.count(member.name));
    Bytes content;
    if (member.method == 0) {
      content.assign(member.Data(zip), member.Data(zip) + member.packedSize);
    } else {
      ++compressed;
      EXPECT_EQ(member.method, GetParam().method);
      const auto result = codec::DecodeMemory(member.method, member.flags, member.Data(zip), member.packedSize,
                                              static_cast<int32_t>(member.unpackedSize));
      EXPECT_TRUE(result.errors.empty());
      EXPECT_EQ(result.crc, member.crc);
      content = result.output;
    }
    EXPECT_EQ(content.size(), member.unpackedSize);
    EXPECT_EQ(legacytest::Sha256Hex(content), hashes.at(member.name));
  }
  EXPECT_GE(compressed, 5);
}

INSTANTIATE_TEST_SUITE_P(
    OtherEncoders, LegacyArchiveTest,
    ::testing::Values(LegacyArchive{"shrink.zip", "members.sha256", 1},
                      LegacyArchive{"reduce1.zip", "members.sha256", 2},
                      LegacyArchive{"reduce2.zip", "members.sha256", 3},
                      LegacyArchive{"reduce3.zip", "members.sha256", 4},
                      LegacyArchive{"reduce4.zip", "members.sha256", 5},
                      LegacyArchive{"implode_4k_lit.zip", "members.sha256", 6},
                      LegacyArchive{"implode_4k_nolit.zip", "members.sha256", 6},
                      LegacyArchive{"implode_8k_lit.zip", "members.sha256", 6},
                      LegacyArchive{"implode_8k_nolit.zip", "members.sha256", 6},
                      LegacyArchive{"pkzip-implode-with-comment.zip", "pkzip-implode-members.sha256", 6}),
    [](const auto& info) {
      std::string name = info.param.file;
      name = name.substr(0, name.find('.'));
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

}  // namespace
