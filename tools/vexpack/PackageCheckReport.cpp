#include "PackageCheckReport.h"

#include "ConsoleText.h"
#include "ToolConventions.h"
#include "driver/PackageCheck.h"

namespace vexpack {
namespace {

// The library works on Windows-form paths in the ANSI code page.
std::string FullPath(const std::string& Argument) { return toolkit::FullPath(toolkit::FromConsole(Argument)); }

// The package as it was named; the files in it, sections and keys in the
// console's encoding.
std::string Where(const driver::TFinding& Finding, const std::string& Package) {
  std::string where = Finding.File.empty() ? std::string() : Finding.File;
  if (!Finding.Section.empty()) where += " [" + Finding.Section + "]";
  if (!Finding.Key.empty()) where += " " + Finding.Key;
  return Finding.File.empty() ? Package + toolkit::ToConsole(where) : toolkit::ToConsole(where);
}

std::string Plural(size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

int CheckPackage(const TCheckRequest& Request, std::FILE* Out, bool ShowPlan) {
  const driver::TPackageReport report =
      driver::CheckPackage(FullPath(Request.Package), Request.TaskTable.empty() ? "" : FullPath(Request.TaskTable));
  if (ShowPlan && !report.Plan.empty()) {
    std::fprintf(Out, "plan of %s, in the order the installer acts:\n", Request.Package.c_str());
    for (size_t i = 0; i < report.Plan.size(); ++i) {
      std::fprintf(Out, "%4u. %s\n", static_cast<unsigned>(i + 1), toolkit::ToConsole(report.Plan[i]).c_str());
    }
  }
  for (const driver::TFinding& finding : report.Findings.All()) {
    const bool error = finding.Severity == driver::TSeverity::Error;
    std::fprintf(Out, "%s: %s: %s\n", error ? "error" : "warning",
                 Where(finding, Request.Package).c_str(),
                 toolkit::ToConsole(finding.Text).c_str());
  }
  const size_t errors = report.Findings.Count(driver::TSeverity::Error);
  const size_t warnings = report.Findings.Count(driver::TSeverity::Warning);
  if (ShowPlan || errors + warnings > 0) {
    std::fprintf(Out, "%s: %s, %s\n", Request.Package.c_str(), Plural(errors, "error").c_str(),
                 Plural(warnings, "warning").c_str());
  }
  std::fflush(Out);
  return report.ExitCode(Request.Strict);
}

}  // namespace vexpack
