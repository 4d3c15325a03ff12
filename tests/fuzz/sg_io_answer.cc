// SPDX-License-Identifier: MIT
// Whole SG_IO answers, one for each command the stop tool sends: the call's errno, the SCSI
// status, the host and driver statuses and the sense data, in any combination. Input: one byte
// whose low bit chooses start over stop and whose next bit a disk that the kernel would not
// start again after a stop, then for each answer seven bytes (errno, status, host
// status and driver status little-endian, sense length) and that many bytes of sense data, as
// far as the input goes; after its end every command is answered GOOD.
#include <errno.h>
#include <string.h>

#include "stop_tool/sense.h"
#include "stop_tool/stop_methods.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int kDiskFd = 3;
// Four methods, each sent at most twice.
constexpr size_t kMaxCommands = 8;

struct Exchange {
  const uint8_t* input;
  size_t left;
  size_t commands;
  CommandBlock blocks[kMaxCommands];
  Outcome answers[kMaxCommands];
  bool no_restart;
};
Exchange exchange;

int restart(int fd) {
  FUZZ_CHECK(fd == kDiskFd);
  return exchange.no_restart ? EROFS : 0;
}

uint8_t take() {
  if (exchange.left == 0) return 0;
  --exchange.left;
  return *exchange.input++;
}

Outcome answer(int fd, const CommandBlock& block) {
  FUZZ_CHECK(fd == kDiskFd);
  FUZZ_CHECK(exchange.commands < kMaxCommands);
  Outcome outcome = {};
  if (exchange.left > 0) {
    outcome.error = take();
    outcome.status = take();
    outcome.host_status = static_cast<uint16_t>(take() | take() << 8);
    outcome.driver_status = static_cast<uint16_t>(take() | take() << 8);
    // The length as the kernel reports it may exceed the buffer; the bytes stop at it.
    outcome.sense_length = take();
    size_t bytes = outcome.sense_length;
    if (bytes > kSenseCapacity) bytes = kSenseCapacity;
    for (size_t at = 0; at < bytes; ++at) outcome.sense[at] = take();
  }
  exchange.blocks[exchange.commands] = block;
  exchange.answers[exchange.commands] = outcome;
  ++exchange.commands;
  return outcome;
}

int method_of(const CommandBlock& block) {
  switch (block.bytes[0]) {
    case kStartStopUnit:
      return block.bytes[4] == 0x30 ? 0 : 1;  // standby, or START
    case kAtaPassThrough16:
      return 2;
    case kAtaPassThrough12:
      return 3;
    default:
      fuzz_fail(__FILE__, __LINE__, "a command block of no method");
  }
}

// Success only on an answer that the call, the host adapter, the driver and the disk all gave
// without an error of this command.
bool clean(const Outcome& outcome) {
  if (outcome.error != 0 || outcome.host_status != 0) return false;
  unsigned driver = outcome.driver_status & 0x0F;
  if (driver != 0 && driver != 0x08) return false;
  unsigned status = outcome.status & 0x7E;
  size_t length = outcome.sense_length;
  if (length > kSenseCapacity) length = kSenseCapacity;
  if (status == 0 && length == 0) return true;
  if (status != 0 && status != 0x02) return false;
  Sense sense = decode_sense(outcome.sense, length);
  if (!sense.valid || sense.deferred) return false;
  if (sense.has_ata_status && (sense.ata_status & kAtaStatusError) != 0) return false;
  return sense.key == kNoSense || sense.key == kRecoveredError;
}

// The block of `method` asks for the change wanted.
void check_block(const CommandBlock& block, int method, bool start) {
  uint8_t ata_command = start ? kAtaIdleImmediate : kAtaStandbyImmediate;
  if (method == 0) FUZZ_CHECK(!start);
  if (method == 1) FUZZ_CHECK(block.bytes[4] == (start ? 1 : 0));
  if (method == 2) FUZZ_CHECK(block.bytes[14] == ata_command);
  if (method == 3) FUZZ_CHECK(block.bytes[9] == ata_command);
}

// The methods come in order, each sent at most twice in a row: a stop from the standby, a start
// from START; the stop by START STOP UNIT is left out where it would not be undone. Gives the
// last method sent.
int check_commands(bool start, bool skip_stop) {
  int previous = start ? 0 : -1;
  int repeats = 0;
  for (size_t i = 0; i < exchange.commands; ++i) {
    int method = method_of(exchange.blocks[i]);
    int next = previous + 1 == 1 && skip_stop ? 2 : previous + 1;
    FUZZ_CHECK(method == previous || method == next);
    repeats = method == previous ? repeats + 1 : 0;
    FUZZ_CHECK(repeats <= 1);
    check_block(exchange.blocks[i], method, start);
    previous = method;
  }
  return previous;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exchange = Exchange{data, size, 0, {}, {}, false};
  uint8_t choice = take();
  bool start = (choice & 1) != 0;
  exchange.no_restart = (choice & 2) != 0;
  PowerResult result = change_power(answer, kDiskFd, start, restart);
  bool skip_stop = !start && exchange.no_restart;

  FUZZ_CHECK(memchr(result.message, '\0', sizeof result.message) != nullptr);
  FUZZ_CHECK((result.status == kExitDone) == (result.message[0] == '\0'));
  FUZZ_CHECK(result.status == kExitDone || result.status == kExitIoError ||
             result.status == (skip_stop ? kExitNoRestart : kExitNotSupported));
  FUZZ_CHECK(exchange.commands >= 1);
  int last_method = check_commands(start, skip_stop);
  const Outcome& last = exchange.answers[exchange.commands - 1];
  if (result.status == kExitDone) FUZZ_CHECK(clean(last));
  if (result.status == kExitNotSupported || result.status == kExitNoRestart) {
    FUZZ_CHECK(last_method == 3 && !clean(last));
  }
  return 0;
}
