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

TEST(SenseCodeWords, EachCodeItsOwnWords) {
  // Every entry, in SPC's words, each followed by a qualifier of the same code that has none:
  // a code or a catch-all mark amiss would give one of them the words of another.
  const struct {
    uint8_t asc, ascq;
    const char* words;
  } cases[] = {
      {0x00, 0x00, "no additional sense information"}, {0x00, 0x01, nullptr},
      {0x04, 0x00, "not ready, cause not reportable"}, {0x04, 0x01, "becoming ready"},
      {0x04, 0x03, "manual intervention required"},    {0x04, 0x04, "format in progress"},
      {0x04, 0x09, "self-test in progress"},           {0x04, 0x11, "notify (enable spinup) required"},
      {0x04, 0x22, "power cycle required"},
      {0x05, 0x00, "logical unit does not respond to selection"}, {0x05, 0x01, nullptr},
      {0x08, 0x00, "logical unit communication failure"}, {0x08, 0x01, nullptr},
      {0x20, 0x01, nullptr}, {0x24, 0x00, "invalid field in CDB"}, {0x24, 0x01, nullptr},
      {0x25, 0x00, "logical unit not supported"}, {0x25, 0x01, nullptr},
      {0x26, 0x00, "invalid field in parameter list"}, {0x26, 0x01, nullptr},
      {0x3A, 0x00, "medium not present"}, {0x3A, 0x01, "medium not present, tray closed"},
      {0x3E, 0x01, "logical unit failure"}, {0x3E, 0x02, "timeout on logical unit"},
      {0x3E, 0x03, nullptr}, {0x47, 0x00, "SCSI parity error"}, {0x47, 0x01, nullptr},
      {0x4E, 0x00, "overlapped commands attempted"}, {0x4E, 0x01, nullptr},
      {0x5D, 0x00, "failure prediction threshold exceeded"}, {0x5D, 0x01, nullptr},
      {0x5E, 0x00, "low power condition on"}, {0x5E, 0x01, nullptr},
      // Others have none: a read error is no answer to a stop, and a unit attention is sent
      // again instead.
      {0x11, 0x00, nullptr}, {0x44, 0x01, nullptr}, {0x29, 0x00, nullptr},
      {0x2A, 0x01, nullptr},
  };
  for (const auto& c : cases) {
    const char* words = sense_code_words(c.asc, c.ascq);
    EXPECT_STREQ(words == nullptr ? "(none)" : words, c.words == nullptr ? "(none)" : c.words)
        << int{c.asc} << "/" << int{c.ascq};
  }
}

}  // namespace
