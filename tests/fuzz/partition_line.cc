// SPDX-License-Identifier: MIT
// A line of the kernel's partition table as the line reader gives it: any bytes up to and
// including the first line feed. Read against sscanf("%d %d %d %[^\n]"), which the table's
// format is defined by.
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "common/line_reader.h"
#include "disk_control/partition_scan.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

int32_t clamp(long long value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* feed = memchr(data, '\n', size);
  if (feed != nullptr) size = static_cast<size_t>(static_cast<const uint8_t*>(feed) - data) + 1;
  const std::string text(reinterpret_cast<const char*>(data), size);

  PartitionEntry entry;
  const bool parsed = parse_partition_line(Line{text.data(), text.size(), false}, &entry);
  // The head of a line that went on past the buffer is never read as a line.
  PartitionEntry ignored;
  FUZZ_CHECK(!parse_partition_line(Line{text.data(), text.size(), true}, &ignored));

  // sscanf sees the text up to its first zero byte, and takes a name of any length. The parser
  // deliberately refuses a line whose name holds a zero byte or is longer than a DiskName: a
  // shortened name would name another device. "Both accept" is: sscanf fills all four fields
  // and its name has no zero byte after it in the line and fits; then the parser must accept
  // and agree, and where sscanf does not, the parser must not either.
  std::string name(text.size() + 1, '\0');
  int narrow[3] = {};
  int name_start = 0;
  // sscanf is the reference here; the name's buffer holds the whole line.
  // cppcheck-suppress invalidscanf
  const int fields = sscanf(  // NOLINT(cert-err34-c)
      text.c_str(), "%d %d %d %n%[^\n]", &narrow[0], &narrow[1], &narrow[2], &name_start,
      name.data());
  name.resize(strlen(name.c_str()));
  bool reference = fields == 4 && name.size() <= DiskName::kMaxLength;
  if (reference) {
    // The name runs to the line feed or the line's end; a zero byte cut it short for sscanf.
    size_t name_end = static_cast<size_t>(name_start) + name.size();
    reference = name_end == text.size() || text[name_end] == '\n';
  }
  FUZZ_CHECK(parsed == reference);
  if (!parsed) return 0;
  FUZZ_CHECK(name == entry.name.text);

  // "%d" past the int range is undefined (glibc wraps it); "%lld" saturates, and the parser
  // clamps to 32 bits from there.
  long long wide[3];
  FUZZ_CHECK(sscanf(  // NOLINT(cert-err34-c): the reference again
                 text.c_str(), "%lld %lld %lld", &wide[0], &wide[1], &wide[2]) == 3);
  const int32_t numbers[3] = {entry.major, entry.minor, entry.blocks};
  for (int i = 0; i < 3; ++i) {
    FUZZ_CHECK(numbers[i] == clamp(wide[i]));
    if (clamp(wide[i]) == wide[i]) FUZZ_CHECK(numbers[i] == narrow[i]);
  }

  // A whole disk is a name whose last character is no decimal digit.
  const char last = name.back();
  FUZZ_CHECK(is_whole_disk_name(entry.name) == !(last >= '0' && last <= '9'));
  return 0;
}
