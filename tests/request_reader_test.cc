#include "watcher/request_reader.h"

#include <gtest/gtest.h>
#include <string.h>

#include "common/console.h"
#include "tests/temp_dir.h"

namespace {

int32_t parse(const char* text) { return parse_leading_int(text, strlen(text)); }

TEST(ParseLeadingInt, ReadsTheLeadingNumberAsAtoiDoes) {
  EXPECT_EQ(parse("1\n"), 1);
  EXPECT_EQ(parse("   1\n"), 1);
  EXPECT_EQ(parse("\t\v\f\r 1"), 1);
  EXPECT_EQ(parse("+1"), 1);
  EXPECT_EQ(parse("01"), 1);
  EXPECT_EQ(parse("1 23"), 1);
  EXPECT_EQ(parse("1.5"), 1);
  EXPECT_EQ(parse("-1"), -1);
  EXPECT_EQ(parse("2"), 2);
  EXPECT_EQ(parse("0"), 0);
}

TEST(ParseLeadingInt, GivesZeroWithoutDigits) {
  EXPECT_EQ(parse(""), 0);
  EXPECT_EQ(parse("\n"), 0);
  EXPECT_EQ(parse("yes"), 0);
  EXPECT_EQ(parse("-"), 0);
  EXPECT_EQ(parse("+ 1"), 0);
  EXPECT_EQ(parse("--1"), 0);
}

TEST(ParseLeadingInt, ClampsToTheInt32Range) {
  EXPECT_EQ(parse("2147483647"), INT32_MAX);
  EXPECT_EQ(parse("2147483648"), INT32_MAX);
  EXPECT_EQ(parse("99999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(parse("-2147483648"), INT32_MIN);
  EXPECT_EQ(parse("-2147483649"), INT32_MIN);
  // 2^32 + 1 must not wrap round to the spin-down request.
  EXPECT_EQ(parse("4294967297"), INT32_MAX);
}

TEST(ParseLeadingInt, StopsAtTheLengthAndAtAZeroByte) {
  EXPECT_EQ(parse_leading_int("12", 1), 1);
  EXPECT_EQ(parse_leading_int("1\0"
                              "2",
                              3),
            1);
}

class ReadIntFromFile : public testing::Test {
 protected:
  ReadIntFromFile()
      : out_fd_(open(dir_.path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)),
        console_(out_fd_, out_fd_, buffer_, sizeof buffer_) {}
  ~ReadIntFromFile() override { close(out_fd_); }

  int32_t read_file(const std::string& contents) {
    return read_int_from_file(dir_.write("entry", contents).c_str(), console_);
  }
  std::string output() {
    console_.flush();
    return dir_.read("out");
  }

  TempDir dir_;
  int out_fd_;
  char buffer_[512];
  Console console_;
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
