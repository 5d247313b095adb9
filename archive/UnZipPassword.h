// The 12-byte encryption header of one encrypted entry and the check of
// candidate passwords against it. Every trial starts from the header as it
// was read; a passing trial leaves the process-wide keys where the entry's
// data continues.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ByteFile.h"
#include "archive/ZipRecords.h"
#include "codec/ZipCrypto.h"

class TEncryptionHeader {
 public:
  // The header bytes as read (fewer than 12 at the end of the archive leave
  // zeros, which no password passes but by chance).
  TEncryptionHeader(const uint8_t* bytes, int32_t count, const TLocalHeader& localHeader);

  // An empty password never passes and leaves the keys alone.
  bool Passes(const std::string& password);

 private:
  uint8_t buffer_[codec::kHeaderBufferSize] = {};
  uint16_t flags_;
  uint32_t dosDateTime_;
  uint32_t crc32_;
};
