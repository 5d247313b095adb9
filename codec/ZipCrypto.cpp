#include "codec/ZipCrypto.h"

#include "rtl/Crc32.h"

namespace codec {
namespace {

constexpr uint32_t kKeyMultiplier = 134775813u;

uint32_t CrcStep(uint32_t crc, uint8_t b) { return rtl::kCrc32Table[(crc ^ b) & 0xFF] ^ (crc >> 8); }

}  // namespace

void InitKeys(TZipKeys& keys, const std::string& password) {
  keys[0] = 0x12345678u;
  keys[1] = 0x23456789u;
  keys[2] = 0x34567890u;
  // The whole password counts, however long: other tools key long
  // passwords the same way.
  for (const char c : password) UpdateKeys(keys, static_cast<uint8_t>(c));
}

void UpdateKeys(TZipKeys& keys, uint8_t plain) {
  keys[0] = CrcStep(keys[0], plain);
  keys[1] = (keys[1] + (keys[0] & 0xFF)) * kKeyMultiplier + 1;
  keys[2] = CrcStep(keys[2], static_cast<uint8_t>(keys[1] >> 24));
}

uint8_t DecryptByte(const TZipKeys& keys) {
  const uint32_t t = (keys[2] & 0xFFFF) | 2;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void DecryptBlock(TZipKeys& keys, uint8_t* buffer, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    buffer[i] = static_cast<uint8_t>(buffer[i] ^ DecryptByte(keys));
    UpdateKeys(keys, buffer[i]);
  }
}

void EncryptBlock(TZipKeys& keys, uint8_t* buffer, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t plain = buffer[i];
    buffer[i] = static_cast<uint8_t>(plain ^ DecryptByte(keys));
    UpdateKeys(keys, plain);
  }
}

uint8_t PasswordCheckByte(uint16_t flags, uint32_t dosDateTime, uint32_t crc32) {
  return (flags & 0x08) != 0 ? static_cast<uint8_t>(dosDateTime >> 8) : static_cast<uint8_t>(crc32 >> 24);
}

bool CheckPassword(TZipKeys& keys, uint8_t (&headerBuffer)[kHeaderBufferSize], uint16_t flags,
                   const std::string& password, uint32_t dosDateTime, uint32_t crc32) {
  if (password.empty()) return false;
  InitKeys(keys, password);
  for (int32_t i = 0; i < kEncryptionHeaderSize; ++i) headerBuffer[i] = headerBuffer[kHeaderRawOffset + i];
  DecryptBlock(keys, headerBuffer, kEncryptionHeaderSize);
  return headerBuffer[kEncryptionHeaderSize - 1] == PasswordCheckByte(flags, dosDateTime, crc32);
}

}  // namespace codec
