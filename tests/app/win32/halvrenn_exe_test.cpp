// Halvrenn.exe as a user meets it, under Wine on a virtual display: the window, its focus, and
// the shared scenarios of typing and pasting (form1_scenarios.h), also in several zones, against
// dates computed here from the count.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "form1_scenarios.h"
#include "reference.h"
#include "running_halvrenn.h"
#include "window/form1_layout.h"

namespace halvrenn::testing {
namespace {

constexpr const char* kInvalid = "Invalid";

class HalvrennExe : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(program.started()) << "no Halvrenn window appeared"; }

  void ExpectOutputs(const char* a, const char* b, const char* c) {
    EXPECT_EQ(program.Text(Form1Control::Text2), a);
    EXPECT_EQ(program.Text(Form1Control::Text3), b);
    EXPECT_EQ(program.Text(Form1Control::Text4), c);
  }

  RunningHalvrenn program;
};

TEST_F(HalvrennExe, WindowIsBuiltFromTheTableAt96Dpi) {
  wchar_t title[32] = {};
  SendMessageW(program.window(), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(title));
  EXPECT_STREQ(title, L"Halvrenn");

  RECT client{};
  GetClientRect(program.window(), &client);
  EXPECT_EQ(client.right, 476);
  EXPECT_EQ(client.bottom, 238);

  const LONG style = GetWindowLongW(program.window(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
  EXPECT_TRUE(style & WS_MINIMIZEBOX);

  ASSERT_EQ(program.control_count(), Form1.controls.size());
  for (std::size_t i = 0; i < Form1.controls.size(); ++i) {
    const ControlDescription& d = Form1.controls[i];
    SCOPED_TRACE(std::string(d.name));
    HWND control = program.control(static_cast<Form1Control>(i));
    wchar_t class_name[32] = {};
    GetClassNameW(control, class_name, 32);
    EXPECT_STREQ(class_name, d.kind == ControlKind::kLabel ? L"Static" : L"Edit");
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, program.window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, d.left / 15);
    EXPECT_EQ(rect.top, d.top / 15);
    EXPECT_EQ(rect.right - rect.left, d.width / 15);
    EXPECT_EQ(rect.bottom - rect.top, d.height / 15);
    EXPECT_EQ(program.Text(static_cast<Form1Control>(i)), d.initial_text);
    const LONG control_style = GetWindowLongW(control, GWL_STYLE);
    EXPECT_EQ((control_style & WS_TABSTOP) != 0, d.kind == ControlKind::kTextField);
  }
  EXPECT_TRUE(GetWindowLongW(program.control(Form1Control::Text1), GWL_STYLE) & ES_NUMBER);
  EXPECT_EQ(SendMessageW(program.control(Form1Control::Text1), EM_GETLIMITTEXT, 0, 0), 10);
}

TEST_F(HalvrennExe, OpensWithEmptyInputInvalidOutputsAndFocusInText1) {
  EXPECT_EQ(program.Text(Form1Control::Text1), "");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);
  EXPECT_EQ(program.Focus(), program.control(Form1Control::Text1));
}

TEST_F(HalvrennExe, TabAndShiftTabCycleThroughTheFields) {
  const Form1Control forward[] = {Form1Control::Text2, Form1Control::Text3, Form1Control::Text4,
                                  Form1Control::Text1};
  for (const Form1Control next : forward) {
    program.PressTab(false);
    EXPECT_EQ(program.Focus(), program.control(next));
  }
  const Form1Control backward[] = {Form1Control::Text4, Form1Control::Text3, Form1Control::Text2,
                                   Form1Control::Text1};
  for (const Form1Control next : backward) {
    program.PressTab(true);
    EXPECT_EQ(program.Focus(), program.control(next));
  }
}

// The shared scenarios (form1_scenarios.h), through messages sent to the program's controls and
// its clipboard. The zone scenarios run once per zone: TZ names the zone for the whole run,
// HALVRENN_EXPECTED_BIAS its offset.
class Win32Driver final : public Form1Driver {
 public:
  explicit Win32Driver(RunningHalvrenn& program) : program_(program) {}
  void Type(Form1Control field, std::string_view characters) override {
    for (const char c : characters) program_.TypeInto(field, static_cast<wchar_t>(c));
  }
  void PasteOverText1(std::string_view text) override {
    program_.ReplaceText1ByPaste(std::wstring(text.begin(), text.end()));
  }
  std::string Text(Form1Control field) const override { return program_.Text(field); }
  bool StillRunning() const override { return program_.StillRunning(); }

 private:
  RunningHalvrenn& program_;
};

class HalvrennExeScenario : public HalvrennExe,
                            public ::testing::WithParamInterface<Form1Scenario> {};

TEST_P(HalvrennExeScenario, Runs) {
  Win32Driver driver(program);
  RunForm1Scenario(GetParam(), driver);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HalvrennExeScenario, ::testing::ValuesIn(Form1Scenarios()),
                         Form1ScenarioName);

class HalvrennExeZones : public HalvrennExeScenario {};

TEST_P(HalvrennExeZones, Runs) {
  Win32Driver driver(program);
  RunForm1Scenario(GetParam(), driver);
}

INSTANTIATE_TEST_SUITE_P(Zones, HalvrennExeZones, ::testing::ValuesIn(Form1ZoneScenarios()),
                         Form1ScenarioName);

}  // namespace
}  // namespace halvrenn::testing
