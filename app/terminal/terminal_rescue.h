#pragma once
// The terminal put back as it was when the program dies of a fault while
// the dialog is drawn (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT): its
// settings, the screen the dialog took and the cursor. The handlers that
// were there before (the default's core dump, a sanitizer's report) still
// follow.
#include <termios.h>

#include <string_view>

namespace pelox {

// Keeps `settings` and the bytes that give back the screen and the cursor
// (cut at 256), and catches the faults until StopRescuingTerminal.
void RescueTerminalOnFault(const termios& settings, std::string_view reset);
void StopRescuingTerminal();

}  // namespace pelox
