// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_ERROR_WORDS_H_
#define SPIN_DOWN_STOP_TOOL_ERROR_WORDS_H_

#include "common/decimal.h"

// Room for "error ", any int and the terminating zero.
struct ErrorNumberText {
  char text[6 + kDecimalCapacity + 1];
};

// What went wrong, in words, for an errno value. A dynamic program takes them from the C
// library. A static one would carry the library's text for every errno, a fifth of this tool
// with uClibc-ng: it takes them from error_words, and names any other error by its number
// ("error 95"), written into `spare`.
const char* describe_error(int error, ErrorNumberText& spare);

// The C library's words for the errors that opening a disk and sending it a command meet
// ("No such file or directory"); nullptr for any other.
const char* error_words(int error);

// "error N".
const char* error_number(int error, ErrorNumberText& spare);

#endif  // SPIN_DOWN_STOP_TOOL_ERROR_WORDS_H_
