// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_DISK_CONTROL_STOP_COMMAND_H_
#define SPIN_DOWN_DISK_CONTROL_STOP_COMMAND_H_

class Console;
struct DiskName;

// Runs `tool` on "/dev/NAME" with the argument "0" and waits for it to end. The tool is started
// directly, with no shell between, so a name is only ever an argument. Its outcome is not
// looked at: a disk that will not stop is no reason to leave the others spinning.
void run_stop_tool(const char* tool, const DiskName& name, Console& console);

// Stops every whole disk that the partition table at `table` lists, one after another in the
// table's order, with `tool`. An unreadable table stops nothing, after an error message.
void spin_down_disks(const char* table, const char* tool, Console& console);

#endif  // SPIN_DOWN_DISK_CONTROL_STOP_COMMAND_H_
