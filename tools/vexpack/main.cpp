// vexpack --stub STUB --package PACKAGE.zip -o INSTALLER [--icon FILE.ico] [--file-version A.B.C.D] ...
// Makes an installer: a copy of the stub program that carries the update
// package as its APPEXE resource. A Windows stub (vexupd.exe) gets a real
// RCDATA resource; a POSIX stub gets the package appended behind the payload
// trailer, where the stand-in finds it. Windows installers can be branded
// with an icon and version information.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "PeImage.h"
#include "WindowsInstaller.h"

#include "platform/include/vexplat/payload_trailer.h"

namespace {

struct TOptions {
  std::string Stub;
  std::string Package;
  std::string Output;
  vexpack::TBranding Branding;
};

int Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "vexpack: %s %s\n", what, name.c_str());
  return 1;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "vexpack: %s\nusage: vexpack --stub STUB --package PACKAGE.zip -o INSTALLER\n%s", problem,
               vexpack::kBrandingUsage);
  return 2;
}

bool ParseArguments(int argc, char** argv, TOptions& options, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const vexpack::TOptionMatch branding = vexpack::ParseBrandingOption(argc, argv, i, options.Branding, problem);
    if (branding == vexpack::TOptionMatch::Bad) return false;
    if (branding == vexpack::TOptionMatch::Taken) continue;
    const std::string flag = argv[i];
    std::string* target = flag == "--stub" ? &options.Stub
                          : flag == "--package" ? &options.Package
                          : (flag == "-o" || flag == "--output") ? &options.Output
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
  if (options.Stub.empty() || options.Package.empty() || options.Output.empty()) {
    problem = "--stub, --package and -o are all required";
    return false;
  }
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

int Pack(const TOptions& options) {
  std::ifstream stub(options.Stub, std::ios::binary);
  if (!stub) return Fail("cannot read stub", options.Stub);
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
  TOptions options;
  std::string problem;
  if (!ParseArguments(argc, argv, options, problem)) return Usage(problem.c_str());
  return Pack(options);
}
