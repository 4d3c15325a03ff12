// SPDX-License-Identifier: MIT
#include "stop_tool/sg_device.h"

#include <errno.h>
#include <fcntl.h>
#include <scsi/sg.h>
#include <string.h>
#include <sys/ioctl.h>

namespace {

// Spinning a disk up can take half a minute; a disk silent for twice that is not coming back.
constexpr unsigned kTimeoutMs = 60000;

}  // namespace

int open_disk(const char* path) { return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }

bool sg_version(int fd, int* version) { return ioctl(fd, SG_GET_VERSION_NUM, version) == 0; }

Outcome send_sg_io(int fd, const CommandBlock& block) {
  Outcome outcome = {};
  CommandBlock command = block;  // the kernel takes a pointer to non-const bytes
  sg_io_hdr_t header;
  memset(&header, 0, sizeof header);
  header.interface_id = 'S';
  header.dxfer_direction = SG_DXFER_NONE;
  if (command.data_in > 0) {
    header.dxfer_direction = SG_DXFER_FROM_DEV;
    header.dxfer_len = command.data_in;
    if (header.dxfer_len > sizeof outcome.data) header.dxfer_len = sizeof outcome.data;
    header.dxferp = outcome.data;
  }
  header.cmd_len = command.length;
  header.cmdp = command.bytes;
  header.mx_sb_len = sizeof outcome.sense;
  header.sbp = outcome.sense;
  header.timeout = kTimeoutMs;
  if (ioctl(fd, SG_IO, &header) < 0) {
    outcome.error = errno;
    return outcome;
  }
  outcome.status = header.status;
  outcome.host_status = header.host_status;
  outcome.driver_status = header.driver_status;
  outcome.sense_length = header.sb_len_wr;
  // resid is what the disk did not send; a negative or oversized one is no data at all.
  unsigned resid = static_cast<unsigned>(header.resid);
  if (header.resid >= 0 && resid < header.dxfer_len) {
    outcome.data_length = static_cast<uint8_t>(header.dxfer_len - resid);
  }
  return outcome;
}
