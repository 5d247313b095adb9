#include "rtl/Crc32.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define VEX_CRC32_CLMUL 1
#include <immintrin.h>
#endif

// 32-bit Windows keeps the stack 4-byte aligned, and the vector paths spill
// 16- and 64-byte registers: their entries realign it.
#if defined(__i386__)
#define VEX_CRC32_ENTRY __attribute__((force_align_arg_pointer))
#else
#define VEX_CRC32_ENTRY
#endif

namespace rtl {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;  // reflected 0x04C11DB7

using SliceTables = std::array<std::array<uint32_t, 256>, 16>;

// tables[k][b]: the register step for byte b followed by k zero bytes.
constexpr SliceTables MakeSliceTables() {
  SliceTables tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? kPolynomial ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (size_t k = 1; k < 16; ++k) {
    for (uint32_t n = 0; n < 256; ++n) {
      const uint32_t previous = tables[k - 1][n];
      tables[k][n] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr SliceTables kSlices = MakeSliceTables();

inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline uint32_t Bytewise(uint32_t crc, const uint8_t* p, size_t length) {
  while (length--) crc = kSlices[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

// Sixteen bytes per step through sixteen tables: the portable path.
uint32_t SliceBy16(uint32_t crc, const uint8_t* p, size_t length) {
  while (length >= 16) {
    const uint32_t w0 = LoadLe32(p) ^ crc;
    const uint32_t w1 = LoadLe32(p + 4);
    const uint32_t w2 = LoadLe32(p + 8);
    const uint32_t w3 = LoadLe32(p + 12);
    crc = kSlices[15][w0 & 0xFF] ^ kSlices[14][(w0 >> 8) & 0xFF] ^ kSlices[13][(w0 >> 16) & 0xFF] ^
          kSlices[12][w0 >> 24] ^ kSlices[11][w1 & 0xFF] ^ kSlices[10][(w1 >> 8) & 0xFF] ^
          kSlices[9][(w1 >> 16) & 0xFF] ^ kSlices[8][w1 >> 24] ^ kSlices[7][w2 & 0xFF] ^
          kSlices[6][(w2 >> 8) & 0xFF] ^ kSlices[5][(w2 >> 16) & 0xFF] ^ kSlices[4][w2 >> 24] ^
          kSlices[3][w3 & 0xFF] ^ kSlices[2][(w3 >> 8) & 0xFF] ^ kSlices[1][(w3 >> 16) & 0xFF] ^
          kSlices[0][w3 >> 24];
    p += 16;
    length -= 16;
  }
  return Bytewise(crc, p, length);
}

#ifdef VEX_CRC32_CLMUL
// Carry-less multiplication folding. A 16-byte block loaded little-endian is
// the polynomial of its 128 message bits, the first bit the highest power
// (the reflected order). Folding a block D bits forward multiplies its low
// quadword by x^(D+64) and its high quadword by x^D modulo the polynomial;
// since a carry-less product of two reflected quadwords comes out one bit
// short, the constants are x^(D+63) and x^(D-1) mod P, reflected.
constexpr uint64_t XPowerModP(uint32_t n) {
  uint64_t r = 1;  // normal order: bit m is x^m
  for (uint32_t i = 0; i < n; ++i) {
    r <<= 1;
    if (r & (uint64_t{1} << 32)) r ^= 0x104C11DB7ull;
  }
  return r;
}

constexpr uint64_t Reflect64(uint64_t v) {
  uint64_t r = 0;
  for (int i = 0; i < 64; ++i) r |= ((v >> i) & 1) << (63 - i);
  return r;
}

struct FoldConstants {
  uint64_t low, high;
};

constexpr FoldConstants FoldBy(uint32_t bits) {
  return {Reflect64(XPowerModP(bits + 63)), Reflect64(XPowerModP(bits - 1))};
}

constexpr FoldConstants kFold128 = FoldBy(128);
constexpr FoldConstants kFold512 = FoldBy(512);
constexpr FoldConstants kFold2048 = FoldBy(2048);

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i block, __m128i constants) {
  return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x00), _mm_clmulepi64_si128(block, constants, 0x11));
}

// Four consecutive blocks folded into one, then the 16-byte steps and the
// tail.
__attribute__((target("pclmul,sse4.1"))) uint32_t FinishFold(__m128i x0, __m128i x1, __m128i x2, __m128i x3,
                                                             const uint8_t* p, size_t length) {
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128.high), static_cast<long long>(kFold128.low));
  __m128i x = _mm_xor_si128(Fold(x0, k128), x1);
  x = _mm_xor_si128(Fold(x, k128), x2);
  x = _mm_xor_si128(Fold(x, k128), x3);
  while (length >= 16) {
    x = _mm_xor_si128(Fold(x, k128), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    p += 16;
    length -= 16;
  }
  // The folded block is a 16-byte message of its own, taken from a zero
  // register; the tail follows it.
  uint8_t block[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), x);
  return SliceBy16(SliceBy16(0, block, 16), p, length);
}

VEX_CRC32_ENTRY __attribute__((target("pclmul,sse4.1"))) uint32_t FoldClmul(uint32_t crc, const uint8_t* p, size_t length) {
  if (length < 64) return SliceBy16(crc, p, length);
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512.high), static_cast<long long>(kFold512.low));
  auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };

  // The register enters as the first 32 message bits.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = load(p + 16);
  __m128i x2 = load(p + 32);
  __m128i x3 = load(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x0 = _mm_xor_si128(Fold(x0, k512), load(p));
    x1 = _mm_xor_si128(Fold(x1, k512), load(p + 16));
    x2 = _mm_xor_si128(Fold(x2, k512), load(p + 32));
    x3 = _mm_xor_si128(Fold(x3, k512), load(p + 48));
    p += 64;
    length -= 64;
  }
  return FinishFold(x0, x1, x2, x3, p, length);
}

#define VEX_AVX512_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

VEX_AVX512_TARGET inline __m512i Broadcast(FoldConstants k) {
  // (The masked forms: the plain ones start from an undefined register.)
  return _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi64x(static_cast<long long>(k.high),
                                                             static_cast<long long>(k.low)));
}

VEX_AVX512_TARGET inline __m512i Load512(const uint8_t* at) { return _mm512_loadu_si512(at); }

// Four blocks folded by k, xor b.
VEX_AVX512_TARGET inline __m512i Fold4(__m512i a, __m512i k, __m512i b) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(a, k, 0x00), _mm512_clmulepi64_epi128(a, k, 0x11), b,
                                   0x96);
}

// 256 bytes per step in four 512-bit registers of four blocks each.
VEX_CRC32_ENTRY VEX_AVX512_TARGET uint32_t FoldVpclmul(uint32_t crc, const uint8_t* p, size_t length) {
  if (length < 256) return FoldClmul(crc, p, length);
  const __m512i k2048 = Broadcast(kFold2048);
  const __m512i k512 = Broadcast(kFold512);
  auto load = Load512;
  auto fold = Fold4;
  __m512i z0 = _mm512_xor_si512(load(p), _mm512_inserti32x4(_mm512_setzero_si512(),
                                                              _mm_cvtsi32_si128(static_cast<int>(crc)), 0));
  __m512i z1 = load(p + 64);
  __m512i z2 = load(p + 128);
  __m512i z3 = load(p + 192);
  p += 256;
  length -= 256;
  while (length >= 256) {
    z0 = fold(z0, k2048, load(p));
    z1 = fold(z1, k2048, load(p + 64));
    z2 = fold(z2, k2048, load(p + 128));
    z3 = fold(z3, k2048, load(p + 192));
    p += 256;
    length -= 256;
  }
  __m512i z = fold(z0, k512, z1);
  z = fold(z, k512, z2);
  z = fold(z, k512, z3);
  while (length >= 64) {
    z = fold(z, k512, load(p));
    p += 64;
    length -= 64;
  }
  const __m128i zero = _mm_setzero_si128();
  return FinishFold(_mm512_mask_extracti32x4_epi32(zero, 0xF, z, 0), _mm512_mask_extracti32x4_epi32(zero, 0xF, z, 1),
                    _mm512_mask_extracti32x4_epi32(zero, 0xF, z, 2), _mm512_mask_extracti32x4_epi32(zero, 0xF, z, 3),
                    p, length);
}
#undef VEX_AVX512_TARGET
#endif

std::vector<Crc32Path> RunnablePaths() {
  std::vector<Crc32Path> paths = {{"slice-16", SliceBy16}};
#ifdef VEX_CRC32_CLMUL
  __builtin_cpu_init();
  if (__builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1")) {
    paths.push_back({"pclmul", FoldClmul});
    if (__builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx512f")) {
      paths.push_back({"vpclmul-avx512", FoldVpclmul});
    }
  }
#endif
  return paths;
}

const Crc32Function kCrcFunction = RunnablePaths().back().update;

}  // namespace

const uint32_t kCrc32Table[256] = {
#define VEX_ROW(i) kSlices[0][i], kSlices[0][i + 1], kSlices[0][i + 2], kSlices[0][i + 3]
#define VEX_ROW16(i) VEX_ROW(i), VEX_ROW(i + 4), VEX_ROW(i + 8), VEX_ROW(i + 12)
    VEX_ROW16(0),   VEX_ROW16(16),  VEX_ROW16(32),  VEX_ROW16(48),  VEX_ROW16(64),  VEX_ROW16(80),
    VEX_ROW16(96),  VEX_ROW16(112), VEX_ROW16(128), VEX_ROW16(144), VEX_ROW16(160), VEX_ROW16(176),
    VEX_ROW16(192), VEX_ROW16(208), VEX_ROW16(224), VEX_ROW16(240)
#undef VEX_ROW16
#undef VEX_ROW
};

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
  return kCrcFunction(crc, static_cast<const uint8_t*>(data), length);
}

uint32_t Crc32UpdateBytewise(uint32_t crc, const void* data, size_t length) {
  return Bytewise(crc, static_cast<const uint8_t*>(data), length);
}

std::vector<Crc32Path> Crc32Paths() { return RunnablePaths(); }

}  // namespace rtl
