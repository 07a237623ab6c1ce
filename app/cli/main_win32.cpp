#include <string>
#include <vector>

#include "cli.h"
#include "service_win32.h"
#include "time/utf16_text.h"

// The arguments arrive in UTF-16 and go on in UTF-8, as every text of the core.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(halvrenn::Utf8FromUtf16(argv[i]));
  if (halvrenn::cli::IsServiceCommandLine(arguments)) {
    return halvrenn::cli::RunServiceProcess(arguments);
  }
  return halvrenn::cli::Run(arguments);
}
