// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_RESTART_ON_ACCESS_H_
#define SPIN_DOWN_STOP_TOOL_RESTART_ON_ACCESS_H_

#include <stddef.h>
#include <stdint.h>

// A disk stopped by START STOP UNIT answers every read and write with NOT READY until it is
// started. The kernel starts it itself, on the access that met that, only where the disk's
// allow_restart flag is set (usb-storage sets it; virtio-scsi, UAS and many SAS hosts do not).

// Room for "/sys/class/scsi_disk/H:C:T:L/allow_restart" with numbers of ten digits.
constexpr size_t kRestartFlagCapacity = 21 + 4 * 11 + 14;

// The allow_restart flag of the SCSI disk on host `host` whose other numbers
// SCSI_IOCTL_GET_IDLUN packed into `id_lun` (target, LUN and channel, a byte each).
void restart_flag_path(uint32_t host, uint32_t id_lun, char (&path)[kRestartFlagCapacity]);

// Makes the flag at `path` 1, unless it is 1 already. Returns 0, or the errno of what stands in
// the way (a read-only /sys, no CAP_SYS_ADMIN, no such flag).
int set_restart_flag(const char* path);

// Makes sure that the kernel will start the SCSI disk open as `fd` (a disk or a generic node)
// again on its next access; 0 if so, else the errno of what stands in the way.
int ensure_restart(int fd);

#endif  // SPIN_DOWN_STOP_TOOL_RESTART_ON_ACCESS_H_
