// SPDX-License-Identifier: MIT
#include "watcher/poll_cycle.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/console.h"
#include "disk_control/stop_command.h"
#include "watcher/request_reader.h"

namespace {

constexpr unsigned kPauseSeconds = 2;

bool flag_exists(const char* flag) { return access(flag, F_OK) == 0; }

// Creates the flag as an empty file, readable and writable by all. A link planted in its place is
// never followed (the daemon runs as root and /tmp is open to everyone): such a flag counts as
// not made, and the next cycle stops the disks again. Nor does a FIFO planted there block the
// daemon for ever: without a reader the open fails at once.
void create_flag(const char* flag) {
  int fd = open(flag, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd >= 0) close(fd);
}

}  // namespace

void run_cycle(const WatchPaths& paths, Console& console) {
  console.trace("while loop begin\n");
  int32_t request = read_int_from_file(paths.request_entry, console);
  console.trace("result=", request);
  if (request == kSpinDownRequested) {
    if (flag_exists(paths.sleep_flag)) {
      console.trace("sleep flag exist\n");
      return;
    }
    spin_down_disks(paths.partition_table, paths.stop_tool, console);
    create_flag(paths.sleep_flag);
    console.flush();  // what the cycle did can be read at once
  } else if (flag_exists(paths.sleep_flag)) {
    unlink(paths.sleep_flag);
    console.flush();
  }
}

void poll_forever(const WatchPaths& paths, Console& console) {
  for (;;) {
    run_cycle(paths, console);
    sleep(kPauseSeconds);
  }
}
