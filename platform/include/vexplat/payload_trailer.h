// The package of a POSIX installer travels appended to the program file:
//   program bytes | payload | "VEXPAYLD" | payload length (uint64, little endian)
// The trailer is the file's last 16 bytes and the payload ends right before it.
// The stand-in's FindResourceA(NULL, "APPEXE", RT_RCDATA) reads it; vexpack
// writes it. Header-only so that tools need no stand-in to use it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <istream>
#include <optional>
#include <ostream>

namespace vexplat {

inline constexpr char kPayloadMagic[8] = {'V', 'E', 'X', 'P', 'A', 'Y', 'L', 'D'};
inline constexpr std::size_t kPayloadTrailerSize = 16;

using PayloadTrailerBytes = std::array<uint8_t, kPayloadTrailerSize>;

struct PayloadLocation {
  uint64_t offset;  // first payload byte in the file
  uint64_t length;
};

inline PayloadTrailerBytes EncodePayloadTrailer(uint64_t length) {
  PayloadTrailerBytes bytes{};
  std::memcpy(bytes.data(), kPayloadMagic, sizeof kPayloadMagic);
  for (int i = 0; i < 8; ++i) bytes[8 + i] = static_cast<uint8_t>(length >> (8 * i));
  return bytes;
}

// The payload a file of fileSize bytes holds when these are its last 16
// bytes; nothing when the magic is absent or the length does not fit.
inline std::optional<PayloadLocation> DecodePayloadTrailer(const PayloadTrailerBytes& bytes, uint64_t fileSize) {
  if (fileSize < kPayloadTrailerSize) return std::nullopt;
  if (std::memcmp(bytes.data(), kPayloadMagic, sizeof kPayloadMagic) != 0) return std::nullopt;
  uint64_t length = 0;
  for (int i = 0; i < 8; ++i) length |= static_cast<uint64_t>(bytes[8 + i]) << (8 * i);
  const uint64_t room = fileSize - kPayloadTrailerSize;
  if (length > room) return std::nullopt;
  return PayloadLocation{room - length, length};
}

// Reads the trailer at the end of a binary stream; the stream's position is
// left undefined.
inline std::optional<PayloadLocation> LocatePayload(std::istream& file) {
  file.clear();
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < static_cast<std::streamoff>(kPayloadTrailerSize)) return std::nullopt;
  file.seekg(size - static_cast<std::streamoff>(kPayloadTrailerSize));
  PayloadTrailerBytes bytes{};
  if (!file.read(reinterpret_cast<char*>(bytes.data()), kPayloadTrailerSize)) return std::nullopt;
  return DecodePayloadTrailer(bytes, static_cast<uint64_t>(size));
}

// Copies the whole payload stream to the end of out and closes it with the
// trailer. False when reading the payload or writing failed.
inline bool AppendPayload(std::ostream& out, std::istream& payload) {
  char chunk[65536];
  uint64_t length = 0;
  while (payload.read(chunk, sizeof chunk) || payload.gcount() > 0) {
    const std::streamsize got = payload.gcount();
    if (!out.write(chunk, got)) return false;
    length += static_cast<uint64_t>(got);
  }
  if (payload.bad()) return false;
  const PayloadTrailerBytes trailer = EncodePayloadTrailer(length);
  out.write(reinterpret_cast<const char*>(trailer.data()), kPayloadTrailerSize);
  return static_cast<bool>(out.flush());
}

}  // namespace vexplat
