#include "window/win32/form1_window.h"

#include <shellapi.h>

#include "time/utf16_text.h"
#include "window/dispatch.h"
#include "window/win32/file_drop_window.h"

namespace halvrenn::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"Halvrenn.Form1";

// Fixed size, but it can be minimised and closed.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

// Control identifiers follow the table: the first control is 100.
constexpr int kFirstControlId = 100;

int ControlId(std::size_t index) { return kFirstControlId + static_cast<int>(index); }

}  // namespace

Form1Window::Form1Window() = default;

Form1Window::~Form1Window() {
  if (window_ != nullptr) DestroyWindow(window_);
  file_drop_.reset();
  if (font_ != nullptr) DeleteObject(font_);
  if (big_icon_ != nullptr) DestroyIcon(big_icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
}

bool Form1Window::Create(HINSTANCE instance, int icon, int show) {
  icon_resource_ = icon;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = WindowProcedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }

  const std::wstring title = Utf16FromUtf8(Form1.title);
  // The size is set in WM_CREATE, once the window's DPI is known.
  if (CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this) == nullptr) {
    return false;
  }
  ShowWindow(window_, show);
  UpdateWindow(window_);
  return true;
}

LRESULT CALLBACK Form1Window::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (...) {
    // Nothing may unwind through the system's code. A window that failed half-way through its
    // creation is not created; any other message counts as handled.
    return message == WM_CREATE ? -1 : 0;
  }
}

LRESULT Form1Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(wparam);
      return 0;
    case WM_ACTIVATE:
      return OnActivate(wparam);
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case FileDropWindow::kProgressMessage:
      if (file_drop_) file_drop_->OnProgressPosted();
      return 0;
    case FileDropWindow::kFinishedMessage:
      if (file_drop_) file_drop_->OnFinishedPosted();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY: {
      // The window's last message: it still gets its default handling, then we forget it.
      HWND window = window_;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      return DefWindowProcW(window, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool Form1Window::OnCreate() {
  dpi_ = GetDpiForWindow(window_);
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  // Created in table order: each label just before its field, so that screen readers name the
  // field by it, and the fields in tab order, so that their z-order is the focus order.
  for (std::size_t index = 0; index < Form1.controls.size(); ++index) {
    const ControlDescription& description = Form1.controls[index];
    const bool is_label = description.kind == ControlKind::kLabel;
    const DWORD style = is_label ? WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX
                                 : WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
    const std::wstring text = Utf16FromUtf8(description.initial_text);
    controls_[index] = CreateWindowExW(
        is_label ? 0 : WS_EX_CLIENTEDGE, is_label ? L"STATIC" : L"EDIT", text.c_str(), style, 0, 0,
        0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(index))), instance,
        nullptr);
    if (controls_[index] == nullptr) return false;
    if (description.max_length > 0) {
      SendMessageW(controls_[index], EM_LIMITTEXT, static_cast<WPARAM>(description.max_length), 0);
    }
  }
  OnWindowLoad();

  const SIZE size = WindowSizeForClient();
  SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyMessageFont();
  ApplyIcons();
  LayOut();
  file_drop_ = std::make_unique<FileDropWindow>(window_);
  DragAcceptFiles(window_, TRUE);
  return true;
}

// Makes Text1 refuse typed characters other than digits. Deliberately unchecked: if the style
// does not take, every text that is not an acceptable number still shows "Invalid".
void Form1Window::OnWindowLoad() {
  HWND handle = Control(Form1Control::Text1);
  const LONG style = GetWindowLongA(handle, GWL_STYLE);
  SetWindowLongA(handle, GWL_STYLE, style | ES_NUMBER);
}

void Form1Window::OnCommand(WPARAM wparam) {
  const auto text1 = static_cast<std::size_t>(Form1Control::Text1);
  if (LOWORD(wparam) == ControlId(text1) && HIWORD(wparam) == EN_CHANGE) {
    DispatchInputChange(*this);
  }
}

// The focus returns to the field that had it when the window was last deactivated.
LRESULT Form1Window::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    focus_when_inactive_ = GetFocus();
    return 0;
  }
  HWND focus = focus_when_inactive_;
  if (focus == nullptr || !IsChild(window_, focus)) focus = Control(Form1Control::Text1);
  SetFocus(focus);
  return 0;
}

void Form1Window::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  const SIZE size = WindowSizeForClient();
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, size.cx, size.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyMessageFont();
  ApplyIcons();
  LayOut();
}

// Closing the window stops a conversion cleanly, the file being written removed, before the
// window goes: the system destroys the progress window first, which may take a while.
void Form1Window::OnClose() {
  if (file_drop_) file_drop_->CancelAndWait();
  DestroyWindow(window_);
}

// A window destroyed without being closed stops a conversion here.
void Form1Window::OnDestroy() {
  if (file_drop_) file_drop_->CancelAndWait();
  PostQuitMessage(0);
}

// The system hands over the drop; it is released here whatever happens next.
void Form1Window::OnDropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT index = 0; index < count; ++index) {
    std::wstring path(DragQueryFileW(drop, index, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, index, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(Utf8FromUtf16(path));
  }
  DragFinish(drop);
  ConvertFiles(paths);
}

void Form1Window::ConvertFiles(const std::vector<std::string>& paths) {
  if (file_drop_) file_drop_->Convert(paths);
}

void Form1Window::ApplyMessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_)) {
    return;
  }
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  if (font == nullptr) return;
  for (HWND control : controls_)
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
}

// The title bar's and the task switcher's icons, picked from the icon group for this DPI.
void Form1Window::ApplyIcons() {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  const auto load = [&](int width_metric, int height_metric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon_resource_), IMAGE_ICON,
                                         GetSystemMetricsForDpi(width_metric, dpi_),
                                         GetSystemMetricsForDpi(height_metric, dpi_), 0));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (big_icon_ != nullptr) DestroyIcon(big_icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  big_icon_ = big;
  small_icon_ = small;
}

void Form1Window::LayOut() {
  for (std::size_t index = 0; index < Form1.controls.size(); ++index) {
    const ControlDescription& d = Form1.controls[index];
    MoveWindow(controls_[index], Scale(d.left), Scale(d.top), Scale(d.width), Scale(d.height),
               TRUE);
  }
}

SIZE Form1Window::WindowSizeForClient() const {
  RECT rect{0, 0, Scale(Form1.client_width), Scale(Form1.client_height)};
  AdjustWindowRectExForDpi(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi_);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

int Form1Window::Scale(int twips) const {
  return MulDiv(twips, static_cast<int>(dpi_), kTwipsPerInch);
}

HWND Form1Window::Control(Form1Control control) const {
  return controls_[static_cast<std::size_t>(control)];
}

std::string Form1Window::ReadText1() const {
  HWND text1 = Control(Form1Control::Text1);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(text1)) + 1, L'\0');
  const int length = GetWindowTextW(text1, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return Utf8FromUtf16(text);
}

void Form1Window::WriteField(Form1Control control, const std::string& text) {
  SetWindowTextW(Control(control), Utf16FromUtf8(text).c_str());
}

void Form1Window::WriteText2(const std::string& text) { WriteField(Form1Control::Text2, text); }
void Form1Window::WriteText3(const std::string& text) { WriteField(Form1Control::Text3, text); }
void Form1Window::WriteText4(const std::string& text) { WriteField(Form1Control::Text4, text); }

}  // namespace halvrenn::win32
