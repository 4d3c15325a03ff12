// SPDX-License-Identifier: MIT
#include "watcher/daemon.h"

#include <fcntl.h>
#include <signal.h>
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

void restore_default_signals() {
  sigset_t none = {};  // all bits clear: the empty set, without one more libc import
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // SIGKILL and SIGSTOP refuse, and are default already.
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    (void)signal(signal_number, SIG_DFL);
  }
}

void detach(const char* null_device) {
  restore_default_signals();
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
