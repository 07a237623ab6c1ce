#pragma once

// The process of halvrenn-cdr --service on Windows (service_win32.cpp): wmain hands the whole
// command line to the Service Control Manager's dispatcher, so that every refusal, from a wrong
// option on, reaches the service's log and the Event Log and stops the service at once.

#include <string>
#include <vector>

namespace halvrenn::cli {

// Whether the command line asks for the service: --service before any "--".
bool IsServiceCommandLine(const std::vector<std::string>& arguments);

// Runs the command line as the service that the manager started; its exit status. Outside the
// manager (in a console) it says so and returns 2.
int RunServiceProcess(const std::vector<std::string>& arguments);

}  // namespace halvrenn::cli
