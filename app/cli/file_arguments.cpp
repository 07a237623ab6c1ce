#include "file_arguments.h"

#include "cdr/files/file_facts.h"
#include "cdr/folders/folder_files.h"

namespace halvrenn::cli {
namespace {

void AddPath(const std::string& path, std::vector<FileArgument>& files) {
  if (path == "-" || !cdr::IsFolder(path)) {
    files.push_back({path});
    return;
  }
  const cdr::FolderFiles found = cdr::FilesOfFolder(path);
  for (const std::string& file : found.files) files.push_back({file});
  if (found.files.empty()) {
    files.push_back({{}, path + ": no files to convert", FileArgument::Kind::kNote});
  }
  if (!found.skipped.empty()) {
    files.push_back(
        {{}, path + ": left out " + cdr::SkippedSummary(found.skipped), FileArgument::Kind::kNote});
  }
}

}  // namespace

std::vector<FileArgument> FilesOfArguments(const std::vector<std::string>& arguments) {
  std::vector<FileArgument> files;
  for (const std::string& argument : arguments) {
    const std::vector<std::string> matches = WildcardMatches(argument);
    if (matches.empty()) {
      files.push_back({{}, argument + ": no file matches", FileArgument::Kind::kFailure});
    }
    for (const std::string& path : matches) AddPath(path, files);
  }
  return files;
}

}  // namespace halvrenn::cli
