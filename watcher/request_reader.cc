#include "watcher/request_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/console.h"
#include "common/line_reader.h"

namespace {

// The C locale's white space, as atoi() skips it.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr size_t kLineCapacity = 31;

}  // namespace

int32_t parse_leading_int(const char* text, size_t length) {
  size_t at = 0;
  while (at < length && is_space(text[at])) ++at;
  bool negative = false;
  if (at < length && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // The magnitude stops growing just past the range, so it never overflows; 32-bit arithmetic
  // keeps 64-bit helpers out of 32-bit targets.
  constexpr uint32_t kLimit = uint32_t{INT32_MAX} + 1;
  uint32_t magnitude = 0;
  for (; at < length && is_digit(text[at]); ++at) {
    uint32_t digit = static_cast<uint32_t>(text[at] - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (negative) return magnitude >= kLimit ? INT32_MIN : -static_cast<int32_t>(magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
}

int32_t read_int_from_file(const char* path, Console& console) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    console.error("while loop fopen failed\n");
    return 0;
  }
  char buffer[kLineCapacity];
  LineReader reader(fd, buffer, sizeof buffer);
  Line line{buffer, 0, false};
  reader.next(&line);  // an empty or unreadable file leaves the line empty
  console.trace("buf=", line.text, line.length);
  close(fd);
  return parse_leading_int(line.text, line.length);
}
