// SPDX-License-Identifier: MIT
#include "stop_tool/restart_on_access.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/temp_dir.h"

namespace {

TEST(RestartFlagPath, TheScsiAddressInSysfsOrder) {
  const struct {
    uint32_t host, id_lun;
    const char* path;
  } cases[] = {
      // SCSI_IOCTL_GET_IDLUN: target in bits 7..0, LUN 15..8, channel 23..16, host 31..24.
      {0, 0x00000000, "/sys/class/scsi_disk/0:0:0:0/allow_restart"},
      {2, 0x02010403, "/sys/class/scsi_disk/2:1:3:4/allow_restart"},
      // The host as SCSI_IOCTL_GET_BUS_NUMBER gives it, whole: the packed byte wraps at 256.
      {300, 0x2C000000, "/sys/class/scsi_disk/300:0:0:0/allow_restart"},
      {7, 0x07FFFFFF, "/sys/class/scsi_disk/7:255:255:255/allow_restart"},
  };
  for (const auto& c : cases) {
    char path[kRestartFlagCapacity];
    restart_flag_path(c.host, c.id_lun, path);
    EXPECT_STREQ(path, c.path);
  }
}

TEST(SetRestartFlag, SetsItWhereItIsOffAndSaysWhatStandsInTheWay) {
  TempDir dir;
  const struct {
    const char* flag;  // the file's contents, or nullptr for what `link` names
    const char* link;  // what the flag is a link to, or nullptr for no file at all
    int error;
    const char* after;  // the flag afterwards, where there is a file
  } cases[] = {
      {"1\n", nullptr, 0, "1\n"},           // set already: left as it is
      {"0\n", nullptr, 0, "1\n"},           // set now
      {"", nullptr, 0, "1"},                // nothing to read is no error
      {nullptr, nullptr, ENOENT, nullptr},  // no such flag: a disk of another kind, or no sysfs
      // A flag that reads 0 and cannot be written, as without CAP_SYS_ADMIN: the write's error.
      {nullptr, "/dev/full", ENOSPC, nullptr},
      {nullptr, ".", EISDIR, nullptr},  // one that cannot even be read
  };
  for (const auto& c : cases) {
    const std::string name = "allow_restart" + std::to_string(&c - cases);
    const std::string flag = c.flag ? dir.write(name, c.flag) : dir.path(name);
    if (c.link) {
      ASSERT_EQ(symlink(c.link, flag.c_str()), 0) << c.link;
    }
    errno = EIO;  // an errno from before is none of this call's
    EXPECT_EQ(set_restart_flag(flag.c_str()), c.error) << name;
    if (c.after) {
      EXPECT_EQ(dir.read(name), c.after) << name;
    }
  }
}

}  // namespace
