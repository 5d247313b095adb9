#include "RegFileFormat.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "Utf16Text.h"

namespace vexplat::detail {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

struct RootAlias {
  std::string_view alias;
  std::string_view root;
};
constexpr RootAlias kRootAliases[] = {
    {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"}, {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"}, {"HKCU", "HKEY_CURRENT_USER"},
    {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"}, {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKEY_USERS", "HKEY_USERS"},               {"HKU", "HKEY_USERS"},
};

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && FoldName(text.substr(0, prefix.size())) == FoldName(prefix);
}

// "HKLM\Software\X\" -> "HKEY_LOCAL_MACHINE\Software\X"; empty when the
// path has no known root or an empty component.
std::string CanonicalKeyPath(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  const size_t cut = path.find('\\');
  const std::string_view head = path.substr(0, cut);
  std::string result;
  for (const RootAlias& alias : kRootAliases) {
    if (FoldName(head) == alias.alias) result = alias.root;
  }
  if (result.empty()) return {};
  if (cut == std::string_view::npos) return result;
  const std::string_view rest = path.substr(cut + 1);
  if (rest.empty() || rest.find("\\\\") != std::string_view::npos || rest.back() == '\\') return {};
  return result + "\\" + std::string(rest);
}

// Reads a quoted string at the start of text (which begins with '"'); the
// escapes are \\ and \", any other backslash stays as it is.
std::optional<std::string> ReadQuoted(std::string_view& text) {
  std::string value;
  size_t i = 1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') break;
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) {
      value += text[++i];
    } else {
      value += c;
    }
  }
  if (i >= text.size()) return std::nullopt;
  text.remove_prefix(i + 1);
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> ReadHexBytes(std::string_view text) {
  std::string bytes;
  size_t i = 0;
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    const int high = HexDigit(text[i]);
    const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) break;
    if (text[i] != ',') return std::nullopt;
    ++i;
  }
  return bytes;
}

struct ParsedData {
  bool remove = false;
  RegistryValue value;
};

std::optional<ParsedData> ReadData(std::string_view text) {
  ParsedData parsed;
  text = Trim(text);
  if (text == "-") {
    parsed.remove = true;
    return parsed;
  }
  if (!text.empty() && text.front() == '"') {
    auto quoted = ReadQuoted(text);
    if (!quoted || !Trim(text).empty()) return std::nullopt;
    auto wide = Utf8ToUtf16Le(*quoted);
    if (!wide) return std::nullopt;
    parsed.value.type = REG_SZ;
    parsed.value.data = *wide + std::string(2, '\0');
    return parsed;
  }
  if (StartsWithNoCase(text, "dword:")) {
    const std::string_view digits = Trim(text.substr(6));
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t number = 0;
    for (char c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
    parsed.value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) parsed.value.data += static_cast<char>(number >> (8 * i));
    return parsed;
  }
  if (StartsWithNoCase(text, "hex")) {
    text.remove_prefix(3);
    uint32_t type = REG_BINARY;
    if (!text.empty() && text.front() == '(') {
      const size_t close = text.find(')');
      if (close == std::string_view::npos || close == 1 || close > 9) return std::nullopt;
      type = 0;
      for (char c : text.substr(1, close - 1)) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        type = type * 16 + static_cast<uint32_t>(digit);
      }
      text.remove_prefix(close + 1);
    }
    if (text.empty() || text.front() != ':') return std::nullopt;
    auto bytes = ReadHexBytes(text.substr(1));
    if (!bytes) return std::nullopt;
    parsed.value.type = type;
    parsed.value.data = std::move(*bytes);
    return parsed;
  }
  return std::nullopt;
}

// Splits the text into logical lines: a hex value continues on the next line
// when its line ends in a backslash.
std::vector<std::pair<int, std::string>> LogicalLines(std::string_view text) {
  std::vector<std::pair<int, std::string>> lines;
  int number = 0;
  bool continuing = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (continuing) {
      lines.back().second += std::string(line);
    } else {
      lines.emplace_back(number, std::string(line));
    }
    const std::string& current = lines.back().second;
    continuing = !current.empty() && current.back() == '\\' && current.front() != '[' &&
                 current.front() != ';' && current.find("=hex") != std::string::npos;
    if (continuing) lines.back().second.pop_back();
  }
  return lines;
}

std::optional<std::string> DecodeFileBytes(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return Utf16LeToUtf8(bytes.substr(2));
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

std::string Quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// The text of a REG_SZ when it can be written as "...": one terminating NUL,
// no other NUL, no line breaks.
std::optional<std::string> PlainText(const RegistryValue& value) {
  if (value.type != REG_SZ || value.data.size() < 2 || value.data.size() % 2 != 0) return std::nullopt;
  const std::string_view data(value.data);
  if (data.substr(data.size() - 2) != std::string_view("\0\0", 2)) return std::nullopt;
  auto text = Utf16LeToUtf8(data.substr(0, data.size() - 2));
  if (!text || text->find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) return std::nullopt;
  return text;
}

void AppendHex(std::string& out, std::string_view head, const std::string& data) {
  std::string line(head);
  for (size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(data[i]));
    line += byte;
    if (i + 1 < data.size()) {
      line += ',';
      if (line.size() > 76) {
        out += line + "\\\r\n";
        line = "  ";
      }
    }
  }
  out += line + "\r\n";
}

void AppendValue(std::string& out, const RegistryValue& value) {
  const std::string head = (value.name.empty() ? std::string("@") : Quote(value.name)) + "=";
  if (auto text = PlainText(value)) {
    out += head + Quote(*text) + "\r\n";
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 0; i < 4; ++i) number |= static_cast<uint32_t>(static_cast<unsigned char>(value.data[i])) << (8 * i);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", number);
    out += head + "dword:" + digits + "\r\n";
  } else if (value.type == REG_BINARY) {
    AppendHex(out, head + "hex:", value.data);
  } else {
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    AppendHex(out, head + type, value.data);
  }
}

}  // namespace

std::optional<RegistryTree> ParseRegFile(std::string_view bytes, std::string* problem) {
  const auto fail = [&](int line, const char* what) -> std::optional<RegistryTree> {
    if (problem != nullptr) *problem = "line " + std::to_string(line) + ": " + what;
    return std::nullopt;
  };
  const auto text = DecodeFileBytes(bytes);
  if (!text) return fail(1, "not UTF-16LE text");
  RegistryTree tree;
  bool headerSeen = false;
  RegistryKey* section = nullptr;
  bool skippingDeletedKey = false;
  for (const auto& [number, line] : LogicalLines(*text)) {
    if (line.empty() || line.front() == ';') continue;
    if (!headerSeen) {
      if (line != kHeader && line != kHeader4) return fail(number, "missing header line");
      headerSeen = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return fail(number, "unclosed key name");
      std::string_view name = std::string_view(line).substr(1, line.size() - 2);
      const bool remove = !name.empty() && name.front() == '-';
      if (remove) name.remove_prefix(1);
      const std::string path = CanonicalKeyPath(name);
      if (path.empty()) return fail(number, "bad key name");
      skippingDeletedKey = remove;
      section = nullptr;
      if (remove) {
        tree.RemoveTree(path);
      } else {
        section = &tree.Ensure(path);
      }
      continue;
    }
    if (skippingDeletedKey) continue;
    if (section == nullptr) return fail(number, "value outside a key");
    std::string_view rest(line);
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (rest.front() == '"') {
      auto quoted = ReadQuoted(rest);
      if (!quoted) return fail(number, "unclosed value name");
      name = std::move(*quoted);
    } else {
      return fail(number, "expected a value name");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return fail(number, "expected '='");
    auto data = ReadData(rest.substr(1));
    if (!data) return fail(number, "bad value data");
    if (data->remove) {
      section->DeleteValue(name);
    } else {
      data->value.name = std::move(name);
      section->SetValue(std::move(data->value));
    }
  }
  return tree;
}

std::string FormatRegFile(const RegistryTree& tree) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const RegistryKey* key : tree.AllKeys()) {
    if (IsRootName(key->path) && key->values.empty()) continue;
    out += "\r\n[" + key->path + "]\r\n";
    for (const RegistryValue& value : key->values) AppendValue(out, value);
  }
  return out;
}

}  // namespace vexplat::detail
