// SPDX-License-Identifier: MIT
// Whole SG_IO answers, one for each command the stop tool sends: the call's errno, the SCSI
// status, the host and driver statuses and the sense data, in any combination. Input: one byte
// whose low bit chooses start over stop, then for each answer seven bytes (errno, status, host
// status and driver status little-endian, sense length) and that many bytes of sense data, as
// far as the input goes; after its end every command is answered GOOD.
#include <string.h>

#include "stop_tool/sense.h"
#include "stop_tool/stop_methods.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int kDiskFd = 3;
// Three methods, each sent at most twice.
constexpr size_t kMaxCommands = 6;

struct Exchange {
  const uint8_t* input;
  size_t left;
  size_t commands;
  CommandBlock blocks[kMaxCommands];
  Outcome answers[kMaxCommands];
};
Exchange exchange;

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
      return 0;
    case kAtaPassThrough16:
      return 1;
    case kAtaPassThrough12:
      return 2;
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
  if (method == 0) FUZZ_CHECK((block.bytes[4] & 1) == (start ? 1 : 0));
  if (method == 1) FUZZ_CHECK(block.bytes[14] == ata_command);
  if (method == 2) FUZZ_CHECK(block.bytes[9] == ata_command);
}

// The methods come in order, from the first, each sent at most twice in a row. Gives the last
// method sent.
int check_commands(bool start) {
  int previous = -1;
  int repeats = 0;
  for (size_t i = 0; i < exchange.commands; ++i) {
    int method = method_of(exchange.blocks[i]);
    FUZZ_CHECK(method == previous || method == previous + 1);
    repeats = method == previous ? repeats + 1 : 0;
    FUZZ_CHECK(repeats <= 1);
    check_block(exchange.blocks[i], method, start);
    previous = method;
  }
  return previous;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exchange = Exchange{data, size, 0, {}, {}};
  bool start = (take() & 1) != 0;
  PowerResult result = change_power(answer, kDiskFd, start);

  FUZZ_CHECK(memchr(result.message, '\0', sizeof result.message) != nullptr);
  FUZZ_CHECK((result.status == kExitDone) == (result.message[0] == '\0'));
  FUZZ_CHECK(result.status == kExitDone || result.status == kExitIoError ||
             result.status == kExitNotSupported);
  FUZZ_CHECK(exchange.commands >= 1);
  int last_method = check_commands(start);
  const Outcome& last = exchange.answers[exchange.commands - 1];
  if (result.status == kExitDone) FUZZ_CHECK(clean(last));
  if (result.status == kExitNotSupported) FUZZ_CHECK(last_method == 2 && !clean(last));
  return 0;
}
