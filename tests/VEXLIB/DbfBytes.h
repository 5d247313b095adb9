// DBF files built byte by byte, for the header edge cases no writer makes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlib_test {

struct DbfField {
  std::string name;
  char type;
  uint8_t length;
  uint8_t decimals = 0;
};

inline std::string LittleEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
  return out;
}

inline std::string DbfHeader(uint8_t version, uint32_t records, uint16_t headerLength, uint16_t recordLength) {
  std::string header(1, static_cast<char>(version));
  header += std::string("\x7A\x0C\x08", 3);  // 2022-12-08
  header += LittleEndian(records, 4) + LittleEndian(headerLength, 2) + LittleEndian(recordLength, 2);
  header.resize(32, '\0');
  return header;
}

inline std::string DbfDescriptor(const DbfField& field) {
  std::string descriptor = field.name.substr(0, 11);
  descriptor.resize(11, '\0');
  descriptor += field.type;
  descriptor += std::string(4, '\0');
  descriptor += static_cast<char>(field.length);
  descriptor += static_cast<char>(field.decimals);
  descriptor.resize(32, '\0');
  return descriptor;
}

inline uint16_t SumOfLengths(const std::vector<DbfField>& fields) {
  uint16_t sum = 1;
  for (const DbfField& field : fields) sum = static_cast<uint16_t>(sum + field.length);
  return sum;
}

// A dBase-style table: header length 32 + 32 n + 1, the terminator last;
// records are given whole (deletion byte first) and padded with blanks.
inline std::string DbfFile(const std::vector<DbfField>& fields, const std::vector<std::string>& records,
                           uint8_t version = 0x03) {
  const uint16_t recordLength = SumOfLengths(fields);
  std::string file = DbfHeader(version, static_cast<uint32_t>(records.size()),
                               static_cast<uint16_t>(32 + 32 * fields.size() + 1), recordLength);
  for (const DbfField& field : fields) file += DbfDescriptor(field);
  file += '\x0D';
  for (std::string record : records) {
    record.resize(recordLength, ' ');
    file += record;
  }
  return file;
}

}  // namespace vexlib_test
