// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_COMMON_DECIMAL_H_
#define SPIN_DOWN_COMMON_DECIMAL_H_

#include <stddef.h>
#include <stdint.h>

// The C locale's white space and digits, as atoi() and scanf() know them.
inline bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct LeadingInt {
  int32_t value;  // clamped to the int32_t range; 0 without digits
  size_t end;     // where the digits end; 0 without digits
  bool found;     // at least one digit
};

// The decimal integer at the start of `text`, read as atoi() and scanf("%d") read it: leading
// white space, an optional sign, then digits. Clamped instead of overflowing. Stops at a zero
// byte or after `length` characters.
LeadingInt scan_leading_int(const char* text, size_t length);

// Room for any int32_t in decimal: the ten digits of 2147483648 and a sign.
constexpr size_t kDecimalCapacity = 11;

// Writes `value` in decimal at the end of `out` and returns where the text begins; it runs to
// the end of `out`, with no terminating zero.
size_t format_decimal(int32_t value, char (&out)[kDecimalCapacity]);

#endif  // SPIN_DOWN_COMMON_DECIMAL_H_
