// Little-endian fields in byte buffers, as PE images and resources store them.
// Callers check bounds first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexpack {

inline uint32_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | static_cast<uint32_t>(bytes[at + 1]) << 8;
}
inline uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return Get16(bytes, at) | Get16(bytes, at + 2) << 16;
}
inline void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
inline void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}
inline void Append16(std::vector<uint8_t>& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}
inline void Append32(std::vector<uint8_t>& bytes, uint32_t value) {
  Append16(bytes, value & 0xFFFF);
  Append16(bytes, value >> 16);
}
inline void AppendText(std::vector<uint8_t>& bytes, const std::u16string& text) {
  for (char16_t c : text) Append16(bytes, c);
}
inline void PadTo(std::vector<uint8_t>& bytes, size_t alignment) {
  bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, 0);
}
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace vexpack
