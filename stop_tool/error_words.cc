// SPDX-License-Identifier: MIT
#include "stop_tool/error_words.h"

#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "common/decimal.h"
#include "stop_tool/text_list.h"

namespace {

// open(2) of a device node, ioctl(2) on it, SG_IO, and the write of a flag in sysfs.
constexpr uint16_t kErrors[] = {
    EPERM, ENOENT,  EINTR,  EIO,    ENXIO,  EAGAIN, ENOMEM, EACCES,       EFAULT,
    EBUSY, ENOTDIR, ENODEV, EINVAL, EMFILE, ENOTTY, ELOOP,  ENAMETOOLONG, ENOMEDIUM,
    EROFS,
};

// The words of each entry of kErrors, in the same order.
constexpr char kWords[] =
    "Operation not permitted\0"
    "No such file or directory\0"
    "Interrupted system call\0"
    "Input/output error\0"
    "No such device or address\0"
    "Resource temporarily unavailable\0"
    "Cannot allocate memory\0"
    "Permission denied\0"
    "Bad address\0"
    "Device or resource busy\0"
    "Not a directory\0"
    "No such device\0"
    "Invalid argument\0"
    "Too many open files\0"
    "Inappropriate ioctl for device\0"
    "Too many levels of symbolic links\0"
    "File name too long\0"
    "No medium found\0"
    "Read-only file system\0";

static_assert(count_texts(kWords, sizeof kWords) == sizeof kErrors / sizeof kErrors[0],
              "one text for each error");

}  // namespace

const char* error_words(int error) {
  for (size_t i = 0; i < sizeof kErrors / sizeof kErrors[0]; ++i) {
    if (kErrors[i] == error) return nth_text(kWords, i);
  }
  return nullptr;
}

const char* error_number(int error, ErrorNumberText& spare) {
  static_assert(sizeof(int) == sizeof(int32_t), "an errno value is a 32-bit int");
  char digits[kDecimalCapacity];
  size_t start = format_decimal(static_cast<int32_t>(error), digits);
  size_t length = sizeof digits - start;
  memcpy(spare.text, "error ", 6);
  memcpy(spare.text + 6, digits + start, length);
  spare.text[6 + length] = '\0';
  return spare.text;
}

const char* describe_error(int error, ErrorNumberText& spare) {
#ifdef SPIN_DOWN_STATIC_LIBC
  const char* words = error_words(error);
  return words != nullptr ? words : error_number(error, spare);
#else
  (void)spare;
  return strerror(error);
#endif
}
