// The cross compiler's libstdc++.a was built for glibc. Linked statically against uClibc-ng, as
// the unit tests are, it names a few glibc entry points that uClibc-ng lacks or spells
// differently: glibc's locale object and the locale-taking variants of the C functions (uClibc-ng
// here has the "C" locale alone, so each forwards to the plain function), two random-source
// calls, an unwinder lookup and a thread flag.
// Only the unit tests link this; the shipped programs use no part of the C++ runtime.
#include <ctype.h>
#include <errno.h>
#include <langinfo.h>
#include <locale.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <time.h>
#include <wchar.h>
#include <wctype.h>

namespace {
// libstdc++'s "C" locale facets read glibc's locale object directly: its character class table
// and its case tables, indexed -128..255. This is that object for the one locale there is,
// filled in from the C library's own classification.
struct GlibcLocale {
  const void* data[13];
  const unsigned short* classes;
  const int* to_lower;
  const int* to_upper;
  const char* names[13];
};

constexpr int kTableOffset = 128;
constexpr int kTableSize = 384;

struct CLocale {
  unsigned short classes[kTableSize];
  int to_lower[kTableSize];
  int to_upper[kTableSize];
  GlibcLocale locale;
};

void fill(CLocale& c) {
  struct Class {
    int (*test)(int);
    unsigned short bit;
  };
  // The sysroot's class bits are glibc's (see scripts/build-uclibc-sysroot).
  static const Class kClasses[] = {{isupper, _ISupper}, {islower, _ISlower},   {isalpha, _ISalpha},
                                   {isdigit, _ISdigit}, {isxdigit, _ISxdigit}, {isspace, _ISspace},
                                   {isprint, _ISprint}, {isgraph, _ISgraph},   {isblank, _ISblank},
                                   {iscntrl, _IScntrl}, {ispunct, _ISpunct},   {isalnum, _ISalnum}};
  for (int i = 0; i < kTableSize; ++i) {
    const int ch = i - kTableOffset;
    unsigned short classes = 0;
    if (ch >= 0) {
      for (const Class& k : kClasses) {
        if (k.test(ch)) classes = static_cast<unsigned short>(classes | k.bit);
      }
    }
    c.classes[i] = classes;
    c.to_lower[i] = ch >= 0 ? tolower(ch) : ch;
    c.to_upper[i] = ch >= 0 ? toupper(ch) : ch;
  }
  c.locale.classes = c.classes + kTableOffset;
  c.locale.to_lower = c.to_lower + kTableOffset;
  c.locale.to_upper = c.to_upper + kTableOffset;
  for (const char*& name : c.locale.names) name = "C";
}

__locale_t c_locale_handle() {
  static CLocale c;
  static const bool filled = (fill(c), true);
  static_cast<void>(filled);
  return reinterpret_cast<__locale_t>(&c.locale);
}

bool names_c_locale(const char* name) {
  return name[0] == '\0' || strcmp(name, "C") == 0 || strcmp(name, "POSIX") == 0;
}
}  // namespace

extern "C" {

// Never claim a single thread: libstdc++ then always takes its atomic paths, right either way.
char __libc_single_threaded = 0;

__locale_t __newlocale(int, const char* name, __locale_t) {
  if (!names_c_locale(name)) {
    errno = ENOENT;
    return nullptr;
  }
  return c_locale_handle();
}
__locale_t __duplocale(__locale_t) { return c_locale_handle(); }
void __freelocale(__locale_t) {}
__locale_t __uselocale(__locale_t) { return c_locale_handle(); }

char* __nl_langinfo_l(nl_item item, __locale_t) { return nl_langinfo(item); }
size_t __ctype_get_mb_cur_max() { return MB_CUR_MAX; }

int __strcoll_l(const char* a, const char* b, __locale_t) { return strcoll(a, b); }
size_t __strxfrm_l(char* to, const char* from, size_t size, __locale_t) {
  return strxfrm(to, from, size);
}
int __wcscoll_l(const wchar_t* a, const wchar_t* b, __locale_t) { return wcscoll(a, b); }
size_t __wcsxfrm_l(wchar_t* to, const wchar_t* from, size_t size, __locale_t) {
  return wcsxfrm(to, from, size);
}
wint_t __towupper_l(wint_t c, __locale_t) { return towupper(c); }
wint_t __towlower_l(wint_t c, __locale_t) { return towlower(c); }
wctype_t __wctype_l(const char* name, __locale_t) { return wctype(name); }
int __iswctype_l(wint_t c, wctype_t type, __locale_t) { return iswctype(c, type); }

float __strtof_l(const char* text, char** end, __locale_t) { return strtof(text, end); }
double __strtod_l(const char* text, char** end, __locale_t) { return strtod(text, end); }
long double strtold_l(const char* text, char** end, __locale_t) { return strtold(text, end); }

size_t __strftime_l(char* to, size_t size, const char* format, const struct tm* time, __locale_t) {
  return strftime(to, size, format, time);
}
size_t __wcsftime_l(wchar_t* to, size_t size, const wchar_t* format, const struct tm* time,
                    __locale_t) {
  return wcsftime(to, size, format, time);
}

// The unwinder asks glibc which loaded object holds a code address; a static program is one
// object whose unwind tables the start files register, where the unwinder looks first.
int _dl_find_object(void*, void*) { return -1; }

int getentropy(void* buffer, size_t length) {
  if (length > 256) {
    errno = EIO;
    return -1;
  }
  auto* next = static_cast<char*>(buffer);
  while (length > 0) {
    ssize_t got = getrandom(next, length, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    next += got;
    length -= static_cast<size_t>(got);
  }
  return 0;
}

uint32_t arc4random() {
  uint32_t value = 0;
  if (getentropy(&value, sizeof value) != 0) abort();
  return value;
}

}  // extern "C"
