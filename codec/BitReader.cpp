#include "codec/BitReader.h"

#include <algorithm>

#include "rtl/Assert.h"

namespace codec {

void BitReader::FetchByte() {
  const uint8_t b = unpacker_.ReadByte();
  state_.bitByte = state_.endOfInput ? -1 : b;
  state_.bitsLeft = 8;
}

int32_t BitReader::ReadBits(int n) {
  VEX_ASSERT("BitReader", n >= 1 && n <= kMaxBits);
  if (state_.firstRead) {
    state_.firstRead = false;
    FetchByte();
  }
  int32_t result = 0;
  int need = n;
  while (need > 0 && state_.bitByte >= 0) {
    const int take = std::min<int>(need, state_.bitsLeft);
    result |= (state_.bitByte & ((1 << take) - 1)) << (n - need);
    state_.bitByte >>= take;
    state_.bitsLeft = static_cast<uint8_t>(state_.bitsLeft - take);
    need -= take;
    if (state_.bitsLeft == 0) FetchByte();
  }
  return need > 0 ? -1 : result;
}

}  // namespace codec
