#pragma once

// The names this program gives its outputs, and how to tell one when a folder is converted
// again.
//
// Example: OutputPathFor("in/calls.csv", "out") == "out/calls.converted.csv", and
// IsOutputName("calls.converted.csv") is true.

#include <optional>
#include <string>
#include <string_view>

namespace halvrenn::cdr {

// calls.csv -> calls.converted.csv; a name without an extension, as call managers write them
// (cdr_Cluster1_01_202612070915_1), gets .converted.csv appended.
std::string OutputPathFor(std::string_view input,
                          const std::optional<std::string>& output_directory);
// Whether a file name is one that OutputPathFor gives (calls.converted.csv, calls.converted.txt),
// so that a folder converted again leaves the earlier outputs alone.
bool IsOutputName(std::string_view name);

}  // namespace halvrenn::cdr
