// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_DISK_CONTROL_PARTITION_SCAN_H_
#define SPIN_DOWN_DISK_CONTROL_PARTITION_SCAN_H_

#include <stddef.h>
#include <stdint.h>

struct Line;

// A device name from the kernel's partition table, zero-terminated.
struct DiskName {
  static constexpr size_t kMaxLength = 127;
  char text[kMaxLength + 1];
};

// One line of the table: the device numbers and size are read but play no part in what is done.
struct PartitionEntry {
  int32_t major;
  int32_t minor;
  int32_t blocks;  // clamped to the int32_t range, as every field
  DiskName name;
};

// Reads one table line, "major minor blocks name", as "%d %d %d %[^\n]" would: three decimal
// integers (each after optional white space, a sign allowed), optional white space, then a
// name of one or more characters up to the line feed, spaces included. False for a line that
// does not have all four: the heading, a blank line. Also false for a line that was cut, a name
// over kMaxLength or one holding a zero byte: a shortened name would name another device.
bool parse_partition_line(const Line& line, PartitionEntry* entry);

// Whole disks (sda, hdb) as against partitions (sda1): a name ending in a decimal digit is
// never taken for a whole disk, which leaves out mmcblk0, md0, loop0 and their like too.
bool is_whole_disk_name(const DiskName& name);

#endif  // SPIN_DOWN_DISK_CONTROL_PARTITION_SCAN_H_
