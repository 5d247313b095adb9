// The output window of the decoders: write-outs, history across them and
// across entries, and the byte source.
#include "codec/Unpacker.h"

#include <gtest/gtest.h>

#include <memory>

#include "rtl/Crc32.h"
#include "codec/MemoryEntryHost.h"

namespace {

struct Fixture {
  std::unique_ptr<codec::DecoderState> state = std::make_unique<codec::DecoderState>();
  std::vector<uint8_t> input;
  std::unique_ptr<codec::MemoryEntryHost> host;
  std::unique_ptr<codec::Unpacker> unpacker;

  explicit Fixture(std::vector<uint8_t> in = {}) : input(std::move(in)) {
    host = std::make_unique<codec::MemoryEntryHost>(*state, input.data(), input.size());
    unpacker = std::make_unique<codec::Unpacker>(*state, *host);
    unpacker->BeginEntry(1, 0, static_cast<int32_t>(input.size()), 1000000);
  }
};

uint8_t Pattern(size_t i) { return static_cast<uint8_t>(i * 131 + i / 977); }

TEST(Unpacker, PutByteWritesWholeWindowsAndKeepsHistory) {
  Fixture f;
  const size_t total = 11 * 32768 + 123;  // more windows than the arena holds
  for (size_t i = 0; i < total; ++i) {
    f.unpacker->PutByte(Pattern(i));
    // The 32 KB before the fill are always the last 32 KB written.
    if (i % 4099 == 0 && i >= 32768) {
      const int32_t fill = f.state->windowFill;
      for (int32_t d : {1, 2, 100, 32767, 32768}) {
        ASSERT_EQ(f.state->window[fill - d], Pattern(i + 1 - static_cast<size_t>(d))) << i << " " << d;
      }
    }
  }
  f.unpacker->FlushWindow();
  const auto& r = f.host->Result();
  ASSERT_EQ(r.writeSizes.size(), 12u);
  for (size_t i = 0; i < 11; ++i) EXPECT_EQ(r.writeSizes[i], 32768);
  EXPECT_EQ(r.writeSizes[11], 123);
  ASSERT_EQ(r.output.size(), total);
  for (size_t i = 0; i < total; i += 997) EXPECT_EQ(r.output[i], Pattern(i));
  EXPECT_EQ(f.state->outputCount, static_cast<int32_t>(total));
  EXPECT_EQ(f.state->outRemaining, static_cast<int32_t>(1000000 - total));
  EXPECT_EQ(~f.state->runningCrc, rtl::Crc32(r.output.data(), r.output.size()));
}

TEST(Unpacker, PartialFlushOverlaysTheRingAtTheSameOffsets) {
  Fixture f;
  for (size_t i = 0; i < 32768; ++i) f.unpacker->PutByte(1);  // full window of ones
  for (int i = 0; i < 5; ++i) f.unpacker->PutByte(2);
  f.unpacker->FlushWindow();
  EXPECT_EQ(f.state->windowFill, 0);
  // Offsets 0..4 hold the twos, the rest the ones: as a 32 KB ring.
  for (int d = 1; d <= 32768; ++d) {
    ASSERT_EQ(f.state->window[-d], d > 32768 - 5 ? 2 : 1) << d;
  }
  f.unpacker->FlushWindow();  // nothing pending: nothing written
  EXPECT_EQ(f.host->Result().writeSizes, (std::vector<int32_t>{32768, 5}));
}

TEST(Unpacker, DiscardKeepsTheBytesAsHistoryWithoutWritingThem) {
  Fixture f;
  for (int i = 0; i < 10; ++i) f.unpacker->PutByte(static_cast<uint8_t>('a' + i));
  f.unpacker->DiscardWindow();
  EXPECT_EQ(f.state->windowFill, 0);
  EXPECT_TRUE(f.host->Result().writeSizes.empty());
  EXPECT_EQ(f.state->window[-32768], 'a');
  EXPECT_EQ(f.state->window[-32768 + 9], 'j');
  EXPECT_EQ(f.state->runningCrc, 0xFFFFFFFFu);
}

TEST(Unpacker, ReadByteHandsOutTheEntryThenZeros) {
  std::vector<uint8_t> in(40000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = Pattern(i);
  Fixture f(in);
  for (size_t i = 0; i < in.size(); ++i) {
    ASSERT_EQ(f.unpacker->ReadByte(), in[i]);
    ASSERT_FALSE(f.state->endOfInput);
  }
  EXPECT_EQ(f.state->inRemaining, 0);
  EXPECT_EQ(f.unpacker->ReadByte(), 0);
  EXPECT_TRUE(f.state->endOfInput);
  EXPECT_EQ(f.unpacker->ReadByte(), 0);
  EXPECT_TRUE(f.state->endOfInput);
}

TEST(Unpacker, CancelEndsTheInputAtOnce) {
  Fixture f({1, 2, 3, 4});
  EXPECT_EQ(f.unpacker->ReadByte(), 1);
  f.host->SetCancelled(true);
  EXPECT_EQ(f.unpacker->ReadByte(), 0);
  EXPECT_TRUE(f.state->endOfInput);
  EXPECT_EQ(f.state->inRemaining, 0);
}

}  // namespace
