// Growable array of signed 32-bit integers (a dataset's field offsets).
#pragma once

#include "VEXLIB/Arrays/ScalarArray.h"

namespace vexlib {

extern template class TScalarArray<int32_t, 0xFFFFF>;

class T_Int32ArrayClass : public TScalarArray<int32_t, 0xFFFFF> {
 public:
  T_Int32ArrayClass() : TScalarArray("_Int32Array") {}
};

}  // namespace vexlib
