// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_COMMON_LINE_READER_H_
#define SPIN_DOWN_COMMON_LINE_READER_H_

#include <stddef.h>
#include <unistd.h>

struct Line {
  const char* text;  // not zero-terminated; valid until the next call of LineReader::next
  size_t length;     // the line feed included, when the file had one
  bool cut;          // the line went on past the buffer: `text` holds only its head
};

// How the reader reads: read(), or a stand-in that hands out what a file holds in other pieces.
using ReadFunction = ssize_t (*)(int fd, void* buffer, size_t count);

// Splits what a descriptor yields into lines, in a buffer the caller owns. A line longer than the
// buffer is given once, cut to the buffer's size; the rest of it is passed over, so it never
// passes for a line of its own. A line that fits the buffer, line feed included, is whole.
class LineReader {
 public:
  LineReader(int fd, char* buffer, size_t capacity, ReadFunction read_function = read)
      : fd_(fd), buffer_(buffer), capacity_(capacity), read_(read_function) {}

  // False at the end of the file or on a read error.
  bool next(Line* line);

 private:
  // One read, repeated when a signal interrupts it.
  ssize_t read_some(char* into, size_t count);
  // Reads more into the buffer; false when nothing more came.
  bool fill();
  // Drops what is left of a cut line, up to and including its line feed.
  bool skip_rest_of_line();

  int fd_;
  char* buffer_;
  size_t capacity_;
  ReadFunction read_;
  size_t start_ = 0;
  size_t end_ = 0;
  bool in_cut_line_ = false;
};

#endif  // SPIN_DOWN_COMMON_LINE_READER_H_
