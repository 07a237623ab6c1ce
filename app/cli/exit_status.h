#pragma once

// halvrenn-cdr's exit statuses, as --help and the manual list them, and the words of wrong usage.

#include <string_view>

namespace halvrenn::cli {

inline constexpr int kWritten = 0;
inline constexpr int kFileFailed = 1;
inline constexpr int kWrongUsage = 2;
// The exit status of a program that an interrupt ended, as shells report one ended by SIGINT.
inline constexpr int kInterruptedStatus = 130;

// "halvrenn-cdr: <message>" and where to read how the program is used, on standard error;
// kWrongUsage.
int UsageError(std::string_view message);

}  // namespace halvrenn::cli
