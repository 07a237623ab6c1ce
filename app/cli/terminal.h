#pragma once

// What halvrenn-cdr needs of the terminal, one file per platform: terminal_posix.cpp,
// terminal_win32.cpp.

#include <atomic>
#include <string>
#include <string_view>

namespace halvrenn::cli {

bool StandardErrorIsTerminal();

// UTF-8 text to standard error, shown correctly on a console too.
void WriteStandardError(std::string_view text);

// From now on an interrupt (Ctrl+C) sets `cancel` instead of ending the program; a second one
// ends it at once.
void CancelOnInterrupt(std::atomic<bool>& cancel);

// What an interrupt says when it ends the program itself, without the conversion's own answer:
// on Windows, where a read that waits cannot always be broken off (Wine cannot, nor can some
// drivers), it ends the program after a moment, as a second interrupt does at once. The words
// are those the conversion would say. Nothing to do on POSIX, where a signal breaks off a read.
void WhenInterrupted(std::string message);

}  // namespace halvrenn::cli
