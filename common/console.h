// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_COMMON_CONSOLE_H_
#define SPIN_DOWN_COMMON_CONSOLE_H_

#include <stddef.h>
#include <stdint.h>

// Writes all of `data` to `fd`, retrying when a signal cuts a write short. What cannot be written
// is dropped: these streams are read by nobody but a person debugging.
void write_all(int fd, const char* data, size_t length);

// Trace lines go to one descriptor through a fixed buffer, so an idle cycle costs no write of its
// own; error messages go straight to another. Nothing here allocates.
class Console {
 public:
  // `buffer` holds traces until they are written; it outlives the console.
  constexpr Console(int trace_fd, int error_fd, char* buffer, size_t capacity)
      : trace_fd_(trace_fd), error_fd_(error_fd), buffer_(buffer), capacity_(capacity) {}

  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // `line` ends in its line feed, as the fixed trace texts do.
  void trace(const char* line);
  // prefix, then `text` up to its first zero byte or `length`, then a line feed.
  void trace(const char* prefix, const char* text, size_t length);
  // prefix, then `value` in decimal, then a line feed.
  void trace(const char* prefix, int32_t value);

  // Writes what is buffered. Called before every fork, so that no child inherits (and writes out
  // again) the traces of its parent.
  void flush();

  // Unbuffered; `message` ends in its line feed.
  void error(const char* message) const;

 private:
  void append(const char* text, size_t length);

  int trace_fd_;
  int error_fd_;
  char* buffer_;
  size_t capacity_;
  size_t used_ = 0;
};

#endif  // SPIN_DOWN_COMMON_CONSOLE_H_
