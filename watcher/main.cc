// SPDX-License-Identifier: MIT
// spin_down_watch: stops every whole disk once each time the kernel asks for a spin-down.
// No options; arguments and environment are ignored.

#include <unistd.h>

#include "common/console.h"
#include "watcher/daemon.h"
#include "watcher/poll_cycle.h"

namespace {

constexpr WatchPaths kPaths = {
    "/proc/oxa_disk_spin_down",
    "/tmp/sleep",
    "/proc/partitions",
    "/usr/sbin/sg_ioctl_disk",
};

// Enough for a hundred idle cycles between writes. One page, so that the daemon touches all of
// its memory in its first cycles and never grows after.
alignas(4096) char trace_buffer[4096];
// Constant-initialised: no constructor runs at start-up, and nothing comes from the heap.
Console console(STDOUT_FILENO, STDERR_FILENO, trace_buffer, sizeof trace_buffer);

}  // namespace

int main() {
  detach("/dev/null");
  poll_forever(kPaths, console);
}
