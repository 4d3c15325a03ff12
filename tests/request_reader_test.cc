#include "watcher/request_reader.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

int32_t parse(const char* text) { return parse_leading_int(text, strlen(text)); }

TEST(ParseLeadingInt, ReadsAsAtoiDoes) {
  EXPECT_EQ(parse("1\n"), 1);
  EXPECT_EQ(parse("   1"), 1);
}

}  // namespace
