// The ZIP extraction component: walks the directory of ArchiveFile, selects
// entries by FileSpec, decides per entry whether and where to write it,
// finds the password of encrypted entries, decodes, restores date and
// attributes and checks the CRC. Errors inside the run go to OnError; only
// the checks before the run raise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "archive/EntryChecks.h"
#include "archive/TargetFinisher.h"
#include "archive/UnBase.h"

// One entry as the directory and its local header describe it.
struct TListedEntry {
  std::string Name;          // stored name, normalised
  uint16_t FlagWord = 0;
  uint32_t Method = 0;
  uint32_t PackedSize = 0;
  uint32_t UnpackedSize = 0;
  uint32_t CRC32 = 0;
  uint32_t DosDateTime = 0;  // from the local header
  uint32_t ExternalAttr = 0;
};

class TUnZIP : public TUnBase {
 public:
  explicit TUnZIP(TComponent* owner = nullptr);

  // Runs the extraction; returns the number of entries begun. Raises
  // E_RAISE when there is no archive, it is not a ZIP archive or it cannot
  // be opened.
  int32_t Extract();

  // Decode and check every selected entry without creating, dating or
  // replacing any file: existing targets are not asked about, names that
  // would leave the target directory are not refused.
  bool TestOnly = false;

  // Lists the selected entries without decoding them; the same checks and
  // errors as Extract. Returns the number of entries listed.
  int32_t List(const std::function<void(const TListedEntry&)>& onEntry);

  // Target exists check and the OnFileExists / OnBegin / rename sequence for
  // the current target path. False when the run was cancelled. `exists` is
  // left unknown when the target is overwritten unasked.
  bool ConfirmEntry(std::string& name, std::optional<bool>& exists, rtl::TDateTime fileDate);
  // Dates, closes and gives attributes to the written output file, on the
  // finisher's thread: handlers (OnEnd, OnBegin, ...) may meet earlier targets
  // still open; every target is finished when Extract returns.
  void FinishTarget(TByteFile& output, uint32_t attributes, uint32_t dosDateTime, const std::string& targetPath);

  // Test runs write nowhere; the CRC still covers every decoded byte.
  int32_t WriteBlock(TByteFile& file, uint8_t* buffer, int32_t count, uint8_t checkKind, bool decrypt) override;

 protected:
  void ExtractArchive(TByteFile& archive, TByteFile& output) override;

 private:
  enum class TEntryResult { Next, Stop };
  using TEntryStep = std::function<TEntryResult(TByteFile& archive, TByteFile& output, TEntryInfo& entry)>;

  // The run wrapper shared by Extract and List.
  int32_t Run(const TEntryStep& step);
  // Walks the directory and hands every selected entry to the step.
  void WalkAndProcess(TByteFile& archive, TByteFile& output, const TEntryStep& step);
  // Reads and checks the entry's local header and its stored name (UTF-8
  // names made ANSI); false (after OnError 25248) when the signature is wrong.
  bool ReadLocalHeader(TByteFile& archive, const TEntryInfo& entry, std::string& storedName);

  TEntryResult ExtractEntry(TByteFile& archive, TByteFile& output, TEntryInfo& entry);
  // True (after OnError) for an entry that must not be decoded: a method
  // or Zip64 form this engine lacks, a name with NUL, or data that overlaps
  // an entry before it.
  bool RefusedEntry(const TEntryInfo& entry, const std::string& storedName);
  // False for an entry that must not be written: a name leaving the target
  // directory (OnError 25243) or a directory entry (created, no error).
  bool PlaceableEntry(const std::string& storedName);
  bool SearchPassword(TByteFile& archive);
  void ReportCrcVerdict(const TEntryInfo& entry, const std::string& storedName, bool ok, bool decoded);
  bool TargetFileExists();
  // Creates the target once the finisher is done with any earlier target of
  // that name; a create that fails while other targets are still finishing
  // (an open handle, a read-only attribute not yet set under another
  // spelling) is tried once more after they are.
  bool OpenTargetAfterFinishing(TByteFile& output, const std::string& storedName);

  // The target's time of a DOS date and time (the local time zone's).
  std::optional<FILETIME> FileTimeOfDosTime(uint32_t dosDateTime);

  const TEntryStep* fStep = nullptr;
  std::optional<std::pair<uint32_t, std::optional<FILETIME>>> fLastDosTime;  // converted last
  unzip::TClaimedSpans fClaimedSpans;

 protected:
  TTargetFinisher fFinisher;
};
