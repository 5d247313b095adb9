#include "VersionInfo.h"

#include <algorithm>

#include "LittleEndian.h"

namespace vexpack {
namespace {

using TNode = TVersionInfo::TNode;

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr size_t kFixedSize = 52;
constexpr size_t kFileVersionAt = 8;
constexpr size_t kProductVersionAt = 16;
constexpr int kMostLevels = 8;
const std::u16string kRootKey = u"VS_VERSION_INFO";
const std::u16string kStringFileInfo = u"StringFileInfo";
const std::u16string kVarFileInfo = u"VarFileInfo";

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// One block at `at`, inside [at, limit); offsets count from the start of the
// resource, which is where the 32-bit alignment of the blocks counts from.
bool ParseNode(const std::vector<uint8_t>& bytes, size_t at, size_t limit, int level, TNode& node, size_t& end) {
  if (level > kMostLevels || at + 6 > limit) return false;
  const size_t length = Get16(bytes, at), valueLength = Get16(bytes, at + 2), type = Get16(bytes, at + 4);
  if (length < 6 || at + length > limit || type > 1) return false;
  end = at + length;
  size_t pos = at + 6;
  for (;; pos += 2) {
    if (pos + 2 > end) return false;
    const char16_t c = static_cast<char16_t>(Get16(bytes, pos));
    if (c == 0) break;
    node.Key += c;
  }
  pos = Align4(pos + 2);
  node.IsText = type == 1;
  // Some writers count a text value in bytes, not characters: it then ends
  // at the block's end.
  const size_t valueBytes = std::min(node.IsText ? 2 * valueLength : valueLength, end > pos ? end - pos : 0);
  if (!node.IsText && valueBytes != valueLength) return false;
  node.Value.assign(bytes.begin() + std::min(pos, end), bytes.begin() + std::min(pos, end) + valueBytes);
  for (pos = Align4(pos + valueBytes); pos + 6 <= end; pos = Align4(pos)) {
    TNode child;
    if (!ParseNode(bytes, pos, end, level + 1, child, pos)) return false;
    node.Children.push_back(std::move(child));
  }
  return true;
}

void BuildNode(const TNode& node, std::vector<uint8_t>& out) {
  PadTo(out, 4);
  const size_t start = out.size();
  Append16(out, 0);
  Append16(out, static_cast<uint32_t>(node.IsText ? node.Value.size() / 2 : node.Value.size()));
  Append16(out, node.IsText ? 1 : 0);
  AppendText(out, node.Key);
  Append16(out, 0);
  PadTo(out, 4);
  out.insert(out.end(), node.Value.begin(), node.Value.end());
  for (const TNode& child : node.Children) BuildNode(child, out);
  Put16(out, start, static_cast<uint32_t>(out.size() - start));
}

std::vector<uint8_t> TextValue(const std::u16string& text) {
  std::vector<uint8_t> value;
  AppendText(value, text);
  Append16(value, 0);
  return value;
}

std::vector<uint8_t> EmptyFixedInfo() {
  std::vector<uint8_t> fixed(kFixedSize, 0);
  Put32(fixed, 0, kFixedSignature);
  Put32(fixed, 4, 0x00010000);  // structure version 1.0
  Put32(fixed, 24, 0x3F);       // every defined flag is meaningful
  Put32(fixed, 32, 0x40004);    // VOS_NT_WINDOWS32
  Put32(fixed, 36, 1);          // VFT_APP
  return fixed;
}

TNode* ChildWithKey(TNode& node, const std::u16string& key) {
  const auto found = std::find_if(node.Children.begin(), node.Children.end(),
                                  [&](const TNode& child) { return child.Key == key; });
  return found == node.Children.end() ? nullptr : &*found;
}

std::u16string VersionText(const TFourPartVersion& version) {
  std::u16string text;
  for (size_t i = 0; i < version.size(); ++i) {
    if (i != 0) text += u'.';
    for (char digit : std::to_string(version[i])) text += static_cast<char16_t>(digit);
  }
  return text;
}

}  // namespace

std::optional<TFourPartVersion> ParseFourPartVersion(const std::string& text) {
  TFourPartVersion version{};
  size_t part = 0, digits = 0;
  uint32_t value = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || part == version.size()) return std::nullopt;
      version[part++] = static_cast<uint16_t>(value);
      value = 0;
      digits = 0;
      continue;
    }
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    if (++digits > 5 || value > 0xFFFF) return std::nullopt;
  }
  if (part != version.size()) return std::nullopt;
  return version;
}

std::optional<TVersionInfo> TVersionInfo::Parse(const std::vector<uint8_t>& bytes) {
  TNode root;
  size_t end = 0;
  if (!ParseNode(bytes, 0, bytes.size(), 0, root, end) || root.Key != kRootKey) return std::nullopt;
  return TVersionInfo(std::move(root));
}

TVersionInfo TVersionInfo::Empty() {
  TNode root{kRootKey, false, EmptyFixedInfo(), {}};
  return TVersionInfo(std::move(root));
}

void TVersionInfo::SetFixedVersion(size_t offset, const TFourPartVersion& version) {
  if (root_.Value.size() != kFixedSize || Get32(root_.Value, 0) != kFixedSignature) root_.Value = EmptyFixedInfo();
  Put32(root_.Value, offset, static_cast<uint32_t>(version[0]) << 16 | version[1]);
  Put32(root_.Value, offset + 4, static_cast<uint32_t>(version[2]) << 16 | version[3]);
}

void TVersionInfo::SetFileVersion(const TFourPartVersion& version) {
  SetFixedVersion(kFileVersionAt, version);
  SetString(u"FileVersion", VersionText(version));
}

void TVersionInfo::SetProductVersion(const TFourPartVersion& version) {
  SetFixedVersion(kProductVersionAt, version);
  SetString(u"ProductVersion", VersionText(version));
}

// The string tables, made when there are none: US English, Unicode, and the
// translation entry that names it.
std::vector<TNode*> TVersionInfo::StringTables() {
  TNode* strings = ChildWithKey(root_, kStringFileInfo);
  if (strings == nullptr) {
    root_.Children.insert(root_.Children.begin(), TNode{kStringFileInfo, true, {}, {}});
    strings = &root_.Children.front();
  }
  if (strings->Children.empty()) {
    strings->Children.push_back(TNode{u"040904B0", true, {}, {}});
    if (ChildWithKey(root_, kVarFileInfo) == nullptr) {
      std::vector<uint8_t> translation;
      Append16(translation, 0x0409);
      Append16(translation, 1200);
      root_.Children.push_back(TNode{kVarFileInfo, true, {}, {TNode{u"Translation", false, translation, {}}}});
      strings = ChildWithKey(root_, kStringFileInfo);
    }
  }
  std::vector<TNode*> tables;
  for (TNode& table : strings->Children) tables.push_back(&table);
  return tables;
}

void TVersionInfo::SetString(const std::u16string& name, const std::u16string& value) {
  for (TNode* table : StringTables()) {
    if (TNode* found = ChildWithKey(*table, name)) {
      found->IsText = true;
      found->Value = TextValue(value);
    } else {
      table->Children.push_back(TNode{name, true, TextValue(value), {}});
    }
  }
}

std::vector<uint8_t> TVersionInfo::Build() const {
  std::vector<uint8_t> out;
  BuildNode(root_, out);
  return out;
}

}  // namespace vexpack
