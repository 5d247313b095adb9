// What a package check has to say about a package: errors (the update would
// not do what its maker meant) and warnings (it might not), each tied to the
// file, section and key it is about.
#pragma once

#include <string>
#include <vector>

namespace driver {

enum class TSeverity { Error, Warning };

struct TFinding {
  TSeverity Severity = TSeverity::Warning;
  std::string File;     // in the package ("" = the package itself)
  std::string Section;  // "" when not about one section
  std::string Key;      // "" when not about one key
  std::string Text;
};

class TFindings {
 public:
  void Error(std::string File, std::string Section, std::string Key, std::string Text) {
    Add(TSeverity::Error, std::move(File), std::move(Section), std::move(Key), std::move(Text));
  }
  void Warning(std::string File, std::string Section, std::string Key, std::string Text) {
    Add(TSeverity::Warning, std::move(File), std::move(Section), std::move(Key), std::move(Text));
  }
  const std::vector<TFinding>& All() const { return all_; }
  size_t Count(TSeverity Severity) const {
    size_t count = 0;
    for (const TFinding& finding : all_) count += finding.Severity == Severity ? 1 : 0;
    return count;
  }

 private:
  void Add(TSeverity Severity, std::string File, std::string Section, std::string Key, std::string Text) {
    all_.push_back({Severity, std::move(File), std::move(Section), std::move(Key), std::move(Text)});
  }

  std::vector<TFinding> all_;
};

}  // namespace driver
