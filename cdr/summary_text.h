#pragma once

// A conversion's summary as the user reads it, the same in the terminal and in the window.
// Example: "1000 records, 2950 converted, 48 empty, 2 rejected (lines 17, 940), 0 malformed";
// a file with more than time stamps counts the values of each kind: "1000 records, 2950 times,
// 2000 addresses, 2000 causes, 1000 durations converted, 48 empty, 2 rejected (lines 17, 940),
// 3 unknown causes, 0 malformed".

#include <cstdint>
#include <string>

#include "cdr/conversion.h"

namespace halvrenn::cdr {

// How a count is written: plainly ("1590825") in the terminal and the logs, which programs read;
// the window passes the user's digit grouping ("1,590,825"). Line numbers are always plain.
using CountText = std::string (*)(std::uint64_t count);
std::string PlainCount(std::uint64_t count);

std::string SummaryText(const Summary& summary, CountText count_text = PlainCount);

}  // namespace halvrenn::cdr
