// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_SENSE_CODES_H_
#define SPIN_DOWN_STOP_TOOL_SENSE_CODES_H_

#include <stdint.h>

// The words for an additional sense code and qualifier (ASC/ASCQ) that a disk may answer a
// power command with, such as "internal target failure" for 44/00; nullptr for one it is not
// likely to answer. Only those codes, not the whole standard: the tool stays small.
const char* sense_code_words(uint8_t asc, uint8_t ascq);

#endif  // SPIN_DOWN_STOP_TOOL_SENSE_CODES_H_
