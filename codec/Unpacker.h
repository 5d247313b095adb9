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
  // Writes the pending bytes of the window out (with the running CRC and
  // progress) and starts a new window behind them.
  void FlushWindow();
  // Writes the first 32 KB of a window that holds at least that much; the
  // bytes past them begin the next window. Write-outs stay 32 KB each.
  void FlushFullWindow();
  // Writes `count` bytes of the window out (from its start) without touching
  // the fill.
  void WriteWindow(int32_t count);
  // Drops the pending bytes unwritten; they stay history, as written ones do.
  void DiscardWindow() {
    while (state_.windowFill > 0) RetireWindow();
  }
  void ResetDictionary();

  DecoderState& State() { return state_; }
  EntryHost& Host() { return host_; }

 private:
  // Makes the pending bytes history and sets the fill to 0.
  void RetireWindow();

  DecoderState& state_;
  EntryHost& host_;
};

}  // namespace codec
