// The bit source of the legacy decoders: least significant bit first, every
// bit of the last byte delivered, -1 after that.
#include <gtest/gtest.h>

#include <memory>

#include "codec/BitReader.h"
#include "codec/MemoryEntryHost.h"
#include "rtl/Exception.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

class BitReaderTest : public ::testing::Test {
 protected:
  codec::BitReader& Reader(const legacytest::Bytes& data) {
    data_ = data;
    state_ = std::make_unique<codec::DecoderState>();
    host_ = std::make_unique<codec::MemoryEntryHost>(*state_, data_.data(), data_.size());
    unpacker_ = std::make_unique<codec::Unpacker>(*state_, *host_);
    unpacker_->BeginEntry(1, 0, static_cast<int32_t>(data_.size()), 0);
    reader_ = std::make_unique<codec::BitReader>(*unpacker_);
    return *reader_;
  }

  legacytest::Bytes data_;
  std::unique_ptr<codec::DecoderState> state_;
  std::unique_ptr<codec::MemoryEntryHost> host_;
  std::unique_ptr<codec::Unpacker> unpacker_;
  std::unique_ptr<codec::BitReader> reader_;
};

TEST_F(BitReaderTest, LeastSignificantBitFirstAcrossBytes) {
  auto& bits = Reader({0xB5, 0x3C, 0xFF});
  EXPECT_EQ(bits.ReadBits(3), 0b101);
  EXPECT_EQ(bits.ReadBits(9), 0x196);  // 5 bits of 0xB5, then 4 of 0x3C above them
  EXPECT_EQ(bits.ReadBits(12), 0xFF3);
  EXPECT_TRUE(bits.Exhausted());
  EXPECT_EQ(bits.ReadBits(1), -1);
}

TEST_F(BitReaderTest, ShortReadAtTheEndIsMinusOne) {
  auto& bits = Reader({0x01, 0x80});
  EXPECT_EQ(bits.ReadBits(15), 0x0001);
  EXPECT_FALSE(bits.Exhausted());
  EXPECT_EQ(bits.ReadBits(2), -1);
  EXPECT_EQ(bits.ReadBits(1), -1);
}

TEST_F(BitReaderTest, NoInputAtAll) {
  auto& bits = Reader({});
  EXPECT_EQ(bits.ReadBits(8), -1);
  EXPECT_TRUE(bits.Exhausted());
}

TEST_F(BitReaderTest, SixteenBitsAtOnceAndMisuse) {
  auto& bits = Reader({0x34, 0x12, 0x00});
  EXPECT_EQ(bits.ReadBits(16), 0x1234);
  EXPECT_THROW(bits.ReadBits(0), EAssertionFailed);
  EXPECT_THROW(bits.ReadBits(17), EAssertionFailed);
}

}  // namespace
