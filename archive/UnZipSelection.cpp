#include "archive/UnZipSelection.h"

#include <algorithm>

#include "rtl/WinPath.h"

namespace unzip {

namespace {

// Patterns with many stars on both sides make the comparison explode; a
// comparison that needs more steps than any sane pattern does is no match,
// so that a hostile entry name cannot stall the walk.
constexpr long kMaxMatchSteps = 1L << 20;

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "x." means "x without extension"; "x" against "*.*" means "x.*".
void AdjustExtension(std::string& side, const std::string& other) {
  if (!side.empty() && side.back() == '.') {
    side.pop_back();
  } else if (side.find('.') == std::string::npos && other.find(".*") != std::string::npos) {
    side += ".*";
  }
}

class WildcardMatcher {
 public:
  explicit WildcardMatcher(bool stripPaths) : stripPaths_(stripPaths) {}

  bool Match(std::string_view aIn, std::string_view bIn) {
    std::string a(aIn), b(bIn);
    if (stripPaths_) {
      a = rtl::ExtractFileName(a);
      b = rtl::ExtractFileName(b);
    }
    AdjustExtension(a, b);
    AdjustExtension(b, a);
    budget_ -= static_cast<long>(a.size() + b.size());  // the copies above cost too

    bool result = true;
    if (a.empty()) {
      if (b.empty()) return true;
      result = b.front() == '*';
    } else if (b.empty()) {
      result = a.front() == '*';
    }

    size_t i = 0, j = 0;
    while (result && i < a.size() && j < b.size()) {
      if (--budget_ < 0) return false;
      if (a[i] == '?' || b[j] == '?') {
        ++i;
        ++j;
      } else if (a[i] == '*') {
        result = MatchStar(a, i, b, j);
      } else if (b[j] == '*') {
        result = MatchStar(b, j, a, i);  // the same with the roles exchanged
      } else if (AsciiUpper(a[i]) == AsciiUpper(b[j])) {
        ++i;
        ++j;
      } else {
        result = false;
      }
    }

    if (i >= a.size()) {
      while (j < b.size() && b[j] == '*') ++j;
      if (j < b.size()) result = false;
    }
    if (j >= b.size()) {
      while (i < a.size() && a[i] == '*') ++i;
      if (i < a.size()) result = false;
    }
    return result && budget_ >= 0;
  }

 private:
  // `star` holds "*" at s; tries the rest of it against every tail of
  // `other` from o. On success both positions move past their ends.
  bool MatchStar(const std::string& star, size_t& s, const std::string& other, size_t& o) {
    ++s;
    if (s >= star.size()) {
      o = other.size();
      return true;
    }
    const std::string_view rest = std::string_view(star).substr(s);
    for (size_t k = o; k < other.size(); ++k) {
      const std::string_view tail = std::string_view(other).substr(k);
      const bool matched = Match(rest, tail);
      if (budget_ < 0) return false;
      if (matched) {
        s = star.size();
        o = other.size();
        return true;
      }
    }
    return false;
  }

  bool stripPaths_;
  long budget_ = kMaxMatchSteps;
};

}  // namespace

bool WildcardMatch(std::string_view a, std::string_view b, bool stripPaths) {
  return WildcardMatcher(stripPaths).Match(a, b);
}

bool MatchesFileSpec(const std::vector<std::string>& fileSpec, std::string_view name, bool stripPaths) {
  return std::any_of(fileSpec.begin(), fileSpec.end(), [&](const std::string& line) {
    return line == "*.*" || WildcardMatch(line, name, stripPaths);
  });
}

bool SelectsAll(const std::vector<std::string>& fileSpec) {
  return fileSpec.size() > 1 || (fileSpec.size() == 1 && fileSpec.front().find('*') != std::string::npos);
}

std::vector<std::string> NormalizeFileSpec(const std::vector<std::string>& lines) {
  std::vector<std::string> result;
  for (std::string line : lines) {
    if (line.empty()) continue;
    std::replace(line.begin(), line.end(), '/', '\\');
    result.push_back(rtl::ExtractFileName(line));
  }
  return result;
}

}  // namespace unzip
