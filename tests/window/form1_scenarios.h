#pragma once

// Form1 as a user meets it, each scenario written once and run by a small driver per front: the
// Qt widgets (qt/form1_widget_test.cpp) and Halvrenn.exe under Wine, driven from another
// process (app/win32/halvrenn_exe_test.cpp). A scenario is a list of steps, each an action and
// what Text1 and the three outputs then show; the dates are worked out apart from the code under
// test (reference.h), in the zone and locale of the run.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "window/form1_layout.h"

namespace halvrenn::testing {

struct Form1Step {
  enum class Action : unsigned char {
    kType,           // each character typed into Text1, as keys
    kPaste,          // Text1 selected whole and the text pasted over it
    kTypeIntoText2,  // each character typed into the Greenwich output
  };
  enum class Shows : unsigned char {
    kInvalid,    // the three outputs read "Invalid"
    kDates,      // the outputs of `count`, "Invalid" where its 32-bit arithmetic overflows
    kUnchanged,  // Text3 and Text4 as before the step
  };
  Action action;
  std::string_view text;
  std::string_view text1;  // what Text1 holds after the step
  Shows shows;
  std::int64_t count = 0;
};

struct Form1Scenario {
  std::string_view name;
  std::vector<Form1Step> steps;
};

// Scenarios for any zone, and those that each zone and locale run has.
const std::vector<Form1Scenario>& Form1Scenarios();
const std::vector<Form1Scenario>& Form1ZoneScenarios();
std::string Form1ScenarioName(const ::testing::TestParamInfo<Form1Scenario>& info);

// What a front does for the steps.
class Form1Driver {
 public:
  virtual ~Form1Driver() = default;
  virtual void Type(Form1Control field, std::string_view characters) = 0;
  virtual void PasteOverText1(std::string_view text) = 0;
  virtual std::string Text(Form1Control field) const = 0;
  virtual bool StillRunning() const = 0;
};

// Runs the steps through the driver and checks each (EXPECT_*).
void RunForm1Scenario(const Form1Scenario& scenario, Form1Driver& driver);

}  // namespace halvrenn::testing
