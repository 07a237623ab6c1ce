#pragma once

// The files that halvrenn-cdr's FILE arguments name: a file as it is, a folder's files and its
// sub-folders' as a folder dropped on the window gives them (cdr/folder_files.h), and on
// Windows the matches of a wildcard, which cmd.exe leaves to the program to expand, as Windows
// programs do. One file per platform expands wildcards: file_arguments_win32.cpp,
// file_arguments_posix.cpp (where the shell has expanded them).
//
// Example: "day" holding node1/cdr_1 and desktop.ini gives
//   {{"day/node1/cdr_1"}, {"", "day: left out 1 hidden or system file", kNote}}.

#include <string>
#include <vector>

namespace halvrenn::cli {

struct FileArgument {
  enum class Kind : unsigned char {
    kFile,     // `path` is converted ("-" is standard input)
    kNote,     // `text` says what a folder left out
    kFailure,  // `text` says why an argument names nothing to convert
  };
  std::string path{};
  std::string text{};
  Kind kind = Kind::kFile;
};

// In the order given, each folder's notes after its files.
std::vector<FileArgument> FilesOfArguments(const std::vector<std::string>& arguments);

// The names a wildcard in the last part of `pattern` matches, with the folder part as written,
// in order of their names: "data\*.csv" gives "data\calls.csv". Hidden and system files match
// no wildcard, as in cmd.exe's own commands. An argument without a wildcard gives itself; a
// wildcard that matches nothing gives nothing.
std::vector<std::string> WildcardMatches(const std::string& pattern);

}  // namespace halvrenn::cli
