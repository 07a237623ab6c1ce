#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  return halvrenn::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
}
