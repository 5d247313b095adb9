// Real legacy streams, cut short or with bytes changed: decoding ends with
// the method's own message or with a wrong CRC, never with a crash, a hang or
// output beyond the entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/MemoryEntryHost.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

using legacytest::Bytes;

const std::filesystem::path kLegacyDir = std::filesystem::path(VEX_SHARED_DIR) / "testdata" / "legacy";

struct Damage {
  const char* archive;
  std::vector<int32_t> messages;  // what the method may report
  bool boundedBySize;             // output never exceeds the unpacked size
};

class LegacyDamageTest : public ::testing::TestWithParam<Damage> {
 protected:
  void SetUp() override {
    zip_ = legacytest::ReadFileBytes(kLegacyDir / GetParam().archive);
    for (const auto& member : legacytest::ListZipMembers(zip_)) {
      if (member.method != 0 && member.packedSize < 4096) members_.push_back(member);
    }
    ASSERT_GE(members_.size(), 3u);
  }

  codec::MemoryDecodeResult Decode(const legacytest::ZipMember& member, const Bytes& data) const {
    return codec::DecodeMemory(member.method, member.flags, data.data(), data.size(),
                               static_cast<int32_t>(member.unpackedSize));
  }

  void ExpectContained(const legacytest::ZipMember& member, const codec::MemoryDecodeResult& result) const {
    for (const int32_t id : result.errors) {
      EXPECT_NE(std::find(GetParam().messages.begin(), GetParam().messages.end(), id), GetParam().messages.end()) << id;
    }
    EXPECT_LE(result.errors.size(), 1u);
    if (GetParam().boundedBySize) {
      EXPECT_LE(result.output.size(), member.unpackedSize);
    }
  }

  Bytes zip_;
  std::vector<legacytest::ZipMember> members_;
};

TEST_P(LegacyDamageTest, TruncatedStreamsEndShortOrWithTheirMessage) {
  for (const auto& member : members_) {
    SCOPED_TRACE(member.name);
    const Bytes whole(member.Data(zip_), member.Data(zip_) + member.packedSize);
    for (size_t keep = 0; keep + 2 <= whole.size(); keep += std::max<size_t>(1, whole.size() / 25)) {
      SCOPED_TRACE(keep);
      const auto result = Decode(member, Bytes(whole.begin(), whole.begin() + static_cast<long>(keep)));
      ExpectContained(member, result);
      EXPECT_TRUE(!result.errors.empty() || result.crc != member.crc);
      EXPECT_LT(result.output.size(), member.unpackedSize);
    }
  }
}

TEST_P(LegacyDamageTest, ChangedBytesNeverEscapeTheEntry) {
  std::mt19937 random(2024);
  for (const auto& member : members_) {
    SCOPED_TRACE(member.name);
    const Bytes whole(member.Data(zip_), member.Data(zip_) + member.packedSize);
    for (int round = 0; round < 60; ++round) {
      Bytes damaged = whole;
      const int changes = 1 + round % 4;
      for (int i = 0; i < changes; ++i) damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
      ExpectContained(member, Decode(member, damaged));
    }
    Bytes noise(whole.size());
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    ExpectContained(member, Decode(member, noise));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, LegacyDamageTest,
    ::testing::Values(Damage{"shrink.zip", {codec::msgBadBlock, codec::msgStackOverflow}, false},
                      Damage{"reduce1.zip", {codec::msgBadBlock}, true},
                      Damage{"reduce4.zip", {codec::msgBadBlock}, true},
                      Damage{"implode_4k_nolit.zip", {codec::msgAmbiguousTree}, true},
                      Damage{"implode_8k_lit.zip", {codec::msgAmbiguousTree}, true}),
    [](const auto& info) {
      std::string name = info.param.archive;
      return name.substr(0, name.find('.'));
    });

}  // namespace
