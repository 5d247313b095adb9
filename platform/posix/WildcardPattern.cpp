#include "WildcardPattern.h"

#include "AnsiCase.h"
#include "Recode.h"

namespace vexplat::detail {
namespace {

std::vector<std::string> GbkCharacters(std::string_view text) {
  std::vector<std::string> characters;
  for (size_t i = 0; i < text.size();) {
    const size_t length = IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    characters.emplace_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

}  // namespace

WildcardPattern::WildcardPattern(std::string_view pattern) {
  if (pattern == "*.*") {
    tokens_.push_back({Kind::kStar, {}});
    return;
  }
  const std::vector<std::string> characters = GbkCharacters(pattern);
  for (size_t i = 0; i < characters.size(); ++i) {
    const std::string& c = characters[i];
    const std::string next = i + 1 < characters.size() ? characters[i + 1] : std::string();
    if (c == "?") {
      tokens_.push_back({Kind::kDosQuestion, {}});
    } else if (c == "*") {
      tokens_.push_back({next == "." ? Kind::kDosStar : Kind::kStar, {}});
    } else if (c == "." && (next.empty() || next == "*" || next == "?")) {
      tokens_.push_back({Kind::kDosDot, {}});
    } else {
      tokens_.push_back({Kind::kLiteral, c});
    }
  }
}

bool WildcardPattern::Matches(std::string_view name) const {
  const std::vector<std::string> characters = GbkCharacters(name);
  const size_t nameLength = characters.size();
  size_t lastDot = nameLength;  // where a DOS star must stop
  for (size_t i = 0; i < nameLength; ++i) {
    if (characters[i] == ".") lastDot = i;
  }
  // matched[t][n]: tokens from t match the name from character n.
  std::vector<std::vector<bool>> matched(tokens_.size() + 1, std::vector<bool>(nameLength + 1, false));
  matched[tokens_.size()][nameLength] = true;
  for (size_t t = tokens_.size(); t-- > 0;) {
    const Token& token = tokens_[t];
    for (size_t n = nameLength + 1; n-- > 0;) {
      const bool atEnd = n == nameLength;
      bool result = false;
      switch (token.kind) {
        case Kind::kLiteral:
          result = !atEnd && SameAnsiName(characters[n], token.text) && matched[t + 1][n + 1];
          break;
        case Kind::kStar:
          result = matched[t + 1][n] || (!atEnd && matched[t][n + 1]);
          break;
        case Kind::kDosStar:
          // Any characters, but not beyond the name's last dot.
          result = matched[t + 1][n] || (!atEnd && n < lastDot && matched[t][n + 1]);
          break;
        case Kind::kDosQuestion:
          // One character other than a dot; nothing at a dot or the end.
          result = (atEnd || characters[n] == ".") ? matched[t + 1][n] : matched[t + 1][n + 1];
          break;
        case Kind::kDosDot:
          result = atEnd ? matched[t + 1][n] : (characters[n] == "." && matched[t + 1][n + 1]);
          break;
      }
      matched[t][n] = result;
    }
  }
  return matched[0][0];
}

}  // namespace vexplat::detail
