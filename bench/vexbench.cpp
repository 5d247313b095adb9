// vexbench inflate ARCHIVE.zip | crc FILE | ours ARCHIVE.zip
//
// inflate: decodes every Deflate member of the archive with our decoder
// (through a host that keeps the running CRC and writes into a buffer, as
// the extraction does), with zlib's inflate (raw, output buffer of the whole
// member, no CRC; and once more with zlib's crc32 added) and with libdeflate;
// prints throughput of decoded bytes and each as a ratio to ours.
// crc: CRC-32 of the file's bytes in memory, ours against zlib's and
// libdeflate's crc32.
// ours: only our decoder, the same rounds, for a profiler or callgrind.
// Each figure is the best of several runs over the same data, in processor
// time of the benchmark thread.
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "rtl/Crc32.h"
#include "codec/Decoders.h"
#include "codec/Unpacker.h"

#ifdef VEX_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", path);
    std::exit(2);
  }
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le16(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Le32(const Bytes& b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

struct Member {
  const uint8_t* data;
  size_t packed;
  size_t unpacked;
  uint32_t crc;
};

// The Deflate members, through the central directory.
std::vector<Member> DeflateMembers(const Bytes& zip) {
  size_t eocd = zip.size() >= 22 ? zip.size() - 22 : 0;
  while (eocd > 0 && Le32(zip, eocd) != 0x06054b50u) --eocd;
  if (zip.size() < 22 || Le32(zip, eocd) != 0x06054b50u) {
    std::fprintf(stderr, "not a ZIP archive\n");
    std::exit(2);
  }
  std::vector<Member> members;
  size_t at = Le32(zip, eocd + 16);
  for (uint32_t i = 0, n = Le16(zip, eocd + 10); i < n && at + 46 <= zip.size(); ++i) {
    const size_t local = Le32(zip, at + 42);
    const size_t data = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
    if (Le16(zip, at + 10) == 8 && (Le16(zip, at + 8) & 1) == 0) {
      members.push_back({zip.data() + data, Le32(zip, at + 20), Le32(zip, at + 24), Le32(zip, at + 16)});
    }
    at += 46 + Le16(zip, at + 28) + Le16(zip, at + 30) + Le16(zip, at + 32);
  }
  return members;
}

// Processor time of this thread: other load on the machine does not count.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Contender {
  std::string name;
  std::function<void()> work;
  double best = 1e30;
};

// Runs the contenders in turns, so that a change in the machine's load
// falls on all of them alike, and keeps each one's best time.
void RunInTurns(int rounds, std::vector<Contender>& contenders) {
  for (int round = 0; round < rounds; ++round) {
    for (Contender& c : contenders) {
      const double start = ThreadSeconds();
      c.work();
      c.best = std::min(c.best, ThreadSeconds() - start);
    }
  }
}

// The first contender is ours; every other is printed as a ratio to it.
void PrintContenders(const std::vector<Contender>& contenders, double bytes) {
  const double ours = bytes / contenders.front().best;
  for (const Contender& c : contenders) {
    const double rate = bytes / c.best;
    if (&c == &contenders.front()) {
      std::printf("  %-28s %8.1f MB/s\n", c.name.c_str(), rate / 1e6);
    } else {
      std::printf("  %-28s %8.1f MB/s   ours is %.2fx this\n", c.name.c_str(), rate / 1e6, ours / rate);
    }
  }
}

// The extraction's side of the decoder. Each decoded window is checked
// (CRC-32) where the decoder left it, as libdeflate's output is checked where
// it landed; with an output buffer it is also copied there, which is what the
// extraction's file write costs in memory.
class BufferHost : public codec::EntryHost {
 public:
  explicit BufferHost(codec::DecoderState& state) : state_(state) {}
  void Start(const Member& m, uint8_t* out) {
    member_ = &m;
    offset_ = 0;
    out_ = out;
    written_ = 0;
  }
  int32_t ReadBlock(uint8_t* buffer, int32_t count) override {
    const size_t n = std::min(static_cast<size_t>(count), member_->packed - offset_);
    std::memcpy(buffer, member_->data + offset_, n);
    offset_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t WriteBlock(uint8_t* buffer, int32_t count) override {
    if (out_ != nullptr) std::memcpy(out_ + written_, buffer, static_cast<size_t>(count));
    written_ += static_cast<size_t>(count);
    state_.runningCrc = rtl::Crc32Update(state_.runningCrc, buffer, static_cast<size_t>(count));
    return count;
  }
  void BlockWritten(int32_t) override {}
  [[noreturn]] void RaiseError(int32_t messageId) override {
    std::fprintf(stderr, "decoder error %d\n", messageId);
    std::exit(3);
  }
  bool Cancelled() const override { return false; }
  void SetCancelled(bool) override {}
  size_t Written() const { return written_; }

 private:
  codec::DecoderState& state_;
  uint8_t* out_ = nullptr;
  const Member* member_ = nullptr;
  size_t offset_ = 0;
  size_t written_ = 0;
};

int BenchInflate(const char* path, int runs, bool oursOnly) {
  const Bytes zip = ReadFile(path);
  const auto members = DeflateMembers(zip);
  size_t total = 0, largest = 0;
  for (const auto& m : members) {
    total += m.unpacked;
    largest = std::max(largest, m.unpacked);
  }
  std::printf("inflate: %zu Deflate members, %.1f MB compressed in %s, %.1f MB decoded\n", members.size(),
              static_cast<double>(zip.size()) / 1e6, path, static_cast<double>(total) / 1e6);
  Bytes out(largest + 64);

  auto state = std::make_unique<codec::DecoderState>();
  BufferHost host(*state);
  bool crcOk = true;
  auto oursRun = [&](uint8_t* copyTo) {
    for (const auto& m : members) {
      host.Start(m, copyTo);
      codec::Unpacker unpacker(*state, host);
      unpacker.BeginEntry(8, 0, static_cast<int32_t>(m.packed), static_cast<int32_t>(m.unpacked));
      codec::Inflate(unpacker);
      unpacker.FlushWindow();
      crcOk = crcOk && ~state->runningCrc == m.crc && host.Written() == m.unpacked;
    }
  };
  auto zlibRun = [&](bool withCrc) {
    for (const auto& m : members) {
      z_stream z{};
      inflateInit2(&z, -15);
      z.next_in = const_cast<Bytef*>(m.data);
      z.avail_in = static_cast<uInt>(m.packed);
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      if (inflate(&z, Z_FINISH) != Z_STREAM_END) std::fprintf(stderr, "zlib failed\n");
      if (withCrc && crc32(0, out.data(), static_cast<uInt>(m.unpacked)) != m.crc) std::fprintf(stderr, "crc\n");
      inflateEnd(&z);
    }
  };
  std::vector<Contender> contenders = {
      {"vexupd Inflate (with CRC)", [&] { oursRun(nullptr); }},
      {"vexupd, output copied out", [&] { oursRun(out.data()); }},
      {"zlib inflate", [&] { zlibRun(false); }},
      {"zlib inflate + crc32", [&] { zlibRun(true); }},
  };
  if (oursOnly) contenders.resize(1);
#ifdef VEX_BENCH_LIBDEFLATE
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  auto libdeflateRun = [&](bool withCrc) {
    for (const auto& m : members) {
      size_t got = 0;
      if (libdeflate_deflate_decompress(d, m.data, m.packed, out.data(), out.size(), &got) != LIBDEFLATE_SUCCESS)
        std::fprintf(stderr, "libdeflate failed\n");
      if (withCrc && libdeflate_crc32(0, out.data(), got) != m.crc) std::fprintf(stderr, "crc\n");
    }
  };
  if (!oursOnly) {
    contenders.push_back({"libdeflate", [&] { libdeflateRun(false); }});
    contenders.push_back({"libdeflate + crc32", [&] { libdeflateRun(true); }});
  }
#endif
  RunInTurns(runs, contenders);
  if (!crcOk) {
    std::fprintf(stderr, "our output does not match the stored CRC\n");
    return 3;
  }
  PrintContenders(contenders, static_cast<double>(total));
#ifdef VEX_BENCH_LIBDEFLATE
  libdeflate_free_decompressor(d);
#else
  std::printf("  libdeflate: not built in\n");
#endif
  return 0;
}

int BenchCrc(const char* path, int runs) {
  const Bytes data = ReadFile(path);
  const double bytes = static_cast<double>(data.size());
  std::printf("crc32: %.1f MB from %s\n", bytes / 1e6, path);
  const uint32_t expected = rtl::Crc32UpdateBytewise(0xFFFFFFFFu, data.data(), data.size());
  bool agree = true;
  auto check = [&](uint32_t crc) { agree = agree && crc == expected; };
  std::vector<Contender> contenders = {
      {"vexupd Crc32Update", [&] { check(rtl::Crc32Update(0xFFFFFFFFu, data.data(), data.size())); }},
      {"zlib crc32",
       [&] {
         uLong crc = crc32(0, nullptr, 0);
         for (size_t at = 0; at < data.size(); at += 1u << 30)
           crc = crc32(crc, data.data() + at, static_cast<uInt>(std::min<size_t>(1u << 30, data.size() - at)));
         check(~static_cast<uint32_t>(crc));
       }},
  };
#ifdef VEX_BENCH_LIBDEFLATE
  contenders.push_back(
      {"libdeflate crc32", [&] { check(~static_cast<uint32_t>(libdeflate_crc32(0, data.data(), data.size()))); }});
#endif
  // Each path this processor runs, the slower ones included.
  for (const rtl::Crc32Path& p : rtl::Crc32Paths()) {
    contenders.push_back(
        {std::string("vexupd path ") + p.name, [&, p] { check(p.update(0xFFFFFFFFu, data.data(), data.size())); }});
  }
  RunInTurns(runs, contenders);
  PrintContenders(contenders, bytes);
  if (!agree) {
    std::fprintf(stderr, "CRC values differ\n");
    return 3;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = 7;
  if (argc == 3 && std::strcmp(argv[1], "inflate") == 0) return BenchInflate(argv[2], runs, false);
  if (argc == 3 && std::strcmp(argv[1], "ours") == 0) return BenchInflate(argv[2], runs, true);
  if (argc == 3 && std::strcmp(argv[1], "crc") == 0) return BenchCrc(argv[2], runs);
  std::fprintf(stderr, "usage: vexbench inflate ARCHIVE.zip | crc FILE | ours ARCHIVE.zip\n");
  return 2;
}
