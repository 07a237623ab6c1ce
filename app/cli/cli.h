#pragma once

// halvrenn-cdr's command line: options, the progress line, the summaries and the exit status
// (0 every file written, 1 a file could not be read or written, 2 wrong usage, 130 interrupted).

#include <string>
#include <vector>

namespace halvrenn::cli {

int Run(const std::vector<std::string>& arguments);

}  // namespace halvrenn::cli
