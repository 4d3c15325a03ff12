// SPDX-License-Identifier: MIT
#include "stop_tool/power_state.h"

#include "stop_tool/text_list.h"

namespace {

// ASC 04h: logical unit not ready, whatever the cause; 5Eh: low power condition on.
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscLowPower = 0x5E;

}  // namespace

const char* power_state_word(PowerState state) {
  static constexpr char kWords[] = "active\0idle\0standby\0stopped\0unknown\0";
  static_assert(count_texts(kWords, sizeof kWords) == 5, "a word for each state");
  return nth_text(kWords, static_cast<uint8_t>(state));
}

PowerState ata_power_state(uint8_t count) {
  switch (count) {
    case 0x00:  // Standby_z
    case 0x01:  // Standby_y
    case 0x40:  // NV Cache power mode, spindle spun down or spinning down
      return PowerState::kStandby;
    case 0x80:  // Idle
    case 0x81:  // Idle_a
    case 0x82:  // Idle_b
    case 0x83:  // Idle_c
      return PowerState::kIdle;
    case 0x41:  // NV Cache power mode, spindle spun up or spinning up
    case 0xFF:  // Active or Idle
      return PowerState::kActive;
    default:
      return PowerState::kUnknown;
  }
}

PowerState sense_power_state(const Sense& sense) {
  // A deferred error is an earlier command's failure, no state.
  if (!sense.valid || sense.deferred) return PowerState::kUnknown;
  if (sense.key == kNotReady && sense.asc == kAscNotReady) return PowerState::kStopped;
  if (sense.key != kNoSense) return PowerState::kUnknown;
  if (sense.asc == 0 && sense.ascq == 0) return PowerState::kActive;
  if (sense.asc != kAscLowPower) return PowerState::kUnknown;
  switch (sense.ascq) {
    case 0x00:  // a low power condition, not said which: spinning or nearly, as far as is known
    case 0x01:  // idle condition activated by timer
    case 0x03:  // ... by command
    case 0x05:  // idle_b condition activated by timer
    case 0x06:  // ... by command
    case 0x07:  // idle_c condition activated by timer
    case 0x08:  // ... by command
      return PowerState::kIdle;
    case 0x02:  // standby condition activated by timer
    case 0x04:  // ... by command
    case 0x09:  // standby_y condition activated by timer
    case 0x0A:  // ... by command
      return PowerState::kStandby;
    default:
      return PowerState::kUnknown;
  }
}
