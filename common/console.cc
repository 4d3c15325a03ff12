// SPDX-License-Identifier: MIT
#include "common/console.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include "common/decimal.h"

void write_all(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    length -= static_cast<size_t>(written);
  }
}

void Console::append(const char* text, size_t length) {
  if (length > capacity_ - used_) flush();
  if (length > capacity_) {
    write_all(trace_fd_, text, length);
    return;
  }
  memcpy(buffer_ + used_, text, length);
  used_ += length;
}

void Console::trace(const char* line) { append(line, strlen(line)); }

void Console::trace(const char* prefix, const char* text, size_t length) {
  const void* zero = memchr(text, '\0', length);
  if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - text);
  append(prefix, strlen(prefix));
  append(text, length);
  append("\n", 1);
}

void Console::trace(const char* prefix, int32_t value) {
  char digits[kDecimalCapacity];
  size_t start = format_decimal(value, digits);
  trace(prefix, digits + start, sizeof digits - start);
}

void Console::flush() {
  write_all(trace_fd_, buffer_, used_);
  used_ = 0;
}

void Console::error(const char* message) const { write_all(error_fd_, message, strlen(message)); }
