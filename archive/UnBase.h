// The unpacking layer of the archive component: decodes one archive entry
// into an open output file through the component's block operations, with
// the running CRC, the whole-run byte counts and progress kept on the way.
// The decoders themselves stay free of the component and reach it through
// an EntryHost that this class supplies.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ByteFile.h"
#include "archive/ZipCommon.h"
#include "archive/ZipRecords.h"
#include "codec/DecoderState.h"

constexpr int32_t kStoredBlockSize = 32768;

class TUnBase : public TZipCommon {
 public:
  explicit TUnBase(TComponent* owner = nullptr);
  ~TUnBase() override;

  // Used when an output file is finished.
  bool RestoreFileAttr = true;
  TDateAttribute DateAttribute = daFileDate;
  // Kept for compatibility; decoding does not depend on it.
  TCpuType CpuType = cptAuto;

  // Decodes the entry whose data the archive is positioned at (past the
  // encryption header of an encrypted entry, with the keys set up) into the
  // output file. Faults go to OnError and end the entry; the running CRC
  // then holds what was written. A write failure of the final window
  // write-out leaves as an exception. Always returns true.
  bool DecodeEntry(TByteFile& archive, TByteFile& output, TEntryInfo& entry, const std::string& targetPath);
  // Method 0: copies OutRemaining bytes (no more than the packed size) in
  // blocks of at most 32 KB; stored encrypted data is decrypted on the write
  // side.
  void CopyStored(TByteFile& archive, TByteFile& output, const std::string& targetPath, bool encrypted,
                  uint8_t checkKind);

  // The entry being decoded (a copy of the record given to DecodeEntry).
  const TEntryInfo& CurrentEntry() const { return fCurrentEntry; }
  int32_t InRemaining() const;
  int32_t OutRemaining() const;
  // The CRC-32 register over the bytes written for the entry (not inverted).
  static uint32_t RunningCrc();
  // The last decoded entry gave exactly its declared uncompressed size:
  // output stops there, so more is seen as soon as it would pass it.
  bool DeclaredSizeMet() const;

 protected:
  // The per-archive extraction loop; the ZIP component supplies it.
  virtual void ExtractArchive(TByteFile& archive, TByteFile& output);

  TorxFileList fFileList;
  TEntryInfo fCurrentEntry{};
  bool fOutputOverflow = false;  // the entry had more output than declared

 private:
  class EntryBridge;
};
