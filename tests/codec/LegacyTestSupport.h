// Helpers of the legacy-method and encryption tests: a ZIP member walk over
// an archive in memory, a LSB-first bit writer for hand-built streams,
// SHA-256 for pinned contents, and temporary directories for archives made by
// real encoders at test time.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace legacytest {

using Bytes = std::vector<uint8_t>;

// Decoded bytes as a string, for readable expectations.
template <class Result>
std::string Text(const Result& result) {
  return std::string(result.output.begin(), result.output.end());
}

inline Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline uint32_t Le16(const Bytes& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
inline uint32_t Le32(const Bytes& b, size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

// One member as the central directory describes it, with the position of its
// data (behind the local header, encryption header included).
struct ZipMember {
  std::string name;
  uint16_t method = 0;
  uint16_t flags = 0;
  uint32_t crc = 0;
  uint32_t packedSize = 0;
  uint32_t unpackedSize = 0;
  uint32_t localDateTime = 0;  // DOS time in the low word, from the local header
  size_t dataOffset = 0;

  const uint8_t* Data(const Bytes& archive) const { return archive.data() + dataOffset; }
};

inline std::vector<ZipMember> ListZipMembers(const Bytes& zip) {
  size_t eocd = zip.size() < 22 ? 0 : zip.size() - 22;
  while (eocd > 0 && Le32(zip, eocd) != 0x06054b50u) --eocd;
  if (Le32(zip, eocd) != 0x06054b50u) throw std::runtime_error("no end of central directory");
  const uint32_t count = Le16(zip, eocd + 10);
  size_t at = Le32(zip, eocd + 16);
  std::vector<ZipMember> members;
  for (uint32_t i = 0; i < count; ++i) {
    if (Le32(zip, at) != 0x02014b50u) throw std::runtime_error("bad central header");
    ZipMember m;
    m.flags = static_cast<uint16_t>(Le16(zip, at + 8));
    m.method = static_cast<uint16_t>(Le16(zip, at + 10));
    m.crc = Le32(zip, at + 16);
    m.packedSize = Le32(zip, at + 20);
    m.unpackedSize = Le32(zip, at + 24);
    const uint32_t nameLength = Le16(zip, at + 28);
    const uint32_t extraLength = Le16(zip, at + 30);
    const uint32_t commentLength = Le16(zip, at + 32);
    const size_t local = Le32(zip, at + 42);
    m.name.assign(zip.begin() + static_cast<long>(at + 46), zip.begin() + static_cast<long>(at + 46 + nameLength));
    if (Le32(zip, local) != 0x04034b50u) throw std::runtime_error("bad local header");
    m.localDateTime = Le32(zip, local + 10);
    m.dataOffset = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
    members.push_back(m);
    at += 46 + nameLength + extraLength + commentLength;
  }
  return members;
}

// Writes values least significant bit first, as the legacy methods read them.
class BitWriter {
 public:
  BitWriter& Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) {
      if (used_ == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (1 << used_));
      used_ = (used_ + 1) % 8;
    }
    return *this;
  }
  // A code read bit by bit from its most significant end (Shannon-Fano).
  BitWriter& PutMsbFirst(uint32_t code, int bits) {
    for (int i = bits - 1; i >= 0; --i) Put((code >> i) & 1, 1);
    return *this;
  }
  const Bytes& Data() const { return bytes_; }

 private:
  Bytes bytes_;
  int used_ = 0;
};

inline std::string Sha256Hex(const Bytes& message) {
  static constexpr uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  Bytes data = message;
  const uint64_t bitLength = static_cast<uint64_t>(message.size()) * 8;
  data.push_back(0x80);
  while (data.size() % 64 != 56) data.push_back(0);
  for (int i = 7; i >= 0; --i) data.push_back(static_cast<uint8_t>(bitLength >> (8 * i)));
  for (size_t block = 0; block < data.size(); block += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      const size_t at = block + 4 * static_cast<size_t>(i);
      w[i] = (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) | (uint32_t{data[at + 2]} << 8) | data[at + 3];
    }
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
  }
  std::string hex;
  char digits[9];
  for (uint32_t v : h) {
    std::snprintf(digits, sizeof digits, "%08x", v);
    hex += digits;
  }
  return hex;
}

// "hash  name" lines as sha256sum writes them.
inline std::map<std::string, std::string> ReadSha256List(const std::filesystem::path& path) {
  std::map<std::string, std::string> hashes;
  std::ifstream in(path);
  std::string hash, name;
  while (in >> hash >> name) hashes[name] = hash;
  return hashes;
}

}  // namespace legacytest
