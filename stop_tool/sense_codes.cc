// SPDX-License-Identifier: MIT
#include "stop_tool/sense_codes.h"

#include <stddef.h>

#include "stop_tool/text_list.h"

namespace {

struct SenseCode {
  uint8_t asc;
  uint8_t ascq;
  bool any_ascq;  // the words of the whole ASC, for qualifiers not listed before it
};

// Searched in order: the qualifiers of an ASC stand before its catch-all entry. No unit
// attention codes (29h, 2Ah): a unit attention is met by sending the command again, and a
// second one is reported as such, without its codes.
constexpr SenseCode kCodes[] = {
    {0x00, 0x00, false}, {0x00, 0x1D, false}, {0x04, 0x00, false}, {0x04, 0x01, false},
    {0x04, 0x02, false}, {0x04, 0x03, false}, {0x04, 0x04, false}, {0x04, 0x09, false},
    {0x04, 0x11, false}, {0x04, 0x1A, false}, {0x04, 0x22, false}, {0x04, 0x00, true},
    {0x05, 0x00, false}, {0x08, 0x00, false}, {0x20, 0x00, false}, {0x24, 0x00, false},
    {0x25, 0x00, false}, {0x26, 0x00, false}, {0x3A, 0x01, false}, {0x3A, 0x02, false},
    {0x3A, 0x00, true},  {0x3E, 0x01, false}, {0x3E, 0x02, false}, {0x44, 0x00, false},
    {0x47, 0x00, false}, {0x4E, 0x00, false}, {0x5D, 0x00, false}, {0x5E, 0x00, false},
};

// The words of each entry of kCodes, in the same order (xx: the catch-all of an ASC).
constexpr char kWords[] =
    "no additional sense information\0"                // 00/00
    "ATA pass through information available\0"         // 00/1D
    "not ready, cause not reportable\0"                // 04/00
    "becoming ready\0"                                 // 04/01
    "initializing command required\0"                  // 04/02
    "manual intervention required\0"                   // 04/03
    "format in progress\0"                             // 04/04
    "self-test in progress\0"                          // 04/09
    "notify (enable spinup) required\0"                // 04/11
    "start stop unit command in progress\0"            // 04/1A
    "power cycle required\0"                           // 04/22
    "logical unit not ready\0"                         // 04/xx
    "logical unit does not respond to selection\0"     // 05/00
    "logical unit communication failure\0"             // 08/00
    "invalid command operation code\0"                 // 20/00
    "invalid field in CDB\0"                           // 24/00
    "logical unit not supported\0"                     // 25/00
    "invalid field in parameter list\0"                // 26/00
    "medium not present, tray closed\0"                // 3A/01
    "medium not present, tray open\0"                  // 3A/02
    "medium not present\0"                             // 3A/xx
    "logical unit failure\0"                           // 3E/01
    "timeout on logical unit\0"                        // 3E/02
    "internal target failure\0"                        // 44/00
    "SCSI parity error\0"                              // 47/00
    "overlapped commands attempted\0"                  // 4E/00
    "failure prediction threshold exceeded\0"          // 5D/00
    "low power condition on\0";                        // 5E/00

static_assert(count_texts(kWords, sizeof kWords) == sizeof kCodes / sizeof kCodes[0],
              "one text for each code");

}  // namespace

const char* sense_code_words(uint8_t asc, uint8_t ascq) {
  for (size_t i = 0; i < sizeof kCodes / sizeof kCodes[0]; ++i) {
    const SenseCode& code = kCodes[i];
    if (code.asc == asc && (code.any_ascq || code.ascq == ascq)) return nth_text(kWords, i);
  }
  return nullptr;
}
