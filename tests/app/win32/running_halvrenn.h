#pragma once

// Halvrenn.exe started as a separate process and driven only as the system lets any client:
// messages sent to its controls, the clipboard, and queries of its window state.

#include <windows.h>

#include <array>
#include <string>

#include "window/form1_layout.h"

namespace halvrenn::testing {

// The Windows path of Halvrenn.exe, from HALVRENN_EXE.
std::wstring HalvrennExePath();

class RunningHalvrenn {
 public:
  // Starts the program, which inherits this process's zone and locale, and waits for its window.
  RunningHalvrenn();
  ~RunningHalvrenn();
  RunningHalvrenn(const RunningHalvrenn&) = delete;
  RunningHalvrenn& operator=(const RunningHalvrenn&) = delete;

  bool started() const { return window_ != nullptr; }
  bool StillRunning() const;
  HWND window() const { return window_; }
  HWND control(Form1Control c) const { return controls_[static_cast<std::size_t>(c)]; }
  std::size_t control_count() const { return control_count_; }

  std::string Text(Form1Control c) const;    // WM_GETTEXT, as UTF-8
  void Type(const std::string& characters);  // one WM_CHAR per character into Text1
  void TypeInto(Form1Control c, wchar_t character);
  void ReplaceText1ByPaste(const std::wstring& clipboard);  // select all, then WM_PASTE
  HWND Focus() const;                                       // the focus of its GUI thread
  void PressTab(bool shift);                                // real keyboard input

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  std::array<HWND, Form1.controls.size()> controls_{};
  std::size_t control_count_ = 0;
};

}  // namespace halvrenn::testing
