#include "archive/UnBase.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>

#include "archive/MessageTable.h"
#include "codec/Decoders.h"
#include "codec/Unpacker.h"
#include "codec/ZipCrypto.h"

namespace {
constexpr uint16_t kEncryptedFlag = 0x0001;

// Ends the decoding of an entry whose output reached its declared size
// with more to come; the verdict reports it.
class TDeclaredSizeReached : public std::exception {
 public:
  const char* what() const noexcept override { return "declared size reached"; }
};
}  // namespace

// Connects the decoders to the component: compressed bytes come through
// ReadProc (decrypted when the entry is encrypted), decoded bytes go out
// through WriteProc with the running CRC, faults through RaiseError.
class TUnBase::EntryBridge final : public codec::EntryHost {
 public:
  EntryBridge(TUnBase& owner, TByteFile& archive, TByteFile& output, const std::string& targetPath)
      : owner_(owner), archive_(archive), output_(output), targetPath_(targetPath) {}

  int32_t ReadBlock(uint8_t* buffer, int32_t count) override {
    const bool encrypted = (owner_.fCurrentEntry.FlagWord & kEncryptedFlag) != 0;
    return owner_.ReadProc(archive_, buffer, count, encrypted, ckNone);
  }
  // Nothing beyond the declared size reaches the output: the bytes up to it
  // are written, then decoding ends.
  int32_t WriteBlock(uint8_t* buffer, int32_t count) override {
    if (owner_.fOutputOverflow) return count;
    const int32_t room = std::max(codec::TheDecoderState().outRemaining, 0);
    if (count <= room) return owner_.WriteProc(output_, buffer, count, ckCrc32, false);
    owner_.fOutputOverflow = true;
    if (room > 0) owner_.WriteProc(output_, buffer, room, ckCrc32, false);
    throw TDeclaredSizeReached();
  }
  void BlockWritten(int32_t count) override {
    owner_.fArchiveRemaining -= count;
    const int32_t size = static_cast<int32_t>(owner_.fCurrentEntry.UnpackedSize);
    owner_.Progress(size - codec::TheDecoderState().outRemaining, size, owner_.fTotalBytes);
  }
  [[noreturn]] void RaiseError(int32_t messageId) override {
    owner_.RaiseError(targetPath_, "", "0", messageId);
    // An override that returns must still end the entry.
    archive::RaiseMessage(messageId);
  }
  bool Cancelled() const override { return owner_.Cancelled(); }
  // Only spanned archives continue an entry on the next disk.
  bool ContinueOnNextVolume() override { return owner_.fArcType == atZipMV && owner_.OpenNextVolume(archive_); }
  void SetCancelled(bool cancelled) override { owner_.fCancel = cancelled ? 1 : 0; }

 private:
  TUnBase& owner_;
  TByteFile& archive_;
  TByteFile& output_;
  const std::string& targetPath_;
};

TUnBase::TUnBase(TComponent* owner) : TZipCommon(owner) {}

TUnBase::~TUnBase() { fFileList.TearDown(); }

int32_t TUnBase::InRemaining() const { return codec::TheDecoderState().inRemaining; }
int32_t TUnBase::OutRemaining() const { return codec::TheDecoderState().outRemaining; }
uint32_t TUnBase::RunningCrc() { return codec::TheDecoderState().runningCrc; }
bool TUnBase::DeclaredSizeMet() const { return !fOutputOverflow && codec::TheDecoderState().outRemaining == 0; }

void TUnBase::ExtractArchive(TByteFile&, TByteFile&) {}

bool TUnBase::DecodeEntry(TByteFile& archive, TByteFile& output, TEntryInfo& entry, const std::string& targetPath) {
  codec::DecoderState& state = codec::TheDecoderState();
  EntryBridge bridge(*this, archive, output, targetPath);
  codec::Unpacker unpacker(state, bridge);

  fCurrentEntry = entry;
  fOutputOverflow = false;
  const bool encrypted = (entry.FlagWord & kEncryptedFlag) != 0;
  // The 12 header bytes were read by the password check; they are not data.
  if (encrypted) entry.PackedSize -= codec::kEncryptionHeaderSize;
  unpacker.BeginEntry(static_cast<uint16_t>(entry.Method), entry.FlagWord, static_cast<int32_t>(entry.PackedSize),
                      static_cast<int32_t>(entry.UnpackedSize));
  try {
    if (entry.Method == 0) {
      CopyStored(archive, output, targetPath, encrypted, ckCrc32);
    } else {
      codec::DecodeCompressed(unpacker);
    }
  } catch (const std::exception&) {
    // RaiseError has told OnError already; the entry simply ends here and
    // what the window holds is still written below.
  }
  unpacker.FlushWindow();
  return true;
}

void TUnBase::CopyStored(TByteFile& archive, TByteFile& output, const std::string&, bool encrypted,
                         uint8_t checkKind) {
  codec::DecoderState& state = codec::TheDecoderState();
  const int32_t size = state.outRemaining;
  auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(std::clamp(size, 0, kStoredBlockSize)) + 1);
  while (state.outRemaining > 0 && state.inRemaining > 0) {
    const int32_t wanted = std::min({state.outRemaining, state.inRemaining, kStoredBlockSize});
    const int32_t got = ReadProc(archive, buffer.get(), wanted, false, ckNone);
    if (got <= 0) break;
    state.inRemaining -= got;
    // WriteBlock decrypts only for the archive kinds that use the traditional keys.
    WriteProc(output, buffer.get(), got, checkKind, encrypted);
    state.outRemaining -= got;
    fArchiveRemaining -= got;
    Progress(size - state.outRemaining, size, fTotalBytes);
    if (Cancelled()) break;
  }
  // Stored data longer than the declared size is not written either.
  if (state.outRemaining == 0 && state.inRemaining > 0) fOutputOverflow = true;
}
