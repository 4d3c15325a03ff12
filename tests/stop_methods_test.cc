// SPDX-License-Identifier: MIT
#include "stop_tool/stop_methods.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stop_tool/sense.h"
#include "tests/scripted_disk.h"

namespace {

constexpr uint8_t kSsu = kStartStopUnit;
constexpr uint8_t kPt16 = kAtaPassThrough16;
constexpr uint8_t kPt12 = kAtaPassThrough12;

struct Attempt {
  PowerResult result;
  std::vector<uint8_t> sent;  // the opcodes, in order
  std::vector<std::vector<uint8_t>> blocks;
};

Attempt change(bool start, std::vector<Outcome> answers, int restart_error = 0) {
  PowerResult result;
  scripted_restart_error = restart_error;
  Sent sent = run_on_disk(std::move(answers), [&] {
    result = change_power(scripted_send, kDiskFd, start, scripted_restart);
  });
  scripted_restart_error = 0;
  return {result, sent.opcodes, sent.blocks};
}

const std::vector<uint8_t> kStandby = {0x1B, 0, 0, 0, 0x30, 0};

// The stop of a disk that takes no standby: what came after the standby it rejected.
Attempt stop(std::vector<Outcome> answers) {
  answers.insert(answers.begin(), illegal_request());
  Attempt run = change(false, std::move(answers));
  EXPECT_EQ(run.blocks.at(0), kStandby);
  run.sent.erase(run.sent.begin());
  run.blocks.erase(run.blocks.begin());
  return run;
}

TEST(ChangePower, StandbyIsEnough) {
  Attempt run = change(false, {good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_STREQ(run.result.message, "");
  EXPECT_EQ(run.blocks, (std::vector<std::vector<uint8_t>>{kStandby}));
  EXPECT_EQ(scripted_restart_calls, 0);
}

TEST(ChangePower, StartStopUnitIsEnough) {
  Attempt run = stop({good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_STREQ(run.result.message, "");
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu}));
}

TEST(ChangePower, NoSenseAndRecoveredErrorAreSuccess) {
  EXPECT_EQ(stop({fixed_sense(kNoSense, 0, 0)}).result.status, kExitDone);
  EXPECT_EQ(stop({fixed_sense(kRecoveredError, 0x5d, 0)}).result.status, kExitDone);
}

TEST(ChangePower, RejectedMethodsGiveWayInOrder) {
  Attempt run = stop({illegal_request(), ata_status(0x40)});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16}));

  // An ATA status with ERR, or the SATA layer's ABORTED COMMAND, rejects a pass-through.
  run = stop({illegal_request(), ata_status(0x51), good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16, kPt12}));
  run = stop({illegal_request(), fixed_sense(kAbortedCommand, 0, 0), good()});
  EXPECT_EQ(run.result.status, kExitDone);

  // The status byte's reserved bit 0 does not make a check condition something else.
  Outcome reserved_bit = illegal_request();
  reserved_bit.status |= 0x01;
  run = stop({reserved_bit, good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16}));
}

TEST(ChangePower, EveryMethodRejectedIsNotSupported) {
  Attempt run = stop({illegal_request(), illegal_request(), ata_status(0x51)});
  EXPECT_EQ(run.result.status, kExitNotSupported);
  EXPECT_STREQ(run.result.message, "every method was rejected (not supported)");
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16, kPt12}));
}

TEST(ChangePower, UnitAttentionIsRetriedOnce) {
  Outcome attention = fixed_sense(kUnitAttention, 0x29, 0x00);
  Attempt run = stop({attention, good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kSsu}));

  run = stop({attention, attention});
  EXPECT_EQ(run.result.status, kExitIoError);
  EXPECT_STREQ(run.result.message, "unit attention twice");
  EXPECT_EQ(run.sent.size(), 2u);
}

TEST(ChangePower, OtherFailuresEndTheAttempt) {
  struct Case {
    Outcome outcome;
    const char* message;
  };
  Outcome ioctl_failed = {};
  ioctl_failed.error = EIO;
  Outcome host_timeout = {};
  host_timeout.host_status = 0x03;
  Outcome host_error = {};
  host_error.host_status = 0x07;
  Outcome driver_timeout = {};
  driver_timeout.driver_status = 0x06;
  Outcome driver_error = {};
  driver_error.driver_status = 0x04;
  Outcome busy = {};
  busy.status = 0x08;
  Outcome no_sense_data = {};
  no_sense_data.status = 0x02;
  // A dynamic tool says what its C library says.
  const std::string io_error = std::string("SG_IO: ") + strerror(EIO);
  const Case cases[] = {
      {ioctl_failed, io_error.c_str()},
      {host_timeout, "timed out"},
      {host_error, "host status 0x07"},
      {driver_timeout, "timed out"},
      {driver_error, "driver status 0x04"},
      {busy, "SCSI status 0x08"},
      {no_sense_data, "check condition without sense data"},
      {fixed_sense(kNotReady, 0x04, 0x02), "NOT READY, initializing command required (04/02)"},
      {fixed_sense(0x4, 0x44, 0x00), "HARDWARE ERROR, internal target failure (44/00)"},
      {fixed_sense(kAbortedCommand, 0x47, 0x00), "ABORTED COMMAND, SCSI parity error (47/00)"},
      {fixed_sense(0x3, 0x11, 0x00), "MEDIUM ERROR, ASC/ASCQ 11/00"},
  };
  for (const Case& c : cases) {
    Attempt run = stop({c.outcome});
    EXPECT_EQ(run.result.status, kExitIoError) << c.message;
    EXPECT_STREQ(run.result.message, c.message);
    EXPECT_EQ(run.sent.size(), 1u) << c.message;
  }
}

TEST(ChangePower, DeferredErrorIsNoAnswerToThisCommand) {
  // Not a success although RECOVERED ERROR, not a rejection although ILLEGAL REQUEST: the
  // command is sent once more.
  Attempt run = stop({deferred_sense(kRecoveredError, 0x5d, 0x00), good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kSsu}));
  run = stop({deferred_sense(kIllegalRequest, 0x24, 0x00), good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kSsu}));

  run = stop({deferred_sense(kRecoveredError, 0x5d, 0x00), deferred_sense(0x4, 0x44, 0x00)});
  EXPECT_EQ(run.result.status, kExitIoError);
  EXPECT_STREQ(run.result.message, "deferred error: HARDWARE ERROR, internal target failure (44/00)");
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kSsu}));

  // Descriptor format, on a pass-through: the ATA status it carries is the earlier command's.
  Outcome deferred_ata = ata_status(0x40);
  deferred_ata.sense[0] = 0x73;
  run = stop({illegal_request(), deferred_ata, deferred_ata});
  EXPECT_EQ(run.result.status, kExitIoError);
  EXPECT_STREQ(run.result.message,
               "deferred error: RECOVERED ERROR, ATA pass through information available (00/1d)");
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16, kPt16}));
}

TEST(ChangePower, SeesTheAtaStatusBehindAnotherDescriptor) {
  // An information descriptor, then ATA Status Return with ERR: 34 bytes of sense data.
  Outcome rejected = check_condition(
      {0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x1a, 0x00, 0x0a, 0x80, 0, 0, 0, 0, 0, 0,
       0,    0,    0,    0x09, 0x0c, 0, 0x04, 0,    0,    0,    0, 0, 0, 0, 0, 0x40, 0x51});
  Attempt run = stop({illegal_request(), rejected, good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16, kPt12}));
}

TEST(ChangePower, PassThroughWithoutSenseDataIsRejected) {
  Outcome no_sense_data = {};
  no_sense_data.status = 0x02;
  Attempt run = stop({illegal_request(), no_sense_data, good()});
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16, kPt12}));

  run = stop({illegal_request(), no_sense_data, no_sense_data});
  EXPECT_EQ(run.result.status, kExitNotSupported);
  EXPECT_STREQ(run.result.message,
               "every method was rejected, ATA PASS-THROUGH without sense data");
  // Only when both were answered so.
  run = stop({illegal_request(), no_sense_data, illegal_request()});
  EXPECT_STREQ(run.result.message, "every method was rejected (not supported)");
}

TEST(ChangePower, AFailureAfterARejectionIsStillAFailure) {
  Attempt run = stop({illegal_request(), fixed_sense(kNotReady, 0x04, 0x02)});
  EXPECT_EQ(run.result.status, kExitIoError);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16}));
}

TEST(ChangePower, NoStopThatTheKernelWouldNotUndo) {
  // The stop is left out; STANDBY IMMEDIATE spins up by itself and may still be sent.
  Attempt run = change(false, {illegal_request(), ata_status(0x40)}, EROFS);
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(run.sent, (std::vector<uint8_t>{kSsu, kPt16}));
  EXPECT_EQ(scripted_restart_calls, 1);

  // Every way rejected without the stop: StopDisk's table has it, message and all.

  // A start leaves the disk running: nothing to undo.
  run = change(true, {good()}, EACCES);
  EXPECT_EQ(run.result.status, kExitDone);
  EXPECT_EQ(scripted_restart_calls, 0);
}

TEST(ChangePower, StartSendsStartAndIdleImmediate) {
  Attempt run = change(true, {illegal_request(), illegal_request(), illegal_request()});
  EXPECT_EQ(run.result.status, kExitNotSupported);
  ASSERT_EQ(run.blocks.size(), 3u);
  EXPECT_EQ(run.blocks[0], (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x01, 0}));
  EXPECT_EQ(run.blocks[1][14], kAtaIdleImmediate);
  EXPECT_EQ(run.blocks[2][9], kAtaIdleImmediate);
}

TEST(ChangePower, StopSendsStopAndStandbyImmediate) {
  Attempt run = stop({illegal_request(), illegal_request(), illegal_request()});
  ASSERT_EQ(run.blocks.size(), 3u);
  EXPECT_EQ(run.blocks[0], (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x00, 0}));
  EXPECT_EQ(run.blocks[1][14], kAtaStandbyImmediate);
  EXPECT_EQ(run.blocks[2][9], kAtaStandbyImmediate);
}

}  // namespace
