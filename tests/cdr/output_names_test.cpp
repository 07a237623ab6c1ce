// The names of the outputs and their inverse: an output is known as one when its folder is
// converted again, and what it was made from is not, however the input's name tries to look
// like an extension or an earlier output.

#include "cdr/files/output_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "cdr/files/byte_streams.h"
#include "cdr/files/paths.h"

namespace halvrenn::cdr {
namespace {

struct NamingCase {
  std::string_view input;
  std::optional<std::string> output_directory;
  std::string_view folder;  // where the output goes
  std::string_view name;    // what it is called
  bool input_reads_as_output = false;
};

TEST(CdrOutputNames, OutputsAreNamedAndKnownAgain) {
  const NamingCase cases[] = {
      {"dir/calls.csv", {}, "dir", "calls.converted.csv"},
      {"calls.txt", {}, "", "calls.converted.txt"},
      // No extension, as call managers name their files.
      {"dir/cdr_Cluster1_01_202612070915_1",
       {},
       "dir",
       "cdr_Cluster1_01_202612070915_1.converted.csv"},
      // An extension is a dot and one to five letters or digits; anything else is part of the name.
      {"calls.12345", {}, "", "calls.converted.12345"},
      {"calls.123456", {}, "", "calls.123456.converted.csv"},
      {"a/b/cdr.v2_node", {}, "a/b", "cdr.v2_node.converted.csv"},
      {"calls.", {}, "", "calls..converted.csv"},
      // A dot that starts the name starts no extension.
      {"/.hidden", {}, "/", ".hidden.converted.csv"},
      {".hidden.csv", {}, "", ".hidden.converted.csv"},
      // Names that merely end in .converted are inputs.
      {"calls.converted", {}, "", "calls.converted.converted.csv"},
      {"converted.csv", {}, "", "converted.converted.csv"},
      {".converted.csv", {}, "", ".converted.converted.csv"},
      {"calls.converted.csv", {}, "", "calls.converted.converted.csv", true},
      // Folders: another one for the outputs, with or without its separator; the root kept.
      {"a/calls.csv", "out", "out", "calls.converted.csv"},
      {"calls", "out/", "out", "calls.converted.csv"},
      {"/calls.csv", {}, "/", "calls.converted.csv"},
  };
  for (const NamingCase& c : cases) {
    const std::string output = OutputPathFor(c.input, c.output_directory);
    EXPECT_EQ(FolderOf(output), c.folder) << c.input;
    EXPECT_EQ(FileNameOf(output), c.name) << c.input;
    EXPECT_TRUE(IsOutputName(c.name)) << c.name;
    EXPECT_EQ(IsOutputName(FileNameOf(c.input)), c.input_reads_as_output) << c.input;
  }
}

}  // namespace
}  // namespace halvrenn::cdr
