// Windows wildcard matching of file names (GBK, case-insensitive), with
// the DOS rules FindFirstFile applies: "*.*" is everything, "?" before a dot
// or at the end may match nothing, "*." matches names without a dot and
// "name.*" also matches "name". POSIX-only, internal to platform/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexplat::detail {

class WildcardPattern {
 public:
  explicit WildcardPattern(std::string_view pattern);

  bool Matches(std::string_view name) const;

 private:
  enum class Kind { kLiteral, kStar, kDosStar, kDosQuestion, kDosDot };
  struct Token {
    Kind kind;
    std::string text;  // one GBK character for literals
  };

  std::vector<Token> tokens_;
};

}  // namespace vexplat::detail
