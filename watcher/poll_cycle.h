// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_WATCHER_POLL_CYCLE_H_
#define SPIN_DOWN_WATCHER_POLL_CYCLE_H_

class Console;

// Where the watcher looks and what it runs. The installed program knows only its fixed paths;
// tests point these elsewhere.
struct WatchPaths {
  const char* request_entry;    // holds 1 while the disks are to be spun down
  const char* sleep_flag;       // exists once the disks were stopped for the standing request
  const char* partition_table;  // the kernel's list of disks and partitions
  const char* stop_tool;        // stops the disk named by its first argument
};

// The request value that asks for a spin-down; every other value, 0 from a failed read
// included, asks for none.
constexpr int kSpinDownRequested = 1;

// One cycle without its pause: reads the request, stops the disks when it has risen to 1 since
// the flag was last cleared, and clears the flag when the request has fallen.
void run_cycle(const WatchPaths& paths, Console& console);

// run_cycle, then a two-second pause, for ever. Every cycle pauses, also one whose flag could
// not be made: a retry at once would only drive the disks again and again.
[[noreturn]] void poll_forever(const WatchPaths& paths, Console& console);

#endif  // SPIN_DOWN_WATCHER_POLL_CYCLE_H_
