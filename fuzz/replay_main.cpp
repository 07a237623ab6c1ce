// Runs a fuzz target without libFuzzer: every file named on the command line, and every file in
// the directories named there (in name order), goes once through LLVMFuzzerTestOneInput. A
// broken property aborts inside the target, so the exit status alone tells the outcome.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> InputsAt(const std::filesystem::path& path) {
  if (!std::filesystem::is_directory(path)) return {path};
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::filesystem::exists(argv[i])) {
      std::fprintf(stderr, "No such input: %s\n", argv[i]);
      return 1;
    }
    for (const auto& input : InputsAt(argv[i])) {
      std::ifstream file(input, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>()};
      if (file.bad()) {
        std::fprintf(stderr, "Cannot read %s\n", input.c_str());
        return 1;
      }
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("Replayed %zu inputs\n", replayed);
  // Replaying nothing would pass without testing anything, e.g. with a mistyped directory.
  return replayed > 0 ? 0 : 1;
}
