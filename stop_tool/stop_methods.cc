// SPDX-License-Identifier: MIT
#include "stop_tool/stop_methods.h"

#include "stop_tool/error_words.h"
#include "stop_tool/judge.h"

namespace {

constexpr char kAllRejected[] = "every method was rejected (not supported)";
constexpr char kAllRejectedWithoutSense[] =
    "every method was rejected, ATA PASS-THROUGH without sense data";
constexpr char kNoRestart[] = "not stopped, no restart on access: allow_restart: ";

}  // namespace

PowerResult change_power(SendCommand send, int fd, bool start, EnsureRestart restart) {
  uint8_t ata_command = start ? kAtaIdleImmediate : kAtaStandbyImmediate;
  // A start begins at the second: standby is for the stop alone.
  const CommandBlock methods[] = {start_stop_unit_standby(), start_stop_unit(start),
                                  ata_pass_through_16(ata_command),
                                  ata_pass_through_12(ata_command)};
  PowerResult result = {kExitDone, {}};
  bool pass_throughs_without_sense = true;
  int restart_error = 0;
  Outcome last;
  for (size_t method = start ? 1 : 0; method < sizeof methods / sizeof methods[0]; ++method) {
    const CommandBlock& block = methods[method];
    bool pass_through = block.bytes[0] != kStartStopUnit;
    // A stopped disk fails every access until it is started: no stop that nothing would undo.
    if (method == 1 && !start) {
      restart_error = restart(fd);
      if (restart_error != 0) continue;
    }
    Verdict verdict =
        send_judged(send, fd, block, pass_through ? CommandKind::kAta : CommandKind::kScsi,
                    "", result.message, last);
    if (pass_through && verdict != Verdict::kRejectedWithoutSense) {
      pass_throughs_without_sense = false;
    }
    if (verdict == Verdict::kDone) return result;
    if (verdict == Verdict::kFailed) {
      result.status = kExitIoError;
      return result;
    }
  }
  Message why(result.message);
  if (restart_error != 0) {
    ErrorNumberText spare;
    why.text(kNoRestart).text(describe_error(restart_error, spare));
    result.status = kExitNoRestart;
    return result;
  }
  why.text(pass_throughs_without_sense ? kAllRejectedWithoutSense : kAllRejected);
  result.status = kExitNotSupported;
  return result;
}
