#include "archive/EntryChecks.h"

#include <algorithm>
#include <iterator>

#include "archive/MessageTable.h"

namespace unzip {

namespace {

constexpr uint32_t kZip64Marker = 0xFFFFFFFFu;

bool DecodableMethod(uint32_t method) { return method <= 6 || method == 8; }

std::string MethodText(uint32_t method) {
  switch (method) {
    case 7: return "method 7 (tokenizing)";
    case 9: return "method 9 (Deflate64)";
    case 12: return "method 12 (BZIP2)";
    case 14: return "method 14 (LZMA)";
    case 93: return "method 93 (Zstandard)";
    case 95: return "method 95 (XZ)";
    case 98: return "method 98 (PPMd)";
    case 99: return "method 99 (AES encryption)";
    default: return "method " + std::to_string(method);
  }
}

// Whether [start, stop) overlaps a span of a sorted, non-overlapping list;
// `next` is the first span starting at or after `start`.
template <typename Iterator>
bool OverlapsAround(Iterator begin, Iterator next, Iterator end, int64_t start, int64_t stop) {
  if (next != end && next->first < stop) return true;
  return next != begin && std::prev(next)->second > start;
}

}  // namespace

TRefusal RefusalOf(const TEntryInfo& entry, const TLocalHeader& local, const std::string& storedName) {
  if (!DecodableMethod(entry.Method)) return {E_UNSUPPORTEDMETHOD, MethodText(entry.Method)};
  if (entry.PackedSize == kZip64Marker || entry.UnpackedSize == kZip64Marker ||
      static_cast<uint32_t>(entry.LocalHeaderOffset) == kZip64Marker || local.PackedSize == kZip64Marker ||
      local.UnpackedSize == kZip64Marker)
    return {E_UNSUPPORTEDVERSION, "Zip64"};
  if (storedName.find('\0') != std::string::npos) return {E_INVALIDFN, "NUL in the name"};
  return {};
}

bool TClaimedSpans::Claim(int64_t start, int64_t end) {
  if (end <= start) end = start + 1;
  if (others_.empty() && (ascending_.empty() || ascending_.back().second <= start)) {
    ascending_.emplace_back(start, end);
    return true;
  }
  const auto next = std::lower_bound(ascending_.begin(), ascending_.end(), start,
                                     [](const std::pair<int64_t, int64_t>& span, int64_t at) { return span.first < at; });
  if (OverlapsAround(ascending_.begin(), next, ascending_.end(), start, end)) return false;
  if (OverlapsAround(others_.begin(), others_.lower_bound(start), others_.end(), start, end)) return false;
  others_.emplace(start, end);
  return true;
}

std::string ArcTypeName(TArcType type) {
  switch (type) {
    case atACE: return "ACE";
    case atArc: case atArcExe: return "ARC";
    case atArj: case atArjExe: return "ARJ";
    case atBh: case atBhExe: return "BlakHole";
    case atCab: return "cabinet";
    case atGZip: return "gzip";
    case atHa: return "HA";
    case atLha: case atLhaExe: case atLzh: case atLzhExe: return "LHA";
    case atMsGZ: return "MS compress";
    case atPak: case atPakExe: return "PAK";
    case atRar: case atRarExe: return "RAR";
    case atTar: return "tar";
    case atUue: return "uuencoded";
    case atZoo: return "ZOO";
    case atJar: case atZip: case atZipExe: case atZipMV: return "ZIP";
    default: return "unknown";
  }
}

bool IsZipKind(TArcType type) { return type == atJar || type == atZip || type == atZipExe || type == atZipMV; }

}  // namespace unzip
