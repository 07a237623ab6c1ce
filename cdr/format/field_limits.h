#pragma once

// Call managers write their integers in 32-bit fields: a time stamp, a duration and an address
// written unsigned all end at the largest unsigned 32-bit value.

#include <cstdint>

namespace halvrenn::cdr {

inline constexpr std::uint64_t kLargestUnsigned32 = 4294967295;

}  // namespace halvrenn::cdr
