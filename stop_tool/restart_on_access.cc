// SPDX-License-Identifier: MIT
#include "stop_tool/restart_on_access.h"

#include <errno.h>
#include <fcntl.h>
#include <scsi/scsi.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "common/decimal.h"

namespace {

// Copies `piece` to `at`, terminated; returns where it ends.
char* put_text(char* at, const char* piece) {
  while ((*at = *piece++) != '\0') ++at;
  return at;
}

}  // namespace

void restart_flag_path(uint32_t host, uint32_t id_lun, char (&path)[kRestartFlagCapacity]) {
  // The disk's name in sysfs is its SCSI address, host:channel:target:lun.
  char* at = put_text(path, "/sys/class/scsi_disk/");
  const uint32_t numbers[] = {host, (id_lun >> 16) & 0xFF, id_lun & 0xFF, (id_lun >> 8) & 0xFF};
  for (uint32_t number : numbers) {
    char digits[kDecimalCapacity];
    size_t start = format_decimal(static_cast<int32_t>(number), digits);
    memcpy(at, digits + start, sizeof digits - start);
    at += sizeof digits - start;
    *at++ = ':';
  }
  put_text(at - 1, "/allow_restart");
}

int set_restart_flag(const char* path) {
  // Read first: where it is set already, a read-only /sys is no obstacle.
  int file = open(path, O_RDONLY | O_CLOEXEC);
  if (file < 0) return errno;
  char value = '0';
  int error = read(file, &value, 1) < 0 ? errno : 0;
  close(file);
  if (error != 0 || value == '1') return error;
  file = open(path, O_WRONLY | O_CLOEXEC);
  if (file < 0) return errno;
  ssize_t put = write(file, "1", 1);
  error = put == 1 ? 0 : put < 0 ? errno : EIO;
  close(file);
  return error;
}

int ensure_restart(int fd) {
  // Both disk and generic nodes answer these; no capability is needed.
  uint32_t id_lun[2];  // the packed address, and the host's unique id
  int host = 0;
  if (ioctl(fd, SCSI_IOCTL_GET_IDLUN, id_lun) != 0 ||
      ioctl(fd, SCSI_IOCTL_GET_BUS_NUMBER, &host) != 0) {
    return errno;
  }
  char path[kRestartFlagCapacity];
  restart_flag_path(static_cast<uint32_t>(host), id_lun[0], path);
  return set_restart_flag(path);
}
