// SPDX-License-Identifier: MIT
#include "stop_tool/command_blocks.h"

namespace {

// START STOP UNIT byte 4: POWER CONDITION in bits 7..4, START in bit 0.
constexpr uint8_t kStartBit = 0x01;
constexpr uint8_t kPowerConditionStandby = 0x3 << 4;

// ATA PASS-THROUGH byte 1: PROTOCOL in bits 4..1.
constexpr uint8_t kProtocolNonData = 3 << 1;
// ATA PASS-THROUGH byte 2: CK_COND; T_LENGTH stays 0, no data.
constexpr uint8_t kCheckCondition = 0x20;
// The ATA DEVICE register: LBA addressing.
constexpr uint8_t kDeviceLba = 0x40;

CommandBlock zeroed(uint8_t opcode, uint8_t length) {
  CommandBlock block = {};
  block.bytes[0] = opcode;
  block.length = length;
  return block;
}

}  // namespace

CommandBlock start_stop_unit(bool start) {
  CommandBlock block = zeroed(kStartStopUnit, 6);
  block.bytes[4] = start ? kStartBit : 0;
  return block;
}

CommandBlock start_stop_unit_standby() {
  CommandBlock block = zeroed(kStartStopUnit, 6);
  block.bytes[4] = kPowerConditionStandby;
  return block;
}

CommandBlock synchronize_cache_10() { return zeroed(kSynchronizeCache10, 10); }

CommandBlock request_sense() {
  CommandBlock block = zeroed(kRequestSense, 6);
  block.bytes[4] = kRequestSenseLength;  // ALLOCATION LENGTH; DESC (byte 1) clear: fixed format
  block.data_in = kRequestSenseLength;
  return block;
}

CommandBlock ata_pass_through_16(uint8_t ata_command) {
  CommandBlock block = zeroed(kAtaPassThrough16, 16);
  block.bytes[1] = kProtocolNonData;
  block.bytes[2] = kCheckCondition;
  block.bytes[13] = kDeviceLba;
  block.bytes[14] = ata_command;
  return block;
}

CommandBlock ata_pass_through_12(uint8_t ata_command) {
  CommandBlock block = zeroed(kAtaPassThrough12, 12);
  block.bytes[1] = kProtocolNonData;
  block.bytes[2] = kCheckCondition;
  block.bytes[8] = kDeviceLba;
  block.bytes[9] = ata_command;
  return block;
}

CommandBlock ata_pass_through(uint8_t opcode, uint8_t ata_command) {
  return opcode == kAtaPassThrough16 ? ata_pass_through_16(ata_command)
                                     : ata_pass_through_12(ata_command);
}
