// SPDX-License-Identifier: MIT
#include "stop_tool/stop_methods.h"

#include "stop_tool/judge.h"

namespace {

constexpr char kAllRejected[] = "every method was rejected (not supported)";
constexpr char kAllRejectedWithoutSense[] =
    "every method was rejected, ATA PASS-THROUGH by check condition without sense data";

}  // namespace

PowerResult change_power(SendCommand send, int fd, bool start) {
  uint8_t ata_command = start ? kAtaIdleImmediate : kAtaStandbyImmediate;
  const CommandBlock methods[] = {start_stop_unit(start), ata_pass_through_16(ata_command),
                                  ata_pass_through_12(ata_command)};
  PowerResult result = {kExitDone, {}};
  bool pass_throughs_without_sense = true;
  Outcome last;
  for (const CommandBlock& block : methods) {
    bool pass_through = block.bytes[0] != kStartStopUnit;
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
  why.text(pass_throughs_without_sense ? kAllRejectedWithoutSense : kAllRejected);
  result.status = kExitNotSupported;
  return result;
}
