// SPDX-License-Identifier: MIT
#include "common/console.h"

#include <gtest/gtest.h>

#include "tests/temp_dir.h"

namespace {

// A console whose two streams are files in a temporary folder.
class ConsoleTest : public testing::Test {
 protected:
  ConsoleTest()
      : trace_fd_(open(dir_.path("trace").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)),
        error_fd_(open(dir_.path("error").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)) {}
  ~ConsoleTest() override {
    close(trace_fd_);
    close(error_fd_);
  }

  TempDir dir_;
  int trace_fd_;
  int error_fd_;
};

TEST_F(ConsoleTest, HoldsTracesUntilFlushedAndWritesErrorsAtOnce) {
  char buffer[64];
  Console console(trace_fd_, error_fd_, buffer, sizeof buffer);
  console.trace("while loop begin\n");
  console.error("fopen failed\n");
  EXPECT_EQ(dir_.read("trace"), "");
  EXPECT_EQ(dir_.read("error"), "fopen failed\n");
  console.flush();
  EXPECT_EQ(dir_.read("trace"), "while loop begin\n");
  console.flush();
  EXPECT_EQ(dir_.read("trace"), "while loop begin\n") << "a flush writes nothing twice";
}

TEST_F(ConsoleTest, FormatsValuesAndTextsAsTheTraceFormatsDo) {
  char buffer[256];
  Console console(trace_fd_, error_fd_, buffer, sizeof buffer);
  console.trace("result=", 1);
  console.trace("result=", 0);
  console.trace("result=", -1);
  console.trace("result=", INT32_MAX);
  console.trace("result=", INT32_MIN);
  console.trace("buf=", "1\n", 2);
  console.trace("buf=", "", 0);
  console.trace("buf=", "2\0junk", 6);  // text ends at its zero byte, as "%s" shows it
  console.flush();
  EXPECT_EQ(dir_.read("trace"),
            "result=1\nresult=0\nresult=-1\nresult=2147483647\nresult=-2147483648\n"
            "buf=1\n\nbuf=\nbuf=2\n");
}

TEST_F(ConsoleTest, WritesWhenFullWithoutLosingOrReorderingAnything) {
  char buffer[16];
  Console console(trace_fd_, error_fd_, buffer, sizeof buffer);
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    console.trace("result=", i);
    expected += "result=" + std::to_string(i) + "\n";
  }
  std::string long_text(40, 'x');
  console.trace("buf=", long_text.data(), long_text.size());
  expected += "buf=" + long_text + "\n";
  EXPECT_LT(dir_.read("trace").size(), expected.size()) << "the tail is still buffered";
  console.flush();
  EXPECT_EQ(dir_.read("trace"), expected);
}

}  // namespace
