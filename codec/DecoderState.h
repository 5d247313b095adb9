// The state that every decoder of one archive entry shares, and the host
// interface through which the decoders reach the archive and the output file.
// The archive component is the host in the program; tests, fuzzers and
// benchmarks use MemoryEntryHost. One entry is decoded at a time per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace codec {

constexpr int32_t kInputBufferSize = 32768;
// Zero bytes kept after the input in the buffer: Inflate's fast loop reads
// whole words a little past the input it decodes.
constexpr int32_t kInputSlack = 32;
constexpr int32_t kWindowSize = 32768;
constexpr int32_t kDictionaryCapacity = 8192;

// The output window lives in a larger arena: the 32 KB before `window` always
// hold the history a distance reaches back into, so matches never wrap. After
// a full write-out `window` moves on by one window; only when the arena is used
// up are the last 32 KB moved back to its start. The slack after the last
// window takes what Inflate's fast loop decodes past the window's end (one
// step: two literals and a match) and the overshoot of its wide copies.
constexpr int32_t kWindowArenaWindows = 4;
constexpr int32_t kWindowSlack = 320;
constexpr size_t kWindowArenaSize =
    static_cast<size_t>(kWindowSize) * (1 + kWindowArenaWindows) + kWindowSlack;

// Message ids of the faults the decoders report.
enum DecoderMessage : int32_t {
  msgBadBlock = 25109,
  msgErrorWritingToFile = 25136,
  msgIncompleteCodeSet = 25138,
  msgOutOfMemory = 25253,
  msgAmbiguousTree = 25293,
  msgStackOverflow = 25298,
  msgUnsupportedMethod = 25326,
};

struct DecoderState {
  DecoderState() = default;
  // `window` points into the state itself.
  DecoderState(const DecoderState&) = delete;
  DecoderState& operator=(const DecoderState&) = delete;

  // The current entry as the decoders see it.
  uint16_t flags = 0;         // general-purpose flag word (bit 0 encrypted, bits 1-2 Implode shape)
  uint16_t method = 0;
  int32_t unpackedSize = 0;

  // Input side: ReadByte's buffer.
  uint8_t input[kInputBufferSize + kInputSlack];
  int32_t inputCount = 0;
  int32_t inputPos = 0;
  bool endOfInput = false;
  int32_t inRemaining = 0;    // compressed bytes not yet handed out
  int32_t outRemaining = 0;   // bytes of the entry not yet written

  // Output side: window[0 .. windowFill) is decoded but not yet written;
  // window[-kWindowSize .. windowFill) is the history in output order. The
  // window is not cleared between entries.
  alignas(64) uint8_t windowArena[kWindowArenaSize] = {};
  uint8_t* window = windowArena + kWindowSize;
  int32_t windowFill = 0;
  int32_t outputCount = 0;    // bytes PutByte produced for this entry
  uint32_t runningCrc = 0xFFFFFFFFu;

  // Reduce and Implode history.
  std::vector<uint8_t> dictionary = std::vector<uint8_t>(kDictionaryCapacity);
  uint16_t dictionaryPos = 0;
  uint16_t dictionarySize = 4096;
  uint8_t reduceState = 0;

  // ReadBits.
  int32_t bitByte = 0;        // current byte, or -1 once the input has ended
  uint8_t bitsLeft = 0;
  bool firstRead = true;

  // Traditional encryption keys.
  uint32_t keys[3] = {0, 0, 0};
};

// The process-wide decoder state of the archive engine.
DecoderState& TheDecoderState();

// What a decoder needs from whoever drives it.
class EntryHost {
 public:
  virtual ~EntryHost() = default;
  // Reads up to count compressed bytes of the entry, decrypted when the entry
  // is encrypted; fewer at the end of the archive, 0 when nothing is left.
  virtual int32_t ReadBlock(uint8_t* buffer, int32_t count) = 0;
  // Writes count decoded bytes to the output (the buffer is not changed) and
  // advances the running CRC over them; returns the bytes written.
  virtual int32_t WriteBlock(uint8_t* buffer, int32_t count) = 0;
  // After a write-out of the window: whole-run counters and progress.
  virtual void BlockWritten(int32_t count) = 0;
  // Reports the message id (OnError unless cancelled) and raises.
  [[noreturn]] virtual void RaiseError(int32_t messageId) = 0;
  virtual bool Cancelled() const = 0;
  virtual void SetCancelled(bool cancelled) = 0;
  // The input of a spanned archive ended inside the entry: ask for the next
  // volume and open the archive there. True when the entry's data goes on
  // (inRemaining then counts what is still to come). On false a spanned
  // archive sets the cancel flag, and the decoder stops without a fault of
  // its own; otherwise the decoder reports the input's end (25109).
  virtual bool ContinueOnNextVolume() { return false; }
};

}  // namespace codec
