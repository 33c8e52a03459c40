#pragma once
/// @file
/// What the shared library exports: the declarations between PELOX_API_BEGIN
/// and PELOX_API_END. The library is built with hidden visibility, so
/// everything else inside it stays private to it. Every installed header
/// includes this one before it declares anything, so that a program compiled
/// below C++20 meets this text before any other error.
#if !defined(__cplusplus) || __cplusplus < 202002L
#error "libpelox needs C++20 or later: compile with -std=c++20 (or CMake's cxx_std_20)"
#endif
#if defined(_WIN32)
#define PELOX_API_BEGIN
#define PELOX_API_END
#define PELOX_TEST_HOOK
#else
#define PELOX_API_BEGIN _Pragma("GCC visibility push(default)")
#define PELOX_API_END _Pragma("GCC visibility pop")
/// A program-wide reset for tests: neither exported nor installed.
#define PELOX_TEST_HOOK __attribute__((visibility("hidden")))
#endif
