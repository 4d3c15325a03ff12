// SPDX-License-Identifier: MIT
#include "common/decimal.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

int32_t parse(const char* text) { return scan_leading_int(text, strlen(text)).value; }

TEST(ScanLeadingInt, ReadsTheLeadingNumberAsAtoiDoes) {
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

TEST(ScanLeadingInt, GivesZeroWithoutDigits) {
  EXPECT_EQ(parse(""), 0);
  EXPECT_EQ(parse("\n"), 0);
  EXPECT_EQ(parse("yes"), 0);
  EXPECT_EQ(parse("-"), 0);
  EXPECT_EQ(parse("+ 1"), 0);
  EXPECT_EQ(parse("--1"), 0);
}

TEST(ScanLeadingInt, ClampsToTheInt32Range) {
  EXPECT_EQ(parse("2147483647"), INT32_MAX);
  EXPECT_EQ(parse("2147483648"), INT32_MAX);
  EXPECT_EQ(parse("99999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(parse("-2147483648"), INT32_MIN);
  EXPECT_EQ(parse("-2147483649"), INT32_MIN);
  // 2^32 + 1 must not wrap round to the spin-down request.
  EXPECT_EQ(parse("4294967297"), INT32_MAX);
}

TEST(ScanLeadingInt, StopsAtTheLengthAndAtAZeroByte) {
  EXPECT_EQ(scan_leading_int("12", 1).value, 1);
  const char zero_inside[] = {'1', '\0', '2'};
  EXPECT_EQ(scan_leading_int(zero_inside, sizeof zero_inside).value, 1);
}

TEST(ScanLeadingInt, TellsWhereTheDigitsEndAndWhetherThereWereAny) {
  LeadingInt field = scan_leading_int("  -12 sda", 9);
  EXPECT_TRUE(field.found);
  EXPECT_EQ(field.end, 5u);
  EXPECT_FALSE(scan_leading_int("  - 12", 6).found);
  EXPECT_FALSE(scan_leading_int("", 0).found);
}

}  // namespace
