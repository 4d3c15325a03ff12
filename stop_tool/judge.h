// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_JUDGE_H_
#define SPIN_DOWN_STOP_TOOL_JUDGE_H_

#include <stddef.h>
#include <stdint.h>

#include "stop_tool/stop_methods.h"

// What became of one command block, once repeated if need be.
enum class Verdict : uint8_t { kDone, kRetry, kRejected, kRejectedWithoutSense, kFailed };

// How an answer is read, by the command that it answers.
enum class CommandKind : uint8_t {
  kScsi,
  // An ATA command through ATA PASS-THROUGH: an ATA error, or the SATA layer's ABORTED COMMAND,
  // rejects it, and so does a check condition without sense data, as some USB bridges answer a
  // pass-through they do not know.
  kAta,
  // FLUSH CACHE through ATA PASS-THROUGH: only an ATA abort (ABRT) rejects it, as not supported;
  // any other error is a cache that was not written out.
  kAtaFlush,
};

// A fixed-size line, filled piece by piece and cut where it is full.
class Message {
 public:
  explicit Message(char (&out)[sizeof PowerResult::message]) : out_(out) { out_[0] = '\0'; }

  // Cold, as failures are: built small and out of line from its dozen call sites.
  [[gnu::cold]] Message& text(const char* piece);
  [[gnu::cold]] Message& hex(unsigned value);

 private:
  char (&out_)[sizeof PowerResult::message];
  size_t used_ = 0;
};

// The sense data of an outcome, within what the kernel wrote and the buffer holds.
size_t sense_length_of(const Outcome& outcome);

// Judges one outcome in the order: the call itself, the host adapter, the driver, then the disk.
// The message of a failure, or of a retry (the failure should the retry meet the same), goes
// to `why`.
Verdict judge(const Outcome& outcome, CommandKind kind, Message& why);

// Sends `block` and judges the answer; a unit attention or a deferred error (both about earlier
// commands) sends it once more, and a second one is a failure. `prefix` leads the message of a
// failure in `message`; `last` receives the last outcome.
Verdict send_judged(SendCommand send, int fd, const CommandBlock& block, CommandKind kind,
                    const char* prefix, char (&message)[sizeof PowerResult::message],
                    Outcome& last);

#endif  // SPIN_DOWN_STOP_TOOL_JUDGE_H_
