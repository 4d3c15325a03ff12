// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_WATCHER_REQUEST_READER_H_
#define SPIN_DOWN_WATCHER_REQUEST_READER_H_

#include <stdint.h>

class Console;

// The integer at the start of the first line of the file at `path`, read as atoi() reads it but
// clamped to the int32_t range: only the first 31 characters of that line count. A file that
// cannot be opened gives 0, after an error message.
int32_t read_int_from_file(const char* path, Console& console);

#endif  // SPIN_DOWN_WATCHER_REQUEST_READER_H_
