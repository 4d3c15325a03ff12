// SPDX-License-Identifier: MIT
#include "stop_tool/command_blocks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> bytes(const CommandBlock& block) {
  return std::vector<uint8_t>(block.bytes, block.bytes + block.length);
}

TEST(CommandBlocks, StartStopUnit) {
  EXPECT_EQ(bytes(start_stop_unit(false)), (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x00, 0}));
  EXPECT_EQ(bytes(start_stop_unit(true)), (std::vector<uint8_t>{0x1B, 0, 0, 0, 0x01, 0}));
}

TEST(CommandBlocks, AtaPassThroughStandbyImmediate) {
  EXPECT_EQ(bytes(ata_pass_through_16(kAtaStandbyImmediate)),
            (std::vector<uint8_t>{0x85, 0x06, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xE0, 0}));
  EXPECT_EQ(bytes(ata_pass_through_12(kAtaStandbyImmediate)),
            (std::vector<uint8_t>{0xA1, 0x06, 0x20, 0, 0, 0, 0, 0, 0x40, 0xE0, 0, 0}));
}

TEST(CommandBlocks, AtaCommandGoesInTheCommandRegister) {
  EXPECT_EQ(ata_pass_through_16(kAtaIdleImmediate).bytes[14], 0xE1);
  EXPECT_EQ(ata_pass_through_12(kAtaIdleImmediate).bytes[9], 0xE1);
}

}  // namespace
