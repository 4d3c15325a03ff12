// SPDX-License-Identifier: MIT
#include "stop_tool/sg_device.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/temp_dir.h"

namespace {

TEST(OpenDisk, ReadOnlyNonBlockingAndClosedOnExec) {
  TempDir dir;
  int fd = open_disk(dir.write("disk", "").c_str());
  ASSERT_GE(fd, 0);
  int flags = fcntl(fd, F_GETFL);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_TRUE(flags & O_NONBLOCK);
  EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);

  // A regular file has no SCSI driver behind it: both calls fail with the driver's errno.
  int version = 0;
  errno = 0;
  EXPECT_FALSE(sg_version(fd, &version));
  if (errno == ENOSYS) {  // qemu-user passes no SCSI generic ioctls on
    close(fd);
    GTEST_SKIP() << "the emulator does not pass SCSI generic ioctls on";
  }
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_EQ(send_sg_io(fd, start_stop_unit(false)).error, ENOTTY);
  close(fd);
}

TEST(OpenDisk, MissingPathFails) {
  errno = 0;
  EXPECT_EQ(open_disk("/nonexistent/sda"), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
