#include "archive/UnZipPassword.h"

#include <algorithm>
#include <cstring>

#include "codec/DecoderState.h"

TEncryptionHeader::TEncryptionHeader(const uint8_t* bytes, int32_t count, const TLocalHeader& localHeader)
    : flags_(localHeader.GeneralPurpose), dosDateTime_(localHeader.FileDate), crc32_(localHeader.CRC32) {
  const int32_t kept = std::clamp(count, 0, codec::kEncryptionHeaderSize);
  std::memcpy(buffer_ + codec::kHeaderRawOffset, bytes, static_cast<size_t>(kept));
}

bool TEncryptionHeader::Passes(const std::string& password) {
  return codec::CheckPassword(codec::TheDecoderState().keys, buffer_, flags_, password, dosDateTime_, crc32_);
}
