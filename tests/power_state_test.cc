// SPDX-License-Identifier: MIT
#include "stop_tool/power_state.h"

#include <gtest/gtest.h>

namespace {

TEST(PowerState, Words) {
  const char* words[] = {"active", "idle", "standby", "stopped", "unknown"};
  for (uint8_t state = 0; state < 5; ++state) {
    EXPECT_STREQ(power_state_word(static_cast<PowerState>(state)), words[state]);
  }
}

constexpr PowerState kA = PowerState::kActive, kI = PowerState::kIdle,
                     kS = PowerState::kStandby, kT = PowerState::kStopped,
                     kU = PowerState::kUnknown;

TEST(PowerState, FromCheckPowerModeCount) {
  const struct {
    uint8_t count;
    PowerState state;
  } cases[] = {{0x00, kS}, {0x01, kS}, {0x40, kS}, {0x41, kA}, {0x80, kI}, {0x81, kI},
               {0x83, kI}, {0xFF, kA}, {0x02, kU}, {0x84, kU}, {0xFE, kU}};
  for (const auto& c : cases) EXPECT_EQ(ata_power_state(c.count), c.state) << int{c.count};
}

TEST(PowerState, FromRequestSense) {
  const struct {
    uint8_t code, key, asc, ascq;
    PowerState state;
  } cases[] = {
      {0x70, kNoSense, 0x00, 0x00, kA},  {0x70, kNotReady, 0x04, 0x02, kT},
      {0x70, kNotReady, 0x04, 0x00, kT}, {0x70, kNotReady, 0x3A, 0x00, kU},
      {0x70, kNoSense, 0x5E, 0x01, kI},  {0x70, kNoSense, 0x5E, 0x03, kI},
      {0x70, kNoSense, 0x5E, 0x08, kI},  {0x70, kNoSense, 0x5E, 0x02, kS},
      {0x70, kNoSense, 0x5E, 0x04, kS},  {0x70, kNoSense, 0x5E, 0x09, kS},
      {0x70, kNoSense, 0x5E, 0x0A, kS},  {0x70, kNoSense, 0x5E, 0x00, kI},
      {0x70, kNoSense, 0x5E, 0x0B, kU},  {0x70, kNoSense, 0x29, 0x00, kU},
      {0x70, kUnitAttention, 0x5E, 0x04, kU}, {0x71, kNotReady, 0x04, 0x02, kU},
      {0x00, kNoSense, 0x00, 0x00, kU},
  };
  for (const auto& c : cases) {
    const uint8_t data[] = {c.code, 0, c.key, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, c.asc, c.ascq};
    EXPECT_EQ(sense_power_state(decode_sense(data, sizeof data)), c.state)
        << int{c.code} << " " << int{c.key} << " " << int{c.asc} << "/" << int{c.ascq};
  }
}

}  // namespace
