// Checks an entry must pass before anything is written for it: a method
// and format this engine decodes, a name without NUL, and compressed data
// that no other entry of the run also claims (one block behind many
// directory records is the classic way to blow a small archive up).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "archive/orxMain.h"

namespace unzip {

// Why an entry is refused: a message id (0: not refused) and what it is about.
struct TRefusal {
  int32_t id = 0;
  std::string detail;
};

// Method, Zip64 size or offset markers and the stored name, in that order.
TRefusal RefusalOf(const TEntryInfo& entry, const TLocalHeader& local, const std::string& storedName);

// The archive bytes the entries of one pass have claimed: each entry its
// local header, name, extra field and compressed data.
class TClaimedSpans {
 public:
  void Clear() {
    ascending_.clear();
    others_.clear();
  }
  // Claims [start, end) unless it overlaps a span claimed before; false then.
  bool Claim(int64_t start, int64_t end);

 private:
  // Entries usually come in the order of their data: such spans are only
  // appended. The rest go to the map. Neither holds overlapping spans.
  std::vector<std::pair<int64_t, int64_t>> ascending_;  // (start, end), sorted
  std::map<int64_t, int64_t> others_;                  // start -> end
};

// Name of an archive kind, for messages that refuse it.
std::string ArcTypeName(TArcType type);

// The kinds whose entries this engine extracts: ZIP in all its forms.
bool IsZipKind(TArcType type);

}  // namespace unzip
