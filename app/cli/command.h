#pragma once

// A halvrenn-cdr command line as the parser reads it (cli.cpp), for a run over files or a watch.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cdr/convert/conversion.h"

namespace halvrenn::cli {

struct WatchCommand {
  std::optional<std::string> input;  // --watch
  std::optional<std::string> done;
  std::optional<std::chrono::milliseconds> poll;
  std::optional<std::string> log;
  bool service = false;
  bool Given() const { return input || done || poll || log || service; }
};

struct Command {
  cdr::Options options;
  std::optional<std::string> output_directory;
  bool force = false;
  bool quiet = false;
  std::vector<std::string> files;
  WatchCommand watch;
};

}  // namespace halvrenn::cli
