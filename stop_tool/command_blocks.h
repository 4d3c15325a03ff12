// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_
#define SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_

#include <stddef.h>
#include <stdint.h>

// The SCSI command blocks that read or change a disk's power state or write out its cache, each
// built from its named fields. Only REQUEST SENSE moves data, from the disk.

constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kSynchronizeCache10 = 0x35;
constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kAtaPassThrough12 = 0xA1;

// ATA commands sent through the pass-through blocks.
constexpr uint8_t kAtaStandbyImmediate = 0xE0;  // spins the disk down
constexpr uint8_t kAtaIdleImmediate = 0xE1;     // spins it up again
constexpr uint8_t kAtaCheckPowerMode = 0xE5;    // its power mode in the COUNT register
constexpr uint8_t kAtaFlushCache = 0xE7;        // writes the volatile cache out

// The bytes REQUEST SENSE asks for: fixed-format sense data, 18 bytes, the length that every
// USB bridge takes.
constexpr uint8_t kRequestSenseLength = 18;

struct CommandBlock {
  uint8_t bytes[16];
  uint8_t length;
  uint8_t data_in;  // bytes the command reads from the disk; 0 for none
};

// START STOP UNIT, waiting for the disk (IMMED clear), power condition "start valid":
// START set spins the disk up, clear spins it down into the stopped condition, where every
// media access fails until it is started again.
CommandBlock start_stop_unit(bool start);

// START STOP UNIT with the power condition STANDBY (modifier 0, standby_z: spun down), waiting
// for the disk: unlike a stop, the disk takes the next media access itself and spins up.
CommandBlock start_stop_unit_standby();

// SYNCHRONIZE CACHE (10) of the whole medium, waiting for it (IMMED clear).
CommandBlock synchronize_cache_10();

// REQUEST SENSE for fixed-format sense data; a disk with no error to report answers with its
// power condition, and leaves it as it is.
CommandBlock request_sense();

// ATA PASS-THROUGH (16) and (12) of a non-data `ata_command` on an LBA-addressed device, with
// CK_COND set so that the ATA registers come back in the sense data.
CommandBlock ata_pass_through_16(uint8_t ata_command);
CommandBlock ata_pass_through_12(uint8_t ata_command);
// Either of them, by its opcode (kAtaPassThrough16 or kAtaPassThrough12).
CommandBlock ata_pass_through(uint8_t opcode, uint8_t ata_command);

#endif  // SPIN_DOWN_STOP_TOOL_COMMAND_BLOCKS_H_
