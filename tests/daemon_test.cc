#include "watcher/daemon.h"

#include <fcntl.h>
#include <gtest/gtest.h>
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

}  // namespace
