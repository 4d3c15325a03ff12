// SPDX-License-Identifier: MIT
#include "stop_tool/judge.h"

#include <string.h>

#include "stop_tool/error_words.h"
#include "stop_tool/sense.h"
#include "stop_tool/sense_codes.h"

namespace {

// SCSI status byte values, reserved bits masked off.
constexpr uint8_t kStatusMask = 0x7E;
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

constexpr uint16_t kHostTimeOut = 0x03;
// Driver status: the low nibble; "sense data follows" is no failure of its own.
constexpr uint16_t kDriverMask = 0x0F;
constexpr uint16_t kDriverTimeout = 0x06;
constexpr uint16_t kDriverSense = 0x08;

// "KEY, words (aa/qq)"; "KEY, ASC/ASCQ aa/qq" for a code without words.
[[gnu::cold]] void describe(const Sense& sense, Message& why) {
  why.text(sense_key_name(sense.key));
  const char* words = sense_code_words(sense.asc, sense.ascq);
  if (words == nullptr) {
    why.text(", ASC/ASCQ ").hex(sense.asc).text("/").hex(sense.ascq);
    return;
  }
  why.text(", ").text(words).text(" (").hex(sense.asc).text("/").hex(sense.ascq).text(")");
}

Verdict judge_sense(const Sense& sense, CommandKind kind, Message& why) {
  bool ata = kind != CommandKind::kScsi;
  if (!sense.valid) {
    if (kind == CommandKind::kAta) return Verdict::kRejectedWithoutSense;
    why.text("check condition without sense data");
    return Verdict::kFailed;
  }
  // A deferred error is an earlier command's: this one was not processed, whatever the key, and
  // any ATA registers are the earlier command's too.
  if (sense.deferred) {
    why.text("deferred error: ");
    describe(sense, why);
    return Verdict::kRetry;
  }
  if (sense.has_ata_status && (sense.ata_status & kAtaStatusError) != 0) {
    if (kind != CommandKind::kAtaFlush || (sense.ata_error & kAtaErrorAbort) != 0) {
      return Verdict::kRejected;
    }
    why.text("ATA error 0x").hex(sense.ata_error).text(", status 0x").hex(sense.ata_status);
    return Verdict::kFailed;
  }
  switch (sense.key) {
    case kNoSense:
    case kRecoveredError:
      return Verdict::kDone;
    case kUnitAttention:
      // It reports an earlier event (a reset, a new medium), not this command.
      why.text("unit attention twice");
      return Verdict::kRetry;
    case kIllegalRequest:
      return Verdict::kRejected;
    case kAbortedCommand:
      // The SATA layer reports an ATA command that the disk aborted this way.
      if (ata) return Verdict::kRejected;
      break;
    default:
      break;
  }
  describe(sense, why);
  return Verdict::kFailed;
}

}  // namespace

Message& Message::text(const char* piece) {
  size_t length = strlen(piece);
  if (length > sizeof PowerResult::message - 1 - used_) {
    length = sizeof PowerResult::message - 1 - used_;
  }
  memcpy(out_ + used_, piece, length);
  used_ += length;
  out_[used_] = '\0';
  return *this;
}

Message& Message::hex(unsigned value) {
  static const char kDigits[] = "0123456789abcdef";
  char digits[] = {kDigits[(value >> 4) & 0x0F], kDigits[value & 0x0F], '\0'};
  return text(digits);
}

size_t sense_length_of(const Outcome& outcome) {
  return outcome.sense_length < kSenseCapacity ? outcome.sense_length : kSenseCapacity;
}

Verdict judge(const Outcome& outcome, CommandKind kind, Message& why) {
  if (outcome.error != 0) {
    ErrorNumberText spare;
    why.text("SG_IO: ").text(describe_error(outcome.error, spare));
    return Verdict::kFailed;
  }
  if (outcome.host_status == kHostTimeOut) {
    why.text("timed out");
    return Verdict::kFailed;
  }
  if (outcome.host_status != 0) {
    why.text("host status 0x").hex(outcome.host_status);
    return Verdict::kFailed;
  }
  uint16_t driver = outcome.driver_status & kDriverMask;
  if (driver == kDriverTimeout) {
    why.text("timed out");
    return Verdict::kFailed;
  }
  if (driver != 0 && driver != kDriverSense) {
    why.text("driver status 0x").hex(outcome.driver_status);
    return Verdict::kFailed;
  }
  size_t sense_length = sense_length_of(outcome);
  uint8_t status = outcome.status & kStatusMask;
  if (status == kStatusGood) {
    // A pass-through with CK_COND may still answer GOOD; an ATA error then stands in the sense.
    if (sense_length == 0) return Verdict::kDone;
    return judge_sense(decode_sense(outcome.sense, sense_length), kind, why);
  }
  if (status == kStatusCheckCondition) {
    return judge_sense(decode_sense(outcome.sense, sense_length), kind, why);
  }
  why.text("SCSI status 0x").hex(outcome.status);
  return Verdict::kFailed;
}

Verdict send_judged(SendCommand send, int fd, const CommandBlock& block, CommandKind kind,
                    const char* prefix, char (&message)[sizeof PowerResult::message],
                    Outcome& last) {
  Verdict verdict = Verdict::kFailed;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Message why(message);
    why.text(prefix);
    last = send(fd, block);
    verdict = judge(last, kind, why);
    if (verdict == Verdict::kFailed) return verdict;
    if (verdict != Verdict::kRetry) break;
  }
  if (verdict == Verdict::kRetry) return Verdict::kFailed;
  message[0] = '\0';  // no failure, no words
  return verdict;
}
