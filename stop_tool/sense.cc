// SPDX-License-Identifier: MIT
#include "stop_tool/sense.h"

#include "stop_tool/text_list.h"

namespace {

// Response codes, byte 0 without the VALID bit.
constexpr uint8_t kFixedCurrent = 0x70;
constexpr uint8_t kFixedDeferred = 0x71;
constexpr uint8_t kDescriptorCurrent = 0x72;
constexpr uint8_t kDescriptorDeferred = 0x73;

// ASC/ASCQ 00/1D: ATA PASS-THROUGH INFORMATION AVAILABLE.
constexpr uint8_t kAtaInformationAsc = 0x00;
constexpr uint8_t kAtaInformationAscq = 0x1D;

// The ATA Status Return sense data descriptor: type, additional length, then the registers.
constexpr uint8_t kAtaStatusReturn = 0x09;
constexpr size_t kAtaStatusReturnLength = 14;
constexpr size_t kAtaStatusReturnError = 3;
constexpr size_t kAtaStatusReturnCount = 5;
constexpr size_t kAtaStatusReturnStatus = 13;

// Fixed format: the ATA ERROR, STATUS, DEVICE and COUNT registers stand in the INFORMATION field.
constexpr size_t kFixedAtaError = 3;
constexpr size_t kFixedAtaStatus = 4;
constexpr size_t kFixedAtaCount = 6;

// The end of the sense data: what the disk says it sent, within what was received.
size_t sense_end(const uint8_t* data, size_t length, size_t header) {
  if (length < header) return length;
  size_t declared = header + data[7];
  return declared < length ? declared : length;
}

bool ata_information(const Sense& sense) {
  return sense.asc == kAtaInformationAsc && sense.ascq == kAtaInformationAscq;
}

void decode_fixed(const uint8_t* data, size_t length, Sense& sense) {
  size_t end = sense_end(data, length, 8);
  if (end < 3) return;
  sense.valid = true;
  sense.key = data[2] & 0x0F;
  if (end < 14) return;
  sense.asc = data[12];
  sense.ascq = data[13];
  if (ata_information(sense)) {
    sense.has_ata_status = true;
    sense.ata_status = data[kFixedAtaStatus];
    sense.ata_error = data[kFixedAtaError];
    sense.ata_count = data[kFixedAtaCount];
  }
}

void decode_descriptors(const uint8_t* data, size_t length, Sense& sense) {
  if (length < 4) return;
  sense.valid = true;
  sense.key = data[1] & 0x0F;
  sense.asc = data[2];
  sense.ascq = data[3];
  size_t end = sense_end(data, length, 8);
  for (size_t at = 8; at + 2 <= end; at += 2U + data[at + 1]) {
    const uint8_t* descriptor = data + at;
    if (descriptor[0] == kAtaStatusReturn && at + kAtaStatusReturnLength <= end) {
      sense.has_ata_status = true;
      sense.ata_status = descriptor[kAtaStatusReturnStatus];
      sense.ata_error = descriptor[kAtaStatusReturnError];
      sense.ata_count = descriptor[kAtaStatusReturnCount];
      return;
    }
  }
}

}  // namespace

Sense decode_sense(const uint8_t* data, size_t length) {
  Sense sense = {};
  if (length == 0) return sense;
  uint8_t code = data[0] & 0x7F;
  switch (code) {
    case kFixedCurrent:
    case kFixedDeferred:
      decode_fixed(data, length, sense);
      break;
    case kDescriptorCurrent:
    case kDescriptorDeferred:
      decode_descriptors(data, length, sense);
      break;
    default:
      break;
  }
  sense.deferred = sense.valid && (code == kFixedDeferred || code == kDescriptorDeferred);
  return sense;
}

const char* sense_key_name(uint8_t key) {
  static constexpr char kNames[] =
      "NO SENSE\0RECOVERED ERROR\0NOT READY\0MEDIUM ERROR\0"
      "HARDWARE ERROR\0ILLEGAL REQUEST\0UNIT ATTENTION\0DATA PROTECT\0"
      "BLANK CHECK\0VENDOR SPECIFIC\0COPY ABORTED\0ABORTED COMMAND\0"
      "RESERVED\0VOLUME OVERFLOW\0MISCOMPARE\0COMPLETED\0";
  static_assert(count_texts(kNames, sizeof kNames) == 16, "a name for each of the 16 keys");
  return nth_text(kNames, key & 0x0F);
}
