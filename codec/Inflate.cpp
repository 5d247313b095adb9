#include "codec/Decoders.h"

namespace codec {

// Not yet built: ends the entry as an unsupported method.
void Inflate(Unpacker& unpacker) { unpacker.Host().RaiseError(msgUnsupportedMethod); }

}  // namespace codec
