#include "disk_control/partition_scan.h"

#include <string.h>

#include "common/line_reader.h"

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// One "%d": white space, an optional sign, at least one digit. The value is never used, so it is
// not computed, and a field beyond any integer range reads like any other.
bool skip_integer(const char* text, size_t length, size_t* at) {
  size_t i = *at;
  while (i < length && is_space(text[i])) ++i;
  if (i < length && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = i;
  while (i < length && is_digit(text[i])) ++i;
  if (i == digits) return false;
  *at = i;
  return true;
}

}  // namespace

bool parse_partition_line(const Line& line, DiskName* name) {
  if (line.cut) return false;
  const char* text = line.text;
  size_t length = line.length;
  size_t at = 0;
  for (int field = 0; field < 3; ++field) {
    if (!skip_integer(text, length, &at)) return false;
  }
  while (at < length && is_space(text[at])) ++at;
  size_t end = at;
  while (end < length && text[end] != '\n') ++end;
  size_t name_length = end - at;
  if (name_length == 0 || name_length > DiskName::kMaxLength) return false;
  if (memchr(text + at, '\0', name_length) != nullptr) return false;
  memcpy(name->text, text + at, name_length);
  name->text[name_length] = '\0';
  return true;
}

bool is_whole_disk_name(const DiskName& name) {
  size_t length = strlen(name.text);
  return length > 0 && !is_digit(name.text[length - 1]);
}
