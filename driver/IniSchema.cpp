#include "driver/IniSchema.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "driver/ProfileFile.h"
#include "rtl/Gbk.h"

namespace driver {

const TIniSchema& IdentitySchema() {
  static const TIniSchema schema = {
      {"HKEYINFO", {"sAppInstallKey", "sAppOtherInstallKey", "sAppOtherExecutable", "sAppTitle", "sAppExecutable"}, {}},
      {"Extract", {"UpdExe"}, {}},
  };
  return schema;
}

const TIniSchema& ManifestSchema() {
  static const TIniSchema schema = {
      {"Zip", {}, {{"DeleteCount", {"DeleteItem", "DeleteTaskFlag"}}, {"Count", {"Source", "TaskFlag"}}}},
      {"File", {}, {{"Count", {"Source", "Dest", "TaskFlag"}}}},
      {"ICON", {}, {{"Count", {"ICONEXE", "ICONNAME", "ICONGROUP"}}}},
  };
  return schema;
}

namespace {

// Profile names match without regard to (ASCII) case.
std::string Upper(std::string Text) {
  for (char& c : Text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return Text;
}

bool SameName(const std::string& A, const std::string& B) { return Upper(A) == Upper(B); }

size_t EditDistance(const std::string& A, const std::string& B) {
  std::vector<size_t> row(B.size() + 1);
  for (size_t j = 0; j <= B.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= A.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= B.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (A[i - 1] == B[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[B.size()];
}

// A numbered key as the installer builds it: the stem, then the index in
// decimal without leading zeros.
std::optional<int64_t> IndexAfterStem(const std::string& Key, const std::string& Stem) {
  if (Key.size() <= Stem.size() || !SameName(Key.substr(0, Stem.size()), Stem)) return std::nullopt;
  const std::string digits = Key.substr(Stem.size());
  if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
  return std::stoll(digits);
}

// Where a key of a known section stands.
struct TKeyPlace {
  const TNumberedKeys* Group = nullptr;  // null for a key read once
  int64_t Index = -1;
};

std::optional<TKeyPlace> PlaceOf(const std::string& Key, const TSectionSchema& Section) {
  for (const std::string& known : Section.Keys) {
    if (SameName(Key, known)) return TKeyPlace{};
  }
  for (const TNumberedKeys& group : Section.Numbered) {
    if (SameName(Key, group.CountKey)) return TKeyPlace{};
  }
  for (const TNumberedKeys& group : Section.Numbered) {
    for (const std::string& stem : group.Stems) {
      if (const auto index = IndexAfterStem(Key, stem)) return TKeyPlace{&group, *index};
    }
  }
  return std::nullopt;
}

// The names a misspelt key may have meant; a numbered key keeps its number.
std::vector<std::string> KnownNamesLike(const std::string& Key, const TSectionSchema& Section) {
  std::vector<std::string> names = Section.Keys;
  size_t digitsAt = Key.size();
  while (digitsAt > 0 && std::isdigit(static_cast<unsigned char>(Key[digitsAt - 1]))) --digitsAt;
  const std::string number = Key.substr(digitsAt);
  for (const TNumberedKeys& group : Section.Numbered) {
    names.push_back(group.CountKey);
    for (const std::string& stem : group.Stems) names.push_back(stem + (number.empty() ? "0" : number));
  }
  return names;
}

std::string UnreadText(const std::string& What, const std::string& Nearest) {
  return What + " is never read by the installer" + (Nearest.empty() ? "" : "; did you mean " + Nearest + "?");
}

class TIniFileCheck {
 public:
  TIniFileCheck(const std::string& Path, const std::string& Name, TFindings& Findings)
      : ini_(Path), name_(Name), findings_(Findings) {}

  void CheckSection(const std::string& Section, const TSectionSchema& Schema) {
    std::set<std::pair<const TNumberedKeys*, int64_t>> present;
    for (const std::string& key : ini_.KeyNames(Section)) {
      const std::optional<TKeyPlace> place = PlaceOf(key, Schema);
      if (!place) {
        findings_.Warning(name_, Section, key, UnreadText("this key", NearestName(key, KnownNamesLike(key, Schema))));
      } else if (place->Group != nullptr) {
        present.insert({place->Group, place->Index});
        const int32_t count = ini_.ReadInteger(Section, place->Group->CountKey, 0);
        if (place->Index >= count) {
          findings_.Warning(name_, Section, key,
                            "entry " + std::to_string(place->Index) + " lies beyond " + place->Group->CountKey + "=" +
                                std::to_string(count) + " and is never read");
        }
      }
    }
    for (const TNumberedKeys& group : Schema.Numbered) CheckCount(Section, group, present);
  }

 private:
  // Entries the count promises but no key of which is present.
  void CheckCount(const std::string& Section, const TNumberedKeys& Group,
                  const std::set<std::pair<const TNumberedKeys*, int64_t>>& Present) {
    const int64_t count = ini_.ReadInteger(Section, Group.CountKey, 0);
    int64_t present = 0, first = 0;
    for (const auto& [group, index] : Present) {
      if (group != &Group || index >= count) continue;
      ++present;
      // The set is ordered, so the first gap shows while walking it.
      if (index == first) ++first;
    }
    const int64_t absent = std::max<int64_t>(count, 0) - present;
    if (absent == 0) return;
    findings_.Warning(name_, Section, Group.CountKey,
                      Group.CountKey + "=" + std::to_string(count) + " but " + std::to_string(absent) +
                          (absent == 1 ? " entry has" : " entries have") + " no keys (the first is entry " +
                          std::to_string(first) + ")");
  }

  TProfileFile ini_;
  std::string name_;
  TFindings& findings_;
};

std::string ReadFileBytes(const std::string& Path) {
  std::string bytes;
  HANDLE file = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// The installer reads the file in code page 936; a line it would misread is
// named by its number.
void CheckCodePage(const std::string& Path, const std::string& Name, TFindings& Findings) {
  const std::string bytes = ReadFileBytes(Path);
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
    Findings.Warning(Name, "", "", "starts with a UTF-8 byte-order mark; save it in code page 936 without one");
    return;
  }
  size_t lineStart = 0;
  for (int line = 1; lineStart < bytes.size(); ++line) {
    size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = bytes.size();
    if (!rtl::IsGbkText(std::string_view(bytes).substr(lineStart, lineEnd - lineStart))) {
      Findings.Warning(Name, "", "", "line " + std::to_string(line) + " is not valid code page 936 text");
    }
    lineStart = lineEnd + 1;
  }
}

}  // namespace

std::string NearestName(const std::string& Name, const std::vector<std::string>& Known) {
  std::string nearest;
  size_t best = std::max<size_t>(2, Name.size() / 3) + 1;
  for (const std::string& known : Known) {
    const size_t distance = EditDistance(Upper(Name), Upper(known));
    if (distance < best) {
      best = distance;
      nearest = known;
    }
  }
  return nearest;
}

void CheckIniFile(const std::string& Path, const std::string& Name, const TIniSchema& Schema, TFindings& Findings) {
  CheckCodePage(Path, Name, Findings);
  TIniFileCheck check(Path, Name, Findings);
  std::vector<std::string> knownSections;
  for (const TSectionSchema& section : Schema) knownSections.push_back(section.Name);
  std::set<std::string> seen;
  for (const std::string& section : TProfileFile(Path).SectionNames()) {
    if (!seen.insert(Upper(section)).second) {
      Findings.Warning(Name, section, "", "a second section of this name is never read");
      continue;
    }
    const auto schema = std::find_if(Schema.begin(), Schema.end(),
                                     [&](const TSectionSchema& known) { return SameName(known.Name, section); });
    if (schema == Schema.end()) {
      Findings.Warning(Name, section, "", UnreadText("this section", NearestName(section, knownSections)));
    } else {
      check.CheckSection(section, *schema);
    }
  }
}

}  // namespace driver
