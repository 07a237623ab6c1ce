#pragma once

// The change handler knows the window only through these four operations; each front binds them
// to its real fields, and the tests to plain strings. None of the writes may notify the handler.

#include <string>

namespace halvrenn {

class InputChangeFields {
 public:
  virtual ~InputChangeFields() = default;
  virtual std::string ReadText1() const = 0;
  virtual void WriteText2(const std::string& text) = 0;  // Greenwich
  virtual void WriteText3(const std::string& text) = 0;  // local standard time
  virtual void WriteText4(const std::string& text) = 0;  // local daylight time (standard + 1 h)
};

// Rewrites the three outputs from the input's current text: "Invalid" for an empty, non-numeric
// or out-of-range input (25569 to 2147483647 accepted), otherwise the three date texts, written
// in the order Text2, Text3, Text4. An OverflowError of the 32-bit local arithmetic leaves here
// at once, with the outputs it did not reach untouched; call DispatchInputChange instead.
void OnInputChange(InputChangeFields& fields);

}  // namespace halvrenn
