// SPDX-License-Identifier: MIT
#include "stop_tool/sense_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(SenseCodeWords, NamesTheCodesAStopMeets) {
  EXPECT_STREQ(sense_code_words(0x44, 0x00), "internal target failure");
  EXPECT_STREQ(sense_code_words(0x04, 0x02), "initializing command required");
  EXPECT_STREQ(sense_code_words(0x20, 0x00), "invalid command operation code");
  EXPECT_STREQ(sense_code_words(0x00, 0x1D), "ATA pass through information available");
}

TEST(SenseCodeWords, AQualifierNotListedTakesTheWordsOfItsCode) {
  EXPECT_STREQ(sense_code_words(0x04, 0x42), "logical unit not ready");
  EXPECT_STREQ(sense_code_words(0x04, 0x1A), "start stop unit command in progress");
  EXPECT_STREQ(sense_code_words(0x3A, 0x02), "medium not present, tray open");
  EXPECT_STREQ(sense_code_words(0x3A, 0x04), "medium not present");
}

TEST(SenseCodeWords, OthersHaveNone) {
  EXPECT_EQ(sense_code_words(0x11, 0x00), nullptr);  // a read error: no answer to a stop
  EXPECT_EQ(sense_code_words(0x44, 0x01), nullptr);
  EXPECT_EQ(sense_code_words(0x00, 0x01), nullptr);
  EXPECT_EQ(sense_code_words(0x29, 0x00), nullptr);  // a unit attention: sent again instead
}

}  // namespace
