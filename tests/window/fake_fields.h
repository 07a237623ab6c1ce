#pragma once

#include <string>
#include <vector>

#include "window/on_input_change.h"

namespace halvrenn::testing {

// The four operations bound to plain strings, recording the order of the writes.
class FakeFields final : public InputChangeFields {
 public:
  std::string text1;
  std::string text2 = "Invalid", text3 = "Invalid", text4 = "Invalid";
  std::vector<int> writes;  // 2, 3, 4 in the order the outputs were written

  std::string ReadText1() const override { return text1; }
  void WriteText2(const std::string& text) override { Write(2, text2, text); }
  void WriteText3(const std::string& text) override { Write(3, text3, text); }
  void WriteText4(const std::string& text) override { Write(4, text4, text); }

 private:
  void Write(int output, std::string& field, const std::string& text) {
    field = text;
    writes.push_back(output);
  }
};

}  // namespace halvrenn::testing
