#include "Branding.h"

#include <windows.h>

#include <algorithm>

namespace vexpack {
namespace {

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
std::optional<std::u16string> Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned lead = byte(i);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return std::nullopt;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return std::nullopt;
      value = value << 6 | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    if (value >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(value);
    }
    i += length;
  }
  return out;
}

// UTF-8, as typed on Linux. Windows hands programs their command line in the
// ANSI code page: text that is not UTF-8 but valid there is taken from it.
std::optional<std::u16string> CommandLineText(const std::string& text) {
  if (std::optional<std::u16string> utf8 = Utf8ToUtf16(text)) return utf8;
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wideLength <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), wideLength);
  const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(std::max(utf8Length, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
  return Utf8ToUtf16(utf8);
}

TOptionMatch Bad(std::string& problem, std::string text) {
  problem = std::move(text);
  return TOptionMatch::Bad;
}

}  // namespace

const char kBrandingUsage[] =
    "  --icon FILE.ico              the Windows installer's icon\n"
    "  --file-version A.B.C.D       its file version\n"
    "  --product-version A.B.C.D    its product version\n"
    "  --version-string NAME=VALUE  a version string (ProductName, CompanyName,\n"
    "                               FileDescription, LegalCopyright, ...; UTF-8)\n";

TOptionMatch ParseBrandingOption(int argc, char** argv, int& i, TBranding& branding, std::string& problem) {
  const std::string flag = argv[i];
  if (flag != "--icon" && flag != "--file-version" && flag != "--product-version" && flag != "--version-string") {
    return TOptionMatch::NotMine;
  }
  if (i + 1 >= argc) return Bad(problem, flag + " needs a value");
  const std::string value = argv[++i];
  if (flag == "--icon") {
    branding.IconFile = value;
  } else if (flag == "--version-string") {
    const size_t equals = value.find('=');
    const std::optional<std::u16string> name = CommandLineText(value.substr(0, std::min(equals, value.size())));
    const std::optional<std::u16string> text = CommandLineText(equals == std::string::npos ? "" : value.substr(equals + 1));
    if (equals == std::string::npos || equals == 0) return Bad(problem, "--version-string needs NAME=VALUE, not " + value);
    if (!name || !text) return Bad(problem, "--version-string " + value + " is not text in UTF-8 or the ANSI code page");
    branding.Strings.emplace_back(*name, *text);
  } else {
    const std::optional<TFourPartVersion> version = ParseFourPartVersion(value);
    if (!version) return Bad(problem, flag + " needs A.B.C.D with numbers up to 65535, not " + value);
    (flag == "--file-version" ? branding.FileVersion : branding.ProductVersion) = version;
  }
  return TOptionMatch::Taken;
}

}  // namespace vexpack
