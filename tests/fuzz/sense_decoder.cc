// SPDX-License-Identifier: MIT
// Sense data as a disk or a bridge may send it: any bytes, any length up to what the tool
// receives. libFuzzer hands over a buffer of exactly that length, so AddressSanitizer sees any
// read past what arrived.
#include <string.h>

#include <vector>

#include "stop_tool/sense.h"
#include "stop_tool/stop_methods.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool same(const Sense& a, const Sense& b) {
  return a.valid == b.valid && a.deferred == b.deferred && a.key == b.key && a.asc == b.asc &&
         a.ascq == b.ascq && a.has_ata_status == b.has_ata_status && a.ata_status == b.ata_status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kSenseCapacity) size = kSenseCapacity;
  const Sense sense = decode_sense(data, size);

  // What is not there reads as nothing.
  if (!sense.valid) FUZZ_CHECK(same(sense, Sense{}));
  if (!sense.has_ata_status) FUZZ_CHECK(sense.ata_status == 0);
  FUZZ_CHECK(sense.key <= 0x0F);
  FUZZ_CHECK(sense_key_name(sense.key)[0] != '\0');

  // Bytes past the additional length that the data declares are not sense data: changing them
  // changes nothing.
  constexpr size_t kHeader = 8;
  if (size > kHeader && kHeader + data[7] < size) {
    std::vector<uint8_t> changed(data, data + size);
    for (size_t at = kHeader + data[7]; at < size; ++at) changed[at] ^= 0xFF;
    FUZZ_CHECK(same(decode_sense(changed.data(), size), sense));
  }
  return 0;
}
