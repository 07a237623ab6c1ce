#pragma once

// Form1 as a plain Win32 window: labels are STATIC controls and fields EDIT controls, created and
// laid out from the shared table at the window's DPI. The window procedure only dispatches to the
// named handlers below, and no exception ever leaves it. Files dropped on the window are
// converted (file_drop_window.h).

#include <windows.h>

#include <shellapi.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "window/form1_layout.h"
#include "window/on_input_change.h"

namespace halvrenn::win32 {

class FileDropWindow;

class Form1Window final : public InputChangeFields {
 public:
  Form1Window();
  Form1Window(const Form1Window&) = delete;
  Form1Window& operator=(const Form1Window&) = delete;
  ~Form1Window() override;

  // Creates the window where the system places new windows, with its controls, and shows it.
  // `icon` names the application's icon resource. False when the window could not be created.
  bool Create(HINSTANCE instance, int icon, int show);
  HWND handle() const { return window_; }

  // Converts the files, and the files of the folders, named by UTF-8 paths.
  void ConvertFiles(const std::vector<std::string>& paths);
  FileDropWindow& file_drop() const { return *file_drop_; }

  std::string ReadText1() const override;
  void WriteText2(const std::string& text) override;
  void WriteText3(const std::string& text) override;
  void WriteText4(const std::string& text) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void OnWindowLoad();
  void OnCommand(WPARAM wparam);
  LRESULT OnActivate(WPARAM wparam);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void OnDropFiles(HDROP drop);
  void OnClose();
  void OnDestroy();

  void ApplyMessageFont();
  void ApplyIcons();
  void LayOut();
  SIZE WindowSizeForClient() const;
  int Scale(int twips) const;
  HWND Control(Form1Control control) const;
  void WriteField(Form1Control control, const std::string& text);

  HWND window_ = nullptr;
  std::array<HWND, Form1.controls.size()> controls_{};
  HFONT font_ = nullptr;
  int icon_resource_ = 0;
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  HWND focus_when_inactive_ = nullptr;
  std::unique_ptr<FileDropWindow> file_drop_;
};

}  // namespace halvrenn::win32
