// SPDX-License-Identifier: MIT
#include "disk_control/partition_scan.h"

#include <string.h>

#include "common/decimal.h"
#include "common/line_reader.h"

bool parse_partition_line(const Line& line, PartitionEntry* entry) {
  if (line.cut) return false;
  const char* text = line.text;
  size_t length = line.length;
  size_t at = 0;
  // Three "%d" fields; one past the int32_t range (the block count of a very large disk) reads
  // like any other.
  // An array, not a braced list, which would need <initializer_list>: the static uClibc-ng
  // build has no C++ library headers. One loop is also smaller than three calls. The fields
  // are written through it, which cppcheck 2.10 does not see.
  // cppcheck-suppress constVariable
  int32_t* const fields[] = {&entry->major, &entry->minor, &entry->blocks};
  for (int32_t* field : fields) {
    LeadingInt integer = scan_leading_int(text + at, length - at);
    if (!integer.found) return false;
    *field = integer.value;
    at += integer.end;
  }
  while (at < length && is_space(text[at])) ++at;
  size_t end = at;
  while (end < length && text[end] != '\n') ++end;
  size_t name_length = end - at;
  if (name_length == 0 || name_length > DiskName::kMaxLength) return false;
  if (memchr(text + at, '\0', name_length) != nullptr) return false;
  memcpy(entry->name.text, text + at, name_length);
  entry->name.text[name_length] = '\0';
  return true;
}

bool is_whole_disk_name(const DiskName& name) {
  size_t length = strlen(name.text);
  return length > 0 && !is_digit(name.text[length - 1]);
}
