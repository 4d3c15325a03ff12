// SPDX-License-Identifier: MIT
#include "stop_tool/power_query.h"

#include <gtest/gtest.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/scripted_disk.h"

namespace {

// "85/e5 a1/e5 03 1b/30": each block sent, its opcode and, for a pass-through, its ATA command,
// for START STOP UNIT its byte 4 (power condition and START).
std::string steps(const Sent& sent) {
  std::string text;
  for (const std::vector<uint8_t>& block : sent.blocks) {
    char step[8];
    if (block[0] == kAtaPassThrough16 || block[0] == kAtaPassThrough12) {
      snprintf(step, sizeof step, "%02x/%02x", block[0], block[block[0] == 0x85 ? 14 : 9]);
    } else if (block[0] == kStartStopUnit) {
      snprintf(step, sizeof step, "%02x/%02x", block[0], block[4]);
    } else {
      snprintf(step, sizeof step, "%02x", block[0]);
    }
    text += (text.empty() ? "" : " ") + std::string(step);
  }
  return text;
}

Outcome host_timeout() {
  Outcome outcome = {};
  outcome.host_status = 0x03;
  return outcome;
}

Outcome no_sense_data() {
  Outcome outcome = {};
  outcome.status = 0x02;
  return outcome;
}

Outcome power_condition(uint8_t key, uint8_t asc, uint8_t ascq) {
  return sense_data(fixed_sense_bytes(key, asc, ascq));
}

const Outcome kIllegal = illegal_request();
const Outcome kActive = ata_registers(0x50, 0, 0xFF);
const Outcome kDone = ata_status(0x50);
const Outcome kScsiActive = power_condition(kNoSense, 0, 0);
const Outcome kStopped = power_condition(kNotReady, 0x04, 0x02);
const Outcome kAttention = fixed_sense(kUnitAttention, 0x29, 0);
const Outcome kMediumError = fixed_sense(0x3, 0x0C, 0x02);

TEST(QueryPower, AsksAtaFirstThenRequestSense) {
  struct Case {
    std::vector<Outcome> answers;
    PowerState state;
    Speaks speaks;
    const char* steps;
  };
  const Case cases[] = {
      {{kActive}, PowerState::kActive, Speaks::kAta, "85/e5"},
      {{fixed_ata_registers(0x50, 0, 0x00)}, PowerState::kStandby, Speaks::kAta, "85/e5"},
      {{kIllegal, ata_registers(0x50, 0, 0x80)}, PowerState::kIdle, Speaks::kAta, "85/e5 a1/e5"},
      {{ata_registers(0x51, 0x04, 0), kDone}, PowerState::kStandby, Speaks::kAta, "85/e5 a1/e5"},
      {{good()}, PowerState::kUnknown, Speaks::kAta, "85/e5"},
      {{kIllegal, no_sense_data(), kStopped}, PowerState::kStopped, Speaks::kScsi,
       "85/e5 a1/e5 03"},
      {{kIllegal, kIllegal, power_condition(kUnitAttention, 0x29, 0),
        power_condition(kNoSense, 0x5E, 0x04)},
       PowerState::kStandby, Speaks::kScsi, "85/e5 a1/e5 03 03"},
      {{kIllegal, kIllegal, good()}, PowerState::kUnknown, Speaks::kScsi, "85/e5 a1/e5 03"},
      {{kIllegal, kIllegal, power_condition(kUnitAttention, 0x29, 0),
        power_condition(kUnitAttention, 0x29, 0)},
       PowerState::kUnknown, Speaks::kScsi, "85/e5 a1/e5 03 03"},
  };
  for (const Case& c : cases) {
    PowerQuery query;
    Sent sent = run_on_disk(c.answers, [&] { query = query_power(scripted_send, kDiskFd); });
    EXPECT_EQ(query.result.status, kExitDone) << c.steps;
    EXPECT_EQ(query.state, c.state) << c.steps;
    EXPECT_EQ(query.speaks, c.speaks) << c.steps;
    EXPECT_EQ(steps(sent), c.steps);
    EXPECT_EQ(query.pass_through, c.speaks == Speaks::kAta ? sent.blocks.back()[0] : 0);
  }
  Sent sent =
      run_on_disk({kIllegal, kIllegal, kScsiActive}, [] { query_power(scripted_send, kDiskFd); });
  EXPECT_EQ(sent.blocks[2], (std::vector<uint8_t>{0x03, 0, 0, 0, 18, 0}));
}

TEST(QueryPower, FailuresAndRejections) {
  struct Case {
    std::vector<Outcome> answers;
    ExitStatus status;
    const char* message;
  };
  const Case cases[] = {
      {{host_timeout()}, kExitIoError, "timed out"},
      {{kIllegal, kIllegal, power_condition(kUnitAttention, 0x29, 0), host_timeout()},
       kExitIoError, "timed out"},
      {{kIllegal, kIllegal, kIllegal}, kExitNotSupported,
       "every state query was rejected (not supported)"},
  };
  for (const Case& c : cases) {
    PowerQuery query;
    Sent sent = run_on_disk(c.answers, [&] { query = query_power(scripted_send, kDiskFd); });
    EXPECT_EQ(query.result.status, c.status) << c.message;
    EXPECT_STREQ(query.result.message, c.message);
    EXPECT_EQ(query.speaks, Speaks::kNeither) << c.message;
    EXPECT_EQ(sent.blocks.size(), c.answers.size()) << c.message;
  }
}

TEST(StopDisk, EachWayInItsOrder) {
  struct Case {
    std::vector<Outcome> answers;
    ExitStatus status;
    const char* message;
    const char* steps;
    int restart_error = 0;  // what stands in the way of the kernel's restart on access
    bool restart_asked = false;  // just before a stop by START STOP UNIT, and only then
  };
  const char* kScsiStop = "85/e5 a1/e5 03 35 1b/30";
  const std::string no_restart =
      "not stopped, no restart on access: allow_restart: " + std::string(strerror(EROFS));
  const Case cases[] = {
      // ATA: the flush and the stop through the pass-through that answered.
      {{kActive, kDone, kDone}, kExitDone, "", "85/e5 85/e7 85/e0"},
      {{kIllegal, fixed_ata_registers(0x50, 0, 0xFF), kDone, kDone}, kExitDone, "",
       "85/e5 a1/e5 a1/e7 a1/e0"},
      {{good(), good(), good()}, kExitDone, "", "85/e5 85/e7 85/e0"},
      {{ata_registers(0x50, 0, 0x00)}, kExitDone, "", "85/e5"},
      {{kActive, ata_registers(0x51, 0x04, 0), kDone}, kExitDone, "", "85/e5 85/e7 85/e0"},
      {{kActive, fixed_sense(kAbortedCommand, 0, 0), kDone}, kExitDone, "", "85/e5 85/e7 85/e0"},
      {{kActive, kIllegal, kDone}, kExitDone, "", "85/e5 85/e7 85/e0"},
      {{kActive, kAttention, kDone, kDone}, kExitDone, "", "85/e5 85/e7 85/e7 85/e0"},
      {{kActive, ata_registers(0x51, 0x40, 0)}, kExitIoError,
       "cache flush failed: ATA error 0x40, status 0x51", "85/e5 85/e7"},
      {{kActive, no_sense_data()}, kExitIoError,
       "cache flush failed: check condition without sense data", "85/e5 85/e7"},
      {{kActive, kMediumError}, kExitIoError, "cache flush failed: MEDIUM ERROR, ASC/ASCQ 0c/02",
       "85/e5 85/e7"},
      {{kActive, kDone, ata_registers(0x51, 0x04, 0)}, kExitNotSupported,
       "STANDBY IMMEDIATE was rejected (not supported)", "85/e5 85/e7 85/e0"},
      {{kActive, kDone, host_timeout()}, kExitIoError, "timed out", "85/e5 85/e7 85/e0"},
      // SCSI: SYNCHRONIZE CACHE, then START STOP UNIT into standby and, should that be rejected,
      // the stop where the kernel will start the disk again, then the pass-throughs.
      {{kIllegal, kIllegal, kScsiActive, good(), good()}, kExitDone, "", kScsiStop},
      {{kIllegal, kIllegal, power_condition(kNoSense, 0x5E, 0x01), good(), good()}, kExitDone, "",
       kScsiStop},
      {{kIllegal, kIllegal, kStopped}, kExitDone, "", "85/e5 a1/e5 03"},
      {{kIllegal, kIllegal, power_condition(kNoSense, 0x5E, 0x04)}, kExitDone, "",
       "85/e5 a1/e5 03"},
      {{kIllegal, kIllegal, kScsiActive, kIllegal, good()}, kExitDone, "", kScsiStop},
      {{kIllegal, kIllegal, kScsiActive, deferred_sense(0x3, 0x0C, 0), good(), good()}, kExitDone,
       "", "85/e5 a1/e5 03 35 35 1b/30"},
      {{kIllegal, kIllegal, kScsiActive, kMediumError}, kExitIoError,
       "cache flush failed: MEDIUM ERROR, ASC/ASCQ 0c/02", "85/e5 a1/e5 03 35"},
      {{kIllegal, kIllegal, kScsiActive, host_timeout()}, kExitIoError,
       "cache flush failed: timed out", "85/e5 a1/e5 03 35"},
      {{kIllegal, kIllegal, kScsiActive, kAttention, kAttention}, kExitIoError,
       "cache flush failed: unit attention twice", "85/e5 a1/e5 03 35 35"},
      {{kIllegal, kIllegal, kScsiActive, good(), kIllegal, good()}, kExitDone, "",
       "85/e5 a1/e5 03 35 1b/30 1b/00", 0, true},
      {{kIllegal, kIllegal, kScsiActive, good(), kMediumError}, kExitIoError,
       "MEDIUM ERROR, ASC/ASCQ 0c/02", kScsiStop},
      {{kIllegal, kIllegal, kScsiActive, good(), kIllegal, kIllegal, kIllegal, kIllegal},
       kExitNotSupported, "every method was rejected (not supported)",
       "85/e5 a1/e5 03 35 1b/30 1b/00 85/e0 a1/e0", 0, true},
      // No stop where the kernel would not start the disk again: it keeps spinning.
      {{kIllegal, kIllegal, kScsiActive, good(), kIllegal, kIllegal, kIllegal}, kExitNoRestart,
       no_restart.c_str(), "85/e5 a1/e5 03 35 1b/30 85/e0 a1/e0", EROFS, true},
      {{kIllegal, kIllegal, kScsiActive, good(), good()}, kExitDone, "", kScsiStop, EROFS},
      // Neither way, or a failed query: the stop without a flush.
      {{kIllegal, kIllegal, kIllegal, kIllegal, kIllegal, kDone}, kExitDone, "",
       "85/e5 a1/e5 03 1b/30 1b/00 85/e0", 0, true},
      {{host_timeout(), good()}, kExitDone, "", "85/e5 1b/30"},
      {{host_timeout(), kIllegal, good()}, kExitDone, "", "85/e5 1b/30 1b/00", 0, true},
      {{kIllegal, kIllegal, kIllegal, kIllegal, kIllegal, kIllegal}, kExitNoRestart,
       no_restart.c_str(), "85/e5 a1/e5 03 1b/30 85/e0 a1/e0", EROFS, true},
  };
  for (const Case& c : cases) {
    PowerResult result;
    scripted_restart_error = c.restart_error;
    Sent sent = run_on_disk(
        c.answers, [&] { result = stop_disk(scripted_send, kDiskFd, scripted_restart); });
    EXPECT_EQ(result.status, c.status) << c.steps;
    EXPECT_STREQ(result.message, c.message) << c.steps;
    EXPECT_EQ(steps(sent), c.steps);
    EXPECT_EQ(scripted_restart_calls, c.restart_asked ? 1 : 0) << c.steps;
  }
  scripted_restart_error = 0;
  Sent sent = run_on_disk({kIllegal, kIllegal, kScsiActive, good(), good()},
                          [] { stop_disk(scripted_send, kDiskFd, scripted_restart); });
  EXPECT_EQ(sent.blocks[3], (std::vector<uint8_t>{0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sent.blocks[4], (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x30, 0}));
}

}  // namespace
