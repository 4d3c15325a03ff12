// SPDX-License-Identifier: MIT
#include "stop_tool/power_state.h"

#include <gtest/gtest.h>

namespace {

TEST(PowerState, Words) {
  EXPECT_STREQ(power_state_word(PowerState::kActive), "active");
  EXPECT_STREQ(power_state_word(PowerState::kIdle), "idle");
  EXPECT_STREQ(power_state_word(PowerState::kStandby), "standby");
  EXPECT_STREQ(power_state_word(PowerState::kStopped), "stopped");
  EXPECT_STREQ(power_state_word(PowerState::kUnknown), "unknown");
}

TEST(PowerState, FromCheckPowerModeCount) {
  const struct {
    uint8_t count;
    PowerState state;
  } cases[] = {
      {0x00, PowerState::kStandby}, {0x01, PowerState::kStandby}, {0x40, PowerState::kStandby},
      {0x41, PowerState::kActive},  {0x80, PowerState::kIdle},    {0x81, PowerState::kIdle},
      {0x82, PowerState::kIdle},    {0x83, PowerState::kIdle},    {0xFF, PowerState::kActive},
      {0x02, PowerState::kUnknown}, {0x84, PowerState::kUnknown}, {0xFE, PowerState::kUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(ata_power_state(c.count), c.state) << int{c.count};
}

TEST(PowerState, FromRequestSense) {
  const struct {
    Sense sense;
    PowerState state;
  } cases[] = {
      {{true, false, kNoSense, 0x00, 0x00, false, 0, 0, 0}, PowerState::kActive},
      {{true, false, kNotReady, 0x04, 0x02, false, 0, 0, 0}, PowerState::kStopped},
      {{true, false, kNotReady, 0x04, 0x00, false, 0, 0, 0}, PowerState::kStopped},
      {{true, false, kNotReady, 0x3A, 0x00, false, 0, 0, 0}, PowerState::kUnknown},
      {{true, false, kNoSense, 0x5E, 0x01, false, 0, 0, 0}, PowerState::kIdle},
      {{true, false, kNoSense, 0x5E, 0x03, false, 0, 0, 0}, PowerState::kIdle},
      {{true, false, kNoSense, 0x5E, 0x08, false, 0, 0, 0}, PowerState::kIdle},
      {{true, false, kNoSense, 0x5E, 0x02, false, 0, 0, 0}, PowerState::kStandby},
      {{true, false, kNoSense, 0x5E, 0x04, false, 0, 0, 0}, PowerState::kStandby},
      {{true, false, kNoSense, 0x5E, 0x09, false, 0, 0, 0}, PowerState::kStandby},
      {{true, false, kNoSense, 0x5E, 0x0A, false, 0, 0, 0}, PowerState::kStandby},
      {{true, false, kNoSense, 0x5E, 0x00, false, 0, 0, 0}, PowerState::kUnknown},
      {{true, false, kNoSense, 0x5E, 0x0B, false, 0, 0, 0}, PowerState::kUnknown},
      {{true, false, kNoSense, 0x29, 0x00, false, 0, 0, 0}, PowerState::kUnknown},
      {{true, false, kUnitAttention, 0x5E, 0x04, false, 0, 0, 0}, PowerState::kUnknown},
      {{true, true, kNotReady, 0x04, 0x02, false, 0, 0, 0}, PowerState::kUnknown},
      {{false, false, kNoSense, 0x00, 0x00, false, 0, 0, 0}, PowerState::kUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sense_power_state(c.sense), c.state)
        << int{c.sense.key} << " " << int{c.sense.asc} << "/" << int{c.sense.ascq};
  }
}

}  // namespace
