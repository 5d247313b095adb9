// vexdbf: shows a DBF table's field list and records as text or CSV. The
// table is opened read-only and never changed.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "VEXLIB/DB/TableText.h"
#include "rtl/Exception.h"
#include "rtl/Gbk.h"

namespace {

const char kUsage[] =
    "usage: vexdbf [--csv] [--utf8] TABLE.dbf\n"
    "  --csv   one CSV row per record, field names first, deleted records marked\n"
    "          with * in the last column\n"
    "  --utf8  convert names and values from code page 936 to UTF-8\n";

// Names inside the program are in code page 936, as on Windows, where the
// arguments arrive in it; POSIX systems hand them over in UTF-8.
std::string TableNameFromArgument(const std::string& argument) {
#ifdef _WIN32
  return argument;
#else
  return rtl::Utf8ToGbk(argument);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  vexlib::TTableTextOptions options;
  std::string tableName;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--csv") {
      options.Csv = true;
    } else if (argument == "--utf8") {
      options.Utf8 = true;
    } else if (argument == "-h" || argument == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
      std::fprintf(stderr, "vexdbf: unknown option %s\n%s", argument.c_str(), kUsage);
      return 2;
    } else if (tableName.empty()) {
      tableName = TableNameFromArgument(argument);
    } else {
      std::fprintf(stderr, "vexdbf: one table at a time\n%s", kUsage);
      return 2;
    }
  }
  if (tableName.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    vexlib::TDBFListingTable table;
    table.OpenTable(tableName, true, false);
    vexlib::WriteTableText(table, std::cout, options);
    table.Close();
  } catch (const rtl::Exception& e) {
    std::cout.flush();
    const std::string message = options.Utf8 ? rtl::GbkToUtf8(e.Message()) : e.Message();
    std::fprintf(stderr, "vexdbf: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
