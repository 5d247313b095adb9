// vexpack --stub STUB --package PACKAGE.zip -o INSTALLER
// Makes an installer: a copy of the stub program with the update package
// appended behind the payload trailer, where the program finds it as its
// APPEXE resource.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/include/vexplat/payload_trailer.h"

namespace {

struct TOptions {
  std::string Stub;
  std::string Package;
  std::string Output;
};

int Fail(const char* what, const std::string& name) {
  std::fprintf(stderr, "vexpack: %s %s\n", what, name.c_str());
  return 1;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "vexpack: %s\nusage: vexpack --stub STUB --package PACKAGE.zip -o INSTALLER\n", problem);
  return 2;
}

bool ParseArguments(int argc, char** argv, TOptions& options, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
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

// Writes a temporary file beside the output and renames it into place, so
// that a failed run never leaves a half-written installer.
int Pack(const TOptions& options) {
  namespace fs = std::filesystem;
  std::ifstream stub(options.Stub, std::ios::binary);
  if (!stub) return Fail("cannot read stub", options.Stub);
  std::ifstream package(options.Package, std::ios::binary);
  if (!package) return Fail("cannot read package", options.Package);
  if (vexplat::LocatePayload(stub))
    return Fail("stub already carries a package:", options.Stub);
  stub.clear();
  stub.seekg(0);

  const fs::path output(options.Output);
  const fs::path partial = output.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("cannot write", partial.string());
    out << stub.rdbuf();
    if (!out || !vexplat::AppendPayload(out, package)) {
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

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  std::string problem;
  if (!ParseArguments(argc, argv, options, problem)) return Usage(problem.c_str());
  return Pack(options);
}
