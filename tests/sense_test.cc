// SPDX-License-Identifier: MIT
#include "stop_tool/sense.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

template <size_t N>
Sense decode(const uint8_t (&data)[N]) {
  return decode_sense(data, N);
}

// Captured from Linux 6.1's SATA layer in front of an emulated disk, and in the common forms
// that disks answer.
// ATA PASS-THROUGH (16) STANDBY IMMEDIATE with CK_COND: RECOVERED ERROR, 00/1D and the ATA
// Status Return descriptor, status DRDY.
constexpr uint8_t kLibataPassThroughDone[] = {
    0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x0e, 0x09, 0x0c, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x40};
// An ATA command the disk aborted: ABORTED COMMAND 00/00, fixed format.
constexpr uint8_t kLibataAborted[] = {0x70, 0,    0x0b, 0, 0, 0, 0, 0x0a, 0x04,
                                      0x41, 0x40, 0,    0, 0, 0, 0, 0,    0};
// A SCSI disk asked for ATA PASS-THROUGH: ILLEGAL REQUEST, invalid command operation code.
constexpr uint8_t kScsiInvalidOpcode[] = {0x70, 0, 0x05, 0,    0, 0, 0, 0x0a, 0,
                                          0,    0, 0,    0x20, 0, 0, 0, 0,    0};
// A stopped SAS unit: NOT READY, initializing command required.
constexpr uint8_t kSasStopped[] = {0x70, 0, 0x02, 0,    0,    0, 0, 0x0a, 0,
                                   0,    0, 0,    0x04, 0x02, 0, 0, 0,    0};
// The same in descriptor format, deferred.
constexpr uint8_t kSasStoppedDescriptor[] = {0x73, 0x02, 0x04, 0x02, 0, 0, 0, 0};

TEST(DecodeSense, LibataPassThroughAnswerCarriesTheAtaStatus) {
  Sense sense = decode(kLibataPassThroughDone);
  EXPECT_TRUE(sense.valid);
  EXPECT_EQ(sense.key, kRecoveredError);
  EXPECT_EQ(sense.asc, 0x00);
  EXPECT_EQ(sense.ascq, 0x1D);
  EXPECT_TRUE(sense.has_ata_status);
  EXPECT_EQ(sense.ata_status, 0x40);
}

TEST(DecodeSense, FixedFormat) {
  Sense sense = decode(kSasStopped);
  EXPECT_TRUE(sense.valid);
  EXPECT_FALSE(sense.deferred);
  EXPECT_EQ(sense.key, kNotReady);
  EXPECT_EQ(sense.asc, 0x04);
  EXPECT_EQ(sense.ascq, 0x02);
  EXPECT_FALSE(sense.has_ata_status);

  sense = decode(kScsiInvalidOpcode);
  EXPECT_EQ(sense.key, kIllegalRequest);
  EXPECT_EQ(sense.asc, 0x20);

  // Only 00/1D says that the INFORMATION field holds ATA registers.
  sense = decode(kLibataAborted);
  EXPECT_EQ(sense.key, kAbortedCommand);
  EXPECT_FALSE(sense.has_ata_status);
}

TEST(DecodeSense, DescriptorFormat) {
  Sense sense = decode(kSasStoppedDescriptor);
  EXPECT_TRUE(sense.valid);
  EXPECT_TRUE(sense.deferred);
  EXPECT_EQ(sense.key, kNotReady);
  EXPECT_EQ(sense.asc, 0x04);
  EXPECT_EQ(sense.ascq, 0x02);
  EXPECT_FALSE(sense.has_ata_status);
}

TEST(DecodeSense, FixedFormatAtaStatusInTheInformationField) {
  const uint8_t aborted[] = {0xf0, 0, 0x01, 0x04, 0x51, 0x40, 0, 0x0a, 0, 0, 0, 0, 0x00, 0x1d};
  Sense sense = decode(aborted);
  EXPECT_EQ(sense.key, kRecoveredError);
  EXPECT_TRUE(sense.has_ata_status);
  EXPECT_EQ(sense.ata_status, 0x51);
}

TEST(DecodeSense, AtaErrorAndCountInEitherFormat) {
  // CHECK POWER MODE's answer, count FFh; then a FLUSH CACHE aborted, ERROR 04h (ABRT).
  const uint8_t descriptor[] = {0x72, 0x01, 0x00, 0x1d, 0, 0, 0,    0x0e, 0x09, 0x0c, 0,
                                0x04, 0,    0xff, 0,    0, 0, 0, 0, 0,    0x40, 0x51};
  Sense sense = decode(descriptor);
  EXPECT_TRUE(sense.has_ata_status);
  EXPECT_EQ(sense.ata_status, 0x51);
  EXPECT_EQ(sense.ata_error, 0x04);
  EXPECT_EQ(sense.ata_count, 0xff);

  const uint8_t fixed[] = {0x70, 0,    0x01, 0x04, 0x51, 0x40, 0x80, 0x0a, 0, 0,
                           0,    0,    0x00, 0x1d, 0,    0,    0,    0};
  sense = decode(fixed);
  EXPECT_TRUE(sense.has_ata_status);
  EXPECT_EQ(sense.ata_status, 0x51);
  EXPECT_EQ(sense.ata_error, 0x04);
  EXPECT_EQ(sense.ata_count, 0x80);
}

TEST(DecodeSense, FindsTheAtaDescriptorAfterAnother) {
  // An information descriptor (type 0, 10 bytes) first, then ATA Status Return with ERR.
  const uint8_t data[] = {0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x1a, 0x00, 0x0a, 0x80, 0,
                          0,    0,    0,    0,    0, 0, 0, 0,    0x09, 0x0c, 0,    0x04,
                          0,    0,    0,    0,    0, 0, 0, 0,    0x40, 0x51};
  Sense sense = decode(data);
  EXPECT_TRUE(sense.has_ata_status);
  EXPECT_EQ(sense.ata_status, 0x51);
}

TEST(DecodeSense, TellsDeferredErrorsFromCurrentOnes) {
  uint8_t data[sizeof kSasStopped];
  memcpy(data, kSasStopped, sizeof data);
  for (int code : {0x70, 0xf0, 0x72}) {
    data[0] = static_cast<uint8_t>(code);
    EXPECT_FALSE(decode(data).deferred) << code;
  }
  for (int code : {0x71, 0xf1, 0x73}) {
    data[0] = static_cast<uint8_t>(code);
    EXPECT_TRUE(decode(data).deferred) << code;
  }
  data[0] = 0x71;
  EXPECT_FALSE(decode_sense(data, 2).deferred) << "too short to be an error at all";
}

TEST(DecodeSense, NeverReadsPastWhatWasSent) {
  // The descriptor is cut by the length received, then by the additional length declared.
  Sense cut = decode_sense(kLibataPassThroughDone, sizeof kLibataPassThroughDone - 1);
  EXPECT_TRUE(cut.valid);
  EXPECT_FALSE(cut.has_ata_status);
  uint8_t declared_short[sizeof kLibataPassThroughDone];
  memcpy(declared_short, kLibataPassThroughDone, sizeof declared_short);
  declared_short[7] = 0x0d;
  EXPECT_FALSE(decode(declared_short).has_ata_status);

  // Fixed format too short for ASC/ASCQ, as received or as declared.
  Sense fixed = decode_sense(kSasStopped, 8);
  EXPECT_TRUE(fixed.valid);
  EXPECT_EQ(fixed.key, kNotReady);
  EXPECT_EQ(fixed.asc, 0);
  uint8_t fixed_declared_short[sizeof kSasStopped];
  memcpy(fixed_declared_short, kSasStopped, sizeof fixed_declared_short);
  fixed_declared_short[7] = 4;  // ends before ASC, byte 12
  EXPECT_EQ(decode(fixed_declared_short).asc, 0);
}

TEST(DecodeSense, UnknownOrMissingResponseCodeIsInvalid) {
  EXPECT_FALSE(decode_sense(nullptr, 0).valid);
  const uint8_t vendor[] = {0x7f, 0x05, 0x20, 0x00};
  EXPECT_FALSE(decode(vendor).valid);
  EXPECT_FALSE(decode_sense(kSasStoppedDescriptor, 3).valid);
  EXPECT_TRUE(decode_sense(kSasStoppedDescriptor, 4).valid) << "the key and codes are there";
}

TEST(SenseKeyName, NamesEveryKey) {
  EXPECT_STREQ(sense_key_name(kNotReady), "NOT READY");
  EXPECT_STREQ(sense_key_name(kAbortedCommand), "ABORTED COMMAND");
  EXPECT_STREQ(sense_key_name(0xF), "COMPLETED");
}

}  // namespace
