// SPDX-License-Identifier: MIT
// Preloaded into the daemon by the system tests, and into it and hd-idle by the bench, so that
// cycles need not last their real pauses. Settings:
//   SPIN_DOWN_TEST_PAUSE_US  every sleep() lasts this many microseconds, whatever it asks for
//   SPIN_DOWN_TEST_EXIT_AT   pause numbers at which the process exits with status 0
//   SPIN_DOWN_TEST_STOP_AT   pause numbers at which it stops itself (SIGSTOP)
// Lists have ':' between, as qemu's -E takes commas for its own. The environment is read once,
// and a pause is one nanosleep as the real sleep() is, so that the bench counts no work of this
// library's as the program's.

#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

namespace {

struct Pauses {
  unsigned long at[4];
  unsigned long count;

  void read(const char* name) {
    const char* text = getenv(name);
    char* end;
    while (text != nullptr && *text != '\0' && count < sizeof at / sizeof at[0]) {
      at[count++] = strtoul(text, &end, 10);
      text = *end == ':' ? end + 1 : "";
    }
  }

  bool has(unsigned long pause) const {
    for (unsigned long i = 0; i < count; ++i) {
      if (at[i] == pause) return true;
    }
    return false;
  }
};

// Constant-initialised: no constructor runs before the program's.
bool settings_read;
bool fixed_pause;
timespec fixed_pause_length;
Pauses exits, stops;
unsigned long pauses;

}  // namespace

extern "C" unsigned int sleep(unsigned int seconds) {
  if (!settings_read) {
    settings_read = true;
    if (const char* text = getenv("SPIN_DOWN_TEST_PAUSE_US")) {
      long long us = atoll(text);
      fixed_pause = true;
      fixed_pause_length = {static_cast<time_t>(us / 1000000),
                            static_cast<long>(us % 1000000 * 1000)};
    }
    exits.read("SPIN_DOWN_TEST_EXIT_AT");
    stops.read("SPIN_DOWN_TEST_STOP_AT");
  }
  ++pauses;
  if (exits.has(pauses)) _exit(0);
  if (stops.has(pauses)) raise(SIGSTOP);
  timespec pause = fixed_pause ? fixed_pause_length : timespec{static_cast<time_t>(seconds), 0};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
  return 0;
}
