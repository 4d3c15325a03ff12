// SPDX-License-Identifier: MIT
#include "watcher/daemon.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `body` in a child process and gives its exit status.
template <typename Body>
int in_child(Body body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool is_open(int fd) { return fcntl(fd, F_GETFD) >= 0; }

TEST(CloseEveryDescriptor, ClosesLowAndHighDescriptorsAlike) {
  int status = in_child([] {
    int high = dup2(STDIN_FILENO, 900);
    if (high != 900 || !is_open(0) || !is_open(900)) return 2;
    close_every_descriptor();
    for (int fd = 0; fd <= 1000; ++fd) {
      if (is_open(fd)) return 1;
    }
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(RestoreDefaultSignals, UnblocksAndUnignoresWhatTheStarterSet) {
  int status = in_child([] {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, nullptr);
    signal(SIGINT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    restore_default_signals();
    sigset_t now;
    sigprocmask(SIG_SETMASK, nullptr, &now);
    if (sigismember(&now, SIGTERM)) return 1;
    for (int signal_number : {SIGINT, SIGHUP}) {
      struct sigaction action;
      sigaction(signal_number, nullptr, &action);
      if (action.sa_handler != SIG_DFL) return 2;
    }
    raise(SIGTERM);  // ends the child, as it ends the daemon
    return 3;
  });
  EXPECT_EQ(status, -1) << "status " << status;
}

}  // namespace
