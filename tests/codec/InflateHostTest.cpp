// Inflate against its host: cancel from the progress event, the spanned
// continuation, the history shared by consecutive entries, progress counts.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "rtl/Crc32.h"
#include "tests/codec/InflateTestSupport.h"

namespace {

using inflatetest::Bytes;
using inflatetest::DeflateWriter;
using inflatetest::ScriptedHost;

Bytes Text(size_t n) {
  Bytes b;
  for (size_t i = 0; b.size() < n; ++i) {
    const std::string word = "line " + std::to_string(i * 7919 % 1000) + " of the update\r\n";
    b.insert(b.end(), word.begin(), word.end());
  }
  b.resize(n);
  return b;
}

// A fixed-code stream of the text: literals and matches, several windows.
Bytes FixedStream(const Bytes& text) {
  DeflateWriter w;
  w.Fixed(true);
  for (size_t i = 0; i < text.size();) {
    if (i >= 64 && i + 20 <= text.size() && std::equal(text.begin() + static_cast<long>(i),
                                                        text.begin() + static_cast<long>(i + 20),
                                                        text.begin() + static_cast<long>(i - 64))) {
      w.Match(20, 64);
      i += 20;
    } else {
      w.Literal(text[i++]);
    }
  }
  w.End();
  return w.Data();
}

struct Session {
  std::unique_ptr<codec::DecoderState> state = std::make_unique<codec::DecoderState>();
};

TEST(InflateHost, CancelAfterAWriteOutStopsQuietly) {
  const Bytes text = Text(200000);
  const Bytes stream = FixedStream(text);
  Session run;
  ScriptedHost host(*run.state, stream, stream.size());
  host.afterWrite = [](ScriptedHost& h, int32_t) { h.SetCancelled(true); };
  codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 200000);
  const auto& r = host.Result();
  EXPECT_TRUE(r.errors.empty());
  ASSERT_GE(r.writeSizes.size(), 1u);
  EXPECT_EQ(r.writeSizes[0], 32768);
  // At most the match in progress is finished after the write-out.
  EXPECT_LE(r.output.size(), 32768u + 20u);
  EXPECT_TRUE(std::equal(r.output.begin(), r.output.end(), text.begin()));
}

TEST(InflateHost, SpannedContinuationOnTheNextVolume) {
  const Bytes text = Text(150000);
  const Bytes stream = FixedStream(text);
  for (size_t split : {size_t{1}, size_t{7}, size_t{4000}, stream.size() - 1}) {
    Session run;
    ScriptedHost host(*run.state, stream, split);
    host.nextVolume = [split](ScriptedHost& h) {
      h.SwitchToRest(split);
      return true;
    };
    codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 150000);
    const auto& r = host.Result();
    EXPECT_TRUE(r.errors.empty()) << split;
    EXPECT_EQ(host.volumeRequests, 1) << split;
    EXPECT_TRUE(r.output == text) << split;
  }
}

TEST(InflateHost, SpannedContinuationRefusedOrEmpty) {
  const Bytes text = Text(100000);
  const Bytes stream = FixedStream(text);
  const size_t split = 20000;
  {
    // The user cancels the disk prompt: the entry ends without a fault of its own.
    Session run;
    ScriptedHost host(*run.state, stream, split);
    host.nextVolume = [](ScriptedHost& h) {
      h.SetCancelled(true);
      return false;
    };
    codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 100000);
    EXPECT_TRUE(host.Result().errors.empty());
    const Bytes& out = host.Result().output;
    EXPECT_GT(out.size(), 15000u);
    EXPECT_LT(out.size(), text.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), text.begin()));
  }
  {
    // The next volume opens but gives nothing: cancelled the same way.
    Session run;
    ScriptedHost host(*run.state, stream, split);
    host.nextVolume = [](ScriptedHost& h) {
      h.Reset(nullptr, 0);
      return true;
    };
    codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 100000);
    EXPECT_TRUE(host.Result().errors.empty());
    EXPECT_TRUE(host.Cancelled());
  }
  {
    // Not a spanned archive: the input simply ended.
    Session run;
    ScriptedHost host(*run.state, stream, split);
    codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 100000);
    EXPECT_EQ(host.Result().errors, (std::vector<int32_t>{25109}));
    EXPECT_EQ(host.volumeRequests, 1);
  }
}

TEST(InflateHost, InputIsFetchedInBlocksOfTheEntrysSize) {
  const Bytes text = Text(300000);
  const Bytes stream = FixedStream(text);
  Bytes padded = stream;
  padded.resize(stream.size() + 1000, 0xEE);  // the next entry's bytes
  Session run;
  ScriptedHost host(*run.state, padded, padded.size());
  codec::DecodeEntryThrough(host, *run.state, 8, 0, static_cast<int32_t>(stream.size()), 300000);
  EXPECT_TRUE(host.Result().errors.empty());
  EXPECT_TRUE(host.Result().output == text);
  EXPECT_EQ(host.Consumed(), stream.size());
  EXPECT_EQ(host.reads, static_cast<int>((stream.size() + 32767) / 32768));
  EXPECT_EQ(run.state->inRemaining, 0);
  EXPECT_EQ(run.state->outRemaining, 0);
}

TEST(InflateHost, ADistanceBeforeTheEntryReadsTheWindowRing) {
  Session run;
  DeflateWriter first;
  first.Stored(true, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'});
  ScriptedHost host1(*run.state, first.Data(), first.Data().size());
  codec::DecodeEntryThrough(host1, *run.state, 8, 0, static_cast<int32_t>(first.Data().size()), 8);
  // The ring holds ABCDEFGH at offsets 0..7 and zeros after; the next entry
  // starts at offset 0 again.
  DeflateWriter second;
  second.Fixed(true).Match(3, 32768).Match(3, 32762).End();
  ScriptedHost host2(*run.state, second.Data(), second.Data().size());
  codec::DecodeEntryThrough(host2, *run.state, 8, 0, static_cast<int32_t>(second.Data().size()), 6);
  EXPECT_TRUE(host2.Result().errors.empty());
  EXPECT_EQ(host2.Result().output, (Bytes{'A', 'B', 'C', 0, 0, 0}));
}

}  // namespace
