// SPDX-License-Identifier: MIT
// Whole SG_IO answers to the state query and to the stop that follows it: the ATA registers
// that CHECK POWER MODE returns, REQUEST SENSE's data, and the flush's and the stop's answers,
// in any combination. Input: one byte whose low bit chooses the stop over the query alone and
// whose next bit a disk that the kernel would not start again after a stop, then
// for each answer seven bytes (errno, status, host status and driver status little-endian,
// sense length) and that many bytes of sense data, and for a command that reads data one more
// length byte and that many data bytes, as far as the input goes; after its end every command
// is answered GOOD with nothing.
#include <errno.h>
#include <string.h>

#include "stop_tool/power_query.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int kDiskFd = 3;
// The query: two pass-throughs and REQUEST SENSE, each sent at most twice; then a flush, the
// standby and today's three stop methods, each at most twice.
constexpr size_t kMaxCommands = 16;

struct Exchange {
  const uint8_t* input;
  size_t left;
  size_t commands;
  CommandBlock blocks[kMaxCommands];
  bool no_restart;
};
Exchange exchange;

int restart(int fd) {
  FUZZ_CHECK(fd == kDiskFd);
  return exchange.no_restart ? EACCES : 0;
}

// START STOP UNIT's stop: the one command whose disk fails every access until it is started.
bool stops_unit(const CommandBlock& block) {
  return block.bytes[0] == kStartStopUnit && block.bytes[4] == 0;
}

uint8_t take() {
  if (exchange.left == 0) return 0;
  --exchange.left;
  return *exchange.input++;
}

Outcome answer(int fd, const CommandBlock& block) {
  FUZZ_CHECK(fd == kDiskFd);
  FUZZ_CHECK(exchange.commands < kMaxCommands);
  exchange.blocks[exchange.commands++] = block;
  Outcome outcome = {};
  if (exchange.left == 0) return outcome;
  outcome.error = take();
  outcome.status = take();
  outcome.host_status = static_cast<uint16_t>(take() | take() << 8);
  outcome.driver_status = static_cast<uint16_t>(take() | take() << 8);
  // The lengths as reported may exceed the buffers; the bytes stop at them.
  outcome.sense_length = take();
  for (size_t at = 0; at < outcome.sense_length && at < kSenseCapacity; ++at) {
    outcome.sense[at] = take();
  }
  if (block.data_in > 0) {
    outcome.data_length = take();
    for (size_t at = 0; at < outcome.data_length && at < sizeof outcome.data; ++at) {
      outcome.data[at] = take();
    }
  }
  return outcome;
}

enum Kind { kQuery, kFlush, kStop, kOther };

Kind kind_of(const CommandBlock& block) {
  uint8_t opcode = block.bytes[0];
  if (opcode == kRequestSense) return kQuery;
  if (opcode == kSynchronizeCache10) return kFlush;
  if (opcode == kStartStopUnit) return (block.bytes[4] & 1) == 0 ? kStop : kOther;
  if (opcode != kAtaPassThrough16 && opcode != kAtaPassThrough12) return kOther;
  uint8_t ata = opcode == kAtaPassThrough16 ? block.bytes[14] : block.bytes[9];
  if (ata == kAtaCheckPowerMode) return kQuery;
  if (ata == kAtaFlushCache) return kFlush;
  return ata == kAtaStandbyImmediate ? kStop : kOther;
}

void check_message(const PowerResult& result) {
  FUZZ_CHECK(memchr(result.message, '\0', sizeof result.message) != nullptr);
  FUZZ_CHECK((result.status == kExitDone) == (result.message[0] == '\0'));
  FUZZ_CHECK(result.status == kExitDone || result.status == kExitIoError ||
             result.status == kExitNotSupported || result.status == kExitNoRestart);
}

// The query asks without changing anything: CHECK POWER MODE and REQUEST SENSE alone.
void check_query(const PowerQuery& query) {
  check_message(query.result);
  FUZZ_CHECK(exchange.commands >= 1);
  for (size_t i = 0; i < exchange.commands; ++i) FUZZ_CHECK(kind_of(exchange.blocks[i]) == kQuery);
  FUZZ_CHECK(power_state_word(query.state)[0] != '\0');
  FUZZ_CHECK((query.speaks == Speaks::kNeither) == (query.result.status != kExitDone));
  if (query.speaks == Speaks::kAta) {
    const CommandBlock& last = exchange.blocks[exchange.commands - 1];
    FUZZ_CHECK(last.bytes[0] == query.pass_through);
  }
}

// The stop: queries first; then either a flush and the stop, or, without a flush, the stop
// alone; never a start, never a query after the query.
void check_stop(const PowerResult& result) {
  check_message(result);
  size_t i = 0;
  while (i < exchange.commands && kind_of(exchange.blocks[i]) == kQuery) ++i;
  FUZZ_CHECK(i >= 1);
  bool flushed = false;
  for (; i < exchange.commands; ++i) {
    FUZZ_CHECK(!(exchange.no_restart && stops_unit(exchange.blocks[i])));
    Kind kind = kind_of(exchange.blocks[i]);
    FUZZ_CHECK(kind == kFlush || kind == kStop);
    if (kind == kFlush) {
      FUZZ_CHECK(i == 0 || kind_of(exchange.blocks[i - 1]) != kStop);
      flushed = true;
    }
  }
  // A flush that was not followed by a stop failed, and the tool said so.
  Kind last = kind_of(exchange.blocks[exchange.commands - 1]);
  if (flushed && last == kFlush) FUZZ_CHECK(result.status == kExitIoError);
  if (result.status == kExitNoRestart) FUZZ_CHECK(exchange.no_restart);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exchange = Exchange{data, size, 0, {}, false};
  uint8_t choice = take();
  exchange.no_restart = (choice & 2) != 0;
  if ((choice & 1) != 0) {
    check_stop(stop_disk(answer, kDiskFd, restart));
  } else {
    check_query(query_power(answer, kDiskFd));
  }
  return 0;
}
