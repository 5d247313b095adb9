// Arbitrary text read as the package's HKeyInfo.ini and Update.Ini through the
// profile-string service: no crash, no hang; every answer fits its buffer and
// is NUL-terminated where the Windows rules say; the manifest's path values
// are judged by the containment helper, whose join agrees with its verdict.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "driver/AppIdentity.h"
#include "driver/ProfileFile.h"
#include "rtl/ContainedPath.h"

namespace {

void Require(bool Condition) {
  if (!Condition) std::abort();
}

// A list of NUL-terminated names through a buffer of Size bytes: it ends in
// a second NUL inside the buffer; one that did not fit is cut to Size - 2.
std::vector<std::string> ReadList(const char* Section, const std::string& File, DWORD Size) {
  std::vector<char> buffer(Size, '\x7F');
  const DWORD length = GetPrivateProfileStringA(Section, nullptr, "", buffer.data(), Size, File.c_str());
  Require(Size < 2 ? length == 0 : length < Size);
  Require(buffer[length] == '\0');
  const bool cut = Size >= 2 && length == Size - 2;
  Require(length == 0 || buffer[length - 1] == '\0' || (cut && buffer[length + 1] == '\0'));
  std::vector<std::string> names;
  for (DWORD at = 0; at < length;) {
    names.emplace_back(buffer.data() + at);
    at += static_cast<DWORD>(names.back().size()) + 1;
  }
  return names;
}

void JudgePath(const std::string& Value) {
  for (const auto leading : {rtl::TLeadingBackslash::Root, rtl::TLeadingBackslash::Joint}) {
    const bool inside = rtl::FindPathEscape(Value, leading) == rtl::TPathEscape::None;
    const auto joined = rtl::JoinInside("C:\\Base", Value, leading);
    Require(inside == joined.has_value());
    Require(!inside || *joined == "C:\\Base" + Value);
  }
}

// The manifest's numbered entries, as many as a count promises (at most 64).
void ReadManifestSection(const driver::TProfileFile& Ini, const char* Section, const char* CountKey,
                         const std::vector<const char*>& Keys) {
  const int32_t count = Ini.ReadInteger(Section, CountKey, 0);
  for (int32_t i = 0; i < count && i < 64; ++i)
    for (const char* key : Keys) {
      const std::string value = Ini.ReadString(Section, driver::TProfileFile::Numbered(key, i), "");
      Require(value.size() <= 2047);
      JudgePath(value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = fuzz::WriteScratchFile("Update.Ini", data, size);
  const driver::TAppIdentity identity = driver::TAppIdentity::Read(file);
  JudgePath(identity.sAppExecutable);
  JudgePath(identity.sAppOtherExecutable);

  const driver::TProfileFile ini(file);
  ReadManifestSection(ini, "Zip", "DeleteCount", {"DeleteItem", "DeleteTaskFlag"});
  ReadManifestSection(ini, "Zip", "Count", {"Source", "TaskFlag"});
  ReadManifestSection(ini, "File", "Count", {"Source", "Dest", "TaskFlag"});
  ReadManifestSection(ini, "ICON", "Count", {"ICONEXE", "ICONNAME", "ICONGROUP"});

  // Every section and key the file has, through roomy and tight buffers.
  const DWORD tight = size > 0 ? data[0] % 8 : 0;
  ReadList(nullptr, file, tight + 1);
  for (const std::string& section : ReadList(nullptr, file, 65536)) {
    ReadList(section.c_str(), file, tight + 1);
    for (const std::string& key : ReadList(section.c_str(), file, 65536)) {
      char value[2048];
      const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, file.c_str());
      Require(length < sizeof value && value[length] == '\0');
    }
  }
  return 0;
}
