// Deflate streams from real encoders (Info-ZIP zip, 7-Zip, Python's zipfile)
// made at test time, taken out of their archives and decoded alone.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "rtl/Crc32.h"
#include "codec/InflateFast.h"
#include "codec/MemoryEntryHost.h"
#include "tests/codec/LegacyTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using legacytest::Bytes;
namespace fs = std::filesystem;

Bytes TextData(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"update", "package", "table",  "record", "field", "archive", "window",
                                       "the",    "of",      "and",    "for",    "with",  "installer", "\r\n",
                                       "CONFIG", "TSK",     "12345",  "ZIP",    "  ",    "\t",        "."};
  std::mt19937 random(seed);
  Bytes data;
  data.reserve(size + 16);
  while (data.size() < size) {
    const char* word = kWords[random() % std::size(kWords)];
    data.insert(data.end(), word, word + std::char_traits<char>::length(word));
    data.push_back(' ');
  }
  data.resize(size);
  return data;
}

// Random bytes with runs and repeats at all distances: short and long
// matches, distances up to 32 KB, and stretches that do not compress.
Bytes MixedData(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes data;
  data.reserve(size);
  while (data.size() < size) {
    const uint32_t kind = random() % 4;
    const size_t length = 1 + random() % 300;
    if (kind == 0 || data.size() < 64) {
      for (size_t i = 0; i < length; ++i) data.push_back(static_cast<uint8_t>(random()));
    } else if (kind == 1) {
      data.insert(data.end(), length, static_cast<uint8_t>(random()));
    } else {
      const size_t distance = 1 + random() % std::min<size_t>(data.size(), kind == 2 ? 64 : 32768);
      for (size_t i = 0; i < length; ++i) data.push_back(data[data.size() - distance]);
    }
  }
  data.resize(size);
  return data;
}

struct Sample {
  std::string name;
  Bytes data;
};

std::vector<Sample> MakeSamples() {
  std::vector<Sample> samples = {
      {"empty.bin", {}},
      {"one.txt", {'x'}},
      {"window.txt", TextData(32768, 1)},
      {"window1.bin", MixedData(32769, 2)},
      {"max16.bin", MixedData(65535, 3)},
      {"text.txt", TextData(300000, 4)},
      {"big.bin", MixedData(2 * 1024 * 1024 + 17, 5)},
  };
  Bytes noise(70000);
  std::mt19937 random(6);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  samples.push_back({"noise.bin", noise});
  samples.push_back({"zeros.bin", Bytes(200000, 0)});
  return samples;
}

const std::vector<Sample>& Samples() {
  static const std::vector<Sample> samples = MakeSamples();
  return samples;
}

class InflateEncoders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new vextest::Sandbox(vextest::Sandbox::kFolder);
    for (const Sample& s : Samples()) legacytest::WriteFileBytes(dir_->Root() / s.name, s.data);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // Decodes every member of the archive and compares it with its source.
  static void ExpectArchiveDecodes(const std::string& archive) {
    const Bytes zip = legacytest::ReadFileBytes(dir_->Root() / archive);
    const auto members = legacytest::ListZipMembers(zip);
    ASSERT_EQ(members.size(), Samples().size()) << archive;
    size_t deflated = 0;
    for (const auto& m : members) {
      const Bytes original = legacytest::ReadFileBytes(dir_->Root() / m.name);
      if (m.method != 8) continue;
      ++deflated;
      // With each variant of the fast loop this processor runs.
      for (const codec::DecodeFastPath& path : codec::DecodeFastPaths()) {
        const codec::DecodeFastFunction before = codec::UseDecodeFast(path.decode);
        const auto result = codec::DecodeMemory(8, m.flags, m.Data(zip), m.packedSize,
                                                static_cast<int32_t>(m.unpackedSize));
        codec::UseDecodeFast(before);
        const std::string where = archive + ": " + m.name + " (" + path.name + ")";
        EXPECT_TRUE(result.errors.empty()) << where << " error " << result.errors.front();
        EXPECT_TRUE(result.output == original) << where;
        EXPECT_EQ(result.crc, m.crc) << where;
        // Whole windows, then the rest.
        for (size_t i = 0; i + 1 < result.writeSizes.size(); ++i) EXPECT_EQ(result.writeSizes[i], 32768);
      }
    }
    EXPECT_GT(deflated, 5u) << archive;
  }

  static void Make(const std::string& archive, const std::string& command) {
    ASSERT_TRUE(dir_->Succeeds(command)) << command;
    ExpectArchiveDecodes(archive);
  }

  static std::string Names() {
    std::string names;
    for (const Sample& s : Samples()) names += " " + s.name;
    return names;
  }

  static vextest::Sandbox* dir_;
};

vextest::Sandbox* InflateEncoders::dir_ = nullptr;

TEST_F(InflateEncoders, InfoZipEveryLevel) {
  for (int level = 1; level <= 9; ++level) {
    const std::string archive = "zip" + std::to_string(level) + ".zip";
    Make(archive, "zip -q -X -" + std::to_string(level) + " " + archive + Names());
  }
}

TEST_F(InflateEncoders, SevenZipUltra) {
  Make("7z.zip", "7z a -tzip -mm=Deflate -mx=9 7z.zip" + Names());
}

TEST_F(InflateEncoders, PythonZipfileLevels) {
  for (int level : {0, 1, 6, 9}) {
    const std::string archive = "py" + std::to_string(level) + ".zip";
    Make(archive, "python3 -c \"import sys, zipfile\nwith zipfile.ZipFile('" + archive +
                      "', 'w', zipfile.ZIP_DEFLATED, compresslevel=" + std::to_string(level) +
                      ") as z:\n    [z.write(n) for n in sys.argv[1:]]\"" + Names());
  }
}

}  // namespace
