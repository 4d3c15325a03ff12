// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_POWER_STATE_H_
#define SPIN_DOWN_STOP_TOOL_POWER_STATE_H_

#include <stdint.h>

#include "stop_tool/sense.h"

// A disk's power state as the tool names it.
enum class PowerState : uint8_t {
  kActive,   // spinning, ready for commands at once
  kIdle,     // spinning, or nearly, in a low power condition; answers at once or almost
  kStandby,  // spun down by its own timer or a command; the next access spins it up
  kStopped,  // spun down by START STOP UNIT; a read fails until it is started
  kUnknown,  // it answered, but not with a state
};

// "active", "idle", "standby", "stopped" or "unknown".
const char* power_state_word(PowerState state);

// The state in the COUNT register that ATA CHECK POWER MODE returns.
PowerState ata_power_state(uint8_t count);

// The state in the sense data that REQUEST SENSE returns: the power condition that a disk with
// no error to report gives, or NOT READY for a stopped one.
PowerState sense_power_state(const Sense& sense);

#endif  // SPIN_DOWN_STOP_TOOL_POWER_STATE_H_
