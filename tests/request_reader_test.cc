// SPDX-License-Identifier: MIT
#include "watcher/request_reader.h"

#include <gtest/gtest.h>

#include "tests/captured_console.h"

namespace {

class ReadIntFromFile : public testing::Test {
 protected:
  int32_t read_file(const std::string& contents) {
    return read_int_from_file(dir_.write("entry", contents).c_str(), console_);
  }
  std::string output() { return captured_.output(); }

  TempDir dir_;
  CapturedConsole captured_{dir_};
  Console& console_ = captured_.console();
};

TEST_F(ReadIntFromFile, ReadsTheFirstLineAndTracesIt) {
  EXPECT_EQ(read_file("1\n"), 1);
  EXPECT_EQ(read_file("0\n1\n"), 0) << "only the first line counts";
  EXPECT_EQ(read_file(" -1\n"), -1);
  EXPECT_EQ(output(), "buf=1\n\nbuf=0\n\nbuf= -1\n\n");
}

TEST_F(ReadIntFromFile, SeesOnlyTheFirst31Characters) {
  EXPECT_EQ(read_file(std::string(31, '0') + "1\n"), 0);
  EXPECT_EQ(read_file(std::string(29, ' ') + "1\n"), 1);
  EXPECT_EQ(output(), "buf=" + std::string(31, '0') + "\nbuf=" + std::string(29, ' ') + "1\n\n");
}

TEST_F(ReadIntFromFile, GivesZeroForAnEmptyFile) {
  EXPECT_EQ(read_file(""), 0);
  EXPECT_EQ(output(), "buf=\n");
}

TEST_F(ReadIntFromFile, GivesZeroAndAMessageForAMissingFile) {
  EXPECT_EQ(read_int_from_file(dir_.path("absent").c_str(), console_), 0);
  EXPECT_EQ(output(), "while loop fopen failed\n") << "no trace line for a file never read";
}

}  // namespace
