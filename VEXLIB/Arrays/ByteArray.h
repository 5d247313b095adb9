// Growable array of unsigned bytes (a table's decimal counts). Its limit
// matches the character array's: both hold one byte per field at most.
#pragma once

#include "VEXLIB/Arrays/ScalarArray.h"

namespace vexlib {

extern template class TScalarArray<uint8_t, 0x3FFFF>;

class TByteArrayClass : public TScalarArray<uint8_t, 0x3FFFF> {
 public:
  TByteArrayClass() : TScalarArray("ByteArray") {}
  void Clear() { Resize(0); }
};

}  // namespace vexlib
