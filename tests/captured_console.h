// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_TESTS_CAPTURED_CONSOLE_H_
#define SPIN_DOWN_TESTS_CAPTURED_CONSOLE_H_

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "common/console.h"
#include "tests/temp_dir.h"

// A console whose traces and errors both go to the file "out" of a test's folder, as the daemon's
// both go to /dev/null.
class CapturedConsole {
 public:
  explicit CapturedConsole(const TempDir& dir)
      : dir_(dir),
        fd_(open(dir.path("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)),
        console_(fd_, fd_, buffer_, sizeof buffer_) {}
  ~CapturedConsole() { close(fd_); }
  CapturedConsole(const CapturedConsole&) = delete;
  CapturedConsole& operator=(const CapturedConsole&) = delete;

  Console& console() { return console_; }

  // Everything written so far, the buffered traces included.
  std::string output() {
    console_.flush();
    return dir_.read("out");
  }

 private:
  const TempDir& dir_;
  int fd_;
  char buffer_[4096];
  Console console_;
};

#endif  // SPIN_DOWN_TESTS_CAPTURED_CONSOLE_H_
