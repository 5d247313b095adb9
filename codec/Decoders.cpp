#include "codec/Decoders.h"

namespace codec {

void DecodeCompressed(Unpacker& unpacker) {
  switch (unpacker.State().method) {
    case 1:
      Unshrink(unpacker);
      break;
    case 2:
    case 3:
    case 4:
    case 5:
      Unreduce(unpacker);
      break;
    case 6:
      Explode(unpacker);
      break;
    case 8:
      Inflate(unpacker);
      break;
    default:
      unpacker.Host().RaiseError(msgUnsupportedMethod);
  }
}

}  // namespace codec
