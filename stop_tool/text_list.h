// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_STOP_TOOL_TEXT_LIST_H_
#define SPIN_DOWN_STOP_TOOL_TEXT_LIST_H_

#include <stddef.h>

// A table of names kept as one block of texts, each ended by a NUL ("first\0second\0"): no
// pointer per name to store, which in a program of a few KiB is much of what a table costs.

// The text at `index`; the caller keeps the index within the list.
inline const char* nth_text(const char* texts, size_t index) {
  for (; index > 0; --index) {
    while (*texts++ != '\0') {
    }
  }
  return texts;
}

// The number of texts in a list of `size` bytes (sizeof of its literal, final NUL included),
// for a static_assert that the list and the table it goes with have the same length.
constexpr size_t count_texts(const char* texts, size_t size) {
  size_t count = 0;
  for (size_t at = 0; at + 1 < size; ++at) {
    if (texts[at] == '\0') ++count;
  }
  return count;
}

#endif  // SPIN_DOWN_STOP_TOOL_TEXT_LIST_H_
