#include "archive/ReadWriteObj.h"

#include "archive/ArcCrc.h"
#include "archive/MessageTable.h"
#include "codec/DecoderState.h"
#include "codec/ZipCrypto.h"

TReadWriteObj::TReadWriteObj(TComponent* owner)
    : TorxMain(owner),
      ReadProc([this](TByteFile& file, uint8_t* buffer, int32_t count, bool decrypt, uint8_t checkKind) {
        return ReadBlock(file, buffer, count, decrypt, checkKind);
      }),
      WriteProc([this](TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt) {
        return WriteBlock(file, buffer, count, checkKind, decrypt);
      }) {}

bool TReadWriteObj::UsesTraditionalKeys(bool spannedToo) const {
  switch (fArcType) {
    case atZip:
    case atZipExe:
    case atJar:
    case atBh:
    case atBhExe:
      return true;
    case atZipMV:
      return spannedToo;
    default:
      return false;
  }
}

void TReadWriteObj::AdvanceCheck(const uint8_t* buffer, int32_t count, uint8_t checkKind) {
  if (count <= 0) return;
  if (checkKind == ckCrc32)
    archive::Crc32Block(buffer, static_cast<size_t>(count), codec::TheDecoderState().runningCrc);
  else if (checkKind == ckCrc16)
    archive::Crc16Block(buffer, static_cast<size_t>(count), fCrc16);
}

int32_t TReadWriteObj::ReadBlock(TByteFile& file, uint8_t* buffer, int32_t count, bool decrypt, uint8_t checkKind) {
  if (count == 0) return 0;
  const int32_t got = file.BlockRead(buffer, count);
  DecryptBuffer(decrypt, buffer, got);
  AdvanceCheck(buffer, got, checkKind);
  return got;
}

void TReadWriteObj::DecryptBuffer(bool decrypt, uint8_t* buffer, int32_t count) {
  if (!decrypt || count <= 0 || !UsesTraditionalKeys(false)) return;
  codec::DecryptBlock(codec::TheDecoderState().keys, buffer, static_cast<size_t>(count));
}

int32_t TReadWriteObj::EncryptWriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind,
                                         bool encrypt) {
  // The check value covers the plain bytes.
  if (encrypt && count > 0 && UsesTraditionalKeys(true)) {
    AdvanceCheck(buffer, count, checkKind);
    codec::EncryptBlock(codec::TheDecoderState().keys, buffer, static_cast<size_t>(count));
    return WriteRaw(file, buffer, count, ckNone);
  }
  return WriteRaw(file, buffer, count, checkKind);
}

int32_t TReadWriteObj::WriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt) {
  DecryptForWrite(decrypt, buffer, count);
  return WriteRaw(file, buffer, count, checkKind);
}

void TReadWriteObj::DecryptForWrite(bool decrypt, uint8_t* buffer, int32_t count) {
  if (decrypt && count > 0 && UsesTraditionalKeys(true))
    codec::DecryptBlock(codec::TheDecoderState().keys, buffer, static_cast<size_t>(count));
}

int32_t TReadWriteObj::WriteRaw(TByteFile& file, const uint8_t* buffer, int32_t count, uint8_t checkKind) {
  const int32_t written = count > 0 ? file.BlockWrite(buffer, count) : 0;
  if (written != count) archive::RaiseMessage(E_WRITE);
  AdvanceCheck(buffer, written, checkKind);
  return written;
}
