// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_STOP_METHODS_H_
#define SPIN_DOWN_STOP_TOOL_STOP_METHODS_H_

#include <stddef.h>
#include <stdint.h>

#include "stop_tool/command_blocks.h"

// The tool's exit statuses.
enum ExitStatus : int {
  kExitDone = 0,
  kExitUsage = 1,
  kExitCannotOpen = 2,
  kExitNotSgIo = 3,
  kExitNotSupported = 4,
  kExitIoError = 5,
  // Not stopped: the disk takes no standby, and the kernel would not start it after a stop.
  kExitNoRestart = 6,
};

// As much sense data as the kernel passes up (SCSI_SENSE_BUFFERSIZE): an ATA Status Return
// descriptor behind another one ends past byte 32.
constexpr size_t kSenseCapacity = 96;

// What the kernel gave back for one command block.
struct Outcome {
  int error;  // errno of a failed SG_IO call, else 0
  uint8_t status;
  uint16_t host_status;
  uint16_t driver_status;
  uint8_t sense[kSenseCapacity];
  uint8_t sense_length;
  uint8_t data[kRequestSenseLength];  // what a command that reads data read
  uint8_t data_length;
};

// The one way to reach a disk: send a command block to the open disk `fd` and wait for its
// outcome.
using SendCommand = Outcome (*)(int fd, const CommandBlock& block);

// Makes sure that the kernel starts the disk `fd` again on the first access after a START STOP
// UNIT stop; 0 if so, else the errno of what stands in the way (ensure_restart).
using EnsureRestart = int (*)(int fd);

struct PowerResult {
  ExitStatus status;
  char message[96];  // why it failed; empty on success
};

// Stops (`start` false) or starts the disk `fd` through `send`, whatever it speaks and whatever
// its state: START STOP UNIT first, then ATA PASS-THROUGH (16) and (12) for bridges that reject
// it. A stop asks for the standby power condition first, from which the disk spins up by itself
// on the next access; where the disk takes no power conditions, START STOP UNIT stops it, but
// only where `restart` makes sure that the kernel will start it again on that access (else
// that method is left out, and kExitNoRestart stands for every other being rejected). A method
// the disk rejects gives way to the next; any other failure ends the attempt. A command met by
// a unit attention or a deferred error (both about earlier commands) is sent once more.
PowerResult change_power(SendCommand send, int fd, bool start, EnsureRestart restart);

#endif  // SPIN_DOWN_STOP_TOOL_STOP_METHODS_H_
