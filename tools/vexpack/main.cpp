// vexpack [--stub STUB] --package PACKAGE.zip -o INSTALLER
// vexpack --check PACKAGE.zip [--tasks CONFIG.TSK] [--strict]
// Makes an installer: a copy of the stub program that carries the update
// package as its APPEXE resource. A Windows stub (vexupd.exe) gets a real
// RCDATA resource; a POSIX stub gets the package appended behind the payload
// trailer, where the stand-in finds it. Windows installers can be branded
// with an icon and version information. Every package is checked first.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ConsoleText.h"
#include "InstalledStub.h"
#include "PackageCheckReport.h"
#include "PeImage.h"
#include "WindowsInstaller.h"
#include "ToolConventions.h"

#include "platform/include/vexplat/payload_trailer.h"

namespace {

struct TOptions {
  std::string Stub;
  std::string Package;
  std::string Output;
  vexpack::TBranding Branding;
  std::string Check;  // --check: the package to check, nothing packed
  bool RawOutput = false;
  bool NoCheck = false;  // packages broken on purpose, to try the installer with
  vexpack::TCheckRequest Request;
};

const char kUsage[] =
    "usage: vexpack [--stub STUB] --package PACKAGE.zip -o INSTALLER [--strict] [--tasks CONFIG.TSK]\n"
    "       vexpack --check PACKAGE.zip [--tasks CONFIG.TSK] [--strict]\n"
    "Makes an update installer from a package: a copy of the installer program\n"
    "STUB that carries the package. Without --stub the Windows installer program\n"
    "installed with vexpack (share/vexupd/vexupd.exe) is used. Every package is\n"
    "checked first; errors stop the pack and nothing is written.\n"
    "  --check PACKAGE.zip  only check: print the plan (what the installer would do,\n"
    "                       in its order) and the errors and warnings\n"
    "  --tasks CONFIG.TSK   resolve task flags against a copy of an installation's\n"
    "                       task table\n"
    "  --strict             warnings count as errors\n"
    "  --no-check           pack without checking (packages broken on purpose)\n"
    "  --cp936              print names in code page 936, not the terminal's encoding\n"
    "  -h, --help           show this help and exit\n"
    "  --version            show the version and exit\n"
    "Exit status: 0 done (clean), 1 errors (nothing written), 2 warnings with\n"
    "--strict (nothing written), 3 usage error.\n";
// The usage with the branding options of Windows installers.
const toolkit::TToolInfo& Tool() {
  static const std::string usage = std::string(kUsage) + "Windows installers only:\n" + vexpack::kBrandingUsage;
  static const toolkit::TToolInfo tool{"vexpack", usage.c_str()};
  return tool;
}

int Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "vexpack: %s %s\n", what, name.c_str());
  return 1;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "vexpack: %s\n%s", problem, Tool().Usage);
  return 3;
}

bool ParseArguments(int argc, char** argv, TOptions& options, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const vexpack::TOptionMatch branding = vexpack::ParseBrandingOption(argc, argv, i, options.Branding, problem);
    if (branding == vexpack::TOptionMatch::Bad) return false;
    if (branding == vexpack::TOptionMatch::Taken) continue;
    const std::string flag = argv[i];
    bool* toggle = flag == "--strict" ? &options.Request.Strict
                   : flag == "--cp936"  ? &options.RawOutput
                   : flag == "--no-check" ? &options.NoCheck
                                          : nullptr;
    if (toggle != nullptr) {
      *toggle = true;
      continue;
    }
    std::string* target = flag == "--stub" ? &options.Stub
                          : flag == "--package" ? &options.Package
                          : (flag == "-o" || flag == "--output") ? &options.Output
                          : flag == "--check" ? &options.Check
                          : flag == "--tasks" ? &options.Request.TaskTable
                                                                  : nullptr;
    if (target == nullptr) {
      problem = "unknown argument " + flag;
      return false;
    }
    if (i + 1 >= argc) {
      problem = flag + " needs a value";
      return false;
    }
    *target = argv[++i];
  }
  if (!options.Check.empty()) {
    if (!options.Package.empty() || !options.Output.empty() || !options.Stub.empty()) {
      problem = "--check takes no --stub, --package or -o";
      return false;
    }
    options.Request.Package = options.Check;
    return true;
  }
  if (options.Package.empty() || options.Output.empty()) {
    problem = "--package and -o are both required";
    return false;
  }
  options.Request.Package = options.Package;
  return true;
}

namespace fs = std::filesystem;

// Writes a temporary file beside the output with `write` and renames it into
// place, so that a failed run never leaves a half-written installer.
int WriteInstaller(const TOptions& options, const std::function<bool(std::ostream&)>& write) {
  const fs::path output(options.Output);
  const fs::path partial = output.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("cannot write", partial.string());
    if (!write(out) || !out.flush()) {
      out.close();
      std::error_code ignored;
      fs::remove(partial, ignored);
      return Fail("cannot write", options.Output);
    }
  }
  std::error_code error;
  fs::permissions(partial, fs::status(options.Stub).permissions(), error);
  fs::rename(partial, output, error);
  if (error) {
    fs::remove(partial, error);
    return Fail("cannot create", options.Output);
  }
  return 0;
}

std::vector<uint8_t> ReadAll(std::istream& in) {
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A Windows stub gets the package as its RCDATA resource APPEXE.
int PackIntoResource(const TOptions& options, std::istream& stub, std::istream& package) {
  std::vector<uint8_t> image = ReadAll(stub);
  const std::vector<uint8_t> packageBytes = ReadAll(package);
  if (stub.bad() || package.bad()) return Fail("cannot read", options.Stub + " / " + options.Package);
  const std::string problem = vexpack::MakeWindowsInstaller(image, packageBytes, options.Branding);
  if (!problem.empty()) return Fail(("cannot add the package to " + options.Stub + ":").c_str(), problem);
  return WriteInstaller(options, [&](std::ostream& out) {
    return static_cast<bool>(out.write(reinterpret_cast<const char*>(image.data()),
                                       static_cast<std::streamsize>(image.size())));
  });
}

// Any other stub gets the package appended behind the payload trailer.
int PackBehindTrailer(const TOptions& options, std::istream& stub, std::istream& package) {
  if (!options.Branding.Empty()) return Fail("an icon and version information need a Windows stub, not", options.Stub);
  if (vexplat::LocatePayload(stub)) return Fail("stub already carries a package:", options.Stub);
  stub.clear();
  stub.seekg(0);
  return WriteInstaller(options, [&](std::ostream& out) {
    out << stub.rdbuf();
    return out && vexplat::AppendPayload(out, package);
  });
}

// The files named on the command line are readable, or the first that is
// not is reported with the system's reason.
bool Readable(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const std::string name = toolkit::FromConsole(file);
    const std::string reason = toolkit::UnreadableReason(name);
    if (reason.empty()) continue;
    toolkit::ReportUnreadable(Tool(), name, reason);
    return false;
  }
  return true;
}

int Pack(const TOptions& options) {
  if (!Readable({options.Package})) return 1;
  const int verdict = options.NoCheck ? 0 : vexpack::CheckPackage(options.Request, stderr, false);
  if (verdict != 0) {
    std::fprintf(stderr, "vexpack: %s not written: the package %s\n", options.Output.c_str(),
                 verdict == 1 ? "has errors" : "has warnings (--strict)");
    return verdict;
  }
  // The stub is a file of the host, read past the program's drive letters.
  std::ifstream stub(options.Stub, std::ios::binary);
  if (!stub) return Fail("cannot read stub", options.Stub + ": " + std::strerror(errno));
  std::ifstream package(options.Package, std::ios::binary);
  if (!package) return Fail("cannot read package", options.Package);
  std::vector<uint8_t> head(4096);
  stub.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(stub.gcount()));
  stub.clear();
  stub.seekg(0);
  return vexpack::IsPeImage(head) ? PackIntoResource(options, stub, package)
                                  : PackBehindTrailer(options, stub, package);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (const std::optional<int> answered = toolkit::StandardOption(argv[i], Tool())) return *answered;
  }
  TOptions options;
  std::string problem;
  if (!ParseArguments(argc, argv, options, problem)) return Usage(problem.c_str());
  toolkit::SetRawConsoleOutput(options.RawOutput);
  if (!options.Check.empty()) {
    if (!Readable({options.Check})) return 1;
    if (!options.Request.TaskTable.empty() && !Readable({options.Request.TaskTable})) return 1;
    return vexpack::CheckPackage(options.Request, stdout, true);
  }
  if (options.Stub.empty()) {
    options.Stub = vexpack::InstalledStub(argv[0]);
    if (!std::filesystem::exists(options.Stub)) {
      std::fprintf(stderr, "vexpack: no --stub given and no installed installer program %s\n", options.Stub.c_str());
      return 1;
    }
  }
  return Pack(options);
}
