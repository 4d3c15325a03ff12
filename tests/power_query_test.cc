// SPDX-License-Identifier: MIT
#include "stop_tool/power_query.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/scripted_disk.h"

namespace {

constexpr uint8_t kPt16 = kAtaPassThrough16;
constexpr uint8_t kPt12 = kAtaPassThrough12;
constexpr uint8_t kRs = kRequestSense;
constexpr uint8_t kSync = kSynchronizeCache10;
constexpr uint8_t kSsu = kStartStopUnit;

// The ATA command in a pass-through block, 0 for any other block.
uint8_t ata_command_of(const std::vector<uint8_t>& block) {
  if (block[0] == kPt16) return block[14];
  if (block[0] == kPt12) return block[9];
  return 0;
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

Outcome request_sense_answer(uint8_t key, uint8_t asc, uint8_t ascq) {
  return sense_data(fixed_sense_bytes(key, asc, ascq));
}

Outcome stopped() { return request_sense_answer(kNotReady, 0x04, 0x02); }
Outcome scsi_active() { return request_sense_answer(kNoSense, 0, 0); }

TEST(QueryPower, AsksAtaFirstThenRequestSense) {
  struct Case {
    const char* name;
    std::vector<Outcome> answers;
    PowerState state;
    Speaks speaks;
    uint8_t pass_through;
    std::vector<uint8_t> sent;
  };
  const Case cases[] = {
      {"descriptor format", {ata_registers(0x50, 0, 0xFF)}, PowerState::kActive, Speaks::kAta,
       kPt16, {kPt16}},
      {"fixed format", {fixed_ata_registers(0x50, 0, 0x00)}, PowerState::kStandby, Speaks::kAta,
       kPt16, {kPt16}},
      {"(12) after (16)", {illegal_request(), ata_registers(0x50, 0, 0x80)}, PowerState::kIdle,
       Speaks::kAta, kPt12, {kPt16, kPt12}},
      {"ATA abort rejects (16)", {ata_registers(0x51, 0x04, 0), fixed_ata_registers(0x50, 0, 0)},
       PowerState::kStandby, Speaks::kAta, kPt12, {kPt16, kPt12}},
      {"accepted without registers", {good()}, PowerState::kUnknown, Speaks::kAta, kPt16, {kPt16}},
      {"SCSI disk stopped", {illegal_request(), no_sense_data(), stopped()}, PowerState::kStopped,
       Speaks::kScsi, 0, {kPt16, kPt12, kRs}},
      {"SCSI disk active", {illegal_request(), illegal_request(), scsi_active()},
       PowerState::kActive, Speaks::kScsi, 0, {kPt16, kPt12, kRs}},
      {"unit attention in the data, asked again",
       {illegal_request(), illegal_request(), request_sense_answer(kUnitAttention, 0x29, 0),
        request_sense_answer(kNoSense, 0x5E, 0x04)},
       PowerState::kStandby, Speaks::kScsi, 0, {kPt16, kPt12, kRs, kRs}},
      {"deferred error in the data twice",
       {illegal_request(), illegal_request(), sense_data({0x71, 0, 0x04, 0, 0, 0, 0, 0x0a}),
        sense_data({0x71, 0, 0x04, 0, 0, 0, 0, 0x0a})},
       PowerState::kUnknown, Speaks::kScsi, 0, {kPt16, kPt12, kRs, kRs}},
      {"no data", {illegal_request(), illegal_request(), good()}, PowerState::kUnknown,
       Speaks::kScsi, 0, {kPt16, kPt12, kRs}},
  };
  for (const Case& c : cases) {
    PowerQuery query;
    Sent sent = run_on_disk(c.answers, [&] { query = query_power(scripted_send, kDiskFd); });
    EXPECT_EQ(query.result.status, kExitDone) << c.name;
    EXPECT_STREQ(query.result.message, "") << c.name;
    EXPECT_EQ(query.state, c.state) << c.name;
    EXPECT_EQ(query.speaks, c.speaks) << c.name;
    EXPECT_EQ(query.pass_through, c.pass_through) << c.name;
    EXPECT_EQ(sent.opcodes, c.sent) << c.name;
    for (const std::vector<uint8_t>& block : sent.blocks) {
      if (block[0] != kRs) {
        EXPECT_EQ(ata_command_of(block), kAtaCheckPowerMode) << c.name;
      }
    }
  }
}

TEST(QueryPower, RequestSenseAsksForFixedFormatData) {
  Sent sent = run_on_disk({illegal_request(), illegal_request(), scsi_active()},
                          [] { query_power(scripted_send, kDiskFd); });
  ASSERT_EQ(sent.blocks.size(), 3u);
  EXPECT_EQ(sent.blocks[2], (std::vector<uint8_t>{0x03, 0, 0, 0, 18, 0}));
}

TEST(QueryPower, FailuresAndRejections) {
  struct Case {
    std::vector<Outcome> answers;
    ExitStatus status;
    const char* message;
    size_t sent;
  };
  const Case cases[] = {
      {{host_timeout()}, kExitIoError, "timed out", 1},
      {{illegal_request(), fixed_sense(0x4, 0x44, 0)},
       kExitIoError,
       "HARDWARE ERROR, internal target failure (44/00)",
       2},
      {{illegal_request(), illegal_request(), host_timeout()}, kExitIoError, "timed out", 3},
      {{illegal_request(), illegal_request(), request_sense_answer(kUnitAttention, 0x29, 0),
        host_timeout()},
       kExitIoError,
       "timed out",
       4},
      {{illegal_request(), illegal_request(), illegal_request()},
       kExitNotSupported,
       "every state query was rejected (not supported)",
       3},
  };
  for (const Case& c : cases) {
    PowerQuery query;
    Sent sent = run_on_disk(c.answers, [&] { query = query_power(scripted_send, kDiskFd); });
    EXPECT_EQ(query.result.status, c.status) << c.message;
    EXPECT_STREQ(query.result.message, c.message);
    EXPECT_EQ(query.speaks, Speaks::kNeither) << c.message;
    EXPECT_EQ(sent.opcodes.size(), c.sent) << c.message;
  }
}

// A step of a stop as the disk saw it: the opcode, and the ATA command of a pass-through.
struct Step {
  uint8_t opcode;
  uint8_t ata_command;
  bool operator==(const Step& other) const {
    return opcode == other.opcode && ata_command == other.ata_command;
  }
};

void PrintTo(const Step& step, std::ostream* out) {
  *out << std::hex << int{step.opcode} << "/" << int{step.ata_command};
}

constexpr Step kCheck16 = {kPt16, kAtaCheckPowerMode};
constexpr Step kFlush16 = {kPt16, kAtaFlushCache};
constexpr Step kStandby16 = {kPt16, kAtaStandbyImmediate};
constexpr Step kCheck12 = {kPt12, kAtaCheckPowerMode};
constexpr Step kFlush12 = {kPt12, kAtaFlushCache};
constexpr Step kStandby12 = {kPt12, kAtaStandbyImmediate};
constexpr Step kRequestSenseStep = {kRs, 0};
constexpr Step kSyncStep = {kSync, 0};
constexpr Step kStopStep = {kSsu, 0};

TEST(StopDisk, EachWayInItsOrder) {
  struct Case {
    const char* name;
    std::vector<Outcome> answers;
    ExitStatus status;
    const char* message;
    std::vector<Step> sent;
  };
  Outcome active = ata_registers(0x50, 0, 0xFF);
  Outcome done = ata_status(0x50);
  Outcome scsi_queries[] = {illegal_request(), illegal_request()};
  Outcome unit_attention = fixed_sense(kUnitAttention, 0x29, 0);
  const Case cases[] = {
      {"ATA disk", {active, done, done}, kExitDone, "", {kCheck16, kFlush16, kStandby16}},
      {"ATA disk through (12), fixed format",
       {illegal_request(), fixed_ata_registers(0x50, 0, 0xFF), done, done},
       kExitDone,
       "",
       {kCheck16, kCheck12, kFlush12, kStandby12}},
      {"ATA disk in an unknown state", {good(), good(), good()}, kExitDone, "",
       {kCheck16, kFlush16, kStandby16}},
      {"ATA disk in standby", {ata_registers(0x50, 0, 0x00)}, kExitDone, "", {kCheck16}},
      {"ATA flush aborted: not supported",
       {active, ata_registers(0x51, 0x04, 0), done},
       kExitDone,
       "",
       {kCheck16, kFlush16, kStandby16}},
      {"ATA flush aborted by the SATA layer",
       {active, fixed_sense(kAbortedCommand, 0, 0), done},
       kExitDone,
       "",
       {kCheck16, kFlush16, kStandby16}},
      {"ATA flush rejected", {active, illegal_request(), done}, kExitDone, "",
       {kCheck16, kFlush16, kStandby16}},
      {"ATA flush met by a unit attention", {active, unit_attention, done, done}, kExitDone, "",
       {kCheck16, kFlush16, kFlush16, kStandby16}},
      {"ATA flush failed", {active, ata_registers(0x51, 0x40, 0)}, kExitIoError,
       "cache flush failed: ATA error 0x40, status 0x51", {kCheck16, kFlush16}},
      {"ATA flush without sense data", {active, no_sense_data()}, kExitIoError,
       "cache flush failed: check condition without sense data", {kCheck16, kFlush16}},
      {"ATA flush medium error",
       {active, fixed_sense(0x3, 0x0C, 0x02)},
       kExitIoError,
       "cache flush failed: MEDIUM ERROR, ASC/ASCQ 0c/02",
       {kCheck16, kFlush16}},
      {"ATA standby rejected",
       {active, done, ata_registers(0x51, 0x04, 0)},
       kExitNotSupported,
       "STANDBY IMMEDIATE was rejected (not supported)",
       {kCheck16, kFlush16, kStandby16}},
      {"ATA standby failed", {active, done, host_timeout()}, kExitIoError, "timed out",
       {kCheck16, kFlush16, kStandby16}},
      {"SCSI disk",
       {scsi_queries[0], scsi_queries[1], scsi_active(), good(), good()},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kStopStep}},
      {"SCSI disk idle",
       {scsi_queries[0], scsi_queries[1], request_sense_answer(kNoSense, 0x5E, 0x01), good(),
        good()},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kStopStep}},
      {"SCSI disk stopped", {scsi_queries[0], scsi_queries[1], stopped()}, kExitDone, "",
       {kCheck16, kCheck12, kRequestSenseStep}},
      {"SCSI disk in standby",
       {scsi_queries[0], scsi_queries[1], request_sense_answer(kNoSense, 0x5E, 0x04)},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep}},
      {"SCSI flush not supported",
       {scsi_queries[0], scsi_queries[1], scsi_active(), illegal_request(), good()},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kStopStep}},
      {"SCSI flush deferred error, then done",
       {scsi_queries[0], scsi_queries[1], scsi_active(), deferred_sense(0x3, 0x0C, 0), good(),
        good()},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kSyncStep, kStopStep}},
      {"SCSI flush medium error",
       {scsi_queries[0], scsi_queries[1], scsi_active(), fixed_sense(0x3, 0x0C, 0x02)},
       kExitIoError,
       "cache flush failed: MEDIUM ERROR, ASC/ASCQ 0c/02",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep}},
      {"SCSI flush timed out",
       {scsi_queries[0], scsi_queries[1], scsi_active(), host_timeout()},
       kExitIoError,
       "cache flush failed: timed out",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep}},
      {"SCSI flush unit attention twice",
       {scsi_queries[0], scsi_queries[1], scsi_active(), unit_attention, unit_attention},
       kExitIoError,
       "cache flush failed: unit attention twice",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kSyncStep}},
      {"SCSI stop rejected: the pass-throughs follow",
       {scsi_queries[0], scsi_queries[1], scsi_active(), good(), illegal_request(),
        illegal_request(), illegal_request()},
       kExitNotSupported,
       "every method was rejected (not supported)",
       {kCheck16, kCheck12, kRequestSenseStep, kSyncStep, kStopStep, kStandby16, kStandby12}},
      {"a disk that answers neither way: the old sequence",
       {illegal_request(), illegal_request(), illegal_request(), illegal_request(), done},
       kExitDone,
       "",
       {kCheck16, kCheck12, kRequestSenseStep, kStopStep, kStandby16}},
      {"a failed query: the old sequence", {host_timeout(), good()}, kExitDone, "",
       {kCheck16, kStopStep}},
  };
  for (const Case& c : cases) {
    PowerResult result;
    Sent sent = run_on_disk(c.answers, [&] { result = stop_disk(scripted_send, kDiskFd); });
    std::vector<Step> steps;
    for (const std::vector<uint8_t>& block : sent.blocks) {
      steps.push_back({block[0], ata_command_of(block)});
    }
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_STREQ(result.message, c.message) << c.name;
    EXPECT_EQ(steps, c.sent) << c.name;
  }
}

TEST(StopDisk, ScsiFlushIsSynchronizeCacheOfTheWholeMedium) {
  Sent sent = run_on_disk(
      {illegal_request(), illegal_request(), scsi_active(), good(), good()},
      [] { stop_disk(scripted_send, kDiskFd); });
  ASSERT_EQ(sent.blocks.size(), 5u);
  EXPECT_EQ(sent.blocks[3], (std::vector<uint8_t>{0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sent.blocks[4], (std::vector<uint8_t>{0x1B, 0, 0, 0, 0, 0}));
}

}  // namespace
