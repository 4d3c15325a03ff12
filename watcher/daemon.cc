#include "watcher/daemon.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "common/console.h"

namespace {

[[noreturn]] void fail(const char* message) {
  write_all(STDERR_FILENO, message, strlen(message));
  _exit(kExitStatus);
}

}  // namespace

void close_every_descriptor() {
#ifdef SYS_close_range
  if (syscall(SYS_close_range, 0U, ~0U, 0U) == 0) return;
#endif
  for (int fd = getdtablesize(); fd >= 0; --fd) close(fd);
}

void detach(const char* null_device) {
  pid_t child = fork();
  if (child < 0) fail("fork failed\n");
  if (child > 0) _exit(kExitStatus);

  int ignored = chdir("/");
  (void)ignored;
  umask(0);
  setsid();
  close_every_descriptor();
  // Not close-on-exec: these three are the stop tool's standard streams too.
  int null_fd = open(null_device, O_RDWR);
  if (null_fd < 0) fail("open failed\n");
  dup2(null_fd, STDOUT_FILENO);
  dup2(null_fd, STDERR_FILENO);
}
