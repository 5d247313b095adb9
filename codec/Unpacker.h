// The byte source and output window over the decoder state: the only way the
// decoders read compressed bytes and produce decoded ones.
#pragma once

#include "codec/DecoderState.h"

namespace codec {

class Unpacker {
 public:
  Unpacker(DecoderState& state, EntryHost& host) : state_(state), host_(host) {}

  // Resets the state for a new entry (the running CRC included).
  void BeginEntry(uint16_t method, uint16_t flags, int32_t packedSize, int32_t unpackedSize);

  // Next compressed byte; 0 with endOfInput set once the entry's input is gone.
  uint8_t ReadByte();
  // Refills the input buffer from the host: the bytes fetched (0 at the end).
  int32_t FetchInput();

  void PutByte(uint8_t b) {
    state_.window[state_.windowFill++] = b;
    ++state_.outputCount;
    if (state_.windowFill >= kWindowSize) FlushWindow();
  }
  void PutDictByte(uint8_t b);
  void FlushWindow();
  // Writes `count` bytes of the window out (from its start) without touching
  // the fill; shared by FlushWindow and Inflate's write-out.
  void WriteWindow(int32_t count);
  void ResetDictionary();

  DecoderState& State() { return state_; }
  EntryHost& Host() { return host_; }

 private:
  DecoderState& state_;
  EntryHost& host_;
};

}  // namespace codec
