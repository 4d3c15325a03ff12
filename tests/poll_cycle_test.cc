// SPDX-License-Identifier: MIT
#include "watcher/poll_cycle.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/captured_console.h"

namespace {

constexpr char kCountingTool[] = "#!/bin/sh\necho \"$1\" >> \"$0.log\"\n";

// One watcher over files of a temporary folder: the request entry, the flag, a table of two
// disks with partitions, and a stand-in tool that logs the devices it was run on.
class RunCycle : public testing::Test {
 protected:
  RunCycle()
      : request_(dir_.path("request")),
        flag_(dir_.path("sleep")),
        table_(dir_.write("partitions", "8 0 10 sda\n8 1 5 sda1\n8 16 10 sdb\n8 17 5 sdb1\n")),
        tool_(dir_.write("tool", kCountingTool, 0755)),
        paths_{request_.c_str(), flag_.c_str(), table_.c_str(), tool_.c_str()} {}

  void cycle_with_request(const char* value) {
    dir_.write("request", value);
    run_cycle(paths_, console_);
  }
  std::string stops() const { return dir_.read("tool.log"); }
  bool flag_exists() const { return dir_.exists("sleep"); }
  std::string output() { return captured_.output(); }

  TempDir dir_;
  std::string request_, flag_, table_, tool_;
  WatchPaths paths_;
  CapturedConsole captured_{dir_};
  Console& console_ = captured_.console();
};

constexpr char kBothDisks[] = "/dev/sda\n/dev/sdb\n";

TEST_F(RunCycle, ARiseStopsEveryDiskOnceAndLeavesAnEmptyFlagForAll) {
  umask(0);  // as the daemon has it
  cycle_with_request("1\n");
  umask(022);
  EXPECT_EQ(stops(), kBothDisks);
  struct stat flag;
  ASSERT_EQ(stat(flag_.c_str(), &flag), 0);
  EXPECT_TRUE(S_ISREG(flag.st_mode));
  EXPECT_EQ(flag.st_mode & 07777, 0666u);
  EXPECT_EQ(flag.st_size, 0);
  std::string cmd = "cmd=" + tool_;
  EXPECT_EQ(output(), "while loop begin\nbuf=1\n\nresult=1\n" + cmd + " /dev/sda 0\n" + cmd +
                          " /dev/sdb 0\n");
}

TEST_F(RunCycle, AStandingRequestIsServedOnce) {
  for (int i = 0; i < 5; ++i) cycle_with_request("1\n");
  EXPECT_EQ(stops(), kBothDisks);
  EXPECT_TRUE(flag_exists());
  std::string out = output();
  std::string standing = "while loop begin\nbuf=1\n\nresult=1\nsleep flag exist\n";
  EXPECT_EQ(out.substr(out.size() - 4 * standing.size()),
            standing + standing + standing + standing);
}

TEST_F(RunCycle, AFallReArmsTheNextRise) {
  cycle_with_request("1\n");
  cycle_with_request("0\n");
  EXPECT_FALSE(flag_exists());
  cycle_with_request("0\n");
  cycle_with_request("1\n");
  EXPECT_EQ(stops(), std::string(kBothDisks) + kBothDisks);
  EXPECT_TRUE(flag_exists());
}

TEST_F(RunCycle, OnlyOneIsARequest) {
  for (const char* value : {"2\n", "-1\n", "0\n", "yes\n", "", "4294967297\n"}) {
    dir_.write("sleep", "");
    cycle_with_request(value);
    EXPECT_FALSE(flag_exists()) << "request " << value;
  }
  EXPECT_EQ(stops(), "");
}

TEST_F(RunCycle, AFlagLeftFromAnEarlierRunIsHonoured) {
  dir_.write("sleep", "");
  cycle_with_request("1\n");
  EXPECT_EQ(stops(), "");
  cycle_with_request("0\n");
  cycle_with_request("1\n");
  EXPECT_EQ(stops(), kBothDisks);
}

TEST_F(RunCycle, AMissingEntryIsNoRequestAndClearsTheFlag) {
  dir_.write("sleep", "");
  run_cycle(paths_, console_);
  EXPECT_FALSE(flag_exists());
  EXPECT_EQ(stops(), "");
  // The message is written at once, ahead of the buffered traces.
  EXPECT_EQ(output(), "while loop fopen failed\nwhile loop begin\nresult=0\n");
}

TEST_F(RunCycle, AFlagDeletedByOthersStopsTheDisksAgain) {
  cycle_with_request("1\n");
  unlink(flag_.c_str());
  cycle_with_request("1\n");
  EXPECT_EQ(stops(), std::string(kBothDisks) + kBothDisks);
}

TEST_F(RunCycle, NeverFollowsALinkPlantedAsTheFlag) {
  std::string victim = dir_.path("victim");
  ASSERT_EQ(symlink(victim.c_str(), flag_.c_str()), 0);
  cycle_with_request("1\n");
  EXPECT_FALSE(dir_.exists("victim")) << "the link was followed";
  // The flag could not be made, so the next cycle stops the disks again.
  cycle_with_request("1\n");
  EXPECT_EQ(stops(), std::string(kBothDisks) + kBothDisks);
}

TEST_F(RunCycle, KeepsAFlagThatAppearedWhileTheDisksStopped) {
  // Another process makes the flag while the stop runs: it is left as that process wrote it.
  std::string tool = dir_.write("tool", "#!/bin/sh\necho other > \"$FLAG\"\n", 0755);
  setenv("FLAG", flag_.c_str(), 1);
  cycle_with_request("1\n");
  unsetenv("FLAG");
  EXPECT_EQ(dir_.read("sleep"), "other\n");
}

TEST_F(RunCycle, AFifoPlantedAsTheFlagWhileTheDisksStopDoesNotBlock) {
  dir_.write("tool", "#!/bin/sh\nmkfifo \"$FLAG\"\n", 0755);
  setenv("FLAG", flag_.c_str(), 1);
  // In a child, which an alarm ends if the open waits for a reader.
  pid_t child = fork();
  if (child == 0) {
    alarm(10);
    cycle_with_request("1\n");
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  unsetenv("FLAG");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the open of the FIFO blocked";
}

}  // namespace
