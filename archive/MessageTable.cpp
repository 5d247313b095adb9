#include "archive/MessageTable.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace archive {
namespace {

struct MessageEntry {
  int32_t id;
  const char* text;
};

// Sorted by id.
constexpr MessageEntry kMessages[] = {
    {25102, "File is read-only"},
    {25103, "File is hidden"},
    {25104, "File is a SysFile"},
    {25105, "File is a directory"},
    {25106, "File is a VolumeID"},
    {25107, "Invalid file attribute"},
    {25108, "Bad file header"},
    {25109, "Bad block"},
    {25120, "Bad Huffman code"},
    {25121, "Invalid code encountered"},
    {25122, "Invalid comment header"},
    {25123, "No BEGIN line"},
    {25134, "Incorrect number of bits"},
    {25135, "Broken multi-volume chain"},
    {25136, "Error writing to file"},
    {25137, "Error closing file"},
    {25138, "Incomplete code set"},
    {25139, "Corrupt input"},
    {25150, "Error creating dir"},
    {25151, "File fails CRC check"},
    {25152, "File contains invalid decode tree"},
    {25153, "Unable to create directory"},
    {25154, "Invalid directory"},
    {25155, "Invalid directory... defaulting to current"},
    {25156, "Disk full"},
    {25157, "is not accessible."},
    {25158, "EOF not found"},
    {25166, "Unexpected end of file"},
    {25167, "Unexpected end of line"},
    {25168, "EOL not found"},
    {25169, "Error deleting file(s)"},
    {25170, "Command exec failed"},
    {25171, "Same input and output file-names"},
    {25172, "File not found"},
    {25173, "File size different"},
    {25230, "Warning, unknown flags"},
    {25232, "Flat ScrollBar requires COMCTL32.dll version 4.71 or above."},
    {25235, "Error opening file"},
    {25236, "Error reading file or unexpected end of file"},
    {25237, "Header CRC error"},
    {25238, "Header ID error"},
    {25239, "Unexpected line break"},
    {25240, "Line found before 'BEGIN'"},
    {25241, "Skipped illegal char"},
    {25242, "Invalid or unsupported archive type for this operation"},
    {25243, "Invalid file name"},
    {25245, "Invalid length in send_bits"},
    {25246, "Inconsistent bit counts - gencodes"},
    {25247, "Bad lengths"},
    {25248, "Inconsistant local header"},
    {25249, "Insufficient lookahead"},
    {25250, "Maximum volumes 999"},
    {25253, "Out of memory"},
    {25255, "Uninitialized TMemoryStream object"},
    {25256, "Uninitialized TFileStream object"},
    {25257, "Header not found. File may be corrupt"},
    {25258, "Unrar.dll not found"},
    {25259, "Cabinet.dll not found"},
    {25260, "Ace.dll not found"},
    {25262, "Multi-Part GZIP files not supported"},
    {25263, "Too many nested dirs"},
    {25264, "Nothing to decode"},
    {25270, "Required event not assigned"},
    {25280, "Open quote, but no close quote"},
    {25281, "Open paran, but no close paran"},
    {25290, "Password protected"},
    {25292, "Seek error"},
    {25293, "Ambiguous Shannon-Fano decode tree encountered"},
    {25294, "No desktop folder"},
    {25295, "Error getting SHGetSpecialFolderLocation"},
    {25296, "Error getting Shell memory allocator"},
    {25297, "Illegal text for search mode"},
    {25298, "Stack overflow"},
    {25299, "Stream read/write error"},
    {25324, "Streaming not supported with this archive type"},
    {25325, "Hardware does not support high performance timing"},
    {25326, "Unsupported compression method"},
    {25327, "Unknown file type"},
    {25328, "Unsupported version"},
    {25350, "Error updating archive"},
    {25400, "User Aborted"},
    {25402, "Version error"},
    {25450, "Requires Win32 api"},
    {25901, "Extraction of this cabinet requires first disk of set"},
    {25902, "Previous volume in set"},
    {25903, "Next volume in set"},
    {25904, "Cabinet does not belong with this set"},
    {25905, "Insert FIRST diskette of this archive set"},
    {25906, "Insert LAST disk of this archive set"},
    {26000, "All_files (*.*)|*.*"},
    {26001, "ALL Archives |*.ace;*.arc;*.arj;*.bh;*.cab;*.enc;*.exe;*.gz;*.ha;*.jar;*.lha;*.lzh;*.pak;*.rar;*.tar;"
            "*.uue;*.xxe;*.z;*.zip;*.zoo"},
    {26002, "Executables (*.exe)"},
    {26517, "Invalid password"},
    {26522, "Password failed"},
    {26800, "Skipped File"},
    {26899, "Nothing to do"},
};

}  // namespace

const std::string& MessageText(int32_t id) {
  static const std::string empty;
  const auto* found = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                       [](const MessageEntry& entry, int32_t key) { return entry.id < key; });
  if (found == std::end(kMessages) || found->id != id) return empty;
  // The texts are kept as strings once, so callers may hold references.
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> all;
    for (const auto& entry : kMessages) all.emplace_back(entry.text);
    return all;
  }();
  return texts[static_cast<size_t>(found - std::begin(kMessages))];
}

void RaiseMessage(int32_t id) { throw E_RAISE(MessageText(id), id); }

}  // namespace archive
