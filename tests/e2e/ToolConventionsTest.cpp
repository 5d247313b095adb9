// What vexzip, vexdbf and vexpack do alike: --help and -h on standard output
// with exit 0, --version, a missing file named with the system's reason; and
// vexzip's progress line, shown only while standard error is a terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kTools = std::string(VEX_BINARY_DIR) + "/tools/";

class ToolConventions : public ::testing::Test {
 protected:
  int Run(const std::string& command) {
    const int raw = std::system(("cd '" + scratch_.string() + "' && " + command + " >out.txt 2>err.txt").c_str());
    out = Read("out.txt");
    err = Read("err.txt");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(scratch_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  const fs::path& scratch_ = box_.Root();
  std::string out, err;
};

TEST_F(ToolConventions, HelpVersionAndMissingFiles) {
  struct TCase {
    const char* tool;
    const char* missingArguments;
    int missingExit;
  };
  const TCase cases[] = {
      {"vexzip", "x missing.zip", 2},
      {"vexdbf", "missing.zip", 1},
      {"vexpack", "--check missing.zip", 1},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.tool);
    const std::string tool = "'" + kTools + test.tool + "' ";
    for (const char* help : {"--help", "-h"}) {
      EXPECT_EQ(Run(tool + help), 0);
      EXPECT_EQ(out.rfind(std::string("usage: ") + test.tool + " ", 0), 0u) << out;
      EXPECT_EQ(err, "");
    }
    EXPECT_EQ(Run(tool + "--version"), 0);
    EXPECT_EQ(out, std::string(test.tool) + " (vexupd) " + VEXUPD_VERSION + "\n");
    EXPECT_EQ(Run(tool + test.missingArguments), test.missingExit);
    EXPECT_EQ(err, std::string(test.tool) + ": missing.zip: 系统找不到指定的文件。\n");
    EXPECT_EQ(Run(tool + "--bogus"), test.tool == std::string("vexdbf") ? 2 : 3);
  }
}

// vexzip with standard output in a file and standard error on a pseudo-
// terminal (or in a file); what reached the terminal.
std::string TerminalErrorOutput(const fs::path& dir, const std::string& arguments) {
  const std::string script =
      "import os, pty, subprocess, sys\n"
      "master, slave = pty.openpty()\n"
      "with open('out.txt', 'wb') as out:\n"
      "    child = subprocess.Popen(sys.argv[1:], stdout=out, stderr=slave, stdin=subprocess.DEVNULL)\n"
      "os.close(slave)\n"
      "seen = b''\n"
      "while True:\n"
      "    try:\n"
      "        data = os.read(master, 4096)\n"
      "    except OSError:\n"
      "        break\n"
      "    if not data:\n"
      "        break\n"
      "    seen += data\n"
      "child.wait()\n"
      "open('tty.txt', 'wb').write(seen)\n";
  std::ofstream(dir / "on_terminal.py") << script;
  std::system(("cd '" + dir.string() + "' && python3 on_terminal.py '" + kTools + "vexzip' " + arguments).c_str());
  std::ifstream in(dir / "tty.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(ToolConventions, ProgressOnlyOnATerminalAndNotWithQ) {
  std::string data(3 << 20, '\0');
  std::mt19937 generator(5);
  for (char& c : data) c = static_cast<char>(generator());
  std::ofstream(scratch_ / "data.bin", std::ios::binary) << data;
  ASSERT_EQ(Run("zip -q -0 d.zip data.bin"), 0);

  const std::string shown = TerminalErrorOutput(scratch_, "t d.zip");
  EXPECT_NE(shown.find(" of 3.0 MB  "), std::string::npos) << shown;
  EXPECT_NE(shown.find("B/s  "), std::string::npos) << shown;
  EXPECT_NE(shown.find("data.bin"), std::string::npos) << shown;
  EXPECT_NE(Read("out.txt").find("No errors detected"), std::string::npos);
  EXPECT_EQ(TerminalErrorOutput(scratch_, "t -q d.zip"), "");
  EXPECT_EQ(Run("'" + kTools + "vexzip' t d.zip"), 0);
  EXPECT_EQ(err, "");
}

TEST_F(ToolConventions, InstalledToolsManPagesAndTheDefaultStub) {
  ASSERT_EQ(Run("cmake --install '" + std::string(VEX_BINARY_DIR) + "' --prefix prefix"), 0) << err;
  for (const char* tool : {"vexzip", "vexdbf", "vexpack"}) {
    SCOPED_TRACE(tool);
    EXPECT_TRUE(fs::exists(scratch_ / "prefix" / "bin" / tool));
    EXPECT_TRUE(fs::exists(scratch_ / "prefix" / "share" / "man" / "man1" / (std::string(tool) + ".1")));
  }
  // Without --stub the installed installer program is used.
  const std::string pack = "prefix/bin/vexpack --package '" + std::string(VEX_BINARY_DIR) +
                           "/tests/sample-package.zip' -o installer";
  EXPECT_EQ(Run(pack), 1);
  EXPECT_NE(err.find("no --stub given and no installed installer program"), std::string::npos) << err;
  fs::create_directories(scratch_ / "prefix" / "share" / "vexupd");
  fs::copy_file(kTools + "vexupd", scratch_ / "prefix" / "share" / "vexupd" / "vexupd.exe");
  EXPECT_EQ(Run(pack), 0) << err;
  EXPECT_GT(fs::file_size(scratch_ / "installer"), fs::file_size(kTools + "vexupd"));
}

}  // namespace
