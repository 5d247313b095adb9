// errno mapping of the POSIX stand-in (no counterpart on Windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "SystemText.h"
#include "platform/posix/ErrnoMap.h"
#include "rtl/Gbk.h"

namespace {

using vexplat::detail::Win32ErrorFromErrno;

using vextest::SystemText;

// The texts of a Chinese-locale Windows, in code page 936.
TEST(SystemMessages, AreTheTextsOfChineseWindows) {
  EXPECT_EQ("\xcf\xb5\xcd\xb3\xd5\xd2\xb2\xbb\xb5\xbd\xd6\xb8\xb6\xa8\xb5\xc4\xce\xc4\xbc\xfe\xa1\xa3\r\n",
            SystemText(2));
  EXPECT_EQ("\xbe\xdc\xbe\xf8\xb7\xc3\xce\xca\xa1\xa3\r\n", SystemText(5));
  EXPECT_EQ("\xc1\xed\xd2\xbb\xb8\xf6\xb3\xcc\xd0\xf2\xd5\xfd\xd4\xda\xca\xb9\xd3\xc3\xb4\xcb\xce\xc4\xbc\xfe\xa3\xac"
            "\xbd\xf8\xb3\xcc\xce\xde\xb7\xa8\xb7\xc3\xce\xca\xa1\xa3\r\n",
            SystemText(32));
  EXPECT_EQ(GBK("系统找不到指定的路径。\r\n"), SystemText(3));
  EXPECT_EQ(GBK("文件存在。\r\n"), SystemText(80));
  EXPECT_EQ(GBK("参数错误。\r\n"), SystemText(87));
  EXPECT_EQ(GBK("磁盘空间不足。\r\n"), SystemText(112));
  EXPECT_EQ(GBK("文件名、目录名或卷标语法不正确。\r\n"), SystemText(123));
  EXPECT_EQ(GBK("目录不是空的。\r\n"), SystemText(145));
  EXPECT_EQ(GBK("当文件已存在时，无法创建该文件。\r\n"), SystemText(183));
  EXPECT_EQ(GBK("%1 不是有效的 Win32 应用程序。\r\n"), SystemText(193));
}

TEST(SystemMessages, InsertIsFilledFromTheArgumentArray) {
  const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>("setup.dat")};
  char buffer[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, 193, 0,
                                      buffer, sizeof buffer, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
  EXPECT_EQ("setup.dat" + GBK(" 不是有效的 Win32 应用程序。\r\n"), std::string(buffer, length));
}

TEST(ErrnoMap, CommonErrnoValuesBecomeWin32Codes) {
  EXPECT_EQ(2u, Win32ErrorFromErrno(ENOENT));
  EXPECT_EQ(3u, Win32ErrorFromErrno(ENOTDIR));
  EXPECT_EQ(5u, Win32ErrorFromErrno(EACCES));
  EXPECT_EQ(5u, Win32ErrorFromErrno(EPERM));
  EXPECT_EQ(5u, Win32ErrorFromErrno(EISDIR));
  EXPECT_EQ(19u, Win32ErrorFromErrno(EROFS));
  EXPECT_EQ(32u, Win32ErrorFromErrno(EAGAIN));
  EXPECT_EQ(32u, Win32ErrorFromErrno(ETXTBSY));
  EXPECT_EQ(87u, Win32ErrorFromErrno(EINVAL));
  EXPECT_EQ(112u, Win32ErrorFromErrno(ENOSPC));
  EXPECT_EQ(112u, Win32ErrorFromErrno(EDQUOT));
  EXPECT_EQ(123u, Win32ErrorFromErrno(EILSEQ));
  EXPECT_EQ(145u, Win32ErrorFromErrno(ENOTEMPTY));
  EXPECT_EQ(183u, Win32ErrorFromErrno(EEXIST));
  EXPECT_EQ(193u, Win32ErrorFromErrno(ENOEXEC));
  EXPECT_EQ(206u, Win32ErrorFromErrno(ENAMETOOLONG));
  EXPECT_EQ(31u, Win32ErrorFromErrno(EPIPE));  // anything else is a general failure
}

TEST(ErrnoMap, FailSetsTheLastErrorAndAnswersFalse) {
  SetLastError(0);
  EXPECT_FALSE(vexplat::detail::FailFromErrno(ENOSPC));
  EXPECT_EQ(112u, GetLastError());
  errno = ENOENT;
  EXPECT_FALSE(vexplat::detail::FailFromErrno());
  EXPECT_EQ(2u, GetLastError());
}

}  // namespace
