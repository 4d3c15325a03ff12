// SPDX-License-Identifier: MIT
// sg_ioctl_disk DEVICE MODE: spins a disk down (MODE 0) or up again (MODE 1) through the
// kernel's SCSI generic interface, or tells its power state (MODE state). Quiet on success but
// for the state; one line on standard error and a distinct exit status on failure.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "common/console.h"
#include "stop_tool/error_words.h"
#include "stop_tool/power_query.h"
#include "stop_tool/restart_on_access.h"
#include "stop_tool/sg_device.h"
#include "stop_tool/stop_methods.h"

namespace {

constexpr char kName[] = "sg_ioctl_disk";
// The project's version, given by the build.
constexpr char kVersionLine[] = "sg_ioctl_disk " SPIN_DOWN_VERSION "\n";
// Short: the manual page says the rest. Its first line is the usage line too.
constexpr char kUsageLine[] = "usage: sg_ioctl_disk DEVICE 0|1|state | --help | --version\n";
constexpr char kHelp[] =
    "Spins DEVICE (/dev/sda, /dev/sg0) down (0) or up (1), or prints \"DEVICE: STATE\":\n"
    "  active   spinning\n"
    "  idle     spinning, or nearly\n"
    "  standby  spun down; the next access spins it up\n"
    "  stopped  spun down; reads fail until started\n"
    "  unknown  the disk gave no state\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  usage\n"
    "  2  DEVICE cannot be opened\n"
    "  3  not a SCSI generic (SG_IO) device\n"
    "  4  not supported by the disk\n"
    "  5  I/O error or timeout, or a failed cache flush\n"
    "  6  not stopped: no access would start it again\n";

void put(int fd, const char* text) { write_all(fd, text, strlen(text)); }

[[gnu::cold]] int fail(const char* device, const char* what, const char* detail, int status) {
  const char* parts[] = {kName, ": ", device, ": ", what, detail != nullptr ? detail : "", "\n"};
  for (const char* part : parts) put(2, part);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    put(1, kUsageLine);
    put(1, kHelp);
    return kExitDone;
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    put(1, kVersionLine);
    return kExitDone;
  }
  bool query = argc == 3 && strcmp(argv[2], "state") == 0;
  bool valid_mode =
      query || (argc == 3 && (strcmp(argv[2], "0") == 0 || strcmp(argv[2], "1") == 0));
  if (!valid_mode) {
    put(2, kUsageLine);
    return kExitUsage;
  }
  const char* device = argv[1];
  bool start = argv[2][0] == '1';

  ErrorNumberText spare;
  int fd = open_disk(device);
  if (fd < 0) {
    return fail(device, "cannot open: ", describe_error(errno, spare), kExitCannotOpen);
  }
  int version = 0;
  if (!sg_version(fd, &version)) {
    return fail(device, "not a SCSI generic (SG_IO) device: ", describe_error(errno, spare),
                kExitNotSgIo);
  }
  if (version < kSgIoVersion) {
    return fail(device, "not a SCSI generic (SG_IO) device: interface too old", nullptr,
                kExitNotSgIo);
  }
  if (query) {
    PowerQuery answer = query_power(send_sg_io, fd);
    close(fd);
    if (answer.result.status != kExitDone) {
      return fail(device, answer.result.message, nullptr, answer.result.status);
    }
    const char* parts[] = {device, ": ", power_state_word(answer.state), "\n"};
    for (const char* part : parts) put(1, part);
    return kExitDone;
  }
  PowerResult result = start ? change_power(send_sg_io, fd, true, ensure_restart)
                             : stop_disk(send_sg_io, fd, ensure_restart);
  close(fd);
  if (result.status != kExitDone) return fail(device, result.message, nullptr, result.status);
  return kExitDone;
}
