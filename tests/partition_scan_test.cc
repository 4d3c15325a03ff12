// SPDX-License-Identifier: MIT
#include "disk_control/partition_scan.h"

#include <gtest/gtest.h>

#include <string>

#include "common/line_reader.h"

namespace {

// The name parsed from `text`, or "<none>" for a line that is skipped.
std::string name_of(const std::string& text, bool cut = false) {
  PartitionEntry entry;
  if (!parse_partition_line(Line{text.data(), text.size(), cut}, &entry)) return "<none>";
  return entry.name.text;
}

bool whole_disk(const char* text) {
  DiskName name;
  snprintf(name.text, sizeof name.text, "%s", text);
  return is_whole_disk_name(name);
}

TEST(ParsePartitionLine, TakesTheFourthFieldOfATableLine) {
  EXPECT_EQ(name_of("   8        0  976762584 sda\n"), "sda");
  EXPECT_EQ(name_of("   8        1     524288 sda1\n"), "sda1");
  EXPECT_EQ(name_of("8\t16\t1000\tsdb\n"), "sdb");
  EXPECT_EQ(name_of(" 259 0 500107608 nvme0n1"), "nvme0n1") << "no line feed at the end";
  // The block count of a very large disk is past any 32-bit range and still reads.
  EXPECT_EQ(name_of("   8 32 99999999999999999999 sdc\n"), "sdc");
  EXPECT_EQ(name_of("-1 +2 3 sdd\n"), "sdd");
}

TEST(ParsePartitionLine, ReadsTheNumbersClamped) {
  const std::string text = "  -8 +16 99999999999999999999 sdb\n";
  PartitionEntry entry;
  ASSERT_TRUE(parse_partition_line(Line{text.data(), text.size(), false}, &entry));
  EXPECT_EQ(entry.major, -8);
  EXPECT_EQ(entry.minor, 16);
  EXPECT_EQ(entry.blocks, INT32_MAX);
}

TEST(ParsePartitionLine, KeepsEverythingUpToTheLineFeedInTheName) {
  EXPECT_EQ(name_of("8 0 1 sd a\n"), "sd a");
  EXPECT_EQ(name_of("8 0 1 sdx \n"), "sdx ");
  EXPECT_EQ(name_of("8 0 1 sd$(reboot);`x`|&>y\n"), "sd$(reboot);`x`|&>y");
  EXPECT_EQ(name_of("8 0 1 cciss!c0d0\n"), "cciss!c0d0");
}

TEST(ParsePartitionLine, SkipsLinesWithoutFourFields) {
  EXPECT_EQ(name_of("major minor  #blocks  name\n"), "<none>");
  EXPECT_EQ(name_of("\n"), "<none>");
  EXPECT_EQ(name_of(""), "<none>");
  EXPECT_EQ(name_of("8 0 976762584\n"), "<none>");
  EXPECT_EQ(name_of("8 0 976762584   \n"), "<none>");
  EXPECT_EQ(name_of("8 x 1 sda\n"), "<none>");
  EXPECT_EQ(name_of("8 - 1 sda\n"), "<none>");
}

TEST(ParsePartitionLine, SkipsNamesThatWouldBeCut) {
  std::string longest(DiskName::kMaxLength, 'a');
  EXPECT_EQ(name_of("8 0 1 " + longest + "\n"), longest);
  EXPECT_EQ(name_of("8 0 1 " + longest + "b\n"), "<none>");
  // The head of an over-long line is no line of its own.
  EXPECT_EQ(name_of("8 0 1 sda", true), "<none>");
  // A zero byte would end the name early, making it name another device.
  EXPECT_EQ(name_of(std::string("8 0 1 sda\0b\n", 12)), "<none>");
}

TEST(IsWholeDiskName, TakesNamesThatDoNotEndInADigit) {
  for (const char* disk : {"sda", "sdb", "hda", "sdc", "sdaa", "vdb", "nvme0n1p", "dm-x"}) {
    EXPECT_TRUE(whole_disk(disk)) << disk;
  }
  for (const char* other : {"sda1", "sdb15", "mmcblk0", "mmcblk0p1", "md0", "loop0", "sr0",
                            "mtdblock3", "nvme0n1", "dm-0", "ram9"}) {
    EXPECT_FALSE(whole_disk(other)) << other;
  }
}

}  // namespace
