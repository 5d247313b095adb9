#include "VEXLIB/Arrays/ByteArray.h"

namespace vexlib {
template class TScalarArray<uint8_t, 0x3FFFF>;
}
