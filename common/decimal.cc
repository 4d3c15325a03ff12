// SPDX-License-Identifier: MIT
#include "common/decimal.h"

LeadingInt scan_leading_int(const char* text, size_t length) {
  size_t at = 0;
  while (at < length && is_space(text[at])) ++at;
  bool negative = false;
  if (at < length && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // The magnitude stops growing just past the range, so it never overflows; 32-bit arithmetic
  // keeps 64-bit helpers out of 32-bit targets.
  constexpr uint32_t kLimit = uint32_t{INT32_MAX} + 1;
  uint32_t magnitude = 0;
  size_t digits = at;
  for (; at < length && is_digit(text[at]); ++at) {
    uint32_t digit = static_cast<uint32_t>(text[at] - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (at == digits) return LeadingInt{0, 0, false};
  int32_t value;
  if (negative) {
    value = magnitude >= kLimit ? INT32_MIN : -static_cast<int32_t>(magnitude);
  } else {
    value = magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
  }
  return LeadingInt{value, at, true};
}

size_t format_decimal(int32_t value, char (&out)[kDecimalCapacity]) {
  size_t start = kDecimalCapacity;
  // 32-bit arithmetic only: 64-bit division would pull a few KiB of libgcc into 32-bit targets.
  uint32_t magnitude = value < 0 ? 0U - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    out[--start] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out[--start] = '-';
  return start;
}
