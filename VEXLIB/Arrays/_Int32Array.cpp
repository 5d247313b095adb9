#include "VEXLIB/Arrays/_Int32Array.h"

namespace vexlib {
template class TScalarArray<int32_t, 0xFFFFF>;
}
