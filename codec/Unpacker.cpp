#include "codec/Unpacker.h"

#include <algorithm>
#include <cstring>

namespace codec {

DecoderState& TheDecoderState() {
  static DecoderState state;
  return state;
}

void Unpacker::BeginEntry(uint16_t method, uint16_t flags, int32_t packedSize, int32_t unpackedSize) {
  state_.method = method;
  state_.flags = flags;
  state_.unpackedSize = unpackedSize;
  state_.endOfInput = false;
  state_.inputPos = 0;
  state_.inputCount = 0;
  state_.outputCount = 0;
  state_.windowFill = 0;
  state_.firstRead = true;
  state_.runningCrc = 0xFFFFFFFFu;
  state_.inRemaining = packedSize;
  state_.outRemaining = unpackedSize;
}

int32_t Unpacker::FetchInput() {
  state_.inputCount = host_.ReadBlock(state_.input, std::min(state_.inRemaining, kInputBufferSize));
  state_.inputPos = 0;
  return state_.inputCount;
}

uint8_t Unpacker::ReadByte() {
  if (host_.Cancelled()) state_.inRemaining = 0;
  uint8_t result = 0;
  if (state_.inRemaining <= 0) {
    state_.inputCount = 0;
  } else {
    if (state_.inputPos >= state_.inputCount) FetchInput();
    if (state_.inputCount > 0) {
      result = state_.input[state_.inputPos++];
      --state_.inRemaining;
    }
  }
  state_.endOfInput = state_.inputCount == 0;
  return result;
}

void Unpacker::PutDictByte(uint8_t b) {
  PutByte(b);
  state_.dictionary[state_.dictionaryPos] = b;
  state_.dictionaryPos = static_cast<uint16_t>((state_.dictionaryPos + 1) % state_.dictionarySize);
}

void Unpacker::WriteWindow(int32_t count) {
  if (count <= 0) return;
  if (host_.WriteBlock(state_.window, count) == 0) host_.RaiseError(msgErrorWritingToFile);
  state_.outRemaining -= count;
  host_.BlockWritten(count);
}

void Unpacker::FlushWindow() {
  while (state_.windowFill >= kWindowSize) FlushFullWindow();
  if (state_.windowFill <= 0) return;
  WriteWindow(state_.windowFill);
  RetireWindow();
}

void Unpacker::FlushFullWindow() {
  WriteWindow(kWindowSize);
  RetireWindow();
}

void Unpacker::RetireWindow() {
  const int32_t count = state_.windowFill;
  if (count <= 0) return;
  uint8_t* const arenaEnd = state_.windowArena + kWindowArenaSize;
  if (count >= kWindowSize) {
    // A full window is the whole history: move on instead of copying. What
    // was decoded past its end is already where the next window starts.
    const int32_t beyond = count - kWindowSize;
    state_.window += kWindowSize;
    if (state_.window + kWindowSize + kWindowSlack > arenaEnd) {
      std::memcpy(state_.windowArena, state_.window - kWindowSize, static_cast<size_t>(kWindowSize + beyond));
      state_.window = state_.windowArena + kWindowSize;
    }
    state_.windowFill = beyond;
    return;
  }
  // A partial window (the end of an entry) overlays the oldest history at
  // the same offsets, so the next entry starts at offset 0 of a 32 KB ring
  // whatever was written before.
  std::memcpy(state_.window - kWindowSize, state_.window, static_cast<size_t>(count));
  state_.windowFill = 0;
}

void Unpacker::ResetDictionary() {
  state_.reduceState = 0;
  std::memset(state_.dictionary.data(), 0, std::min<size_t>(state_.dictionarySize, state_.dictionary.size()));
  state_.dictionaryPos = 0;
}

}  // namespace codec
