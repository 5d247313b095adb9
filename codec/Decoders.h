// The method decoders. Each decodes the current entry of the unpacker's state
// and reports faults through the host's RaiseError.
#pragma once

#include "codec/Unpacker.h"

namespace codec {

void Inflate(Unpacker& unpacker);   // method 8
void Unshrink(Unpacker& unpacker);  // method 1
void Unreduce(Unpacker& unpacker);  // methods 2 to 5
void Explode(Unpacker& unpacker);   // method 6

// Dispatches a compressed method (every method but 0) to its decoder;
// methods 7, 9 and above raise "Unsupported compression method".
void DecodeCompressed(Unpacker& unpacker);

}  // namespace codec
