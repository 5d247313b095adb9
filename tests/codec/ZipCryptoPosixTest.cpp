// Traditional decryption against archives that zip and 7z encrypt at test
// time, and against headers built here for the check byte rules.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>

#include "rtl/Crc32.h"
#include "codec/ZipCrypto.h"
#include "tests/codec/LegacyTestSupport.h"
#include "tests/support/Sandbox.h"

namespace {

using legacytest::Bytes;

Bytes SampleText() {
  std::string text;
  std::mt19937 random(7);
  const char* words[] = {"update ", "table ", "archive ", "password ", "\r\n", "数据 "};
  while (text.size() < 20000) text += words[random() % 6];
  return Bytes(text.begin(), text.end());
}

Bytes SampleNoise() {
  Bytes noise(5000);
  std::mt19937 random(11);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  return noise;
}

class EncryptedArchive {
 public:
  // Makes `archive` in a fresh directory from text.txt and noise.bin.
  explicit EncryptedArchive(const std::string& command) {
    legacytest::WriteFileBytes(dir_.Root() / "text.txt", SampleText());
    legacytest::WriteFileBytes(dir_.Root() / "noise.bin", SampleNoise());
    made_ = dir_.Succeeds(command);
    if (made_) {
      zip_ = legacytest::ReadFileBytes(dir_.Root() / "out.zip");
      members_ = legacytest::ListZipMembers(zip_);
    }
  }
  bool Made() const { return made_; }
  const std::vector<legacytest::ZipMember>& Members() const { return members_; }

  // The 25-byte header buffer of a member, its header at offsets 12 to 23.
  void LoadHeader(const legacytest::ZipMember& member, uint8_t (&buffer)[codec::kHeaderBufferSize]) const {
    std::fill(std::begin(buffer), std::end(buffer), 0);
    std::copy_n(member.Data(zip_), codec::kEncryptionHeaderSize, buffer + codec::kHeaderRawOffset);
  }
  bool Check(const legacytest::ZipMember& member, codec::TZipKeys& keys, const std::string& password) const {
    uint8_t buffer[codec::kHeaderBufferSize];
    LoadHeader(member, buffer);
    return codec::CheckPassword(keys, buffer, member.flags, password, member.localDateTime, member.crc);
  }
  // The member's data behind the encryption header, decrypted with keys
  // that a passed check left behind.
  Bytes Decrypt(const legacytest::ZipMember& member, codec::TZipKeys& keys) const {
    Bytes data(member.Data(zip_) + codec::kEncryptionHeaderSize, member.Data(zip_) + member.packedSize);
    codec::DecryptBlock(keys, data.data(), data.size());
    return data;
  }
  // Raw deflate data inflated by gzip, a peer independent of ours: wrapped
  // in a gzip member whose trailer carries the expected CRC and size.
  Bytes InflateWithGzip(const Bytes& deflated, const Bytes& expected) const {
    Bytes member{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3};
    member.insert(member.end(), deflated.begin(), deflated.end());
    for (const uint32_t word : {rtl::Crc32(expected.data(), expected.size()), static_cast<uint32_t>(expected.size())}) {
      for (int i = 0; i < 4; ++i) member.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
    legacytest::WriteFileBytes(dir_.Root() / "deflated.gz", member);
    const bool ran = dir_.Succeeds("gzip -dc deflated.gz > inflated.bin");
    return ran ? legacytest::ReadFileBytes(dir_.Root() / "inflated.bin") : Bytes{};
  }
  Bytes Original(const legacytest::ZipMember& member) const {
    return member.name == "text.txt" ? SampleText() : SampleNoise();
  }

 private:
  vextest::Sandbox dir_{vextest::Sandbox::kFolder};
  bool made_ = false;
  Bytes zip_;
  std::vector<legacytest::ZipMember> members_;
};

struct Encoder {
  const char* name;
  std::string command;
  bool dataDescriptor;  // flag bit 3: the check byte comes from the DOS time
};

class ZipCryptoArchiveTest : public ::testing::TestWithParam<Encoder> {
 protected:
  // Each encoder runs once for the suite.
  static const EncryptedArchive& Archive(const std::string& command) {
    static std::map<std::string, std::unique_ptr<EncryptedArchive>> made;
    auto& archive = made[command];
    if (!archive) archive = std::make_unique<EncryptedArchive>(command);
    return *archive;
  }
};

const std::string kPassword = "s3cret Pa55";

TEST_P(ZipCryptoArchiveTest, RightPasswordDecryptsStoredAndDeflatedMembers) {
  const EncryptedArchive& archive = Archive(GetParam().command);
  ASSERT_TRUE(archive.Made()) << GetParam().command;
  int deflated = 0;
  int stored = 0;
  for (const auto& member : archive.Members()) {
    SCOPED_TRACE(member.name);
    ASSERT_EQ(member.flags & 1, 1);
    EXPECT_EQ((member.flags & 8) != 0, GetParam().dataDescriptor);
    codec::TZipKeys keys{};
    ASSERT_TRUE(archive.Check(member, keys, kPassword));
    const Bytes plain = archive.Decrypt(member, keys);
    if (member.method == 0) {
      ++stored;
      EXPECT_EQ(plain.size() + codec::kEncryptionHeaderSize, member.packedSize);
      EXPECT_EQ(plain, archive.Original(member));
    } else {
      ASSERT_EQ(member.method, 8);
      ++deflated;
      EXPECT_EQ(archive.InflateWithGzip(plain, archive.Original(member)), archive.Original(member));
    }
  }
  EXPECT_EQ(deflated, 1);  // text.txt compresses
  EXPECT_EQ(stored, 1);    // noise.bin does not
}

TEST_P(ZipCryptoArchiveTest, WrongPasswordsFailTheCheckByteAlmostAlways) {
  const EncryptedArchive& archive = Archive(GetParam().command);
  ASSERT_TRUE(archive.Made());
  // One byte of assurance: a wrong password passes about once in 256 tries.
  int passed = 0;
  int tried = 0;
  // The archive is made afresh each run, so no single wrong password can be
  // asserted to fail; only the rate can.
  for (const auto& member : archive.Members()) {
    for (int i = 0; i < 40; ++i) {
      codec::TZipKeys keys{};
      passed += archive.Check(member, keys, kPassword + std::to_string(i)) ? 1 : 0;
      ++tried;
    }
    codec::TZipKeys keys{};
    passed += archive.Check(member, keys, "S3CRET PA55") ? 1 : 0;
    ++tried;
  }
  EXPECT_LE(passed, tried / 10);
}

TEST(ZipCryptoTest, PasswordsAreCaseSensitive) {
  codec::TZipKeys right{};
  codec::TZipKeys swapped{};
  codec::InitKeys(right, kPassword);
  codec::InitKeys(swapped, "S3CRET PA55");
  EXPECT_FALSE(right[0] == swapped[0] && right[1] == swapped[1] && right[2] == swapped[2]);
}

TEST_P(ZipCryptoArchiveTest, OneHeaderBufferServesEveryTry) {
  const EncryptedArchive& archive = Archive(GetParam().command);
  ASSERT_TRUE(archive.Made());
  const auto& member = archive.Members().front();
  uint8_t buffer[codec::kHeaderBufferSize];
  archive.LoadHeader(member, buffer);
  codec::TZipKeys keys{};
  for (const char* wrong : {"a", "bb", "ccc"}) {
    codec::CheckPassword(keys, buffer, member.flags, wrong, member.localDateTime, member.crc);
  }
  EXPECT_TRUE(codec::CheckPassword(keys, buffer, member.flags, kPassword, member.localDateTime, member.crc));
  EXPECT_EQ(buffer[codec::kEncryptionHeaderSize - 1],
            codec::PasswordCheckByte(member.flags, member.localDateTime, member.crc));
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, ZipCryptoArchiveTest,
    ::testing::Values(Encoder{"InfoZip", "zip -q -P '" + kPassword + "' out.zip text.txt noise.bin", true},
                      Encoder{"InfoZipStreamed", "zip -q -P '" + kPassword + "' - text.txt noise.bin > out.zip", true},
                      Encoder{"SevenZip", "7z a -tzip '-p" + kPassword + "' -mem=ZipCrypto out.zip text.txt noise.bin",
                              false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ZipCryptoTest, PasswordsLongerThan255BytesCountWhole) {
  const std::string longPassword(300, 'k');
  const EncryptedArchive archive("7z a -tzip -p" + longPassword + " -mem=ZipCrypto out.zip noise.bin");
  ASSERT_TRUE(archive.Made());
  const auto& member = archive.Members().front();
  codec::TZipKeys keys{};
  ASSERT_TRUE(archive.Check(member, keys, longPassword));
  EXPECT_EQ(archive.Decrypt(member, keys), SampleNoise());
}

TEST(ZipCryptoTest, KeyScheduleStartsFromTheFixedValues) {
  codec::TZipKeys keys{};
  codec::InitKeys(keys, "");
  EXPECT_EQ(keys[0], 0x12345678u);
  EXPECT_EQ(keys[1], 0x23456789u);
  EXPECT_EQ(keys[2], 0x34567890u);
  codec::TZipKeys stepped{};
  codec::InitKeys(stepped, "");
  codec::UpdateKeys(stepped, 'p');
  codec::TZipKeys direct{};
  codec::InitKeys(direct, "p");
  EXPECT_EQ(std::vector<uint32_t>(stepped, stepped + 3), std::vector<uint32_t>(direct, direct + 3));
  EXPECT_NE(direct[0], 0x12345678u);
}

TEST(ZipCryptoTest, EncryptThenDecryptRestoresTheBlock) {
  const Bytes plain = SampleText();
  Bytes block = plain;
  codec::TZipKeys keys{};
  codec::InitKeys(keys, kPassword);
  codec::EncryptBlock(keys, block.data(), block.size());
  EXPECT_NE(block, plain);
  codec::InitKeys(keys, kPassword);
  codec::DecryptBlock(keys, block.data(), block.size());
  EXPECT_EQ(block, plain);
}

// A header made here: eleven filler bytes and the check byte, encrypted.
void MakeHeader(uint8_t checkByte, uint8_t (&buffer)[codec::kHeaderBufferSize]) {
  std::fill(std::begin(buffer), std::end(buffer), 0);
  for (int i = 0; i < codec::kEncryptionHeaderSize - 1; ++i) buffer[codec::kHeaderRawOffset + i] = static_cast<uint8_t>(17 * i);
  buffer[codec::kHeaderRawOffset + codec::kEncryptionHeaderSize - 1] = checkByte;
  codec::TZipKeys keys{};
  codec::InitKeys(keys, kPassword);
  codec::EncryptBlock(keys, buffer + codec::kHeaderRawOffset, codec::kEncryptionHeaderSize);
}

TEST(ZipCryptoTest, CheckByteIsTheTimeHighByteWhenFlagBit3IsSet) {
  const uint32_t dosDateTime = 0x5A3C9B21u;  // time word 0x9B21, date word 0x5A3C
  const uint32_t crc = 0x4D112233u;
  uint8_t buffer[codec::kHeaderBufferSize];
  codec::TZipKeys keys{};
  MakeHeader(0x9B, buffer);
  EXPECT_TRUE(codec::CheckPassword(keys, buffer, 0x0009, kPassword, dosDateTime, crc));
  EXPECT_FALSE(codec::CheckPassword(keys, buffer, 0x0001, kPassword, dosDateTime, crc));
  MakeHeader(0x4D, buffer);
  EXPECT_TRUE(codec::CheckPassword(keys, buffer, 0x0001, kPassword, dosDateTime, crc));
  EXPECT_FALSE(codec::CheckPassword(keys, buffer, 0x0009, kPassword, dosDateTime, crc));
  EXPECT_EQ(codec::PasswordCheckByte(0x0008, dosDateTime, crc), 0x9B);
  EXPECT_EQ(codec::PasswordCheckByte(0x0000, dosDateTime, crc), 0x4D);
}

TEST(ZipCryptoTest, EmptyPasswordFailsWithoutTouchingTheKeys) {
  uint8_t buffer[codec::kHeaderBufferSize];
  MakeHeader(0, buffer);
  codec::TZipKeys keys{1, 2, 3};
  EXPECT_FALSE(codec::CheckPassword(keys, buffer, 1, "", 0, 0));
  EXPECT_EQ(std::vector<uint32_t>(keys, keys + 3), (std::vector<uint32_t>{1, 2, 3}));
}

}  // namespace
