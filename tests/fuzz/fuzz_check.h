// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_TESTS_FUZZ_FUZZ_CHECK_H_
#define SPIN_DOWN_TESTS_FUZZ_FUZZ_CHECK_H_

#include <stdio.h>
#include <stdlib.h>

// A broken property is a finding like a crash: libFuzzer keeps the input that led to it.
[[noreturn]] inline void fuzz_fail(const char* file, int line, const char* what) {
  // Whether or not the message gets out, the abort is the finding.
  (void)fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : fuzz_fail(__FILE__, __LINE__, #condition))

#endif  // SPIN_DOWN_TESTS_FUZZ_FUZZ_CHECK_H_
