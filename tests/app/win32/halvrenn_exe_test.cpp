// Halvrenn.exe as a user meets it, under Wine on a virtual display: the window, typing and
// pasting into it, and the outputs in several zones, against dates computed here from the count.

#include <gtest/gtest.h>

#include <string>

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

TEST_F(HalvrennExe, TypedNonDigitsAndAnEleventhDigitChangeNothing) {
  program.Type("a-. +");
  EXPECT_EQ(program.Text(Form1Control::Text1), "");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);

  program.Type("1234567890");
  const std::string greenwich = program.Text(Form1Control::Text2);
  EXPECT_EQ(greenwich, ExpectedDateText(1234567890));
  program.Type("1x");
  EXPECT_EQ(program.Text(Form1Control::Text1), "1234567890");
  EXPECT_EQ(program.Text(Form1Control::Text2), greenwich);
}

TEST_F(HalvrennExe, TypingDigitByDigitTurnsValidAtTheFifth) {
  for (const char* typed : {"8", "86", "864", "8640"}) {
    program.Type(std::string(1, typed[std::char_traits<char>::length(typed) - 1]));
    EXPECT_EQ(program.Text(Form1Control::Text1), typed);
    ExpectOutputs(kInvalid, kInvalid, kInvalid);
  }
  program.Type("0");
  const ExpectedOutputs expected = ExpectedOutputsFor(86400, ExpectedBiasMinutes());
  EXPECT_EQ(program.Text(Form1Control::Text2), expected.greenwich);
  EXPECT_EQ(program.Text(Form1Control::Text3), expected.standard);
  EXPECT_EQ(program.Text(Form1Control::Text4), expected.daylight);
}

TEST_F(HalvrennExe, PastedTextIsNotFilteredButCutToTenCharacters) {
  program.ReplaceText1ByPaste(L"12345678901234");
  EXPECT_EQ(program.Text(Form1Control::Text1), "1234567890");
  EXPECT_EQ(program.Text(Form1Control::Text2), ExpectedDateText(1234567890));

  program.ReplaceText1ByPaste(L"86400\r\n99");  // a paste stops at the first line break
  EXPECT_EQ(program.Text(Form1Control::Text1), "86400");

  program.ReplaceText1ByPaste(L"12a");
  EXPECT_EQ(program.Text(Form1Control::Text1), "12a");
  ExpectOutputs(kInvalid, kInvalid, kInvalid);
}

TEST_F(HalvrennExe, EditingAnOutputChangesNoOtherField) {
  program.Type("25569");
  const std::string text3 = program.Text(Form1Control::Text3);
  const std::string text4 = program.Text(Form1Control::Text4);
  program.TypeInto(Form1Control::Text2, L'x');
  EXPECT_NE(program.Text(Form1Control::Text2), ExpectedDateText(25569));
  EXPECT_EQ(program.Text(Form1Control::Text1), "25569");
  EXPECT_EQ(program.Text(Form1Control::Text3), text3);
  EXPECT_EQ(program.Text(Form1Control::Text4), text4);
}

// Runs once per zone: TZ names the zone for the whole run, HALVRENN_EXPECTED_BIAS its offset.
TEST(HalvrennExeZones, OutputsFollowTheZone) {
  RunningHalvrenn program;
  ASSERT_TRUE(program.started());
  const std::int64_t counts[] = {25569, 86400, 1000000000, 2147440000, 2147480047, 2147480048};
  for (const std::int64_t count : counts) {
    SCOPED_TRACE(count);
    program.ReplaceText1ByPaste(std::to_wstring(count));
    const ExpectedOutputs expected = ExpectedOutputsFor(count, ExpectedBiasMinutes());
    EXPECT_EQ(program.Text(Form1Control::Text2), expected.greenwich);
    EXPECT_EQ(program.Text(Form1Control::Text3), expected.standard.value_or(kInvalid));
    EXPECT_EQ(program.Text(Form1Control::Text4), expected.daylight.value_or(kInvalid));
  }
}

// 2147483647 overflows the daylight text in every zone, and the standard text too east of
// Greenwich: those outputs read "Invalid", not the previous count's dates, and the program goes on.
TEST(HalvrennExeZones, OverflowReadsInvalidAndTheProgramGoesOn) {
  RunningHalvrenn program;
  ASSERT_TRUE(program.started());
  program.Type("25569");
  ASSERT_NE(program.Text(Form1Control::Text4), kInvalid);

  program.ReplaceText1ByPaste(L"2147483647");
  const ExpectedOutputs expected = ExpectedOutputsFor(2147483647, ExpectedBiasMinutes());
  EXPECT_EQ(program.Text(Form1Control::Text2), expected.greenwich);
  EXPECT_EQ(program.Text(Form1Control::Text3), expected.standard.value_or(kInvalid));
  EXPECT_EQ(program.Text(Form1Control::Text4), kInvalid);
  EXPECT_TRUE(program.StillRunning());

  program.ReplaceText1ByPaste(L"25569");
  EXPECT_EQ(program.Text(Form1Control::Text4),
            ExpectedOutputsFor(25569, ExpectedBiasMinutes()).daylight);
}

}  // namespace
}  // namespace halvrenn::testing
