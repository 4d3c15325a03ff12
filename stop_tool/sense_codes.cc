#include "stop_tool/sense_codes.h"

#include <stddef.h>

namespace {

struct SenseCode {
  uint8_t asc;
  uint8_t ascq;
  bool any_ascq;  // the words of the whole ASC, for qualifiers not listed before it
  const char* words;
};

// Searched in order: the qualifiers of an ASC stand before its catch-all entry.
constexpr SenseCode kCodes[] = {
    {0x00, 0x00, false, "no additional sense information"},
    {0x00, 0x1D, false, "ATA pass through information available"},
    {0x04, 0x00, false, "not ready, cause not reportable"},
    {0x04, 0x01, false, "becoming ready"},
    {0x04, 0x02, false, "initializing command required"},
    {0x04, 0x03, false, "manual intervention required"},
    {0x04, 0x04, false, "format in progress"},
    {0x04, 0x09, false, "self-test in progress"},
    {0x04, 0x11, false, "notify (enable spinup) required"},
    {0x04, 0x1A, false, "start stop unit command in progress"},
    {0x04, 0x22, false, "power cycle required"},
    {0x04, 0x00, true, "logical unit not ready"},
    {0x05, 0x00, false, "logical unit does not respond to selection"},
    {0x08, 0x00, false, "logical unit communication failure"},
    {0x20, 0x00, false, "invalid command operation code"},
    {0x24, 0x00, false, "invalid field in CDB"},
    {0x25, 0x00, false, "logical unit not supported"},
    {0x26, 0x00, false, "invalid field in parameter list"},
    {0x29, 0x00, false, "power on, reset, or bus device reset occurred"},
    {0x29, 0x01, false, "power on occurred"},
    {0x29, 0x02, false, "SCSI bus reset occurred"},
    {0x29, 0x03, false, "bus device reset function occurred"},
    {0x29, 0x04, false, "device internal reset"},
    {0x29, 0x07, false, "I_T nexus loss occurred"},
    {0x29, 0x00, true, "power on or reset occurred"},
    {0x2A, 0x01, false, "mode parameters changed"},
    {0x2A, 0x00, true, "parameters changed"},
    {0x3A, 0x01, false, "medium not present, tray closed"},
    {0x3A, 0x02, false, "medium not present, tray open"},
    {0x3A, 0x00, true, "medium not present"},
    {0x3E, 0x01, false, "logical unit failure"},
    {0x3E, 0x02, false, "timeout on logical unit"},
    {0x44, 0x00, false, "internal target failure"},
    {0x47, 0x00, false, "SCSI parity error"},
    {0x4E, 0x00, false, "overlapped commands attempted"},
    {0x5D, 0x00, false, "failure prediction threshold exceeded"},
    {0x5E, 0x00, false, "low power condition on"},
};

}  // namespace

const char* sense_code_words(uint8_t asc, uint8_t ascq) {
  for (const SenseCode& code : kCodes) {
    // A first match in a fixed table reads no plainer through std::find_if.
    // cppcheck-suppress useStlAlgorithm
    if (code.asc == asc && (code.any_ascq || code.ascq == ascq)) return code.words;
  }
  return nullptr;
}
