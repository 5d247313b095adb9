#include "WindowsInstaller.h"

#include <fstream>
#include <iterator>

#include "IconGroup.h"
#include "PeImage.h"
#include "ResourceDirectory.h"

namespace vexpack {
namespace {

constexpr uint16_t kUsEnglish = 0x0409;

void ApplyVersion(TVersionInfo& version, const TBranding& branding) {
  if (branding.FileVersion) version.SetFileVersion(*branding.FileVersion);
  if (branding.ProductVersion) version.SetProductVersion(*branding.ProductVersion);
  for (const auto& [name, value] : branding.Strings) version.SetString(name, value);
}

// Every version resource (one per language) gets the settings; a program
// without one gets one.
std::string SetVersion(TResourceDirectory& resources, const TBranding& branding) {
  std::vector<TResource> versions;
  for (const TResource& resource : resources.Resources()) {
    if (!resource.Type.Name && resource.Type.Id == resource_type::kVersion) versions.push_back(resource);
  }
  if (versions.empty()) {
    TVersionInfo version = TVersionInfo::Empty();
    ApplyVersion(version, branding);
    resources.Put({TResourceKey::Number(resource_type::kVersion), TResourceKey::Number(1), kUsEnglish, 0, version.Build()});
    return std::string();
  }
  resources.RemoveIf([](const TResource& resource) {
    return !resource.Type.Name && resource.Type.Id == resource_type::kVersion;
  });
  for (TResource& resource : versions) {
    std::optional<TVersionInfo> version = TVersionInfo::Parse(resource.Data);
    if (!version) return "its version information is damaged";
    ApplyVersion(*version, branding);
    resource.Data = version->Build();
    resources.Put(std::move(resource));
  }
  return std::string();
}

std::string SetIcon(TResourceDirectory& resources, const std::string& iconFile) {
  std::ifstream in(iconFile, std::ios::binary);
  if (!in) return "cannot read the icon " + iconFile;
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return "cannot read the icon " + iconFile;
  std::string problem;
  const std::optional<std::vector<TIconImage>> images = ReadIconFile(bytes, problem);
  if (!images) return iconFile + ": " + problem;
  SetProgramIcon(resources, *images);
  return std::string();
}

}  // namespace

std::string MakeWindowsInstaller(std::vector<uint8_t>& image, const std::vector<uint8_t>& package,
                                 const TBranding& branding) {
  std::string problem;
  std::optional<TPeImage> program = TPeImage::Parse(image, problem);
  if (!program) return problem;
  // A signature covers the bytes that packing changes: it would no longer
  // verify, and Windows would show the installer as tampered with.
  if (program->Directory(TPeImage::kSecurityDirectory).Size != 0) {
    return "it is signed (it has an Authenticode signature, which packing would break); "
           "pack the unsigned program and sign the installer after packing";
  }
  std::optional<TResourceDirectory> resources = TResourceDirectory::Read(*program, problem);
  if (!resources) return problem;
  resources->Put({TResourceKey::Number(resource_type::kRcData), TResourceKey::Text(u"APPEXE"), 0, 0, package});
  if (!branding.IconFile.empty()) problem = SetIcon(*resources, branding.IconFile);
  if (problem.empty() && branding.ChangesVersion()) problem = SetVersion(*resources, branding);
  if (problem.empty()) problem = program->ReplaceResources([&](uint32_t rva) { return resources->Build(rva); });
  if (!problem.empty()) return problem;
  program->UpdateChecksum();
  image = program->Bytes();
  return std::string();
}

}  // namespace vexpack
