#include "IniText.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "AnsiCase.h"
#include "ErrnoMap.h"
#include "PathMap.h"
#include "Recode.h"

namespace vexplat::detail {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// A bare file name means the Windows folder, as on Windows.
std::string FullIniName(LPCSTR fileName) {
  const std::string name(fileName);
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  return "C:\\WINDOWS\\" + name;
}

std::optional<std::string> ReadBytes(const std::string& posixPath, DWORD* error) {
  const int fd = open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == ENOENT ? MissingPathError(posixPath) : Win32ErrorFromErrno(errno);
    return std::nullopt;
  }
  std::string bytes;
  char chunk[65536];
  ssize_t got;
  while ((got = read(fd, chunk, sizeof chunk)) != 0) {
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = Win32ErrorFromErrno(errno);
      close(fd);
      return std::nullopt;
    }
    bytes.append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return bytes;
}

std::string Convert(std::string_view text, const char* from, const char* to, size_t unit) {
  const bool wideTarget = std::string_view(to) == "UTF-16LE";
  auto result = Recode(text, from, to, false, unit, wideTarget ? std::string_view("?\0", 2) : std::string_view("?"));
  return result ? std::move(result->bytes) : std::string();
}

}  // namespace

IniLine ClassifyIniLine(std::string_view line) {
  IniLine result;
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return result;
  if (text.front() == '[') {
    const size_t close = text.find(']');
    result.kind = IniLine::kSection;
    result.name = std::string(Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
    return result;
  }
  result.kind = IniLine::kKey;
  const size_t equals = text.find('=');
  result.name = std::string(Trim(text.substr(0, equals)));
  if (equals != std::string_view::npos) result.value = std::string(Unquote(Trim(text.substr(equals + 1))));
  return result;
}

IniText IniText::Empty(bool crlf) {
  IniText text;
  text.crlf_ = crlf;
  return text;
}

std::optional<IniText> IniText::Read(LPCSTR fileName, DWORD* error) {
  const auto path = ResolvePath(FullIniName(fileName).c_str());
  if (!path) {
    *error = GetLastError();
    return std::nullopt;
  }
  auto bytes = ReadBytes(*path, error);
  if (!bytes) return std::nullopt;
  IniText text;
  std::string ansi;
  if (bytes->size() >= 2 && (*bytes)[0] == '\xFF' && (*bytes)[1] == '\xFE') {
    text.encoding_ = Encoding::kUtf16Bom;
    ansi = Convert(std::string_view(*bytes).substr(2), "UTF-16LE", "CP936", 2);
  } else if (bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.encoding_ = Encoding::kUtf8Bom;
    ansi = Convert(std::string_view(*bytes).substr(3), "UTF-8", "CP936", 1);
  } else {
    ansi = std::move(*bytes);
  }
  text.crlf_ = ansi.find("\r\n") != std::string::npos || ansi.find('\n') == std::string::npos;
  std::string_view rest(ansi);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    text.lines_.emplace_back(line);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return text;
}

std::optional<size_t> IniText::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const IniLine line = ClassifyIniLine(lines_[i]);
    if (line.kind == IniLine::kSection && SameAnsiName(line.name, Trim(section))) return i;
  }
  return std::nullopt;
}

size_t IniText::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && ClassifyIniLine(lines_[i]).kind != IniLine::kSection) ++i;
  return i;
}

std::optional<size_t> IniText::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    const IniLine line = ClassifyIniLine(lines_[i]);
    if (line.kind == IniLine::kKey && SameAnsiName(line.name, Trim(key))) return i;
  }
  return std::nullopt;
}

std::vector<std::string> IniText::SectionNames() const {
  std::vector<std::string> names;
  for (const std::string& text : lines_) {
    IniLine line = ClassifyIniLine(text);
    if (line.kind == IniLine::kSection) names.push_back(std::move(line.name));
  }
  return names;
}

std::vector<std::string> IniText::KeyNames(size_t header) const {
  std::vector<std::string> names;
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    IniLine line = ClassifyIniLine(lines_[i]);
    if (line.kind == IniLine::kKey) names.push_back(std::move(line.name));
  }
  return names;
}

DWORD IniText::Write(LPCSTR fileName) const {
  const auto path = ResolvePath(FullIniName(fileName).c_str());
  if (!path) return GetLastError();
  std::string ansi;
  for (const std::string& line : lines_) ansi += line + (crlf_ ? "\r\n" : "\n");
  std::string bytes;
  switch (encoding_) {
    case Encoding::kUtf16Bom:
      bytes = "\xFF\xFE" + Convert(ansi, "CP936", "UTF-16LE", 1);
      break;
    case Encoding::kUtf8Bom:
      bytes = "\xEF\xBB\xBF" + Convert(ansi, "CP936", "UTF-8", 1);
      break;
    case Encoding::kAnsi:
      bytes = std::move(ansi);
      break;
  }
  static std::atomic<unsigned> counter{0};
  const std::string temporary = *path + ".vexini." + std::to_string(getpid()) + "." + std::to_string(counter++);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOENT ? MissingPathError(*path) : Win32ErrorFromErrno(errno);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const int writeError = done == bytes.size() ? 0 : (errno != 0 ? errno : EIO);
  close(fd);
  if (writeError != 0 || rename(temporary.c_str(), path->c_str()) != 0) {
    const DWORD error = Win32ErrorFromErrno(writeError != 0 ? writeError : errno);
    unlink(temporary.c_str());
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace vexplat::detail
