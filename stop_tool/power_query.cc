// SPDX-License-Identifier: MIT
#include "stop_tool/power_query.h"

#include "stop_tool/judge.h"
#include "stop_tool/sense.h"

namespace {

constexpr uint8_t kPassThroughs[] = {kAtaPassThrough16, kAtaPassThrough12};
constexpr char kQueriesRejected[] = "every state query was rejected (not supported)";
constexpr char kStandbyRejected[] = "STANDBY IMMEDIATE was rejected (not supported)";

// The state in REQUEST SENSE's data. Sets `earlier` when the data report an earlier event or
// command instead (a unit attention or a deferred error), which REQUEST SENSE clears.
PowerState data_state(const Outcome& outcome, bool& earlier) {
  size_t length = outcome.data_length < sizeof outcome.data ? outcome.data_length
                                                            : sizeof outcome.data;
  Sense sense = decode_sense(outcome.data, length);
  earlier = sense.valid && (sense.deferred || sense.key == kUnitAttention);
  return sense_power_state(sense);
}

}  // namespace

PowerQuery query_power(SendCommand send, int fd) {
  PowerQuery query = {{kExitDone, {}}, PowerState::kUnknown, Speaks::kNeither, 0};
  Outcome last;
  for (uint8_t opcode : kPassThroughs) {
    Verdict verdict = send_judged(send, fd, ata_pass_through(opcode, kAtaCheckPowerMode),
                                  CommandKind::kAta, "", query.result.message, last);
    if (verdict == Verdict::kFailed) {
      query.result.status = kExitIoError;
      return query;
    }
    if (verdict == Verdict::kDone) {
      query.speaks = Speaks::kAta;
      query.pass_through = opcode;
      Sense sense = decode_sense(last.sense, sense_length_of(last));
      if (sense.has_ata_status) query.state = ata_power_state(sense.ata_count);
      return query;
    }
  }
  bool earlier = true;
  for (int attempt = 0; attempt < 2 && earlier; ++attempt) {
    Verdict verdict = send_judged(send, fd, request_sense(), CommandKind::kScsi, "",
                                  query.result.message, last);
    if (verdict != Verdict::kDone) {
      // Also when only the repeated REQUEST SENSE met it: no state was read.
      query.speaks = Speaks::kNeither;
      if (verdict == Verdict::kFailed) {
        query.result.status = kExitIoError;
      } else {
        Message(query.result.message).text(kQueriesRejected);
        query.result.status = kExitNotSupported;
      }
      return query;
    }
    query.speaks = Speaks::kScsi;
    query.state = data_state(last, earlier);
  }
  return query;
}

PowerResult stop_disk(SendCommand send, int fd, EnsureRestart restart) {
  PowerQuery query = query_power(send, fd);
  if (query.speaks == Speaks::kNeither) return change_power(send, fd, false, restart);
  PowerResult result = {kExitDone, {}};
  if (query.state == PowerState::kStandby || query.state == PowerState::kStopped) return result;

  bool ata = query.speaks == Speaks::kAta;
  CommandBlock flush = ata ? ata_pass_through(query.pass_through, kAtaFlushCache)
                           : synchronize_cache_10();
  Outcome last;
  Verdict verdict = send_judged(send, fd, flush, ata ? CommandKind::kAtaFlush : CommandKind::kScsi,
                                "cache flush failed: ", result.message, last);
  // Written out, or not supported (no cache to write): either way the stop goes on.
  if (verdict == Verdict::kFailed) {
    result.status = kExitIoError;
    return result;
  }
  if (!ata) return change_power(send, fd, false, restart);
  verdict = send_judged(send, fd, ata_pass_through(query.pass_through, kAtaStandbyImmediate),
                        CommandKind::kAta, "", result.message, last);
  if (verdict == Verdict::kFailed) {
    result.status = kExitIoError;
  } else if (verdict != Verdict::kDone) {
    Message(result.message).text(kStandbyRejected);
    result.status = kExitNotSupported;
  }
  return result;
}
