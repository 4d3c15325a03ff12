// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_WATCHER_DAEMON_H_
#define SPIN_DOWN_WATCHER_DAEMON_H_

// Every way out of the program ends with this status, the start that succeeded included: the
// starting process leaves with it while the daemon goes on.
constexpr int kExitStatus = 1;

// Restores the default signals, then forks; the caller's process exits, and the child goes on detached: working directory "/",
// file-creation mask 0, a session of its own, every descriptor closed and standard input,
// output and error on `null_device`. Exits after a message when that cannot be done.
void detach(const char* null_device);

// Empties the signal mask and gives every signal its default action again. A starter that
// blocked or ignored SIGTERM would otherwise hand on a daemon, and stop tools, that no stop ends.
void restore_default_signals();

// Closes every descriptor the process may hold, 0, 1 and 2 included. One close_range() where the
// kernel has it; else one close() per possible descriptor, a million of them under a high limit.
void close_every_descriptor();

#endif  // SPIN_DOWN_WATCHER_DAEMON_H_
