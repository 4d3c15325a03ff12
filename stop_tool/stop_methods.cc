// SPDX-License-Identifier: MIT
#include "stop_tool/stop_methods.h"

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

constexpr char kAllRejected[] = "every method was rejected (not supported)";
constexpr char kAllRejectedWithoutSense[] =
    "every method was rejected, ATA PASS-THROUGH by check condition without sense data";

enum class Verdict { kDone, kRetry, kRejected, kRejectedWithoutSense, kFailed };

// A fixed-size line, filled piece by piece and cut where it is full.
class Message {
 public:
  explicit Message(char (&out)[sizeof PowerResult::message]) : out_(out) { out_[0] = '\0'; }

  // Cold, as failures are: built small and out of line from its dozen call sites.
  [[gnu::cold]] Message& text(const char* piece) {
    size_t length = strlen(piece);
    if (length > sizeof PowerResult::message - 1 - used_) {
      length = sizeof PowerResult::message - 1 - used_;
    }
    memcpy(out_ + used_, piece, length);
    used_ += length;
    out_[used_] = '\0';
    return *this;
  }

  [[gnu::cold]] Message& hex(unsigned value) {
    static const char kDigits[] = "0123456789abcdef";
    char digits[] = {kDigits[(value >> 4) & 0x0F], kDigits[value & 0x0F], '\0'};
    return text(digits);
  }

 private:
  char (&out_)[sizeof PowerResult::message];
  size_t used_ = 0;
};

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

// The message of a retry is written with it: it is the failure should the retry meet the same.
Verdict judge_sense(const Sense& sense, bool ata_pass_through, Message& why) {
  if (!sense.valid) {
    // Some USB bridges answer an ATA pass-through they do not know this way.
    if (ata_pass_through) return Verdict::kRejectedWithoutSense;
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
  if (sense.has_ata_status && (sense.ata_status & kAtaStatusError) != 0) return Verdict::kRejected;
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
      if (ata_pass_through) return Verdict::kRejected;
      break;
    default:
      break;
  }
  describe(sense, why);
  return Verdict::kFailed;
}

// Order of the checks: the call itself, the host adapter, the driver, then the disk.
Verdict judge(const Outcome& outcome, bool ata_pass_through, Message& why) {
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
  size_t sense_length = outcome.sense_length;
  if (sense_length > kSenseCapacity) sense_length = kSenseCapacity;
  uint8_t status = outcome.status & kStatusMask;
  if (status == kStatusGood) {
    // A pass-through with CK_COND may still answer GOOD; an ATA error then stands in the sense.
    if (sense_length == 0) return Verdict::kDone;
    return judge_sense(decode_sense(outcome.sense, sense_length), ata_pass_through, why);
  }
  if (status == kStatusCheckCondition) {
    return judge_sense(decode_sense(outcome.sense, sense_length), ata_pass_through, why);
  }
  why.text("SCSI status 0x").hex(outcome.status);
  return Verdict::kFailed;
}

}  // namespace

PowerResult change_power(SendCommand send, int fd, bool start) {
  uint8_t ata_command = start ? kAtaIdleImmediate : kAtaStandbyImmediate;
  const CommandBlock methods[] = {start_stop_unit(start), ata_pass_through_16(ata_command),
                                  ata_pass_through_12(ata_command)};
  PowerResult result = {kExitDone, {}};
  bool pass_throughs_without_sense = true;
  for (const CommandBlock& block : methods) {
    bool ata_pass_through = block.bytes[0] != kStartStopUnit;
    for (int attempt = 0; attempt < 2; ++attempt) {
      Message why(result.message);
      Verdict verdict = judge(send(fd, block), ata_pass_through, why);
      if (ata_pass_through && verdict != Verdict::kRejectedWithoutSense) {
        pass_throughs_without_sense = false;
      }
      if (verdict == Verdict::kDone) return result;
      if (verdict == Verdict::kRejected || verdict == Verdict::kRejectedWithoutSense) break;
      if (verdict == Verdict::kFailed || attempt == 1) {
        result.status = kExitIoError;
        return result;
      }
    }
  }
  Message why(result.message);
  why.text(pass_throughs_without_sense ? kAllRejectedWithoutSense : kAllRejected);
  result.status = kExitNotSupported;
  return result;
}
