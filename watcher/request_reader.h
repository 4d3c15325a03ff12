#ifndef SPIN_DOWN_WATCHER_REQUEST_READER_H_
#define SPIN_DOWN_WATCHER_REQUEST_READER_H_

#include <stddef.h>
#include <stdint.h>

class Console;

// The decimal integer at the start of `text`, read as atoi() reads it (leading white space, an
// optional sign, then digits; none gives 0), but clamped to the int32_t range instead of
// overflowing. Stops at a zero byte or after `length` characters.
int32_t parse_leading_int(const char* text, size_t length);

// The integer at the start of the first line of the file at `path`: only the first 31 characters
// of that line count. A file that cannot be opened gives 0, after an error message.
int32_t read_int_from_file(const char* path, Console& console);

#endif  // SPIN_DOWN_WATCHER_REQUEST_READER_H_
