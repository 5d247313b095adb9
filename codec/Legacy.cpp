#include "codec/Decoders.h"

namespace codec {

// Not yet built: end the entry as an unsupported method.
void Unshrink(Unpacker& unpacker) { unpacker.Host().RaiseError(msgUnsupportedMethod); }
void Unreduce(Unpacker& unpacker) { unpacker.Host().RaiseError(msgUnsupportedMethod); }
void Explode(Unpacker& unpacker) { unpacker.Host().RaiseError(msgUnsupportedMethod); }

}  // namespace codec
