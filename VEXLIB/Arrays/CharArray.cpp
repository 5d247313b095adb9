#include "VEXLIB/Arrays/CharArray.h"

namespace vexlib {
template class TScalarArray<char, 0x3FFFF>;
}
