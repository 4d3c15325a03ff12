// SPDX-License-Identifier: MIT
#include "disk_control/stop_command.h"

#include <gtest/gtest.h>

#include "tests/captured_console.h"

namespace {

// A stand-in stop tool: a real program that logs each of its runs, one line a run, with its
// arguments in brackets and the descriptors it inherited open.
constexpr char kRecordingTool[] =
    "#!/bin/sh\n"
    "fds=\n"
    "for fd in 3 4 5 6 7 8 9; do\n"
    "  if { true >&$fd; } 2>/dev/null; then fds=\"$fds $fd\"; fi\n"
    "done\n"
    "printf '[%s]' \"$0\" \"$@\" >> \"$0.log\"\n"
    "printf ' extra_fds=%s\\n' \"$fds\" >> \"$0.log\"\n"
    "exit 3\n";

class SpinDownDisks : public testing::Test {
 protected:
  SpinDownDisks() : tool_(dir_.write("tool", kRecordingTool, 0755)) {}

  void spin_down(const std::string& table) {
    spin_down_disks(dir_.write("partitions", table).c_str(), tool_.c_str(), console_);
  }
  std::string runs() const { return dir_.read("tool.log"); }
  std::string output() { return captured_.output(); }
  // One run on `device`. The tool inherits what the test itself holds open without close-on-exec,
  // and nothing more: the table the scan has open must not reach it.
  std::string run_line(const char* device) const {
    std::string inherited;
    for (int fd = 3; fd <= 9; ++fd) {
      int flags = fcntl(fd, F_GETFD);
      if (flags >= 0 && (flags & FD_CLOEXEC) == 0) inherited += " " + std::to_string(fd);
    }
    return "[" + tool_ + "][" + device + "][0] extra_fds=" + inherited + "\n";
  }

  TempDir dir_;
  std::string tool_;
  CapturedConsole captured_{dir_};
  Console& console_ = captured_.console();
};

TEST_F(SpinDownDisks, StopsEachWholeDiskOnceInTableOrder) {
  spin_down(
      "major minor  #blocks  name\n"
      "\n"
      "   8        0  976762584 sda\n"
      "   8        1     524288 sda1\n"
      "   8        2  976237568 sda2\n"
      "   8       16  976762584 sdb\n"
      "   8       17  976761560 sdb1\n");
  EXPECT_EQ(runs(), run_line("/dev/sda") + run_line("/dev/sdb"));
  EXPECT_EQ(output(), "cmd=" + tool_ + " /dev/sda 0\ncmd=" + tool_ + " /dev/sdb 0\n");
}

TEST_F(SpinDownDisks, LeavesDevicesWhoseNamesEndInADigit) {
  spin_down(
      " 179 0 7761920 mmcblk0\n 179 1 65536 mmcblk0p1\n   9 0 1000 md0\n   7 0 100 loop0\n"
      "  11 0 1048575 sr0\n  31 3 512 mtdblock3\n 259 0 500107608 nvme0n1\n 253 0 10 dm-0\n"
      "   3 0 1000 hda\n   8 32 1000 sdc\n");
  EXPECT_EQ(runs(), run_line("/dev/hda") + run_line("/dev/sdc"));
}

TEST_F(SpinDownDisks, PassesANameAsOneArgumentAndNeverToAShell) {
  std::string semicolon = "x;touch " + dir_.path("pwned") + ";y";
  std::string substitution = "$(touch " + dir_.path("pwned2") + ")z";
  spin_down("8 0 1 sd a\n8 16 1 " + semicolon + "\n8 32 1 " + substitution + "\n");
  EXPECT_EQ(runs(), run_line("/dev/sd a") + run_line(("/dev/" + semicolon).c_str()) +
                        run_line(("/dev/" + substitution).c_str()));
  EXPECT_FALSE(dir_.exists("pwned"));
  EXPECT_FALSE(dir_.exists("pwned2"));
}

TEST_F(SpinDownDisks, SkipsOverLongLinesAndNamesWhole) {
  std::string long_name(128, 'a');
  std::string padding(260, ' ');
  spin_down("8 0 1 " + long_name + "\n8 0 1" + padding + "sdz\n8 16 1 sdb\n");
  EXPECT_EQ(runs(), run_line("/dev/sdb"));
}

TEST_F(SpinDownDisks, StopsNothingWithoutWholeDisks) {
  spin_down("major minor  #blocks  name\n\n   8 1 100 sda1\n");
  EXPECT_EQ(runs(), "");
  EXPECT_EQ(output(), "");
}

TEST_F(SpinDownDisks, ReportsAMissingTableAndStopsNothing) {
  spin_down_disks(dir_.path("absent").c_str(), tool_.c_str(), console_);
  EXPECT_EQ(runs(), "");
  EXPECT_EQ(output(), "fopen failed\n");
}

TEST_F(SpinDownDisks, GoesOnWhenTheToolCannotBeStarted) {
  spin_down_disks(dir_.write("partitions", "8 0 1 sda\n8 16 1 sdb\n").c_str(),
                  dir_.path("no-such-tool").c_str(), console_);
  std::string missing = dir_.path("no-such-tool");
  // Each trace line once: a child that failed to start wrote nothing of its parent's again.
  EXPECT_EQ(output(), "cmd=" + missing + " /dev/sda 0\ncmd=" + missing + " /dev/sdb 0\n");
}

}  // namespace
