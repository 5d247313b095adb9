// Case folding of ANSI (GBK) names: only the letters A-Z have case, and the
// trail byte of a double-byte character is never taken for a letter.
// POSIX-only, internal to platform/.
#pragma once

#include <string>
#include <string_view>

#include "Recode.h"

namespace vexplat::detail {

inline std::string UpperAnsi(std::string_view text) {
  std::string upper(text);
  for (size_t i = 0; i < upper.size(); ++i) {
    const auto byte = static_cast<unsigned char>(upper[i]);
    if (IsGbkLeadByte(byte)) {
      ++i;
    } else if (byte >= 'a' && byte <= 'z') {
      upper[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return upper;
}

inline bool SameAnsiName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperAnsi(a) == UpperAnsi(b);
}

}  // namespace vexplat::detail
