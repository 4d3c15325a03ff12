// Preloaded into the daemon by the system tests, so that they need not wait two real seconds a
// cycle: a second of sleep() lasts SPIN_DOWN_TEST_SECOND_MS milliseconds. Each pause also adds a
// byte to the file SPIN_DOWN_TEST_PAUSE_LOG, by which a test counts the cycles that have ended.

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

extern "C" unsigned int sleep(unsigned int seconds) {
  if (const char* log = getenv("SPIN_DOWN_TEST_PAUSE_LOG")) {
    int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ssize_t written = write(fd, ".", 1);
      (void)written;
      close(fd);
    }
  }
  const char* second = getenv("SPIN_DOWN_TEST_SECOND_MS");
  long milliseconds = (second != nullptr ? atol(second) : 1000) * static_cast<long>(seconds);
  timespec pause = {milliseconds / 1000, (milliseconds % 1000) * 1000000};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
  return 0;
}
