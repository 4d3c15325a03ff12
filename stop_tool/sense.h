// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_SENSE_H_
#define SPIN_DOWN_STOP_TOOL_SENSE_H_

#include <stddef.h>
#include <stdint.h>

enum SenseKey : uint8_t {
  kNoSense = 0x0,
  kRecoveredError = 0x1,
  kNotReady = 0x2,
  kIllegalRequest = 0x5,
  kUnitAttention = 0x6,
  kAbortedCommand = 0xB,
};

// ATA STATUS register bits.
constexpr uint8_t kAtaStatusError = 0x01;
// ATA ERROR register bits: ABRT, the command was aborted (as not supported, among others).
constexpr uint8_t kAtaErrorAbort = 0x04;

// What a disk said in its sense data.
struct Sense {
  bool valid;     // a current or deferred error in fixed or descriptor format
  bool deferred;  // the error is that of an earlier command; this one was not processed
  uint8_t key;
  uint8_t asc;
  uint8_t ascq;
  // The ATA registers that came back from an ATA PASS-THROUGH with CK_COND, if they did: STATUS,
  // ERROR and COUNT (bits 7:0).
  bool has_ata_status;
  uint8_t ata_status;
  uint8_t ata_error;
  uint8_t ata_count;
};

// Decodes the first `length` bytes of sense data, reading neither past them nor past the
// length that the data itself declares; fields it does not reach stay zero.
Sense decode_sense(const uint8_t* data, size_t length);

// The standard name of a sense key, such as "NOT READY".
const char* sense_key_name(uint8_t key);

#endif  // SPIN_DOWN_STOP_TOOL_SENSE_H_
