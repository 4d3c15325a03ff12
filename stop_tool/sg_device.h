// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_SG_DEVICE_H_
#define SPIN_DOWN_STOP_TOOL_SG_DEVICE_H_

#include "stop_tool/stop_methods.h"

// The oldest SCSI generic interface that knows the SG_IO call.
constexpr int kSgIoVersion = 30000;

// Opens a disk for power commands: read-only, since a read-write open makes udev probe the disk
// again when it is closed, which spins it straight back up; non-blocking, so that a unit
// without medium still opens. Returns -1 with errno set on failure.
int open_disk(const char* path);

// Asks the descriptor's driver for its SCSI generic version. Returns false with errno set when
// the driver does not answer, as every non-SCSI device does.
bool sg_version(int fd, int* version);

// Sends a command block to an open SCSI generic or SCSI disk descriptor with SG_IO and waits
// for its outcome.
Outcome send_sg_io(int fd, const CommandBlock& block);

#endif  // SPIN_DOWN_STOP_TOOL_SG_DEVICE_H_
