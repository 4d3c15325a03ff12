// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_POWER_QUERY_H_
#define SPIN_DOWN_STOP_TOOL_POWER_QUERY_H_

#include <stdint.h>

#include "stop_tool/power_state.h"
#include "stop_tool/stop_methods.h"

// How a disk showed it can be spoken to.
enum class Speaks : uint8_t {
  kNeither,  // it rejected every query, or a query failed
  kAta,      // it answered ATA CHECK POWER MODE through ATA PASS-THROUGH
  kScsi,     // it rejected ATA PASS-THROUGH and answered REQUEST SENSE
};

struct PowerQuery {
  PowerResult result;  // kExitDone when a state was read, kUnknown included
  PowerState state;
  Speaks speaks;
  uint8_t pass_through;  // the ATA PASS-THROUGH opcode that answered, for kAta
};

// Reads the disk's power state without changing it: ATA CHECK POWER MODE through ATA
// PASS-THROUGH (16), then (12); a disk that rejects both gets REQUEST SENSE. ATA comes first
// since the kernel's SATA layer answers REQUEST SENSE itself, saying nothing of power. Never a
// command that touches the medium, which would spin a sleeping disk up.
PowerQuery query_power(SendCommand send, int fd);

// Spins the disk down the way it speaks, after writing out its cache, so that the next access
// spins it up again: a disk in standby or stopped gets nothing more; an ATA disk gets FLUSH
// CACHE, then STANDBY IMMEDIATE, through the pass-through that answered; a SCSI disk
// SYNCHRONIZE CACHE (10), then change_power. A flush the disk rejects as not supported does not
// hold the stop back; one that fails otherwise does (kExitIoError). A disk that answered no
// query gets change_power alone.
PowerResult stop_disk(SendCommand send, int fd, EnsureRestart restart);

#endif  // SPIN_DOWN_STOP_TOOL_POWER_QUERY_H_
