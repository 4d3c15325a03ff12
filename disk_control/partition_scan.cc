#include "disk_control/partition_scan.h"

#include <string.h>

#include "common/decimal.h"
#include "common/line_reader.h"

namespace {

// One "%d" field from `at` on, which it moves past the digits; false without digits.
bool scan_field(const char* text, size_t length, size_t& at, int32_t& value) {
  LeadingInt integer = scan_leading_int(text + at, length - at);
  value = integer.value;
  at += integer.end;
  return integer.found;
}

}  // namespace

bool parse_partition_line(const Line& line, PartitionEntry* entry) {
  if (line.cut) return false;
  const char* text = line.text;
  size_t length = line.length;
  size_t at = 0;
  // Three "%d" fields; one past the int32_t range (the block count of a very large disk) reads
  // like any other.
  if (!scan_field(text, length, at, entry->major) || !scan_field(text, length, at, entry->minor) ||
      !scan_field(text, length, at, entry->blocks)) {
    return false;
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
