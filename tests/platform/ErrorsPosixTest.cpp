// errno mapping of the POSIX stand-in (no counterpart on Windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/posix/ErrnoMap.h"

namespace {

using vexplat::detail::Win32ErrorFromErrno;

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
