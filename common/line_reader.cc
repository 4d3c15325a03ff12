// SPDX-License-Identifier: MIT
#include "common/line_reader.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

ssize_t LineReader::read_some(char* into, size_t count) {
  for (;;) {
    ssize_t got = read_(fd_, into, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

bool LineReader::fill() {
  if (start_ > 0) {
    // Down to the start, front to back: safe where the two ranges overlap.
    for (size_t at = start_; at < end_; ++at) buffer_[at - start_] = buffer_[at];
    end_ -= start_;
    start_ = 0;
  }
  ssize_t got = read_some(buffer_ + end_, capacity_ - end_);
  if (got <= 0) return false;
  end_ += static_cast<size_t>(got);
  return true;
}

bool LineReader::skip_rest_of_line() {
  for (;;) {
    const void* feed = memchr(buffer_ + start_, '\n', end_ - start_);
    if (feed != nullptr) {
      start_ = static_cast<size_t>(static_cast<const char*>(feed) - buffer_) + 1;
      in_cut_line_ = false;
      return true;
    }
    start_ = end_ = 0;
    if (!fill()) return false;
  }
}

bool LineReader::next(Line* line) {
  if (in_cut_line_ && !skip_rest_of_line()) return false;
  for (;;) {
    const char* head = buffer_ + start_;
    const void* feed = memchr(head, '\n', end_ - start_);
    if (feed != nullptr) {
      size_t length = static_cast<size_t>(static_cast<const char*>(feed) - head) + 1;
      *line = Line{head, length, false};
      start_ += length;
      return true;
    }
    bool full = start_ == 0 && end_ == capacity_;
    if (full) {
      // Cut, unless the file ends here: one byte more tells. A line feed there ends the line.
      char after;
      ssize_t got = read_some(&after, 1);
      *line = Line{head, capacity_, got != 0};
      start_ = end_;
      in_cut_line_ = got < 0 || (got > 0 && after != '\n');
      return true;
    }
    if (!fill()) {
      if (start_ == end_) return false;
      // The last line of a file need not end in a line feed.
      *line = Line{buffer_ + start_, end_ - start_, false};
      start_ = end_;
      return true;
    }
  }
}
