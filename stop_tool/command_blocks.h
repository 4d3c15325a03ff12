// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_
#define SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_

#include <stddef.h>
#include <stdint.h>

// The SCSI command blocks that change a disk's power state, each built from its named fields.
// None of them moves data.

constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kAtaPassThrough12 = 0xA1;

// ATA commands sent through the pass-through blocks.
constexpr uint8_t kAtaStandbyImmediate = 0xE0;  // spins the disk down
constexpr uint8_t kAtaIdleImmediate = 0xE1;     // spins it up again

struct CommandBlock {
  uint8_t bytes[16];
  uint8_t length;
};

// START STOP UNIT, waiting for the disk (IMMED clear), power condition "start valid":
// START set spins the disk up, clear spins it down.
CommandBlock start_stop_unit(bool start);

// ATA PASS-THROUGH (16) and (12) of a non-data `ata_command` on an LBA-addressed device, with
// CK_COND set so that the ATA registers come back in the sense data.
CommandBlock ata_pass_through_16(uint8_t ata_command);
CommandBlock ata_pass_through_12(uint8_t ata_command);

#endif  // SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_
