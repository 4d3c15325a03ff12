// SPDX-License-Identifier: MIT
// The disk behind the SendCommand seam for the stop tool's unit tests: it answers each command
// block with the next scripted outcome and records what it was sent.
#ifndef SPIN_DOWN_TESTS_SCRIPTED_DISK_H_
#define SPIN_DOWN_TESTS_SCRIPTED_DISK_H_

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "stop_tool/sense.h"
#include "stop_tool/stop_methods.h"

struct ScriptedDisk {
  std::vector<Outcome> answers;
  std::vector<std::vector<uint8_t>> sent;
};
inline ScriptedDisk* scripted_disk;
constexpr int kDiskFd = 7;

inline Outcome scripted_send(int fd, const CommandBlock& block) {
  EXPECT_EQ(fd, kDiskFd);
  ScriptedDisk& disk = *scripted_disk;
  disk.sent.emplace_back(block.bytes, block.bytes + block.length);
  if (disk.sent.size() > disk.answers.size()) {
    ADD_FAILURE() << "more commands than scripted";
    return Outcome{};
  }
  return disk.answers[disk.sent.size() - 1];
}

// The kernel's restart-on-access behind the EnsureRestart seam: what it answers, and how often
// it was asked.
inline int scripted_restart_error = 0;
inline int scripted_restart_calls = 0;
inline int scripted_restart(int fd) {
  EXPECT_EQ(fd, kDiskFd);
  ++scripted_restart_calls;
  return scripted_restart_error;
}

// What a run sent: the opcodes in order, and the whole blocks.
struct Sent {
  std::vector<uint8_t> opcodes;
  std::vector<std::vector<uint8_t>> blocks;
};

// Runs `call` against a disk that gives `answers`.
template <typename Call>
Sent run_on_disk(std::vector<Outcome> answers, Call call) {
  ScriptedDisk disk = {std::move(answers), {}};
  scripted_disk = &disk;
  scripted_restart_calls = 0;
  call();
  scripted_disk = nullptr;
  Sent sent;
  for (const std::vector<uint8_t>& block : disk.sent) sent.opcodes.push_back(block[0]);
  sent.blocks = disk.sent;
  return sent;
}

inline Outcome good() { return Outcome{}; }

inline Outcome check_condition(std::vector<uint8_t> sense) {
  Outcome outcome = {};
  outcome.status = 0x02;
  outcome.driver_status = 0x08;
  if (sense.size() > sizeof outcome.sense) {
    ADD_FAILURE() << sense.size() << " bytes of sense data do not fit";
    sense.resize(sizeof outcome.sense);
  }
  memcpy(outcome.sense, sense.data(), sense.size());
  outcome.sense_length = static_cast<uint8_t>(sense.size());
  return outcome;
}

inline std::vector<uint8_t> fixed_sense_bytes(uint8_t key, uint8_t asc, uint8_t ascq) {
  return {0x70, 0, key, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, asc, ascq, 0, 0, 0, 0};
}

inline Outcome fixed_sense(uint8_t key, uint8_t asc, uint8_t ascq) {
  return check_condition(fixed_sense_bytes(key, asc, ascq));
}

// libata's answer to an ATA pass-through with CK_COND in descriptor format: RECOVERED ERROR
// 00/1D and the ATA Status Return descriptor with these registers.
inline Outcome ata_registers(uint8_t status, uint8_t error, uint8_t count) {
  return check_condition({0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x0e, 0x09, 0x0c, 0,
                          error, 0,   count, 0,   0, 0, 0, 0,    0,    0x40, status});
}

// The same in fixed format: the registers in the INFORMATION field.
inline Outcome fixed_ata_registers(uint8_t status, uint8_t error, uint8_t count) {
  return check_condition({0x70, 0, 0x01, error, status, 0x40, count, 0x0a, 0, 0, 0, 0, 0x00,
                          0x1d, 0, 0,    0,     0});
}

inline Outcome ata_status(uint8_t status) { return ata_registers(status, 0, 0); }

// The same error reported as deferred: it belongs to an earlier command.
inline Outcome deferred_sense(uint8_t key, uint8_t asc, uint8_t ascq) {
  Outcome outcome = fixed_sense(key, asc, ascq);
  outcome.sense[0] = 0x71;
  return outcome;
}

inline Outcome illegal_request() { return fixed_sense(kIllegalRequest, 0x20, 0x00); }

// REQUEST SENSE answered GOOD with this sense data as its data.
inline Outcome sense_data(std::vector<uint8_t> data) {
  Outcome outcome = {};
  if (data.size() > sizeof outcome.data) data.resize(sizeof outcome.data);
  memcpy(outcome.data, data.data(), data.size());
  outcome.data_length = static_cast<uint8_t>(data.size());
  return outcome;
}

#endif  // SPIN_DOWN_TESTS_SCRIPTED_DISK_H_
