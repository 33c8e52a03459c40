#pragma once
// What the shared library exports: the declarations between PELOX_API_BEGIN
// and PELOX_API_END. The library is built with hidden visibility, so
// everything else inside it stays private to it.
#if defined(_WIN32)
#define PELOX_API_BEGIN
#define PELOX_API_END
#define PELOX_TEST_HOOK
#else
#define PELOX_API_BEGIN _Pragma("GCC visibility push(default)")
#define PELOX_API_END _Pragma("GCC visibility pop")
// A program-wide reset for tests: neither exported nor installed.
#define PELOX_TEST_HOOK __attribute__((visibility("hidden")))
#endif
