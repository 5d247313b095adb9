#include "codec/InflateInput.h"

#include <algorithm>
#include <cstring>

namespace codec {

InflateInput::InflateInput(Unpacker& unpacker)
    : unpacker_(unpacker), state_(unpacker.State()), host_(unpacker.Host()) {
  cursor_.next = cursor_.end = cursor_.start = state_.input;
}

uint8_t InflateInput::NextByteOrPadding() {
  if (cursor_.next < cursor_.end || Fetch()) return *cursor_.next++;
  paddingBits_ += 8;
  return 0;
}

bool InflateInput::Fetch() {
  if (exhausted_) return false;
  bool changedVolume = false;
  for (;;) {
    if (host_.Cancelled()) state_.inRemaining = 0;
    const int32_t got = state_.inRemaining > 0 ? unpacker_.FetchInput() : 0;
    if (got > 0) {
      cursor_.next = state_.input;
      cursor_.end = state_.input + got;
      std::memset(state_.input + got, 0, kInputSlack);
      state_.inRemaining -= got;
      return true;
    }
    if (changedVolume) {
      // The next volume gave nothing: the entry cannot go on.
      host_.SetCancelled(true);
      break;
    }
    if (state_.inRemaining <= 0 || !host_.ContinueOnNextVolume()) break;
    changedVolume = true;
  }
  exhausted_ = true;
  cursor_.next = cursor_.end = state_.input;
  return false;
}

size_t InflateInput::CopyBytes(uint8_t* destination, size_t max) {
  size_t copied = 0;
  while (copied < max && cursor_.count >= 8) {
    if (WouldEnd(8)) return copied;
    destination[copied++] = static_cast<uint8_t>(cursor_.bits);
    Drop(8);
  }
  if (copied == max) return copied;
  // The bit buffer is empty; what it held beyond its count is read again
  // from the input buffer.
  cursor_.bits = 0;
  if (cursor_.next == cursor_.end && !Fetch()) return copied;
  const size_t n = std::min(max - copied, BytesBuffered());
  std::memcpy(destination + copied, cursor_.next, n);
  cursor_.next += n;
  return copied + n;
}

void InflateInput::Stop() {
  state_.inRemaining = 0;
  exhausted_ = true;
  cursor_.next = cursor_.end = state_.input;
  cursor_.bits = 0;
  paddingBits_ = cursor_.count;
}

}  // namespace codec
