// SPDX-License-Identifier: MIT
#include "disk_control/stop_command.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/console.h"
#include "common/line_reader.h"
#include "disk_control/partition_scan.h"

namespace {

constexpr char kDevicePrefix[] = "/dev/";
constexpr char kStopMode[] = "0";
// A table line holds at most this much, its line feed included.
constexpr size_t kTableLineCapacity = 255;

// Joins `parts` into `out`; the parts always fit, since a name is at most 127 characters.
template <size_t N>
const char* join(char (&out)[N], const char* const* parts, size_t count) {
  size_t used = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t length = strlen(parts[i]);
    if (length > N - 1 - used) length = N - 1 - used;
    memcpy(out + used, parts[i], length);
    used += length;
  }
  out[used] = '\0';
  return out;
}

}  // namespace

void run_stop_tool(const char* tool, const DiskName& name, Console& console) {
  char device[sizeof kDevicePrefix + DiskName::kMaxLength];
  const char* device_parts[] = {kDevicePrefix, name.text};
  join(device, device_parts, 2);

  char command[256];
  const char* command_parts[] = {tool, " ", device, " ", kStopMode};
  console.trace("cmd=", join(command, command_parts, 5), sizeof command);
  console.flush();

  pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    char* const argv[] = {const_cast<char*>(tool), device, const_cast<char*>(kStopMode), nullptr};
    execv(tool, argv);
    _exit(127);
  }
  int status;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

void spin_down_disks(const char* table, const char* tool, Console& console) {
  int fd = open(table, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    console.error("fopen failed\n");
    return;
  }
  char buffer[kTableLineCapacity];
  LineReader reader(fd, buffer, sizeof buffer);
  Line line;
  PartitionEntry entry;
  while (reader.next(&line)) {
    if (parse_partition_line(line, &entry) && is_whole_disk_name(entry.name)) {
      run_stop_tool(tool, entry.name, console);
    }
  }
  close(fd);
}
