// Message boxes without a screen: the box is printed and, for scripts and
// tests, recorded one line per box in the file VEXUPD_MSGLOG names.
#include <windows.h>

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "Utf16Text.h"

namespace {

// Escapes what would break the one-line record: CR, LF and the backslash.
std::string EscapeLine(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\r':
        escaped += "\\r";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

void AppendRecord(const char* logPath, const std::string& line) {
  const int fd = open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "vexupd: cannot append to VEXUPD_MSGLOG %s\n", logPath);
    return;
  }
  // One write per line keeps records of concurrent writers whole.
  if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    std::fprintf(stderr, "vexupd: cannot append to VEXUPD_MSGLOG %s\n", logPath);
  }
  close(fd);
}

struct Buttons {
  int ids[3];
  int count;
};

Buttons ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{IDOK, IDCANCEL, 0}, 2};
    case MB_ABORTRETRYIGNORE:
      return {{IDABORT, IDRETRY, IDIGNORE}, 3};
    case MB_YESNOCANCEL:
      return {{IDYES, IDNO, IDCANCEL}, 3};
    case MB_YESNO:
      return {{IDYES, IDNO, 0}, 2};
    case MB_RETRYCANCEL:
      return {{IDRETRY, IDCANCEL, 0}, 2};
    case MB_CANCELTRYCONTINUE:
      return {{IDCANCEL, IDTRYAGAIN, IDCONTINUE}, 3};
    default:
      return {{IDOK, 0, 0}, 1};
  }
}

int AnswerNamed(const char* name) {
  struct Named {
    const char* name;
    int id;
  };
  static constexpr Named kAnswers[] = {{"ok", IDOK},         {"cancel", IDCANCEL},   {"abort", IDABORT},
                                       {"retry", IDRETRY},   {"ignore", IDIGNORE},   {"yes", IDYES},
                                       {"no", IDNO},         {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE}};
  for (const Named& answer : kAnswers) {
    if (strcasecmp(answer.name, name) == 0) return answer.id;
  }
  return 0;
}

// Nobody presses a button: the box's default button answers, unless
// VEXUPD_MSGBOX_ANSWER names one of the box's buttons.
int Answer(UINT type) {
  const Buttons buttons = ButtonsOf(type);
  if (const char* wanted = std::getenv("VEXUPD_MSGBOX_ANSWER"); wanted != nullptr) {
    const int id = AnswerNamed(wanted);
    for (int i = 0; i < buttons.count; ++i) {
      if (buttons.ids[i] == id) return id;
    }
  }
  const int defaultButton = static_cast<int>((type & MB_DEFMASK) >> 8);
  return buttons.ids[defaultButton < buttons.count ? defaultButton : 0];
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  (void)hWnd;
  // Windows titles a box without caption "错误" (Error) on a Chinese system.
  const std::string caption =
      vexplat::detail::GbkToUtf8Lossy(lpCaption != nullptr ? lpCaption : "\xB4\xED\xCE\xF3");
  const std::string text = vexplat::detail::GbkToUtf8Lossy(lpText != nullptr ? lpText : "");
  std::fprintf(stderr, "[%s]\n%s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  if (const char* log = std::getenv("VEXUPD_MSGLOG"); log != nullptr && *log != '\0') {
    char style[16];
    std::snprintf(style, sizeof style, "0x%08X", uType);
    AppendRecord(log, EscapeLine(caption) + "\t" + style + "\t" + EscapeLine(text) + "\n");
  }
  return Answer(uType);
}

BOOL WINAPI OemToCharBuffA(LPCSTR lpszSrc, LPSTR lpszDst, DWORD cchDstLength) {
  if (lpszSrc == nullptr || lpszDst == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The OEM code page is the ANSI one (936): nothing to convert.
  if (lpszSrc != lpszDst) std::memmove(lpszDst, lpszSrc, cchDstLength);
  return TRUE;
}

BOOL WINAPI OemToCharA(LPCSTR pSrc, LPSTR pDst) {
  if (pSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return OemToCharBuffA(pSrc, pDst, static_cast<DWORD>(std::strlen(pSrc) + 1));
}

BOOL WINAPI CharToOemA(LPCSTR pSrc, LPSTR pDst) { return OemToCharA(pSrc, pDst); }

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  (void)lpMsg;
  (void)hWnd;
  (void)wMsgFilterMin;
  (void)wMsgFilterMax;
  (void)wRemoveMsg;
  return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  (void)lpMsg;
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  (void)lpMsg;
  return 0;
}
