#pragma once

// halvrenn-cdr's command line: options (options.h), the progress line, the summaries and the exit
// status (exit_status.h).

#include <string>
#include <vector>

namespace halvrenn::cli {

int Run(const std::vector<std::string>& arguments);

}  // namespace halvrenn::cli
