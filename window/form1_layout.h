#pragma once

// Form1, described once: every window front builds its window from this table and holds none of
// its numbers. Sizes and positions are in twips (1/1440 inch; 15 twips are one pixel at 96 dpi),
// positions relative to the client area.

#include <array>
#include <cstddef>
#include <string_view>

namespace halvrenn {

inline constexpr int kTwipsPerInch = 1440;

enum class ControlKind { kLabel, kTextField };

struct ControlDescription {
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips
  int tab_index;                 // labels never take the focus; text fields follow it in order
  std::string_view initial_text;
  int max_length;  // characters; 0 for no limit
};

struct FormDescription {
  std::string_view title;
  int client_width, client_height;  // twips
  // Each label comes just before the field it names, so that screen readers name the field by it.
  std::array<ControlDescription, 8> controls;
};

inline constexpr FormDescription Form1{
    "Halvrenn",
    7140,
    3570,
    {{
        {"Label1", ControlKind::kLabel, 120, 285, 3495, 495, 2, "Integer From CDR Record", 0},
        {"Text1", ControlKind::kTextField, 4320, 240, 2295, 375, 0, "", 10},
        {"Label2", ControlKind::kLabel, 120, 1080, 3495, 495, 5,
         "Date and Time in Greenwich Mean Time", 0},
        {"Text2", ControlKind::kTextField, 4320, 1080, 2295, 375, 1, "Invalid", 0},
        {"Label3", ControlKind::kLabel, 120, 1920, 3495, 495, 4,
         "Date and Time in Local Time Zone (Standard)", 0},
        {"Text3", ControlKind::kTextField, 4320, 1920, 2295, 375, 3, "Invalid", 0},
        {"Label4", ControlKind::kLabel, 120, 2760, 3495, 495, 7,
         "Date and Time in Local Time Zone (Daylight)", 0},
        {"Text4", ControlKind::kTextField, 4320, 2760, 2295, 375, 6, "Invalid", 0},
    }},
};

// Where each control stands in Form1.controls.
enum class Form1Control : std::size_t {
  Label1,
  Text1,
  Label2,
  Text2,
  Label3,
  Text3,
  Label4,
  Text4
};

constexpr const ControlDescription& Describe(Form1Control control) {
  return Form1.controls[static_cast<std::size_t>(control)];
}

// The fronts create the controls in table order and rely on it for the focus order: the text
// fields' tab indices must rise along the table.
constexpr bool TextFieldsAreInTabOrder() {
  int previous = -1;
  for (const ControlDescription& control : Form1.controls) {
    if (control.kind != ControlKind::kTextField) continue;
    if (control.tab_index <= previous) return false;
    previous = control.tab_index;
  }
  return true;
}
static_assert(TextFieldsAreInTabOrder());
static_assert(Describe(Form1Control::Text1).name == "Text1");
static_assert(Describe(Form1Control::Text4).name == "Text4");

}  // namespace halvrenn
