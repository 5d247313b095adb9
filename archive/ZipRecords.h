// The ZIP header records as they lie in the file (little-endian, packed), the
// entry record the directory walk produces, and the entry list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t LOCAL_FILE_HEADER_SIGNATURE = 0x04034B50;
constexpr uint32_t CENTRAL_FILE_HEADER_SIGNATURE = 0x02014B50;
constexpr uint32_t END_OF_CENTRAL_DIR_SIGNATURE = 0x06054B50;
constexpr uint32_t ZIP64_END_OF_CENTRAL_DIR_SIGNATURE = 0x06064B50;
constexpr uint32_t DIGITAL_SIGNATURE_SIGNATURE = 0x05054B50;
// Only seen at the start of the first disk of a spanned archive.
constexpr uint32_t SPANNED_MARKER_SIGNATURE = 0x08074B50;
// "PK00": what some writers put in its place when a split archive ended up
// as one piece.
constexpr uint32_t ONE_PIECE_MARKER_SIGNATURE = 0x30304B50;

#pragma pack(push, 1)
struct TLocalHeader {
  uint32_t SignatureAtt;
  uint16_t VersionNeeded;
  uint16_t GeneralPurpose;
  uint16_t CompressionMethod;
  uint32_t FileDate;          // DOS time (low word) and date (high word)
  uint32_t CRC32;
  uint32_t PackedSize;
  uint32_t UnpackedSize;
  uint16_t FileNameLen;
  uint16_t ExtraFieldLen;
};

struct TCentralHeader {
  uint32_t SignatureAtt;
  uint16_t VersionMadeBy;
  uint16_t VersionNeeded;
  uint16_t GeneralPurpose;
  uint16_t CompressionMethod;
  uint32_t FileDate;
  uint32_t CRC32;
  uint32_t PackedSize;
  uint32_t UnpackedSize;
  uint16_t FileNameLen;
  uint16_t ExtraFieldLen;
  uint16_t CommentLen;
  uint16_t DiskNumberStart;
  uint16_t InternalAttr;
  uint32_t ExternalAttr;
  uint32_t RelativeOffsetOfLocalHeader;
};

struct TEndOfCentralDir {
  uint32_t SignatureAtt;
  uint16_t ThisDiskNo;
  uint16_t CentralDirDiskNo;   // disk holding the start of the central directory
  uint16_t ThisDiskEntries;
  uint16_t TotalEntries;
  uint32_t CentralDirSize;
  uint32_t CentralDirOffset;
  uint16_t CommentLen;
};
#pragma pack(pop)

static_assert(sizeof(TLocalHeader) == 30);
static_assert(sizeof(TCentralHeader) == 46);
static_assert(sizeof(TEndOfCentralDir) == 22);

// HeaderFlags bits: how far the chain behind the end record held.
constexpr uint8_t hfEndRecordRead = 0x01;
constexpr uint8_t hfCentralHeaderFound = 0x08;
constexpr uint8_t hfLocalHeaderFound = 0x10;   // alone: walk the local headers
constexpr uint8_t hfLocalScan = 0x10;

// One selected entry, in the order the walk fills it.
struct TEntryInfo {
  uint16_t FlagWord = 0;
  uint32_t Method = 0;
  int32_t LocalHeaderOffset = 0;
  uint32_t PackedSize = 0;
  uint32_t UnpackedSize = 0;
  uint32_t CRC32 = 0;
  uint32_t ExternalAttr = 0;
  std::string StoredName;  // as the walk read it, so that the local header can be held to it
};

// Owned copies of entry records, in the order they were added.
class TorxFileList {
 public:
  // Creates the inner list (empty); a list set up again is cleared.
  void SetUp();
  void Clear();
  void Add(TEntryInfo record);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Read in place, valid until the next Add or Clear; the index must be
  // below Count().
  TEntryInfo& Items(int32_t index);
  // Clears and frees the inner list.
  void TearDown();
  bool IsSetUp() const { return setUp_; }

 private:
  // In one block: the run reads them in order, after the walk has touched
  // much other memory.
  std::vector<TEntryInfo> items_;
  bool setUp_ = false;
};
