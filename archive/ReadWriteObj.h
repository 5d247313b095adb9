// The archive component's two block operations: every byte extraction reads
// from the archive and every byte it writes goes through them. They decrypt
// (traditional ZIP keys) when asked and keep the running CRC.
#pragma once

#include <cstdint>
#include <functional>

#include "archive/ByteFile.h"
#include "archive/orxMain.h"

// Check value advanced over the bytes of a block.
enum TCheckKind : uint8_t { ckNone = 0, ckCrc16 = 16, ckCrc32 = 32 };

using TReadProc = std::function<int32_t(TByteFile& file, uint8_t* buffer, int32_t count, bool decrypt,
                                        uint8_t checkKind)>;
using TWriteProc = std::function<int32_t(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind,
                                         bool decrypt)>;

class TReadWriteObj : public TorxMain {
 public:
  explicit TReadWriteObj(TComponent* owner = nullptr);

  // Bound to the object's own (possibly overridden) ReadBlock and WriteBlock.
  TReadProc ReadProc;
  TWriteProc WriteProc;

  // 0 = files on disk, the only kind this program uses.
  uint8_t OutputMode = 0;
  uint8_t ReadSource = 0;

  // Reads up to count bytes (fewer at the end of the file), decrypts them
  // when asked and advances the check value over them.
  virtual int32_t ReadBlock(TByteFile& file, uint8_t* buffer, int32_t count, bool decrypt, uint8_t checkKind);
  // Encrypts the block with the traditional keys before writing it.
  virtual int32_t EncryptWriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind,
                                    bool encrypt);
  // Decrypts the block in place when asked, then WriteRaw.
  virtual int32_t WriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt);

  // Writes count bytes; a short write raises E_RAISE 25136 "Error writing to
  // file"; the check value is advanced over the bytes written.
  int32_t WriteRaw(TByteFile& file, const uint8_t* buffer, int32_t count, uint8_t checkKind);
  // The read-side decryption of the archive kinds that use traditional keys.
  void DecryptBuffer(bool decrypt, uint8_t* buffer, int32_t count);

 protected:
  // The write-side decryption, which also covers spanned archives.
  void DecryptForWrite(bool decrypt, uint8_t* buffer, int32_t count);
  void AdvanceCheck(const uint8_t* buffer, int32_t count, uint8_t checkKind);

  // The check value of CRC-16 blocks (the CRC-32 one is the decoders'
  // process-wide running CRC).
  uint32_t fCrc16 = 0;

 private:
  bool UsesTraditionalKeys(bool spannedToo) const;
};
