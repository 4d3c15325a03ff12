// SPDX-License-Identifier: MIT
#include "stop_tool/error_words.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

namespace {

// The short table must say what glibc says, so that a static tool's messages read as a dynamic
// one's. Other C libraries word some errors their own way (musl: "I/O error").
TEST(ErrorWords, AreTheCLibrarysWords) {
#ifndef __GLIBC__
  GTEST_SKIP() << "the table holds glibc's words; this C library has words of its own";
#endif
  const int errors[] = {EPERM,  ENOENT, EINTR,  EIO,   ENXIO,        EAGAIN,
                        ENOMEM, EACCES, EFAULT, EBUSY, ENOTDIR,      ENODEV,
                        EINVAL, EMFILE, ENOTTY, ELOOP, ENAMETOOLONG, ENOMEDIUM};
  for (int error : errors) {
    ASSERT_NE(error_words(error), nullptr) << error;
    EXPECT_STREQ(error_words(error), strerror(error)) << error;
  }
}

TEST(ErrorWords, OthersHaveNoneAndAreNamedByNumber) {
  EXPECT_EQ(error_words(EDOM), nullptr);
  EXPECT_EQ(error_words(0), nullptr);
  ErrorNumberText spare;
  EXPECT_STREQ(error_number(95, spare), "error 95");
  EXPECT_STREQ(error_number(0, spare), "error 0");
  EXPECT_STREQ(error_number(-7, spare), "error -7");
  EXPECT_STREQ(error_number(INT_MAX, spare), "error 2147483647");
  EXPECT_STREQ(error_number(INT_MIN, spare), "error -2147483648");
}

}  // namespace
