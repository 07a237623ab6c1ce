#include "form1_scenarios.h"

#include "reference.h"

namespace halvrenn::testing {
namespace {

using Action = Form1Step::Action;
using Shows = Form1Step::Shows;
constexpr const char* kInvalid = "Invalid";

}  // namespace

const std::vector<Form1Scenario>& Form1Scenarios() {
  static const std::vector<Form1Scenario> scenarios = {
      {"TypingDigitByDigitTurnsValidAtTheFifth",
       {{Action::kType, "8", "8", Shows::kInvalid},
        {Action::kType, "6", "86", Shows::kInvalid},
        {Action::kType, "4", "864", Shows::kInvalid},
        {Action::kType, "0", "8640", Shows::kInvalid},
        {Action::kType, "0", "86400", Shows::kDates, 86400}}},
      // Text1 takes digits only when typed, and ten of them.
      {"TypedNonDigitsAndAnEleventhDigitChangeNothing",
       {{Action::kType, "a-. +,", "", Shows::kInvalid},
        {Action::kType, "1234567890", "1234567890", Shows::kDates, 1234567890},
        {Action::kType, "1x", "1234567890", Shows::kUnchanged}}},
      // A paste is not filtered, stops at the first line break and keeps what fits.
      {"PastedTextIsNotFilteredButCutToTenCharacters",
       {{Action::kPaste, "12345678901234", "1234567890", Shows::kDates, 1234567890},
        {Action::kPaste, "86400\r\n99", "86400", Shows::kDates, 86400},
        {Action::kPaste, "12a", "12a", Shows::kInvalid}}},
      {"EditingAnOutputChangesNoOtherField",
       {{Action::kType, "25569", "25569", Shows::kDates, 25569},
        {Action::kTypeIntoText2, "x", "25569", Shows::kUnchanged}}},
  };
  return scenarios;
}

const std::vector<Form1Scenario>& Form1ZoneScenarios() {
  static const std::vector<Form1Scenario> scenarios = {
      {"OutputsFollowTheZone",
       {{Action::kPaste, "25569", "25569", Shows::kDates, 25569},
        {Action::kPaste, "86400", "86400", Shows::kDates, 86400},
        {Action::kPaste, "1000000000", "1000000000", Shows::kDates, 1000000000},
        {Action::kPaste, "2147440000", "2147440000", Shows::kDates, 2147440000},
        {Action::kPaste, "2147480047", "2147480047", Shows::kDates, 2147480047},
        {Action::kPaste, "2147480048", "2147480048", Shows::kDates, 2147480048}}},
      // 2147483647 overflows the daylight text in every zone, and the standard text too east of
      // Greenwich: those outputs read "Invalid", not the previous count's dates, and the window
      // goes on.
      {"OverflowReadsInvalidAndTheWindowGoesOn",
       {{Action::kType, "25569", "25569", Shows::kDates, 25569},
        {Action::kPaste, "2147483647", "2147483647", Shows::kDates, 2147483647},
        {Action::kPaste, "25569", "25569", Shows::kDates, 25569}}},
  };
  return scenarios;
}

std::string Form1ScenarioName(const ::testing::TestParamInfo<Form1Scenario>& info) {
  return std::string(info.param.name);
}

void RunForm1Scenario(const Form1Scenario& scenario, Form1Driver& driver) {
  for (const Form1Step& step : scenario.steps) {
    SCOPED_TRACE(::testing::PrintToString(std::string(step.text)));
    const std::string text3 = driver.Text(Form1Control::Text3);
    const std::string text4 = driver.Text(Form1Control::Text4);
    switch (step.action) {
      case Action::kType:
        driver.Type(Form1Control::Text1, step.text);
        break;
      case Action::kPaste:
        driver.PasteOverText1(step.text);
        break;
      case Action::kTypeIntoText2:
        driver.Type(Form1Control::Text2, step.text);
        break;
    }
    EXPECT_EQ(driver.Text(Form1Control::Text1), step.text1);
    switch (step.shows) {
      case Shows::kInvalid:
        EXPECT_EQ(driver.Text(Form1Control::Text2), kInvalid);
        EXPECT_EQ(driver.Text(Form1Control::Text3), kInvalid);
        EXPECT_EQ(driver.Text(Form1Control::Text4), kInvalid);
        break;
      case Shows::kDates: {
        const ExpectedOutputs expected = ExpectedOutputsFor(step.count, ExpectedBiasMinutes());
        EXPECT_EQ(driver.Text(Form1Control::Text2), expected.greenwich);
        EXPECT_EQ(driver.Text(Form1Control::Text3), expected.standard.value_or(kInvalid));
        EXPECT_EQ(driver.Text(Form1Control::Text4), expected.daylight.value_or(kInvalid));
        break;
      }
      case Shows::kUnchanged:
        EXPECT_EQ(driver.Text(Form1Control::Text3), text3);
        EXPECT_EQ(driver.Text(Form1Control::Text4), text4);
        break;
    }
    EXPECT_TRUE(driver.StillRunning());
  }
}

}  // namespace halvrenn::testing
