// SPDX-License-Identifier: MIT
#include "watcher/request_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/console.h"
#include "common/decimal.h"
#include "common/line_reader.h"

namespace {

constexpr size_t kLineCapacity = 31;

}  // namespace

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
  return scan_leading_int(line.text, line.length).value;
}
