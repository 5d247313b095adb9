// Growable array of 8-bit characters (a dataset's field type letters).
#pragma once

#include "VEXLIB/Arrays/ScalarArray.h"

namespace vexlib {

extern template class TScalarArray<char, 0x3FFFF>;

class TCharArrayClass : public TScalarArray<char, 0x3FFFF> {
 public:
  TCharArrayClass() : TScalarArray("CharArray") {}
};

}  // namespace vexlib
