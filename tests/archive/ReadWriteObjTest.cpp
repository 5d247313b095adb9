// The block operations: reads, writes, decryption and the running CRC.
#include "archive/ReadWriteObj.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "ArcDirTestSupport.h"
#include "rtl/Crc32.h"
#include "codec/DecoderState.h"
#include "codec/ZipCrypto.h"
#include "rtl/Exception.h"

using arcdir_test::ScratchTest;

namespace {

class TBlockProbe : public TReadWriteObj {
 public:
  void SetType(TArcType type) { fArcType = type; }
  int32_t reads = 0;
  int32_t ReadBlock(TByteFile& file, uint8_t* buffer, int32_t count, bool decrypt, uint8_t checkKind) override {
    ++reads;
    return TReadWriteObj::ReadBlock(file, buffer, count, decrypt, checkKind);
  }
  uint32_t Crc16() const { return fCrc16; }
};

class ReadWriteObj : public ScratchTest {
 protected:
  uint32_t& RunningCrc() { return codec::TheDecoderState().runningCrc; }
  void Keys(const std::string& password) { codec::InitKeys(codec::TheDecoderState().keys, password); }
};

}  // namespace

TEST_F(ReadWriteObj, ReadsUpToTheEndAndKeepsChecks) {
  WriteFile("in.bin", "abcdef");
  TBlockProbe rw;
  TByteFile file;
  ASSERT_TRUE(file.Reset(Win("in.bin")));
  uint8_t buffer[16] = {};
  RunningCrc() = 0xFFFFFFFFu;
  // Through the bound method pointer, which reaches the override.
  EXPECT_EQ(rw.ReadProc(file, buffer, 0, false, ckCrc32), 0);
  EXPECT_EQ(rw.ReadProc(file, buffer, 3, false, ckCrc32), 3);
  EXPECT_EQ(rw.reads, 2);
  EXPECT_EQ(RunningCrc() ^ 0xFFFFFFFFu, rtl::Crc32("abc", 3));
  EXPECT_EQ(rw.ReadBlock(file, buffer, 16, false, ckNone), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "def");
  EXPECT_EQ(rw.ReadBlock(file, buffer, 16, false, ckCrc32), 0);  // at the end: no error
  EXPECT_EQ(RunningCrc() ^ 0xFFFFFFFFu, rtl::Crc32("abc", 3));
  file.Seek(0);
  EXPECT_EQ(rw.ReadBlock(file, buffer, 9, false, ckCrc16), 6);
  EXPECT_NE(rw.Crc16(), 0u);
}

TEST_F(ReadWriteObj, ReadSideDecryptionForZipKindsOnly) {
  std::string plain = "secret data";
  std::string cipher = plain;
  Keys("pw");
  codec::EncryptBlock(codec::TheDecoderState().keys, reinterpret_cast<uint8_t*>(cipher.data()), cipher.size());
  WriteFile("enc.bin", cipher);
  TByteFile file;
  ASSERT_TRUE(file.Reset(Win("enc.bin")));
  TBlockProbe rw;
  uint8_t buffer[32] = {};
  for (TArcType type : {atZip, atZipExe, atJar, atBh, atBhExe}) {
    rw.SetType(type);
    Keys("pw");
    file.Seek(0);
    const int32_t got = rw.ReadBlock(file, buffer, 32, true, ckNone);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(got)), plain) << int(type);
  }
  // Spanned archives and other kinds are not decrypted on the read side,
  // nor is anything read without the flag.
  for (TArcType type : {atZipMV, atTar}) {
    rw.SetType(type);
    Keys("pw");
    file.Seek(0);
    const int32_t got = rw.ReadBlock(file, buffer, 32, true, ckNone);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(got)), cipher) << int(type);
  }
  rw.SetType(atZip);
  file.Seek(0);
  const int32_t got = rw.ReadBlock(file, buffer, 32, false, ckNone);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(got)), cipher);
}

TEST_F(ReadWriteObj, WritesDecryptAndCountOnlyWrittenBytes) {
  TBlockProbe rw;
  rw.SetType(atZipMV);  // the write side decrypts spanned archives too
  TByteFile out;
  ASSERT_TRUE(out.Rewrite(Win("out.bin")));
  RunningCrc() = 0xFFFFFFFFu;
  uint8_t nothing[1] = {0};
  EXPECT_EQ(rw.WriteProc(out, nothing, 0, ckCrc32, true), 0);
  EXPECT_EQ(RunningCrc(), 0xFFFFFFFFu);

  std::string block = "stored and encrypted";
  Keys("key");
  codec::EncryptBlock(codec::TheDecoderState().keys, reinterpret_cast<uint8_t*>(block.data()), block.size());
  Keys("key");
  EXPECT_EQ(rw.WriteBlock(out, reinterpret_cast<uint8_t*>(block.data()), static_cast<int32_t>(block.size()), ckCrc32,
                          true),
            20);
  EXPECT_EQ(block, "stored and encrypted");  // decrypted in place
  EXPECT_EQ(RunningCrc() ^ 0xFFFFFFFFu, rtl::Crc32("stored and encrypted", 20));
  out.Close();
  EXPECT_EQ(ReadBytes("out.bin").size(), 20u);

  // The encrypting write and the decrypting write undo each other.
  ASSERT_TRUE(out.Rewrite(Win("enc.bin")));
  std::string text = "round trip";
  Keys("k2");
  RunningCrc() = 0xFFFFFFFFu;
  rw.EncryptWriteBlock(out, reinterpret_cast<uint8_t*>(text.data()), 10, ckCrc32, true);
  EXPECT_EQ(RunningCrc() ^ 0xFFFFFFFFu, rtl::Crc32("round trip", 10));
  out.Close();
  auto bytes = ReadBytes("enc.bin");
  ASSERT_EQ(bytes.size(), 10u);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()), "round trip");
  ASSERT_TRUE(out.Rewrite(Win("dec.bin")));
  Keys("k2");
  rw.WriteBlock(out, bytes.data(), 10, ckNone, true);
  out.Close();
  bytes = ReadBytes("dec.bin");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "round trip");
}

TEST_F(ReadWriteObj, SystemFailuresRaiseInputOutputErrors) {
  WriteFile("ro.bin", "x");
  TBlockProbe rw;
  TByteFile file;
  ASSERT_TRUE(file.Reset(Win("ro.bin")));
  uint8_t buffer[4] = {1, 2, 3, 4};
  RunningCrc() = 0xFFFFFFFFu;
  EXPECT_THROW(rw.WriteRaw(file, buffer, 4, ckCrc32), EInOutError);  // opened read-only
  EXPECT_EQ(RunningCrc(), 0xFFFFFFFFu);
  TByteFile closed;
  EXPECT_THROW(rw.ReadBlock(closed, buffer, 4, false, ckNone), EInOutError);
  EXPECT_THROW(closed.Seek(0), EInOutError);
  EXPECT_FALSE(closed.TrySeek(0));
  EXPECT_FALSE(file.TrySeek(-1));
  EXPECT_FALSE(closed.Close());
}

// Reads through the read window give the file's bytes wherever the position
// goes: inside the window, across its end, backwards, in large direct
// reads, and at and past the end of the file.
TEST_F(ReadWriteObj, ReadsThroughTheWindowGiveTheFilesBytes) {
  constexpr int32_t kSize = 3 * TByteFile::kReadWindow + 100;
  std::string bytes(kSize, '\0');
  for (int32_t i = 0; i < kSize; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i * 7 % 251);
  WriteFile("window.bin", bytes);
  TByteFile file;
  ASSERT_TRUE(file.Reset(Win("window.bin")));
  constexpr int32_t W = TByteFile::kReadWindow, D = TByteFile::kDirectRead;
  const struct {
    int32_t at, count, got;
  } reads[] = {
      {0, 30, 30},         {30, 20, 20},          {W - 10, 20, 20},      {5, 1, 1},
      {W + 5, D, D},       {W + 5, D - 1, D - 1}, {100, 2 * W, 2 * W},   {W - 1, W + 2, W + 2},
      {kSize - 10, 20, 10}, {kSize, 5, 0},        {kSize + 9, 5, 0},     {kSize - 1, 1, 1},
  };
  std::string buffer(2 * W + 2, '\0');
  for (const auto& read : reads) {
    SCOPED_TRACE(testing::Message() << read.at << "+" << read.count);
    file.Seek(read.at);
    ASSERT_EQ(read.got, file.BlockRead(buffer.data(), read.count));
    EXPECT_EQ(bytes.substr(static_cast<size_t>(std::min(read.at, kSize)), static_cast<size_t>(read.got)),
              buffer.substr(0, static_cast<size_t>(read.got)));
    EXPECT_EQ(read.at + read.got, file.Position());
  }
  // Sequential reads go on from where the last one ended.
  file.Seek(W - 3);
  ASSERT_EQ(3, file.BlockRead(buffer.data(), 3));
  ASSERT_EQ(4, file.BlockRead(buffer.data(), 4));
  EXPECT_EQ(bytes.substr(W, 4), buffer.substr(0, 4));
}
