// SPDX-License-Identifier: MIT
// The integer at the start of any text, against strtoll() clamped to 32 bits. Both skip the C
// locale's white space, take one optional sign, then decimal digits up to the first other
// character, a zero byte included; strtoll() saturates at 64 bits, which clamps to the same
// bounds. The scanner is given a length, strtoll() a zero-terminated copy of as many bytes.
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "common/decimal.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const LeadingInt scanned = scan_leading_int(text, size);

  const std::string copy(text, size);
  char* end = nullptr;
  const long long wide = strtoll(copy.c_str(), &end, 10);
  const size_t reference_end = static_cast<size_t>(end - copy.c_str());
  const int32_t reference = wide > INT32_MAX   ? INT32_MAX
                            : wide < INT32_MIN ? INT32_MIN
                                               : static_cast<int32_t>(wide);

  // strtoll() gives 0 and no end for a text without digits, as the scanner does.
  FUZZ_CHECK(scanned.found == (reference_end != 0));
  FUZZ_CHECK(scanned.end == reference_end);
  FUZZ_CHECK(scanned.value == reference);
  if (scanned.found) FUZZ_CHECK(is_digit(text[scanned.end - 1]));
  return 0;
}
