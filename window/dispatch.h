#pragma once

#include "window/on_input_change.h"

namespace halvrenn {

// What every window front calls on a change of Text1. It runs OnInputChange and keeps its
// OverflowError from ever reaching a toolkit callback or window procedure: the outputs that the
// failed change already wrote keep their new texts, and those it did not reach read "Invalid"
// rather than a date that belongs to an earlier input. Nothing else is shown; the program goes on.
// Any other exception (running out of memory) ends the program here, before it could unwind
// through the window system.
void DispatchInputChange(InputChangeFields& fields) noexcept;

}  // namespace halvrenn
