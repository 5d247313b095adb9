// Traditional PKWARE encryption: the key schedule, the keystream, and the
// check of a password against an entry's 12-byte encryption header. The keys
// are the three words of the decoder state; one entry at a time uses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace codec {

using TZipKeys = uint32_t[3];

constexpr int32_t kEncryptionHeaderSize = 12;
// The header as read sits at offsets 12 to 23; every check decrypts it afresh
// into offsets 0 to 11, so any number of passwords can be tried against it.
constexpr int32_t kHeaderBufferSize = 25;
constexpr int32_t kHeaderRawOffset = 12;

// Keys for a password: the fixed start values, then every password byte.
void InitKeys(TZipKeys& keys, const std::string& password);
// Advances the keys over one plain byte.
void UpdateKeys(TZipKeys& keys, uint8_t plain);
// The keystream byte for the current keys.
uint8_t DecryptByte(const TZipKeys& keys);

// Decrypts (or encrypts) count bytes in place and advances the keys over the
// plain bytes; the read side uses it for compressed data, the write side for
// stored data.
void DecryptBlock(TZipKeys& keys, uint8_t* buffer, size_t count);
void EncryptBlock(TZipKeys& keys, uint8_t* buffer, size_t count);

// The byte the last plain header byte must equal: the high byte of the DOS
// time when flag bit 3 is set (CRC and sizes follow the data), else the high
// byte of the CRC-32. dosDateTime holds the time in its low word.
uint8_t PasswordCheckByte(uint16_t flags, uint32_t dosDateTime, uint32_t crc32);

// Tries a password against the header in headerBuffer[12..23]. An empty
// password fails without touching the keys. On True the keys are exactly in
// the state the entry's data continues from.
bool CheckPassword(TZipKeys& keys, uint8_t (&headerBuffer)[kHeaderBufferSize], uint16_t flags,
                   const std::string& password, uint32_t dosDateTime, uint32_t crc32);

}  // namespace codec
