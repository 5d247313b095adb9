// vexdbf: shows a DBF table's field list and records as text or CSV. The
// table is opened read-only and never changed.
#include <cstdio>
#include <cstring>
#include <optional>
#include <iostream>
#include <string>

#include "ConsoleText.h"
#include "ToolConventions.h"
#include "VEXLIB/DB/TableText.h"
#include "rtl/Exception.h"
#include "rtl/Gbk.h"

namespace {

const char kUsage[] =
    "usage: vexdbf [--csv] [--cp936] TABLE.dbf\n"
    "Shows a DBF table (such as an installation's CONFIG.TSK): its field list and\n"
    "records, or CSV. The table is opened read-only and never changed.\n"
    "  --csv        one CSV row per record, field names first, deleted records\n"
    "               marked with * in the last column\n"
    "  --cp936      print names and values in code page 936 as stored, not in the\n"
    "               terminal's encoding\n"
    "  --utf8       convert from code page 936 to UTF-8 (the default on POSIX)\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n"
    "Exit status: 0 shown, 1 the table is missing or cannot be read, 2 usage error.\n";

}  // namespace

int main() {
  const toolkit::TToolInfo tool{"vexdbf", kUsage};
  vexlib::TTableTextOptions options;
  bool raw = false, utf8 = false;
  std::string tableName;
  for (const std::string& argument : toolkit::CommandArguments()) {
    if (const std::optional<int> answered = toolkit::StandardOption(argument, tool)) return *answered;
    if (argument == "--csv") {
      options.Csv = true;
    } else if (argument == "--utf8") {
      utf8 = true;
    } else if (argument == "--cp936") {
      raw = true;
    } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
      std::fprintf(stderr, "vexdbf: unknown option %s\n%s", toolkit::ToConsole(argument).c_str(), kUsage);
      return 2;
    } else if (tableName.empty()) {
      tableName = argument;
    } else {
      std::fprintf(stderr, "vexdbf: one table at a time\n%s", kUsage);
      return 2;
    }
  }
  if (tableName.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (raw && utf8) {
    std::fprintf(stderr, "vexdbf: --cp936 and --utf8 exclude each other\n%s", kUsage);
    return 2;
  }
  toolkit::SetRawConsoleOutput(raw);
  options.Utf8 = utf8 || toolkit::ConsoleConverts();
  const std::string reason = toolkit::UnreadableReason(tableName);
  if (!reason.empty()) {
    toolkit::ReportUnreadable(tool, tableName, reason);
    return 1;
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
